// An in-memory stand-in for the main window's list, menu, notices and
// browser hand-off, recording everything the portable code asks of it.
#pragma once

#include <array>
#include <optional>
#include <ostream>
#include <vector>

#include "app/ui.h"

namespace qn {
// Shows a text's bytes in failure messages.
inline void PrintTo(const Text& text, std::ostream* os) { *os << '"' << text.view() << '"'; }
}  // namespace qn

namespace qn::testing {

struct Notice {
    Text text;
    int32_t style;
    std::optional<Text> title;
};

class MemoryUi : public Ui {
public:
    std::vector<std::array<Text, 3>> rows;
    int32_t selected = -1;
    std::vector<Notice> notices;
    std::vector<Text> opened;
    int popups = 0;

    int32_t lv_append_row() override {
        rows.emplace_back();
        return static_cast<int32_t>(rows.size()) - 1;
    }
    int32_t lv_row_count() override { return static_cast<int32_t>(rows.size()); }
    void lv_set_cell(int32_t row, int32_t column, const Text& text) override {
        if (row >= 0 && row < lv_row_count() && column >= 0 && column < 3) {
            rows[static_cast<size_t>(row)][static_cast<size_t>(column)] = text;
        }
    }
    Text lv_cell_text(int32_t row, int32_t column) override {
        if (row >= 0 && row < lv_row_count() && column >= 0 && column < 3) {
            return rows[static_cast<size_t>(row)][static_cast<size_t>(column)];
        }
        return Text();
    }
    int32_t lv_selected_row() override { return selected; }
    void popup_menu_at_cursor() override { ++popups; }
    void notice_box(const Text& text, int32_t style, const std::optional<Text>& title) override {
        notices.push_back({text, style, title});
    }
    void open_in_browser(const Text& url) override { opened.push_back(url); }
};

}  // namespace qn::testing
