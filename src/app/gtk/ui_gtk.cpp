#include "app/gtk/ui_gtk.h"

#include <gio/gio.h>

#include <limits>
#include <string>

#include "app/gtk/gobject_ptr.h"
#include "app/gtk/message_dialog.h"
#include "text/codepage.h"
#include "text/fixed_texts.h"

namespace qn::gtk {

namespace {

// The list's rows, or nullptr once the window has been closed: like the
// window's other parts, the list is gone with it.
GtkTreeModel* rows_of(const MainWindow& window) {
    return window.is_destroyed() ? nullptr : GTK_TREE_MODEL(window.store());
}

bool find_row(GtkTreeModel* rows, int32_t row, GtkTreeIter* iter) {
    return rows != nullptr && row >= 0 &&
           gtk_tree_model_iter_nth_child(rows, iter, nullptr, row) != FALSE;
}

bool is_column(int32_t column) { return column >= 0 && column < COLUMN_COUNT; }

}  // namespace

int32_t GtkUi::lv_append_row() {
    GtkTreeModel* rows = rows_of(window_);
    const int32_t count = lv_row_count();
    if (rows == nullptr || count == std::numeric_limits<int32_t>::max()) {
        return -1;
    }
    GtkTreeIter iter;
    gtk_list_store_insert(window_.store(), &iter, count);
    return count;
}

int32_t GtkUi::lv_row_count() {
    GtkTreeModel* rows = rows_of(window_);
    return rows == nullptr ? 0 : gtk_tree_model_iter_n_children(rows, nullptr);
}

void GtkUi::lv_set_cell(int32_t row, int32_t column, const Text& text) {
    GtkTreeIter iter;
    if (!is_column(column) || !find_row(rows_of(window_), row, &iter)) {
        return;
    }
    // The list holds UTF-8; the program's texts are code page 936.
    gtk_list_store_set(window_.store(), &iter, column, cp936_to_utf8(text.view()).c_str(), -1);
}

Text GtkUi::lv_cell_text(int32_t row, int32_t column) {
    GtkTreeIter iter;
    GtkTreeModel* rows = rows_of(window_);
    if (!is_column(column) || !find_row(rows, row, &iter)) {
        return Text();
    }
    gchar* value = nullptr;
    gtk_tree_model_get(rows, &iter, column, &value, -1);
    const GCharPtr owned(value);
    return owned ? Text(utf8_to_cp936(owned.get())) : Text();
}

int32_t GtkUi::lv_selected_row() {
    if (window_.is_destroyed()) {
        return -1;
    }
    GtkTreeModel* rows = nullptr;
    GtkTreeIter iter;
    if (!gtk_tree_selection_get_selected(gtk_tree_view_get_selection(window_.list()), &rows,
                                         &iter)) {
        return -1;
    }
    GtkTreePath* path = gtk_tree_model_get_path(rows, &iter);
    const int32_t index = gtk_tree_path_get_indices(path)[0];
    gtk_tree_path_free(path);
    return index;
}

void GtkUi::popup_menu_at_cursor() { window_.popup_menu_at_pointer(); }

void GtkUi::notice_box(const Text& text, int32_t style, const std::optional<Text>& title) {
    // An empty title is an absent one: the notice then reads "信息：".
    const Text& shown_title = title && !title->empty() ? *title : Text(texts::DEFAULT_NOTICE_TITLE);
    run_message_dialog(cp936_to_utf8(text.view()), style, cp936_to_utf8(shown_title.view()));
}

void GtkUi::open_in_browser(const Text& url) {
    const std::string uri = cp936_to_utf8(url.view());
    GdkDisplay* display = gdk_display_get_default();
    const GObjectPtr<GdkAppLaunchContext> context(
        display != nullptr ? gdk_display_get_app_launch_context(display) : nullptr);
    // The desktop's default handler for the URL's scheme, started directly
    // with the URL as its argument: no shell sees the text.
    GError* error = nullptr;
    if (g_app_info_launch_default_for_uri(uri.c_str(), G_APP_LAUNCH_CONTEXT(context.get()),
                                          &error)) {
        return;
    }
    const GErrorPtr failure(error);
    // Desktops that keep their defaults elsewhere answer through xdg-open,
    // given the URL as one argument. A failure is not reported.
    const GCharPtr opener(g_find_program_in_path("xdg-open"));
    if (opener) {
        gchar* argv[] = {opener.get(), const_cast<gchar*>(uri.c_str()), nullptr};
        g_spawn_async(nullptr, argv, nullptr, G_SPAWN_DEFAULT, nullptr, nullptr, nullptr, nullptr);
    }
}

}  // namespace qn::gtk
