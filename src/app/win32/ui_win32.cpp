#include "app/win32/ui_win32.h"

// windows.h (through main_window.h) comes before the shell header.
#include <shellapi.h>

#include <string>

#include "app/win32/wide_text.h"
#include "text/fixed_texts.h"

namespace qn {

namespace {

constexpr size_t FIRST_CELL_BUFFER = 512;  // UTF-16 units

// The style a notice box is shown with: task-modal (the program's own
// windows wait for it) unless it asks to be system-modal.
UINT notice_box_style(int32_t style) {
    auto flags = static_cast<UINT>(style);
    if ((flags & MB_SYSTEMMODAL) == 0) {
        flags |= MB_TASKMODAL;
    }
    return flags;
}

}  // namespace

int32_t Win32Ui::lv_append_row() {
    // At the index equal to the row count the row goes to the end.
    wchar_t empty[1] = {L'\0'};
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_STATE | LVIF_INDENT | LVIF_PARAM;
    item.iItem = lv_row_count();
    item.iSubItem = 0;
    item.pszText = empty;
    item.iImage = -1;
    item.state = 0;
    item.stateMask = 0;
    item.iIndent = 0;
    item.lParam = 0;
    return static_cast<int32_t>(
        SendMessageW(window_.list(), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

int32_t Win32Ui::lv_row_count() {
    return static_cast<int32_t>(SendMessageW(window_.list(), LVM_GETITEMCOUNT, 0, 0));
}

void Win32Ui::lv_set_cell(int32_t row, int32_t column, const Text& text) {
    std::wstring wide = to_wide(text);
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = wide.data();
    SendMessageW(window_.list(), LVM_SETITEMTEXTW, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&item));
}

Text Win32Ui::lv_cell_text(int32_t row, int32_t column) {
    // The control copies at most the buffer size less the terminating zero.
    // A text that fills the buffer up to its last unit may have been cut,
    // so it is read again with a buffer twice as large.
    std::wstring buffer(FIRST_CELL_BUFFER, L'\0');
    for (;;) {
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = buffer.data();
        item.cchTextMax = static_cast<int>(buffer.size());
        const LRESULT copied =
            SendMessageW(window_.list(), LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                         reinterpret_cast<LPARAM>(&item));
        if (copied <= 0) {
            return Text();  // an empty cell, or no such row or column
        }
        if (static_cast<size_t>(copied) + 1 < buffer.size()) {
            buffer.resize(static_cast<size_t>(copied));
            return from_wide(buffer);
        }
        buffer.assign(buffer.size() * 2, L'\0');
    }
}

int32_t Win32Ui::lv_selected_row() {
    return static_cast<int32_t>(
        SendMessageW(window_.list(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void Win32Ui::popup_menu_at_cursor() {
    const MenuItem* source = window_.top_menu_item(Text("a"));
    if (source == nullptr) {
        return;
    }
    POINT cursor{};
    GetCursorPos(&cursor);
    const UniqueMenu popup = build_popup_menu(*source);
    // The choice is posted to the window as a menu command after the menu
    // has closed; the popup is destroyed on return.
    TrackPopupMenu(popup.get(), TPM_RIGHTBUTTON, cursor.x + 3, cursor.y + 3, 0, window_.hwnd(),
                   nullptr);
}

void Win32Ui::notice_box(const Text& text, int32_t style, const std::optional<Text>& title) {
    const std::wstring wide_title = to_wide(title ? *title : Text(texts::DEFAULT_NOTICE_TITLE));
    MessageBoxW(nullptr, to_wide(text).c_str(), wide_title.c_str(), notice_box_style(style));
}

void Win32Ui::open_in_browser(const Text& url) {
    HWND owner = FindWindowExA(nullptr, nullptr, nullptr, "Microsoft Internet Explorer");
    ShellExecuteW(owner, L"open", to_wide(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace qn
