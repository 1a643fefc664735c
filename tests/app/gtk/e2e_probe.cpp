// A GTK module for the end-to-end test, loaded into the program under test
// through GTK's own GTK_MODULES variable; the program knows nothing of it.
// It appends what the program shows to the file named by QN_E2E_PROBE_OUT,
// one record a line, fields separated by tabs, texts in UTF-8, positions in
// screen pixels:
//   dialog TITLE TEXT TYPE          a message dialog as it appears
//   menu X Y ITEM...                a popup menu as it appears
//   window X Y WIDTH HEIGHT TITLE RESIZABLE
//                                   the main window once shown, its frame
//   list X Y WIDTH HEIGHT           the list, with its edge and scroll bars
//   row INDEX CELL0 CELL1 CELL2 X Y each row of the live list, with the point
//                                   in the middle of its title cell
//   shown                           the end of the main window's report
#include <gtk/gtk.h>

#include "gtk_probe_records.h"

#include <cstdio>
#include <string>

namespace {

std::string out_path;

void write_record(const std::string& record) { qn::probe::write_record(out_path, record); }

using qn::probe::field;
using qn::probe::find_tree_view;

void report_dialog(GtkWidget* dialog) {
    gchar* text = nullptr;
    GtkMessageType type = GTK_MESSAGE_OTHER;
    g_object_get(dialog, "text", &text, "message-type", &type, nullptr);
    write_record("dialog\t" + field(gtk_window_get_title(GTK_WINDOW(dialog))) + "\t" + field(text) +
                 "\t" + std::to_string(static_cast<int>(type)));
    g_free(text);
}

gboolean report_menu(gpointer data) {
    auto* menu = static_cast<GtkWidget*>(data);
    if (gtk_widget_get_mapped(menu)) {
        int x = 0;
        int y = 0;
        gdk_window_get_origin(gtk_widget_get_window(gtk_widget_get_toplevel(menu)), &x, &y);
        std::string record = "menu\t" + std::to_string(x) + "\t" + std::to_string(y);
        GList* items = gtk_container_get_children(GTK_CONTAINER(menu));
        for (GList* it = items; it != nullptr; it = it->next) {
            if (GTK_IS_MENU_ITEM(it->data)) {
                record += "\t" + field(gtk_menu_item_get_label(GTK_MENU_ITEM(it->data)));
            }
        }
        g_list_free(items);
        write_record(record);
    }
    g_object_unref(menu);
    return G_SOURCE_REMOVE;
}

gboolean report_main_window(gpointer data) {
    auto* window = static_cast<GtkWidget*>(data);
    GtkTreeView* list = find_tree_view(window);
    GtkWidget* frame = gtk_widget_get_parent(GTK_WIDGET(list));
    if (gtk_widget_in_destruction(window)) {
        g_object_unref(window);
        return G_SOURCE_REMOVE;
    }
    if (!gtk_widget_get_mapped(GTK_WIDGET(list)) || gtk_widget_get_allocated_width(frame) <= 1) {
        return G_SOURCE_CONTINUE;  // not shown or not laid out yet
    }

    GdkRectangle extents;
    gdk_window_get_frame_extents(gtk_widget_get_window(window), &extents);
    write_record("window\t" + std::to_string(extents.x) + "\t" + std::to_string(extents.y) + "\t" +
                 std::to_string(extents.width) + "\t" + std::to_string(extents.height) + "\t" +
                 field(gtk_window_get_title(GTK_WINDOW(window))) + "\t" +
                 (gtk_window_get_resizable(GTK_WINDOW(window)) ? "1" : "0"));

    int x = 0;
    int y = 0;
    gdk_window_get_origin(gtk_widget_get_window(window), &x, &y);
    GtkAllocation area;
    gtk_widget_get_allocation(frame, &area);
    write_record("list\t" + std::to_string(x + area.x) + "\t" + std::to_string(y + area.y) + "\t" +
                 std::to_string(area.width) + "\t" + std::to_string(area.height));

    GtkTreeModel* rows = gtk_tree_view_get_model(list);
    GtkTreeIter iter;
    int index = 0;
    for (gboolean more = gtk_tree_model_get_iter_first(rows, &iter); more;
         more = gtk_tree_model_iter_next(rows, &iter), ++index) {
        gchar* cells[3] = {nullptr, nullptr, nullptr};
        gtk_tree_model_get(rows, &iter, 0, &cells[0], 1, &cells[1], 2, &cells[2], -1);
        GtkTreePath* path = gtk_tree_model_get_path(rows, &iter);
        GdkRectangle cell;
        gtk_tree_view_get_background_area(list, path, gtk_tree_view_get_column(list, 1), &cell);
        gtk_tree_path_free(path);
        int cx = 0;
        int cy = 0;
        gdk_window_get_root_coords(gtk_tree_view_get_bin_window(list), cell.x + cell.width / 2,
                                   cell.y + cell.height / 2, &cx, &cy);
        write_record("row\t" + std::to_string(index) + "\t" + field(cells[0]) + "\t" +
                     field(cells[1]) + "\t" + field(cells[2]) + "\t" + std::to_string(cx) + "\t" +
                     std::to_string(cy));
        for (gchar* c : cells) {
            g_free(c);
        }
    }
    write_record("shown");
    g_object_unref(window);
    return G_SOURCE_REMOVE;
}

gboolean on_map(GSignalInvocationHint*, guint, const GValue* params, gpointer) {
    GObject* object = G_OBJECT(g_value_get_object(&params[0]));
    if (GTK_IS_MESSAGE_DIALOG(object)) {
        report_dialog(GTK_WIDGET(object));
    } else if (GTK_IS_MENU(object)) {
        // The menu's window takes its place once the menu is mapped.
        g_timeout_add(50, report_menu, g_object_ref(object));
    } else if (GTK_IS_WINDOW(object) && find_tree_view(GTK_WIDGET(object)) != nullptr) {
        g_timeout_add(100, report_main_window, g_object_ref(object));
    }
    return TRUE;
}

}  // namespace

extern "C" G_MODULE_EXPORT void gtk_module_init(gint*, gchar***) {
    const gchar* path = g_getenv("QN_E2E_PROBE_OUT");
    if (path == nullptr) {
        return;
    }
    out_path = path;
    g_type_class_ref(GTK_TYPE_WIDGET);
    g_signal_add_emission_hook(g_signal_lookup("map", GTK_TYPE_WIDGET), 0, on_map, nullptr,
                               nullptr);
}
