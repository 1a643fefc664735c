// The GTK window and its user-interface operations on real widgets, on the
// X display named by DISPLAY.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/gtk/app_icon.h"
#include "app/gtk/main_window.h"
#include "app/gtk/ui_gtk.h"
#include "text/codepage.h"
#include "text/fixed_texts.h"

namespace qn::gtk {
namespace {

using namespace std::chrono_literals;

// Runs the main context until `done` holds or the time is up.
bool pump_until(const std::function<bool()>& done,
                std::chrono::milliseconds limit = std::chrono::milliseconds(5000)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        if (!g_main_context_iteration(nullptr, FALSE)) {
            std::this_thread::sleep_for(5ms);
        }
    }
    return true;
}

void pump_for(std::chrono::milliseconds time) {
    pump_until([] { return false; }, time);
}

std::string utf8(const char* cp936) { return cp936_to_utf8(cp936); }

GdkDevice* pointer_device() {
    return gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default()));
}

GdkDevice* keyboard_device() {
    return gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_display_get_default()));
}

GtkWidget* list_frame(const MainWindow& window) {
    return gtk_widget_get_parent(GTK_WIDGET(window.list()));
}

class GtkWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gtk_init_check(nullptr, nullptr)) << "no X display (DISPLAY) to test on";
        window = MainWindow::create();
        ASSERT_NE(window, nullptr);
        ui = std::make_unique<GtkUi>(*window);
    }

    void show_and_wait() {
        window->show();
        ASSERT_TRUE(pump_until([this] {
            GtkAllocation frame;
            gtk_widget_get_allocation(list_frame(*window), &frame);
            return gtk_widget_get_mapped(GTK_WIDGET(window->list())) && frame.width > 1;
        }));
        pump_for(50ms);
    }

    void add_rows(int n) {
        for (int i = 0; i < n; ++i) {
            const int32_t row = ui->lv_append_row();
            ui->lv_set_cell(row, 0, txt_from_number(i + 1));
            ui->lv_set_cell(row, 1, Text("t"));
        }
    }

    std::unique_ptr<MainWindow> window;
    std::unique_ptr<GtkUi> ui;
};

TEST_F(GtkWindowTest, WindowAndListHaveTheirFixedSettingsAndStartHidden) {
    GtkWindow* w = window->window();
    EXPECT_STREQ(gtk_window_get_title(w), "Quennick");
    EXPECT_FALSE(gtk_window_get_resizable(w));
    EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(w)));
    EXPECT_TRUE(gtk_widget_get_realized(GTK_WIDGET(window->list())));
    EXPECT_TRUE(gtk_widget_get_visible(GTK_WIDGET(window->list())));

    GtkTreeView* list = window->list();
    EXPECT_EQ(gtk_widget_get_name(GTK_WIDGET(list)), utf8(texts::LIST_CONTROL_NAME));
    EXPECT_EQ(gtk_tree_selection_get_mode(gtk_tree_view_get_selection(list)), GTK_SELECTION_SINGLE);
    EXPECT_EQ(gtk_tree_view_get_grid_lines(list), GTK_TREE_VIEW_GRID_LINES_BOTH);
    EXPECT_TRUE(gtk_tree_view_get_headers_visible(list));
    EXPECT_FALSE(gtk_tree_view_get_headers_clickable(list));
    EXPECT_EQ(ui->lv_row_count(), 0);
    EXPECT_EQ(ui->lv_selected_row(), -1);

    const std::array<std::string, 3> headers = {
        utf8(texts::COLUMN_NUMBER), utf8(texts::COLUMN_TITLE), utf8(texts::COLUMN_LINK)};
    const std::array<int, 3> widths = {40, 200, 200};
    ASSERT_EQ(gtk_tree_view_get_n_columns(list), 3U);
    for (int i = 0; i < 3; ++i) {
        GtkTreeViewColumn* column = gtk_tree_view_get_column(list, i);
        EXPECT_EQ(gtk_tree_view_column_get_title(column), headers[static_cast<size_t>(i)]);
        EXPECT_EQ(gtk_tree_view_column_get_sizing(column), GTK_TREE_VIEW_COLUMN_FIXED);
        EXPECT_EQ(gtk_tree_view_column_get_fixed_width(column), widths[static_cast<size_t>(i)]);
    }

    // The icon: the four images, 16 to 128 pixels square.
    std::vector<int> sizes;
    GList* icons = gtk_window_get_icon_list(w);
    for (GList* it = icons; it != nullptr; it = it->next) {
        auto* pixbuf = GDK_PIXBUF(it->data);
        EXPECT_EQ(gdk_pixbuf_get_width(pixbuf), gdk_pixbuf_get_height(pixbuf));
        sizes.push_back(gdk_pixbuf_get_width(pixbuf));
    }
    g_list_free(icons);
    EXPECT_EQ(sizes, (std::vector<int>{16, 32, 48, 128}));
}

