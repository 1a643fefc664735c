// MainWindow: the program's one window with the thread list "超级列表框1"
// and the hidden menu item "a" whose one item "打开" feeds the popup menu.
#pragma once

#include <windows.h>
// windows.h first: the common controls header builds on it.
#include <commctrl.h>

#include <functional>
#include <memory>
#include <vector>

#include "app/win32/win32_handles.h"
#include "text/text.h"

namespace qn {

// Fixed geometry of the window and its list.
inline constexpr int MAIN_WINDOW_WIDTH = 406;
inline constexpr int MAIN_WINDOW_HEIGHT = 250;
inline constexpr int LIST_WIDTH = 408;
inline constexpr int LIST_HEIGHT = 225;

inline constexpr DWORD MAIN_WINDOW_STYLE =
    WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
inline constexpr DWORD LIST_STYLE =
    WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL;
inline constexpr DWORD LIST_EXTENDED_LV_STYLE = 0x423;  // full-row select, grid lines,
                                                        // info tips, sub-item images

// Command and control identifiers.
inline constexpr UINT ID_THREAD_LIST = 1001;
inline constexpr UINT ID_MENU_OPEN = 2001;

// One item of the window's menu and the items under it. Only visible items
// are shown; a top-level item serves as the source of a popup menu.
struct MenuItem {
    Text caption;
    bool visible = true;
    UINT command = 0;
    std::vector<MenuItem> items;
};

// A popup menu of the visible items under `source`, in menu order.
UniqueMenu build_popup_menu(const MenuItem& source);

// What the window reports to the program. Each may be left empty.
struct MainWindowEvents {
    std::function<void()> list_right_click;  // NM_RCLICK of the list
    std::function<void(UINT)> menu_command;  // a menu item chosen
};

class MainWindow {
public:
    // Creates the window hidden, centred on the primary screen, with its icons,
    // font and list (shown without activation). Nothing when the window or
    // the list cannot be created. `instance` holds the icon resource.
    static std::unique_ptr<MainWindow> create(HINSTANCE instance);

    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    HWND hwnd() const noexcept { return hwnd_; }
    HWND list() const noexcept { return list_; }
    // False once the window has been destroyed (closed).
    bool exists() const noexcept;

    // The menu: one hidden top-level item "a" holding "打开". The window has
    // no menu bar, since no top-level item is visible.
    const std::vector<MenuItem>& menu() const noexcept { return menu_; }
    const MenuItem* top_menu_item(const Text& caption) const noexcept;

    void set_events(MainWindowEvents events) { events_ = std::move(events); }

private:
    MainWindow();
    bool create_window(HINSTANCE instance);
    bool create_list(HINSTANCE instance);
    void set_icons(HINSTANCE instance);

    static LRESULT CALLBACK window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    static LRESULT CALLBACK list_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                      UINT_PTR id, DWORD_PTR self);
    LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam);
    // Esc without Ctrl, Shift or Alt closes the window; true when handled.
    bool close_on_escape(WPARAM key);

    HWND hwnd_ = nullptr;
    HWND list_ = nullptr;
    bool complete_ = false;  // the window and its list were both created
    HFONT font_ = nullptr;   // stock object, not owned
    UniqueIcon big_icon_;
    UniqueIcon small_icon_;
    std::vector<MenuItem> menu_;
    MainWindowEvents events_;
};

}  // namespace qn
