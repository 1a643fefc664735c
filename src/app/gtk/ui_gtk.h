// The user-interface operations on the GTK main window: the thread list
// (a GtkListStore shown by a GtkTreeView), the popup menu, the notices and
// the hand-off of a link to the desktop's default browser.
#pragma once

#include "app/gtk/main_window.h"
#include "app/ui.h"

namespace qn::gtk {

class GtkUi final : public Ui {
public:
    explicit GtkUi(MainWindow& window) : window_(window) {}

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

}  // namespace qn::gtk