TEST(CentredOrigin, HalvesTheFreeSpaceTruncatingTowardZero) {
    struct Case {
        GdkRectangle screen;
        Origin expected;
    };
    const Case cases[] = {
        {{0, 0, 1280, 1024}, {437, 387}},
        {{0, 0, 1921, 1081}, {757, 415}},           // odd free space: truncated
        {{1280, 0, 1024, 768}, {1280 + 309, 259}},  // a primary screen right of another
        {{0, 0, 301, 200}, {-52, -25}},             // smaller than the window: toward zero
    };
    for (const Case& c : cases) {
        const Origin origin = centred_origin(c.screen, 406, 250);
        EXPECT_EQ(origin.x, c.expected.x) << c.screen.width;
        EXPECT_EQ(origin.y, c.expected.y) << c.screen.height;
    }
}

TEST_F(GtkWindowTest, ShownWindowIsCentredAtItsSizeAndTheListKeepsItsOwn) {
    add_rows(3);
    show_and_wait();
    EXPECT_EQ(ui->lv_selected_row(), -1) << "showing the window selects no row";
    GtkWidget* w = GTK_WIDGET(window->window());

    int width = 0;
    int height = 0;
    gtk_window_get_size(window->window(), &width, &height);
    EXPECT_EQ(width, 406);
    EXPECT_EQ(height, 250);

    GdkMonitor* monitor = gdk_display_get_primary_monitor(gdk_display_get_default());
    if (monitor == nullptr) {
        monitor = gdk_display_get_monitor(gdk_display_get_default(), 0);
    }
    GdkRectangle screen;
    gdk_monitor_get_geometry(monitor, &screen);
    GdkRectangle frame;
    gdk_window_get_frame_extents(gtk_widget_get_window(w), &frame);
    const Origin expected = centred_origin(screen, frame.width, frame.height);
    EXPECT_EQ(frame.x, expected.x);
    EXPECT_EQ(frame.y, expected.y);

    // The list at (0, 0), 408 x 225, wider than the window: its right edge
    // is cut off rather than the list fitted in.
    GtkAllocation list;
    gtk_widget_get_allocation(list_frame(*window), &list);
    EXPECT_EQ(list.x, 0);
    EXPECT_EQ(list.y, 0);
    EXPECT_EQ(list.width, 408);
    EXPECT_EQ(list.height, 225);
    EXPECT_LT(gtk_widget_get_allocated_width(w), list.width);

    const std::array<int, 3> widths = {40, 200, 200};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(gtk_tree_view_column_get_width(gtk_tree_view_get_column(window->list(), i)),
                  widths[static_cast<size_t>(i)]);
    }
}

