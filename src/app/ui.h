// The user-interface operations the thread list loader and the open command
// are written in. Win32 and GTK implement them on the real window; tests use
// an in-memory list.
#pragma once

#include <cstdint>
#include <optional>

#include "text/text.h"

namespace qn {

// Message-box style codes the system uses.
inline constexpr int32_t MB_STYLE_OK = 0;      // OK button, no icon
inline constexpr int32_t MB_STYLE_ERROR = 16;  // OK button, error icon
inline constexpr int32_t MB_STYLE_SYSTEMMODAL = 0x1000;
inline constexpr int32_t MB_STYLE_TASKMODAL = 0x2000;

class Ui {
public:
    virtual ~Ui() = default;

    // The thread list. Rows and columns are 0-based.
    // Appends an empty row at the end; its index, or -1 when refused.
    virtual int32_t lv_append_row() = 0;
    virtual int32_t lv_row_count() = 0;
    // Writes one cell; column 0 is the row's own text.
    virtual void lv_set_cell(int32_t row, int32_t column, const Text& text) = 0;
    // The whole text of one cell; empty for an empty cell or a missing row.
    virtual Text lv_cell_text(int32_t row, int32_t column) = 0;
    // The selected row, or -1 when none is selected.
    virtual int32_t lv_selected_row() = 0;

    // Pops up the menu under the hidden top-level item "a" (its one item
    // "打开") 3 pixels right of and below the pointer; returns when the menu
    // has closed. A choice arrives afterwards as the item's command.
    virtual void popup_menu_at_cursor() = 0;

    // A modal notice without owner window; returns when the user closes it.
    // An absent title shows "信息：".
    virtual void notice_box(const Text& text, int32_t style,
                            const std::optional<Text>& title = std::nullopt) = 0;

    // Hands an absolute http or https URL to the user's default handler.
    // Never through a shell; failures are not reported.
    virtual void open_in_browser(const Text& url) = 0;
};

}  // namespace qn
