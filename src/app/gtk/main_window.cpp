#include "app/gtk/main_window.h"

#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "app/gtk/app_icon.h"
#include "text/codepage.h"
#include "text/fixed_texts.h"

namespace qn::gtk {

Origin centred_origin(const GdkRectangle& screen, int width, int height) {
    return {screen.x + (screen.width - width) / 2, screen.y + (screen.height - height) / 2};
}

namespace {

GdkRectangle primary_screen_area(GtkWidget* widget) {
    GdkDisplay* display = gtk_widget_get_display(widget);
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    if (monitor == nullptr) {
        monitor = gdk_display_get_monitor(display, 0);
    }
    GdkRectangle area{0, 0, 0, 0};
    if (monitor != nullptr) {
        gdk_monitor_get_geometry(monitor, &area);
    }
    return area;
}

void add_list_columns(GtkTreeView* list) {
    const char* const headers[COLUMN_COUNT] = {texts::COLUMN_NUMBER, texts::COLUMN_TITLE,
                                               texts::COLUMN_LINK};
    for (int i = 0; i < COLUMN_COUNT; ++i) {
        GtkCellRenderer* cell = gtk_cell_renderer_text_new();
        // A cell too narrow for its text ends in an ellipsis, as a report list does.
        g_object_set(cell, "ellipsize", PANGO_ELLIPSIZE_END, nullptr);
        GtkTreeViewColumn* column = gtk_tree_view_column_new_with_attributes(
            cp936_to_utf8(headers[i]).c_str(), cell, "text", i, nullptr);
        gtk_tree_view_column_set_sizing(column, GTK_TREE_VIEW_COLUMN_FIXED);
        gtk_tree_view_column_set_fixed_width(column, COLUMN_WIDTHS[i]);
        gtk_tree_view_column_set_resizable(column, TRUE);
        gtk_tree_view_column_set_alignment(column, 0.0F);
        gtk_tree_view_append_column(list, column);
    }
}

// One visible item of the popup menu, bound to the popup it belongs to.
struct PopupState;
struct PopupItem {
    PopupState* popup;
    int command;
};
struct PopupState {
    GMainLoop* loop = nullptr;
    std::optional<int> chosen;
};

struct GdkEventFree {
    void operator()(GdkEvent* event) const noexcept { gdk_event_free(event); }
};

}  // namespace

std::unique_ptr<MainWindow> MainWindow::create() {
    std::unique_ptr<MainWindow> self(new MainWindow());

    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    if (window == nullptr) {
        return nullptr;
    }
    // GTK owns a toplevel until it is destroyed; this reference keeps the
    // object valid for as long as the MainWindow lives.
    self->window_.reset(GTK_WIDGET(g_object_ref(window)));
    g_signal_connect(window, "destroy", G_CALLBACK(on_destroy), self.get());

    gtk_window_set_title(GTK_WINDOW(window), cp936_to_utf8(texts::CAPTION).c_str());
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    set_app_icon(GTK_WINDOW(window));

    // A layout does not grow with its children, so the window keeps its size
    // and the list its own, cut off where the window is smaller.
    GtkWidget* layout = gtk_layout_new(nullptr, nullptr);
    if (layout == nullptr) {
        return nullptr;
    }
    gtk_widget_set_size_request(layout, WINDOW_WIDTH, WINDOW_HEIGHT);
    gtk_container_add(GTK_CONTAINER(window), layout);

    // The list with its sunken edge and its scroll bars.
    GtkWidget* frame = gtk_scrolled_window_new(nullptr, nullptr);
    GtkListStore* store =
        gtk_list_store_new(COLUMN_COUNT, G_TYPE_STRING, G_TYPE_STRING, G_TYPE_STRING);
    if (frame == nullptr || store == nullptr) {
        return nullptr;
    }
    self->store_.reset(store);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(frame), GTK_SHADOW_IN);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(frame), GTK_POLICY_AUTOMATIC,
                                   GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_set_overlay_scrolling(GTK_SCROLLED_WINDOW(frame), FALSE);
    gtk_widget_set_size_request(frame, LIST_WIDTH, LIST_HEIGHT);
    gtk_layout_put(GTK_LAYOUT(layout), frame, LIST_X, LIST_Y);