TEST_F(GtkWindowTest, RowsAreAppendedAtTheEndAndReadBackAsWritten) {
    EXPECT_EQ(ui->lv_append_row(), 0);
    EXPECT_EQ(ui->lv_append_row(), 1);
    EXPECT_EQ(ui->lv_append_row(), 2);
    EXPECT_EQ(ui->lv_row_count(), 3);

    // "第一" and "链接" in code page 936, between ASCII.
    const Text title("A\xb5\xda\xd2\xbb z");
    const Text link("thread-\xc1\xb4\xbd\xd3.html");
    ui->lv_set_cell(2, 0, Text("3"));
    ui->lv_set_cell(2, 1, title);
    ui->lv_set_cell(2, 2, link);
    EXPECT_EQ(ui->lv_cell_text(2, 0), Text("3"));
    EXPECT_EQ(ui->lv_cell_text(2, 1), title);
    EXPECT_EQ(ui->lv_cell_text(2, 2), link);

    // The list itself holds UTF-8.
    GtkTreeIter iter;
    ASSERT_TRUE(gtk_tree_model_iter_nth_child(GTK_TREE_MODEL(window->store()), &iter, nullptr, 2));
    gchar* stored = nullptr;
    gtk_tree_model_get(GTK_TREE_MODEL(window->store()), &iter, 1, &stored, -1);
    EXPECT_STREQ(stored, "A\xe7\xac\xac\xe4\xb8\x80 z");
    g_free(stored);

    // Unwritten cells, missing rows and columns read empty; writes to them
    // change nothing; an empty text empties a cell.
    EXPECT_EQ(ui->lv_cell_text(0, 1), Text());
    ui->lv_set_cell(3, 0, Text("x"));
    ui->lv_set_cell(-1, 0, Text("x"));
    ui->lv_set_cell(0, 3, Text("x"));
    EXPECT_EQ(ui->lv_row_count(), 3);
    for (const auto& [row, column] : {std::pair{3, 0}, {-1, 0}, {0, 3}, {0, -1}}) {
        EXPECT_EQ(ui->lv_cell_text(row, column), Text()) << row << "," << column;
    }
    ui->lv_set_cell(2, 1, Text());
    EXPECT_EQ(ui->lv_cell_text(2, 1), Text());
    EXPECT_EQ(ui->lv_cell_text(2, 2), link);
}

TEST_F(GtkWindowTest, CellLongerThan512BytesIsReadWhole) {
    std::string bytes;
    for (int i = 0; bytes.size() < 3000; ++i) {
        bytes += "ab\xb1\xea\xcc\xe2";  // ASCII, then "标题"
        bytes += static_cast<char>('0' + i % 10);
    }
    const Text long_text(bytes);
    ASSERT_GT(txt_len(long_text), 512);
    const int32_t row = ui->lv_append_row();
    ui->lv_set_cell(row, 2, long_text);
    EXPECT_EQ(ui->lv_cell_text(row, 2), long_text);
}

TEST_F(GtkWindowTest, SelectedRowIsTheOneSelectedOrMinusOne) {
    add_rows(4);
    GtkTreeSelection* selection = gtk_tree_view_get_selection(window->list());
    EXPECT_EQ(ui->lv_selected_row(), -1);

    GtkTreePath* second = gtk_tree_path_new_from_indices(1, -1);
    GtkTreePath* fourth = gtk_tree_path_new_from_indices(3, -1);
    gtk_tree_selection_select_path(selection, second);
    EXPECT_EQ(ui->lv_selected_row(), 1);
    gtk_tree_selection_select_path(selection, fourth);  // single selection: replaces it
    EXPECT_EQ(ui->lv_selected_row(), 3);
    EXPECT_EQ(gtk_tree_selection_count_selected_rows(selection), 1);
    gtk_tree_selection_unselect_all(selection);
    EXPECT_EQ(ui->lv_selected_row(), -1);
    gtk_tree_path_free(second);
    gtk_tree_path_free(fourth);
}

// A key press as the X server would report it, delivered through GTK's own
// event dispatch to the given window of the program.
void send_key(GdkWindow* target, guint keyval, GdkModifierType state) {
    GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
    event->key.window = GDK_WINDOW(g_object_ref(target));
    event->key.keyval = keyval;
    event->key.state = state;
    event->key.time = GDK_CURRENT_TIME;
    GdkKeymapKey* keys = nullptr;
    gint n_keys = 0;
    if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(gdk_display_get_default()),
                                          keyval, &keys, &n_keys) &&
        n_keys > 0) {
        event->key.hardware_keycode = static_cast<guint16>(keys[0].keycode);
    }
    g_free(keys);
    gdk_event_set_device(event, keyboard_device());
    gtk_main_do_event(event);
    gdk_event_free(event);
}

