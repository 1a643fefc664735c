// The program's one window on GTK: "Quennick", 406 x 250, not resizable,
// centred, holding the thread list "超级列表框1" (408 x 225 at (0, 0)) and the
// hidden menu item "a" whose one item "打开" the list's popup menu shows.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <memory>
#include <optional>

#include "app/gtk/gobject_ptr.h"

namespace qn::gtk {

inline constexpr int WINDOW_WIDTH = 406;
inline constexpr int WINDOW_HEIGHT = 250;
inline constexpr int LIST_X = 0;
inline constexpr int LIST_Y = 0;
inline constexpr int LIST_WIDTH = 408;
inline constexpr int LIST_HEIGHT = 225;
inline constexpr int COLUMN_COUNT = 3;
inline constexpr int COLUMN_WIDTHS[COLUMN_COUNT] = {40, 200, 200};
// The popup menu's top left corner, relative to the pointer.
inline constexpr int MENU_OFFSET = 3;

// The window's event handlers, run on the main loop's thread.
struct MainWindowEvents {
    std::function<void()> list_right_click = {};  // a right click on a row or the empty list
    std::function<void()> open_chosen = {};       // the menu item "打开" was chosen
    std::function<void()> destroyed = {};         // the window has been closed
};

struct Origin {
    int x;
    int y;
};
// Where a window of the given outer size goes to stand centred on a screen:
// (screen width - width) / 2 and (screen height - height) / 2, truncated
// toward zero, offset by the screen's own origin.
Origin centred_origin(const GdkRectangle& screen, int width, int height);

class MainWindow {
public:
    // Builds the window hidden, with its list realised and shown inside it;
    // nullptr when GTK cannot make one of them.
    static std::unique_ptr<MainWindow> create();
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    void set_events(MainWindowEvents events);

    // Shows and activates the window.
    void show();
    // Closes the window as its close box does.
    void close();
    bool is_destroyed() const noexcept { return destroyed_; }

    GtkWindow* window() const noexcept { return GTK_WINDOW(window_.get()); }
    GtkTreeView* list() const noexcept { return list_.get(); }
    GtkListStore* store() const noexcept { return store_.get(); }

    // Pops up the visible items under "a" 3 pixels right of and below the
    // pointer and returns when the menu has closed. A chosen item's command
    // runs afterwards, from the main loop, as a posted command would.
    void popup_menu_at_pointer();

private:
    enum class Command { open_thread };

    MainWindow() = default;
    void run_command(Command command);

    static gboolean on_key_press(GtkWidget* widget, GdkEventKey* event, gpointer self);
    static gboolean on_list_button_press(GtkWidget* widget, GdkEventButton* event, gpointer self);
    static gboolean on_list_button_release(GtkWidget* widget, GdkEventButton* event, gpointer self);
    static void on_destroy(GtkWidget* widget, gpointer self);
    static gboolean on_pending_command(gpointer self);

    GObjectPtr<GtkWidget> window_;
    GObjectPtr<GtkTreeView> list_;
    GObjectPtr<GtkListStore> store_;
    MainWindowEvents events_;
    bool destroyed_ = false;
    bool right_button_down_ = false;
    std::optional<Command> pending_command_;
    guint pending_source_ = 0;
};

}  // namespace qn::gtk
