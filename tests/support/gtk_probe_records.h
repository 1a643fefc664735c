// Pieces shared by the test-only GTK modules that report what the Linux
// program shows: one record per line, fields separated by tabs, appended to
// the file the test or benchmark reads.
#pragma once

#include <gtk/gtk.h>

#include <cstdio>
#include <string>

namespace qn::probe {

// A text as one record field: tabs and line breaks become blanks.
inline std::string field(const char* text) {
    std::string out = text != nullptr ? text : "";
    for (char& c : out) {
        if (c == '\t' || c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return out;
}

// Appends one record; the file is opened for each so that every record is
// on disk when the reader looks.
inline void write_record(const std::string& path, const std::string& record) {
    if (std::FILE* out = std::fopen(path.c_str(), "a")) {
        std::fputs((record + "\n").c_str(), out);
        std::fclose(out);
    }
}

// The first tree view at or below `widget`, or null.
inline GtkTreeView* find_tree_view(GtkWidget* widget) {
    if (GTK_IS_TREE_VIEW(widget)) {
        return GTK_TREE_VIEW(widget);
    }
    GtkTreeView* found = nullptr;
    if (GTK_IS_CONTAINER(widget)) {
        GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
        for (GList* it = children; it != nullptr && found == nullptr; it = it->next) {
            found = find_tree_view(GTK_WIDGET(it->data));
        }
        g_list_free(children);
    }
    return found;
}

}  // namespace qn::probe