TEST_F(GtkWindowTest, EscWithoutModifiersClosesTheWindowFromTheListAndFromTheWindow) {
    struct Case {
        const char* name;
        bool on_list;
        GdkModifierType held;
        bool closes;
    };
    const Case cases[] = {
        {"Esc on the list", true, GdkModifierType(0), true},
        {"Esc on the window", false, GdkModifierType(0), true},
        {"Ctrl+Esc", true, GDK_CONTROL_MASK, false},
        {"Shift+Esc", true, GDK_SHIFT_MASK, false},
        {"Alt+Esc", false, GDK_MOD1_MASK, false},
        {"Esc with Num Lock on", true, GDK_MOD2_MASK, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui.reset();
        window = MainWindow::create();
        ASSERT_NE(window, nullptr);
        ui = std::make_unique<GtkUi>(*window);
        int destroyed_events = 0;
        window->set_events({.destroyed = [&] { ++destroyed_events; }});
        show_and_wait();
        gtk_widget_grab_focus(GTK_WIDGET(window->list()));
        GdkWindow* target = c.on_list ? gtk_tree_view_get_bin_window(window->list())
                                      : gtk_widget_get_window(GTK_WIDGET(window->window()));
        send_key(target, GDK_KEY_Escape, c.held);
        if (c.closes) {
            EXPECT_TRUE(pump_until([&] { return window->is_destroyed(); }));
            EXPECT_EQ(destroyed_events, 1);
        } else {
            pump_for(200ms);
            EXPECT_FALSE(window->is_destroyed());
        }
    }
}

// The dialog a notice shows, as the user sees it.
struct SeenDialog {
    std::string title;
    std::string text;
    GtkMessageType type = GTK_MESSAGE_OTHER;
    std::string icon;  // the icon name shown, empty for none
    bool modal = false;
    bool has_owner = true;
};

void find_icon(GtkWidget* widget, std::string* icon) {
    if (GTK_IS_IMAGE(widget) && gtk_widget_get_visible(widget)) {
        const gchar* name = nullptr;
        gtk_image_get_icon_name(GTK_IMAGE(widget), &name, nullptr);
        if (name != nullptr) {
            *icon = name;
        }
    }
    if (GTK_IS_CONTAINER(widget)) {
        GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
        for (GList* it = children; it != nullptr; it = it->next) {
            find_icon(GTK_WIDGET(it->data), icon);
        }
        g_list_free(children);
    }
}

// Shows a notice and, from inside its modal loop, reads the dialog and
// closes it as the user would with its OK button.
std::optional<SeenDialog> show_notice(Ui& ui, const Text& text, int32_t style,
                                      const std::optional<Text>& title) {
    std::optional<SeenDialog> seen;
    const guint watch = g_timeout_add(
        20,
        +[](gpointer data) -> gboolean {
            auto* out = static_cast<std::optional<SeenDialog>*>(data);
            GList* windows = gtk_window_list_toplevels();
            for (GList* it = windows; it != nullptr; it = it->next) {
                GtkWidget* w = GTK_WIDGET(it->data);
                if (!GTK_IS_MESSAGE_DIALOG(w) || !gtk_widget_get_mapped(w)) {
                    continue;
                }
                SeenDialog d;
                d.title = gtk_window_get_title(GTK_WINDOW(w));
                gchar* text = nullptr;
                g_object_get(w, "text", &text, "message-type", &d.type, nullptr);
                d.text = text;
                g_free(text);
                find_icon(w, &d.icon);
                d.modal = gtk_window_get_modal(GTK_WINDOW(w));
                d.has_owner = gtk_window_get_transient_for(GTK_WINDOW(w)) != nullptr;
                *out = d;
                gtk_dialog_response(GTK_DIALOG(w), GTK_RESPONSE_OK);
            }
            g_list_free(windows);
            return *out ? G_SOURCE_REMOVE : G_SOURCE_CONTINUE;
        },
        &seen);
    ui.notice_box(text, style, title);
    if (!seen) {
        g_source_remove(watch);
    }
    return seen;
}

TEST_F(GtkWindowTest, NoticeIsAModalDialogWithItsTitleTextAndIcon) {
    struct Case {
        const char* name;
        std::optional<Text> title;
        int32_t style;
        std::string expected_title;
        GtkMessageType expected_type;
        std::string expected_icon;
    };
    const Case cases[] = {
        {"absent title", std::nullopt, MB_STYLE_ERROR, utf8(texts::DEFAULT_NOTICE_TITLE),
         GTK_MESSAGE_ERROR, "dialog-error"},
        {"empty title", Text(), MB_STYLE_OK, utf8(texts::DEFAULT_NOTICE_TITLE), GTK_MESSAGE_OTHER,
         ""},
        {"caption as title, no icon", Text(texts::CAPTION), MB_STYLE_OK, "Quennick",
         GTK_MESSAGE_OTHER, ""},
    };
    const Text text(texts::NO_MATCH_NOTICE);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<SeenDialog> seen = show_notice(*ui, text, c.style, c.title);
        ASSERT_TRUE(seen.has_value());
        EXPECT_EQ(seen->title, c.expected_title);
        EXPECT_EQ(seen->text, utf8(texts::NO_MATCH_NOTICE));
        EXPECT_EQ(seen->type, c.expected_type);
        EXPECT_EQ(seen->icon, c.expected_icon);
        EXPECT_TRUE(seen->modal);
        EXPECT_FALSE(seen->has_owner);
    }
}

