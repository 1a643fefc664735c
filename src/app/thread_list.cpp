#include "app/thread_list.h"

#include "app/listing_url.h"
#include "net/http_fetch.h"
#include "text/fixed_texts.h"

namespace qn {

Bytes fetch_listing_page(const Text& url) { return http_fetch(url); }

RegexMatcher make_platform_matcher() { return RegexMatcher(); }

void load_thread_list(Ui& ui, const FetchPage& fetch, const MakeMatcher& make_matcher) {
    ui.notice_box(texts::OPENING_NOTICE, MB_STYLE_OK, Text(texts::CAPTION));
    // A failed fetch gives empty bytes, so the page is empty and the matcher
    // finds nothing: the user then sees the no-match notice.
    const Text page = txt_from_bytes(fetch(listing_url()));
    fill_thread_list(ui, page, make_matcher);
}

void fill_thread_list(Ui& ui, const Text& page, const MakeMatcher& make_matcher) {
    RegexMatcher matcher = make_matcher();
    // Ignore case, no multiline, every match, "#引号" read as a double quote.
    if (!matcher.create(texts::THREAD_PATTERN, page, false, false, true, true)) {
        ui.notice_box(texts::PATTERN_FAILURE_NOTICE, MB_STYLE_ERROR);
        return;
    }
    const int32_t count = matcher.match_count();
    if (count == 0) {
        ui.notice_box(texts::NO_MATCH_NOTICE, MB_STYLE_ERROR);
        return;
    }

    const Text title_left(">");
    const Text title_right("</a>");
    const Text link_left("href=\"");
    const Text link_right("\"");
    const Text skipped_login(texts::SKIPPED_TITLE_LOGIN);
    const Text skipped_pinned(texts::SKIPPED_TITLE_PINNED);

    int32_t number = 0;
    for (int32_t i = 1; i <= count; ++i) {
        const Text title = txt_between(matcher.match_text(i), title_left, title_right);
        const Text link = txt_between(matcher.match_text(i), link_left, link_right);
        // The cuts respect case, so an anchor written in capitals still gets
        // its row, with the cells the cuts could not find left empty.
        if (txt_cmp(title, skipped_login) == 0 || txt_cmp(title, skipped_pinned) == 0) {
            continue;
        }
        ui.lv_append_row();
        number = number + 1;
        ui.lv_set_cell(ui.lv_row_count() - 1, 0, txt_from_number(number));
        ui.lv_set_cell(ui.lv_row_count() - 1, 1, title);
        ui.lv_set_cell(ui.lv_row_count() - 1, 2, link);
    }
}

}  // namespace qn
