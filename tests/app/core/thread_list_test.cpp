#include "app/thread_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/listing_url.h"
#include "memory_ui.h"
#include "net/http_fetch.h"
#include "regex/engine.h"
#include "text/codepage.h"
#include "text/fixed_texts.h"

namespace qn {
namespace {

using testing::MemoryUi;

// Listing pages are written here in UTF-8 and served in code page 936.
Text cp936(std::string_view utf8) { return Text(utf8_to_cp936(utf8)); }

std::string anchor(std::string_view href, std::string_view title) {
    return "<a href=\"" + std::string(href) + "\" onclick=\"atarget(this)\" class=\"s xst\">" +
           std::string(title) + "</a>";
}

std::string page_of(const std::vector<std::string>& anchors) {
    std::string page = "<html><head><title>卡饭论坛</title></head><body><table>\n";
    for (const std::string& a : anchors) {
        page += "<tr><th class=\"new\"><em>[讨论]</em> " + a + "</th><td>x</td></tr>\n";
    }
    return page + "</table></body></html>\n";
}

FetchPage serve(std::string utf8_page, std::vector<Text>* asked = nullptr) {
    return [page = utf8_to_cp936(utf8_page), asked](const Text& url) {
        if (asked != nullptr) {
            asked->push_back(url);
        }
        return Bytes(page);
    };
}

std::vector<std::array<std::string, 3>> rows_utf8(const MemoryUi& ui) {
    std::vector<std::array<std::string, 3>> out;
    for (const auto& row : ui.rows) {
        out.push_back({cp936_to_utf8(row[0].view()), cp936_to_utf8(row[1].view()),
                       cp936_to_utf8(row[2].view())});
    }
    return out;
}

TEST(LoadThreadList, ShowsNoticeFetchesListingUrlAndFillsRowsSkippingNonThreads) {
    MemoryUi ui;
    std::vector<Text> asked;
    const std::string page = page_of({
        anchor("thread-1-1-1.html", "第一帖"),
        anchor("forum.php?mod=viewthread&amp;tid=9", "显示置顶"),
        anchor("thread-2-1-1.html", "第二帖 <font color=red>新</font>"),
        anchor("member.php?mod=logging", "<strong>登录</strong>"),
        anchor("https://other.example/x", "第三帖"),
    });
    load_thread_list(ui, serve(page, &asked));

    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], listing_url());
    ASSERT_EQ(ui.notices.size(), 1u);
    EXPECT_EQ(ui.notices[0].text, Text(texts::OPENING_NOTICE));
    EXPECT_EQ(ui.notices[0].style, 0);
    EXPECT_EQ(ui.notices[0].title, Text("Quennick"));

    using Row = std::array<std::string, 3>;
    EXPECT_EQ(rows_utf8(ui), (std::vector<Row>{
                                 {"1", "第一帖", "thread-1-1-1.html"},
                                 {"2", "第二帖 <font color=red>新</font>", "thread-2-1-1.html"},
                                 {"3", "第三帖", "https://other.example/x"},
                             }));
}

TEST(FillThreadList, NumbersRowsWithoutLeadingZerosPastTen) {
    std::vector<std::string> anchors;
    for (int i = 1; i <= 12; ++i) {
        anchors.push_back(anchor("t" + std::to_string(i) + ".html", "帖" + std::to_string(i)));
    }
    MemoryUi ui;
    fill_thread_list(ui, cp936(page_of(anchors)));
    ASSERT_EQ(ui.rows.size(), 12u);
    EXPECT_TRUE(ui.notices.empty());
    for (int i = 1; i <= 12; ++i) {
        const auto& row = ui.rows[static_cast<size_t>(i - 1)];
        EXPECT_EQ(row[0], txt_from_number(i));
        EXPECT_EQ(row[1], cp936("帖" + std::to_string(i)));
        EXPECT_EQ(row[2], Text("t" + std::to_string(i) + ".html"));
    }
}