// A mouse button event on the list's rows, as the X server would report it.
void send_button(GtkTreeView* list, GdkEventType type, guint button, int x, int y) {
    GdkWindow* bin = gtk_tree_view_get_bin_window(list);
    GdkEvent* event = gdk_event_new(type);
    event->button.window = GDK_WINDOW(g_object_ref(bin));
    event->button.button = button;
    event->button.x = x;
    event->button.y = y;
    int root_x = 0;
    int root_y = 0;
    gdk_window_get_root_coords(bin, x, y, &root_x, &root_y);
    event->button.x_root = root_x;
    event->button.y_root = root_y;
    event->button.time = GDK_CURRENT_TIME;
    event->button.state = type == GDK_BUTTON_RELEASE ? GDK_BUTTON3_MASK : 0;
    gdk_event_set_device(event, pointer_device());
    gdk_event_set_source_device(event, pointer_device());
    gtk_main_do_event(event);
    gdk_event_free(event);
}

// What a popup menu showed, read from inside its modal loop.
struct SeenMenu {
    std::vector<std::string> items;
    int x = 0;
    int y = 0;
};

struct MenuWatch {
    GtkWidget* owner;
    bool choose;
    std::optional<SeenMenu> seen;
};

gboolean read_and_close_menu(gpointer data) {
    auto* watch = static_cast<MenuWatch*>(data);
    for (GList* it = gtk_menu_get_for_attach_widget(watch->owner); it != nullptr; it = it->next) {
        GtkWidget* menu = GTK_WIDGET(it->data);
        if (!gtk_widget_get_mapped(menu)) {
            continue;
        }
        SeenMenu seen;
        gdk_window_get_origin(gtk_widget_get_window(gtk_widget_get_toplevel(menu)), &seen.x,
                              &seen.y);
        GList* entries = gtk_container_get_children(GTK_CONTAINER(menu));
        for (GList* e = entries; e != nullptr; e = e->next) {
            seen.items.emplace_back(gtk_menu_item_get_label(GTK_MENU_ITEM(e->data)));
        }
        if (watch->choose && entries != nullptr) {
            gtk_menu_shell_activate_item(GTK_MENU_SHELL(menu), GTK_WIDGET(entries->data), TRUE);
        } else {
            gtk_menu_shell_cancel(GTK_MENU_SHELL(menu));
        }
        g_list_free(entries);
        watch->seen = seen;
        return G_SOURCE_REMOVE;
    }
    return G_SOURCE_CONTINUE;
}

