#include "app/win32/main_window.h"

#include <array>

#include "app/win32/resource_ids.h"
#include "app/win32/wide_text.h"
#include "text/fixed_texts.h"

namespace qn {

namespace {

constexpr wchar_t WINDOW_CLASS[] = L"QuennickMainWindow";
constexpr UINT_PTR LIST_SUBCLASS_ID = 1;

struct ColumnLayout {
    Text header;
    int width;
};

bool register_window_class(HINSTANCE instance, WNDPROC proc) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(instance, WINDOW_CLASS, &existing)) {
        return true;
    }
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = WINDOW_CLASS;
    return RegisterClassExW(&wc) != 0;
}

bool no_modifier_held() {
    return GetKeyState(VK_CONTROL) >= 0 && GetKeyState(VK_SHIFT) >= 0 && GetKeyState(VK_MENU) >= 0;
}

}  // namespace

UniqueMenu build_popup_menu(const MenuItem& source) {
    UniqueMenu popup(CreatePopupMenu());
    if (!popup) {
        return popup;
    }
    for (const MenuItem& item : source.items) {
        if (item.visible) {
            AppendMenuW(popup.get(), MF_STRING, item.command, to_wide(item.caption).c_str());
        }
    }
    return popup;
}

MainWindow::MainWindow()
    : menu_{MenuItem{
          Text("a"), false, 0, {MenuItem{Text(texts::MENU_OPEN), true, ID_MENU_OPEN, {}}}}} {}

MainWindow::~MainWindow() {
    if (exists()) {
        DestroyWindow(hwnd_);
    }
}

std::unique_ptr<MainWindow> MainWindow::create(HINSTANCE instance) {
    std::unique_ptr<MainWindow> window(new MainWindow());
    if (!window->create_window(instance) || !window->create_list(instance)) {
        return nullptr;
    }
    window->complete_ = true;
    return window;
}

bool MainWindow::exists() const noexcept { return hwnd_ != nullptr; }

const MenuItem* MainWindow::top_menu_item(const Text& caption) const noexcept {
    for (const MenuItem& item : menu_) {
        if (item.caption == caption) {
            return &item;
        }
    }
    return nullptr;
}

bool MainWindow::create_window(HINSTANCE instance) {
    if (!register_window_class(instance, window_proc)) {
        return false;
    }
    // Centred on the primary screen; each division truncates toward zero.
    const int left = (GetSystemMetrics(SM_CXSCREEN) - MAIN_WINDOW_WIDTH) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - MAIN_WINDOW_HEIGHT) / 2;
    hwnd_ = CreateWindowExW(0, WINDOW_CLASS, to_wide(texts::CAPTION).c_str(), MAIN_WINDOW_STYLE,
                            left, top, MAIN_WINDOW_WIDTH, MAIN_WINDOW_HEIGHT, nullptr, nullptr,
                            instance, this);
    if (hwnd_ == nullptr) {
        return false;
    }
    RECT rect{};
    GetWindowRect(hwnd_, &rect);
    if (rect.right - rect.left != MAIN_WINDOW_WIDTH ||
        rect.bottom - rect.top != MAIN_WINDOW_HEIGHT) {
        SetWindowPos(hwnd_, nullptr, left, top, MAIN_WINDOW_WIDTH, MAIN_WINDOW_HEIGHT,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    set_icons(instance);
    font_ = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    return true;
}

void MainWindow::set_icons(HINSTANCE instance) {
    // Each icon is loaded at the size the system uses for it, from the
    // image of the resource that fits best.
    big_icon_.reset(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(QN_IDI_APP),
                                                  IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                                  GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR)));
    small_icon_.reset(static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(QN_IDI_APP), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR)));
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big_icon_.get()));
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small_icon_.get()));
}