TEST(FillThreadList, SkipTestIsExactEquality) {
    MemoryUi ui;
    fill_thread_list(ui, cp936(page_of({
                             anchor("a.html", " 显示置顶"),
                             anchor("b.html", "显示置顶帖"),
                             anchor("c.html", "<STRONG>登录</STRONG>"),
                         })));
    using Row = std::array<std::string, 3>;
    EXPECT_EQ(rows_utf8(ui), (std::vector<Row>{
                                 {"1", " 显示置顶", "a.html"},
                                 {"2", "显示置顶帖", "b.html"},
                                 {"3", "<STRONG>登录</STRONG>", "c.html"},
                             }));
}

TEST(FillThreadList, AnchorInCapitalsMatchesButCutsRespectCase) {
    MemoryUi ui;
    fill_thread_list(ui, cp936("<A HREF=\"up.html\" ONCLICK=\"x\" CLASS=\"y\">大写</A>\n" +
                               anchor("low.html", "小写")));
    using Row = std::array<std::string, 3>;
    // The first match's title has no "</a>" and its link no "href=\"": both
    // cells stay empty, but the row is there.
    EXPECT_EQ(rows_utf8(ui), (std::vector<Row>{{"1", "", ""}, {"2", "小写", "low.html"}}));
}

TEST(FillThreadList, PageWithoutAnchorsShowsNoMatchNotice) {
    for (const std::string& page : {std::string(), std::string("<html>404 Not Found</html>"),
                                    std::string("<a href=\"x\">no onclick</a>")}) {
        MemoryUi ui;
        fill_thread_list(ui, cp936(page));
        EXPECT_TRUE(ui.rows.empty()) << page;
        ASSERT_EQ(ui.notices.size(), 1u) << page;
        EXPECT_EQ(ui.notices[0].text, Text(texts::NO_MATCH_NOTICE));
        EXPECT_EQ(ui.notices[0].style, 16);
        EXPECT_FALSE(ui.notices[0].title.has_value());
    }
}

TEST(LoadThreadList, NetworkDownShowsBothNoticesInOrderAndLeavesListEmpty) {
    MemoryUi ui;
    // A real fetch that cannot connect: nothing listens on port 1.
    load_thread_list(
        ui, [](const Text&) { return http_fetch(Text("http://127.0.0.1:1/forum-37-1.html")); });
    EXPECT_TRUE(ui.rows.empty());
    ASSERT_EQ(ui.notices.size(), 2u);
    EXPECT_EQ(ui.notices[0].text, Text(texts::OPENING_NOTICE));
    EXPECT_EQ(ui.notices[1].text, Text(texts::NO_MATCH_NOTICE));
    EXPECT_EQ(ui.notices[1].style, 16);
}

TEST(LoadThreadList, PageIsCutAtFirstZeroByte) {
    MemoryUi ui;
    std::string page = page_of({anchor("a.html", "甲")});
    page += std::string(1, '\0') + anchor("b.html", "乙");
    load_thread_list(ui, [bytes = utf8_to_cp936(page)](const Text&) { return Bytes(bytes); });
    ASSERT_EQ(ui.rows.size(), 1u);
    EXPECT_EQ(ui.rows[0][2], Text("a.html"));
}

// A component library that offers no regular-expression class.
class NoRegExpEngine : public regexp::Engine {
public:
    void init() override {}
    void uninit() override {}
    regexp::ObjectRef instantiate(std::string_view) override { return nullptr; }
};

TEST(FillThreadList, EngineThatCannotBeCreatedShowsPatternFailureNotice) {
    MemoryUi ui;
    fill_thread_list(ui, cp936(page_of({anchor("a.html", "甲")})),
                     [] { return RegexMatcher(std::make_shared<NoRegExpEngine>()); });
    EXPECT_TRUE(ui.rows.empty());
    ASSERT_EQ(ui.notices.size(), 1u);
    EXPECT_EQ(ui.notices[0].text, Text(texts::PATTERN_FAILURE_NOTICE));
    EXPECT_EQ(ui.notices[0].style, 16);
    EXPECT_FALSE(ui.notices[0].title.has_value());
}

}  // namespace
}  // namespace qn