    GtkWidget* list = gtk_tree_view_new_with_model(GTK_TREE_MODEL(store));
    if (list == nullptr) {
        return nullptr;
    }
    self->list_.reset(GTK_TREE_VIEW(g_object_ref(list)));
    gtk_widget_set_name(list, cp936_to_utf8(texts::LIST_CONTROL_NAME).c_str());
    GtkTreeView* view = GTK_TREE_VIEW(list);
    add_list_columns(view);
    gtk_tree_view_set_headers_visible(view, TRUE);
    gtk_tree_view_set_headers_clickable(view, FALSE);
    gtk_tree_view_set_reorderable(view, FALSE);
    gtk_tree_view_set_enable_search(view, FALSE);
    gtk_tree_view_set_grid_lines(view, GTK_TREE_VIEW_GRID_LINES_BOTH);
    gtk_tree_view_set_fixed_height_mode(view, TRUE);
    gtk_tree_selection_set_mode(gtk_tree_view_get_selection(view), GTK_SELECTION_SINGLE);
    gtk_container_add(GTK_CONTAINER(frame), list);

    g_signal_connect(window, "key-press-event", G_CALLBACK(on_key_press), self.get());
    g_signal_connect(list, "button-press-event", G_CALLBACK(on_list_button_press), self.get());
    g_signal_connect(list, "button-release-event", G_CALLBACK(on_list_button_release), self.get());

    const Origin origin = centred_origin(primary_screen_area(window), WINDOW_WIDTH, WINDOW_HEIGHT);
    gtk_window_move(GTK_WINDOW(window), origin.x, origin.y);

    // The window stays hidden; its list is shown inside it and realised.
    gtk_widget_show_all(layout);
    gtk_widget_realize(list);
    if (!gtk_widget_get_realized(window) || !gtk_widget_get_realized(list)) {
        return nullptr;
    }
    return self;
}

MainWindow::~MainWindow() {
    if (pending_source_ != 0) {
        g_source_remove(pending_source_);
    }
    if (window_) {
        g_signal_handlers_disconnect_by_data(window_.get(), this);
        if (list_) {
            g_signal_handlers_disconnect_by_data(list_.get(), this);
        }
        if (!destroyed_) {
            gtk_widget_destroy(window_.get());
        }
    }
}

void MainWindow::set_events(MainWindowEvents events) { events_ = std::move(events); }

void MainWindow::show() {
    if (destroyed_) {
        return;
    }
    // The window is activated but its list gets no focus of its own until
    // the user gives it, so that showing the window selects no row: GTK
    // selects the first row of a list that takes the focus without a
    // cursor row.
    GtkWidget* list = GTK_WIDGET(list_.get());
    gtk_widget_set_can_focus(list, FALSE);
    gtk_window_present(window());
    gtk_widget_set_can_focus(list, TRUE);
}

void MainWindow::close() {
    if (!destroyed_) {
        gtk_window_close(window());
    }
}

void MainWindow::popup_menu_at_pointer() {
    if (destroyed_) {
        return;
    }
    // The items under the hidden top-level item "a", in menu order. "a" itself
    // never shows: the window has no menu bar.
    struct MenuItem {
        const char* text;
        bool visible;
        Command command;
    };
    static constexpr MenuItem items_of_a[] = {{texts::MENU_OPEN, true, Command::open_thread}};

    PopupState state;
    std::vector<PopupItem> bindings;
    bindings.reserve(std::size(items_of_a));
    GObjectPtr<GtkWidget> menu = ref_sink(gtk_menu_new());
    for (const MenuItem& item : items_of_a) {
        if (!item.visible) {
            continue;
        }
        GtkWidget* entry = gtk_menu_item_new_with_label(cp936_to_utf8(item.text).c_str());
        bindings.push_back({&state, static_cast<int>(item.command)});
        g_signal_connect(entry, "activate", G_CALLBACK(+[](GtkMenuItem*, gpointer data) {
                             auto* binding = static_cast<PopupItem*>(data);
                             binding->popup->chosen = binding->command;
                         }),
                         &bindings.back());
        gtk_menu_shell_append(GTK_MENU_SHELL(menu.get()), entry);
        gtk_widget_show(entry);
    }
    gtk_menu_attach_to_widget(GTK_MENU(menu.get()), window_.get(), nullptr);

    GdkWindow* surface = gtk_widget_get_window(window_.get());
    GdkDevice* pointer =
        gdk_seat_get_pointer(gdk_display_get_default_seat(gtk_widget_get_display(window_.get())));
    int x = 0;
    int y = 0;
    gdk_window_get_device_position(surface, pointer, &x, &y, nullptr);
    const GdkRectangle at{x + MENU_OFFSET, y + MENU_OFFSET, 1, 1};

    GMainLoopPtr loop(g_main_loop_new(nullptr, FALSE));
    state.loop = loop.get();
    g_signal_connect(menu.get(), "deactivate", G_CALLBACK(+[](GtkMenuShell*, gpointer data) {
                         g_main_loop_quit(static_cast<PopupState*>(data)->loop);
                     }),
                     &state);
    {
        const std::unique_ptr<GdkEvent, GdkEventFree> trigger(gtk_get_current_event());
        gtk_menu_popup_at_rect(GTK_MENU(menu.get()), surface, &at, GDK_GRAVITY_NORTH_WEST,
                               GDK_GRAVITY_NORTH_WEST, trigger.get());
    }
    // The menu runs its own loop until it closes, with or without a choice.
    // A menu that could not take the pointer never shows and closes at once.
    if (gtk_widget_get_visible(menu.get())) {
        g_main_loop_run(loop.get());
    }
    g_signal_handlers_disconnect_by_data(menu.get(), &state);
    gtk_widget_destroy(menu.get());

    if (state.chosen && !destroyed_) {
        pending_command_ = static_cast<Command>(*state.chosen);
        if (pending_source_ == 0) {
            pending_source_ = g_idle_add(on_pending_command, this);
        }
    }
}

