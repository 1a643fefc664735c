// The user-interface operations on the real MainWindow: its list-view, the
// popup menu of "a", owner-less message boxes and the shell hand-off.
#pragma once

#include "app/ui.h"
#include "app/win32/main_window.h"

namespace qn {

class Win32Ui final : public Ui {
public:
    explicit Win32Ui(MainWindow& window) : window_(window) {}

    int32_t lv_append_row() override;
    int32_t lv_row_count() override;
    void lv_set_cell(int32_t row, int32_t column, const Text& text) override;
    Text lv_cell_text(int32_t row, int32_t column) override;
    int32_t lv_selected_row() override;
    void popup_menu_at_cursor() override;
    void notice_box(const Text& text, int32_t style,
                    const std::optional<Text>& title = std::nullopt) override;
    void open_in_browser(const Text& url) override;

private:
    MainWindow& window_;
};

}  // namespace qn