TEST_F(GtkWindowTest, RightClickPopsUpOpenBesideThePointerAndItsCommandRunsAfterwards) {
    add_rows(3);
    show_and_wait();
    GtkTreeView* list = window->list();

    // Where row 1 and the empty part below the rows are, in the list's rows.
    GdkRectangle row_area;
    GtkTreePath* path = gtk_tree_path_new_from_indices(1, -1);
    gtk_tree_view_get_background_area(list, path, gtk_tree_view_get_column(list, 1), &row_area);
    gtk_tree_path_free(path);
    const int row_x = row_area.x + row_area.width / 2;
    const int row_y = row_area.y + row_area.height / 2;
    const int empty_y = row_area.y + row_area.height * 3;

    struct Case {
        const char* name;
        int y;
        bool choose;
        int32_t selected_after;
        int opens;
    };
    const Case cases[] = {
        // First, while the list has never had the focus nor a cursor row.
        {"on the empty part, 打开 chosen", empty_y, true, -1, 1},
        {"on a row, 打开 chosen", row_y, true, 1, 1},
        {"on a row, menu dismissed", row_y, false, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        gtk_tree_selection_unselect_all(gtk_tree_view_get_selection(list));
        int root_x = 0;
        int root_y = 0;
        gdk_window_get_root_coords(gtk_tree_view_get_bin_window(list), row_x, c.y, &root_x,
                                   &root_y);
        gdk_device_warp(pointer_device(), gdk_screen_get_default(), root_x, root_y);
        pump_until([&] {
            int px = 0;
            int py = 0;
            gdk_device_get_position(pointer_device(), nullptr, &px, &py);
            return px == root_x && py == root_y;
        });

        MenuWatch watch{GTK_WIDGET(window->window()), c.choose, std::nullopt};
        int opens = 0;
        int opens_when_menu_returned = -1;
        int32_t selected_when_opened = -2;
        window->set_events({
            .list_right_click =
                [&] {
                    const guint source = g_timeout_add(20, read_and_close_menu, &watch);
                    ui->popup_menu_at_cursor();
                    if (!watch.seen) {
                        g_source_remove(source);
                    }
                    opens_when_menu_returned = opens;
                },
            .open_chosen =
                [&] {
                    ++opens;
                    selected_when_opened = ui->lv_selected_row();
                },
        });
        send_button(list, GDK_BUTTON_PRESS, GDK_BUTTON_SECONDARY, row_x, c.y);
        EXPECT_FALSE(watch.seen.has_value()) << "the menu opens when the button comes up";
        send_button(list, GDK_BUTTON_RELEASE, GDK_BUTTON_SECONDARY, row_x, c.y);

        ASSERT_TRUE(watch.seen.has_value());
        EXPECT_EQ(watch.seen->items, std::vector<std::string>{utf8(texts::MENU_OPEN)});
        EXPECT_EQ(watch.seen->x, root_x + 3);
        EXPECT_EQ(watch.seen->y, root_y + 3);
        EXPECT_EQ(opens_when_menu_returned, 0) << "the command runs after the menu has closed";
        EXPECT_EQ(ui->lv_selected_row(), c.selected_after);
        pump_for(100ms);
        EXPECT_EQ(opens, c.opens);
        if (c.opens > 0) {
            EXPECT_EQ(selected_when_opened, c.selected_after);
        }
    }
}

TEST_F(GtkWindowTest, ARightClickOnAColumnHeaderIsNoClickOnTheList) {
    add_rows(1);
    show_and_wait();
    int clicks = 0;
    window->set_events({.list_right_click = [&] { ++clicks; }});
    GtkWidget* header =
        gtk_tree_view_column_get_button(gtk_tree_view_get_column(window->list(), 1));
    GdkEvent* event = gdk_event_new(GDK_BUTTON_PRESS);
    event->button.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(header)));
    event->button.button = GDK_BUTTON_SECONDARY;
    event->button.x = 5;
    event->button.y = 5;
    gdk_event_set_device(event, pointer_device());
    gtk_main_do_event(event);
    event->type = GDK_BUTTON_RELEASE;
    gtk_main_do_event(event);
    gdk_event_free(event);
    pump_for(50ms);
    EXPECT_EQ(clicks, 0);
}

TEST_F(GtkWindowTest, ListOperationsOnAClosedWindowFindNoList) {
    add_rows(2);
    window->close();
    ASSERT_TRUE(pump_until([this] { return window->is_destroyed(); }));
    EXPECT_EQ(ui->lv_row_count(), 0);
    EXPECT_EQ(ui->lv_append_row(), -1);
    EXPECT_EQ(ui->lv_cell_text(0, 0), Text());
    EXPECT_EQ(ui->lv_selected_row(), -1);
    ui->popup_menu_at_cursor();  // returns at once: no window to show it for
}

}  // namespace
}  // namespace qn::gtk