void MainWindow::run_command(Command command) {
    switch (command) {
        case Command::open_thread:
            if (events_.open_chosen) {
                events_.open_chosen();
            }
            break;
    }
}

gboolean MainWindow::on_pending_command(gpointer data) {
    auto* self = static_cast<MainWindow*>(data);
    self->pending_source_ = 0;
    if (const std::optional<Command> command = std::exchange(self->pending_command_, {})) {
        self->run_command(*command);
    }
    return G_SOURCE_REMOVE;
}

gboolean MainWindow::on_key_press(GtkWidget*, GdkEventKey* event, gpointer data) {
    auto* self = static_cast<MainWindow*>(data);
    const guint held = event->state & (GDK_CONTROL_MASK | GDK_SHIFT_MASK | GDK_MOD1_MASK);
    if (event->keyval == GDK_KEY_Escape && held == 0) {
        self->close();
        return TRUE;
    }
    return FALSE;
}

gboolean MainWindow::on_list_button_press(GtkWidget* widget, GdkEventButton* event, gpointer data) {
    auto* self = static_cast<MainWindow*>(data);
    GtkTreeView* view = GTK_TREE_VIEW(widget);
    // Rows and the empty part of the list only; the column headers have
    // windows of their own.
    if (event->type != GDK_BUTTON_PRESS || event->button != GDK_BUTTON_SECONDARY ||
        event->window != gtk_tree_view_get_bin_window(view)) {
        return FALSE;
    }
    // A right click focuses the list and selects the row under the pointer,
    // or clears the selection on the empty part.
    gtk_widget_grab_focus(widget);
    GtkTreePath* path = nullptr;
    if (gtk_tree_view_get_path_at_pos(view, static_cast<gint>(event->x),
                                      static_cast<gint>(event->y), &path, nullptr, nullptr,
                                      nullptr)) {
        gtk_tree_view_set_cursor(view, path, nullptr, FALSE);
        gtk_tree_path_free(path);
    } else {
        gtk_tree_selection_unselect_all(gtk_tree_view_get_selection(view));
    }
    self->right_button_down_ = true;
    return TRUE;
}

gboolean MainWindow::on_list_button_release(GtkWidget*, GdkEventButton* event, gpointer data) {
    auto* self = static_cast<MainWindow*>(data);
    if (event->button != GDK_BUTTON_SECONDARY || !self->right_button_down_) {
        return FALSE;
    }
    // The click is complete when the button comes up: the menu then opens
    // with no button held, and the next click chooses or dismisses.
    self->right_button_down_ = false;
    if (self->events_.list_right_click) {
        self->events_.list_right_click();
    }
    return TRUE;
}

void MainWindow::on_destroy(GtkWidget*, gpointer data) {
    auto* self = static_cast<MainWindow*>(data);
    self->destroyed_ = true;
    if (self->pending_source_ != 0) {
        g_source_remove(self->pending_source_);
        self->pending_source_ = 0;
    }
    if (self->events_.destroyed) {
        self->events_.destroyed();
    }
}

}  // namespace qn::gtk
