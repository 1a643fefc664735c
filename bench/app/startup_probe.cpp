// A GTK module for the start-up benchmark, loaded into the program through
// GTK_MODULES; the program knows nothing of it. It closes every notice as
// soon as the notice is shown (as a user pressing OK at once would), notes
// the moments that matter and closes the main window once its list has been
// drawn, so that the program ends by itself with exit code 0.
//
// It appends to the file named by QN_BENCH_PROBE_OUT, one record a line,
// fields separated by tabs, times in nanoseconds of CLOCK_MONOTONIC (the
// clock of Python's time.monotonic_ns), texts in UTF-8:
//   dialog TIME TITLE TEXT VMHWM_KB   a message dialog has been mapped; the peak
//                                     resident set so far
//   dismissed TIME                    that dialog has been answered with OK
//   mapped TIME ROWS VMHWM_KB CELL0 CELL1 CELL2
//                                     the main window has been mapped; ROWS
//                                     rows in its list, the cells of the last
//                                     one, the peak resident set so far
//   drawn TIME VMHWM_KB               the list has been drawn for the first time
#include <gtk/gtk.h>

#include "gtk_probe_records.h"

#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>

namespace {

std::string out_path;
gulong drawn_handler = 0;

long long now_ns() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec;
}

// The process's peak resident set in KiB, as the kernel keeps it.
std::string peak_rss_kib() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::to_string(std::stoll(line.substr(6)));
        }
    }
    return "-1";
}

void write_record(const std::string& record) { qn::probe::write_record(out_path, record); }

using qn::probe::field;
using qn::probe::find_tree_view;

// Runs inside the dialog's own loop, which has started by then.
gboolean answer_dialog(gpointer data) {
    auto* dialog = static_cast<GtkWidget*>(data);
    if (!gtk_widget_in_destruction(dialog)) {
        write_record("dismissed\t" + std::to_string(now_ns()));
        gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    }
    g_object_unref(dialog);
    return G_SOURCE_REMOVE;
}

void on_dialog_mapped(GtkWidget* dialog) {
    const long long at = now_ns();
    gchar* text = nullptr;
    g_object_get(dialog, "text", &text, nullptr);
    write_record("dialog\t" + std::to_string(at) + "\t" +
                 field(gtk_window_get_title(GTK_WINDOW(dialog))) + "\t" + field(text) + "\t" +
                 peak_rss_kib());
    g_free(text);
    g_idle_add(answer_dialog, g_object_ref(dialog));
}

gboolean close_window(gpointer data) {
    auto* window = static_cast<GtkWidget*>(data);
    if (!gtk_widget_in_destruction(window)) {
        gtk_window_close(GTK_WINDOW(window));
    }
    g_object_unref(window);
    return G_SOURCE_REMOVE;
}

gboolean on_list_drawn(GtkWidget* list, cairo_t*, gpointer) {
    write_record("drawn\t" + std::to_string(now_ns()) + "\t" + peak_rss_kib());
    g_signal_handler_disconnect(list, drawn_handler);
    g_idle_add(close_window, g_object_ref(gtk_widget_get_toplevel(list)));
    return FALSE;
}

void on_main_window_mapped(GtkTreeView* list) {
    const long long at = now_ns();
    const std::string peak = peak_rss_kib();
    GtkTreeModel* rows = gtk_tree_view_get_model(list);
    const int count = gtk_tree_model_iter_n_children(rows, nullptr);
    gchar* cells[3] = {nullptr, nullptr, nullptr};
    GtkTreeIter last;
    if (count > 0 && gtk_tree_model_iter_nth_child(rows, &last, nullptr, count - 1)) {
        gtk_tree_model_get(rows, &last, 0, &cells[0], 1, &cells[1], 2, &cells[2], -1);
    }
    write_record("mapped\t" + std::to_string(at) + "\t" + std::to_string(count) + "\t" + peak +
                 "\t" + field(cells[0]) + "\t" + field(cells[1]) + "\t" + field(cells[2]));
    for (gchar* c : cells) {
        g_free(c);
    }
    drawn_handler = g_signal_connect_after(list, "draw", G_CALLBACK(on_list_drawn), nullptr);
}

gboolean on_map(GSignalInvocationHint*, guint, const GValue* params, gpointer) {
    GObject* object = G_OBJECT(g_value_get_object(&params[0]));
    if (GTK_IS_MESSAGE_DIALOG(object)) {
        on_dialog_mapped(GTK_WIDGET(object));
    } else if (GTK_IS_WINDOW(object)) {
        if (GtkTreeView* list = find_tree_view(GTK_WIDGET(object))) {
            on_main_window_mapped(list);
        }
    }
    return TRUE;
}

}  // namespace

extern "C" G_MODULE_EXPORT void gtk_module_init(gint*, gchar***) {
    const gchar* path = g_getenv("QN_BENCH_PROBE_OUT");
    if (path == nullptr) {
        return;
    }
    out_path = path;
    g_type_class_ref(GTK_TYPE_WIDGET);
    g_signal_add_emission_hook(g_signal_lookup("map", GTK_TYPE_WIDGET), 0, on_map, nullptr,
                               nullptr);
}
