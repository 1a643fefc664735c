#include "app/open_thread.h"

#include <gtest/gtest.h>

#include "app/listing_url.h"
#include "memory_ui.h"

namespace qn {
namespace {

using testing::MemoryUi;

TEST(ShowRowMenu, PopsUpMenuWhateverTheSelection) {
    MemoryUi ui;
    show_row_menu(ui);
    ui.lv_append_row();
    ui.selected = 0;
    show_row_menu(ui);
    EXPECT_EQ(ui.popups, 2);
    EXPECT_TRUE(ui.opened.empty());
}

TEST(OpenSelectedThread, WithoutSelectionDoesNothing) {
    MemoryUi ui;
    ui.lv_append_row();
    ui.lv_set_cell(0, 2, Text("thread-1-1-1.html"));
    open_selected_thread(ui);
    EXPECT_TRUE(ui.opened.empty());
    EXPECT_TRUE(ui.notices.empty());
}

TEST(OpenSelectedThread, OpensSelectedRowsLinkResolvedAgainstListingPage) {
    MemoryUi ui;
    for (const char* link : {"thread-1-1-1.html", "thread-2-1-1.html", "thread-3-1-1.html"}) {
        ui.lv_set_cell(ui.lv_append_row(), 2, Text(link));
    }
    ui.selected = 1;
    open_selected_thread(ui);
    ASSERT_EQ(ui.opened.size(), 1u);
    // The link resolved against the listing page's folder.
    const Text folder =
        txt_head(listing_url(), txt_len(listing_url()) - txt_len("forum-37-1.html"));
    EXPECT_EQ(ui.opened[0], txt_join(folder, "thread-2-1-1.html"));
    // The cell itself keeps the link as the page wrote it.
    EXPECT_EQ(ui.lv_cell_text(1, 2), Text("thread-2-1-1.html"));
}

TEST(OpenSelectedThread, EmptyOrUnsafeLinkIsNotOpenedAndNothingIsShown) {
    for (const char* link : {"", "javascript:alert(1)", "file:///etc/passwd", "C:\\x.exe"}) {
        MemoryUi ui;
        ui.lv_set_cell(ui.lv_append_row(), 2, Text(link));
        ui.selected = 0;
        open_selected_thread(ui);
        EXPECT_TRUE(ui.opened.empty()) << link;
        EXPECT_TRUE(ui.notices.empty()) << link;
    }
}

struct LinkCase {
    const char* link;
    const char* expected;  // nullptr: not opened
};

class ResolveThreadLink : public ::testing::TestWithParam<LinkCase> {};

TEST_P(ResolveThreadLink, Resolves) {
    const LinkCase c = GetParam();
    const std::optional<Text> got =
        resolve_thread_link(Text("http://bbs.example.cn/forum-37-1.html"), Text(c.link));
    if (c.expected == nullptr) {
        EXPECT_FALSE(got.has_value()) << "opened as " << (got ? got->str() : "");
    } else {
        ASSERT_TRUE(got.has_value());
        EXPECT_EQ(got->str(), c.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Links, ResolveThreadLink,
    ::testing::Values(
        // Relative links, as the board writes them.
        LinkCase{"thread-1-1-1.html", "http://bbs.example.cn/thread-1-1-1.html"},
        LinkCase{"forum.php?mod=viewthread&amp;tid=5&amp;x=1",
                 "http://bbs.example.cn/forum.php?mod=viewthread&tid=5&x=1"},
        LinkCase{"/a/./b/../c.html", "http://bbs.example.cn/a/c.html"},
        LinkCase{"../../up.html", "http://bbs.example.cn/up.html"},
        LinkCase{"?page=2", "http://bbs.example.cn/forum-37-1.html?page=2"},
        LinkCase{"#top", "http://bbs.example.cn/forum-37-1.html#top"},
        LinkCase{"  thread-9.html \n", "http://bbs.example.cn/thread-9.html"},
        // Absolute and protocol-relative links.
        LinkCase{"http://other.example/t?id=1", "http://other.example/t?id=1"},
        LinkCase{"HTTPS://Secure.example/x", "https://Secure.example/x"},
        LinkCase{"//cdn.example/t.html", "http://cdn.example/t.html"},
        // Characters a URL cannot hold are encoded, never interpreted.
        LinkCase{"t.html?q=a b\"c<d>|e`{}^",
                 "http://bbs.example.cn/t.html?q=a%20b%22c%3Cd%3E%7Ce%60%7B%7D%5E"},
        LinkCase{"x.html?a=1&b=2;rm -rf ~ $(id)",
                 "http://bbs.example.cn/x.html?a=1&b=2;rm%20-rf%20~%20$(id)"},
        // Anything that is not an absolute http or https URL stays closed.
        LinkCase{"", nullptr}, LinkCase{"   ", nullptr}, LinkCase{"javascript:alert(1)", nullptr},
        LinkCase{" JavaScript:alert(1)", nullptr}, LinkCase{"java\tscript:alert(1)", nullptr},
        LinkCase{"file:///C:/Windows/x.exe", nullptr},
        LinkCase{"file://server/share/x.exe", nullptr}, LinkCase{"C:\\Windows\\x.exe", nullptr},
        LinkCase{"c:/x.exe", nullptr}, LinkCase{"\\\\server\\share\\x.exe", nullptr},
        LinkCase{"..\\..\\x.exe", nullptr}, LinkCase{"mailto:a@b.c", nullptr},
        LinkCase{"ftp://x.example/", nullptr}, LinkCase{"http:", nullptr},
        LinkCase{"http:///path", nullptr}, LinkCase{"x.html\r\nHeader: y", nullptr}));

TEST(ResolveThreadLinkBase, FollowsTheBaseUrl) {
    EXPECT_EQ(resolve_thread_link(Text("https://h.example:8443/a/b/list.html"), Text("../t.html")),
              std::optional<Text>(Text("https://h.example:8443/a/t.html")));
    EXPECT_EQ(resolve_thread_link(Text("http://127.0.0.1:47613/forum-37-1.html"), Text("t.html")),
              std::optional<Text>(Text("http://127.0.0.1:47613/t.html")));
}

}  // namespace
}  // namespace qn