bool MainWindow::create_list(HINSTANCE instance) {
    INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    list_ = CreateWindowExW(
        WS_EX_CLIENTEDGE, WC_LISTVIEWW, to_wide(texts::LIST_CONTROL_NAME).c_str(), LIST_STYLE, 0, 0,
        LIST_WIDTH, LIST_HEIGHT, hwnd_,
        reinterpret_cast<HMENU>(static_cast<UINT_PTR>(ID_THREAD_LIST)), instance, nullptr);
    if (list_ == nullptr) {
        return false;
    }
    // wParam 0 applies the whole value: the list has exactly these extended styles.
    SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LIST_EXTENDED_LV_STYLE);
    SendMessageW(list_, LVM_SETTEXTCOLOR, 0, RGB(0, 0, 0));
    SendMessageW(list_, LVM_SETTEXTBKCOLOR, 0, RGB(255, 255, 255));
    SendMessageW(list_, LVM_SETBKCOLOR, 0, RGB(255, 255, 255));
    SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);

    const std::array<ColumnLayout, 3> columns{{{Text(texts::COLUMN_NUMBER), 40},
                                               {Text(texts::COLUMN_TITLE), 200},
                                               {Text(texts::COLUMN_LINK), 200}}};
    for (size_t i = 0; i < columns.size(); ++i) {
        std::wstring header = to_wide(columns[i].header);
        LVCOLUMNW column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = columns[i].width;
        column.pszText = header.data();
        column.iSubItem = static_cast<int>(i);
        SendMessageW(list_, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
    // Esc on the list closes the window as it does on the window itself.
    SetWindowSubclass(list_, list_proc, LIST_SUBCLASS_ID, reinterpret_cast<DWORD_PTR>(this));
    ShowWindow(list_, SW_SHOWNA);
    return true;
}

bool MainWindow::close_on_escape(WPARAM key) {
    if (key != VK_ESCAPE || !no_modifier_held()) {
        return false;
    }
    PostMessageW(hwnd_, WM_CLOSE, 0, 0);
    return true;
}

LRESULT CALLBACK MainWindow::window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcW(hwnd, message, wparam, lparam);
    }
    if (message == WM_NCDESTROY) {
        // The last message of the window: forget it, so that exists() turns
        // false and no later message reaches this object.
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        self->list_ = nullptr;
        return DefWindowProcW(hwnd, message, wparam, lparam);
    }
    if (self->hwnd_ == nullptr) {
        self->hwnd_ = hwnd;  // messages sent during CreateWindowExW
    }
    return self->handle(message, wparam, lparam);
}

LRESULT CALLBACK MainWindow::list_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                       UINT_PTR id, DWORD_PTR self) {
    if (message == WM_KEYDOWN && reinterpret_cast<MainWindow*>(self)->close_on_escape(wparam)) {
        return 0;
    }
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, list_proc, id);
    }
    return DefSubclassProc(hwnd, message, wparam, lparam);
}

LRESULT MainWindow::handle(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_SETFONT:
            font_ = reinterpret_cast<HFONT>(wparam);
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(font_);
        case WM_KEYDOWN:
            if (close_on_escape(wparam)) {
                return 0;
            }
            break;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lparam);
            if (list_ != nullptr && header->hwndFrom == list_ && header->code == NM_RCLICK &&
                events_.list_right_click) {
                events_.list_right_click();
            }
            break;
        }
        case WM_COMMAND:
            // A menu command: the high word is 0 and there is no control handle.
            if (HIWORD(wparam) == 0 && lparam == 0 && events_.menu_command) {
                events_.menu_command(LOWORD(wparam));
                return 0;
            }
            break;
        case WM_DESTROY:
            // The program's only window: its end ends the message loop. A
            // window given up half-built posts nothing, so that the report of
            // the failure is not closed at once by the quit message.
            if (complete_) {
                PostQuitMessage(0);
            }
            return 0;
        default:
            break;
    }
    return DefWindowProcW(hwnd_, message, wparam, lparam);
}

}  // namespace qn
