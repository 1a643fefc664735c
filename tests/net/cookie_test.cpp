#include <gtest/gtest.h>

#include "net/cookie.h"

namespace qn {
namespace {

struct MergeCase {
    const char* old_cookies;
    const char* new_cookies;
    const char* merged;
    const char* new_after;
};

class CookieMerge : public ::testing::TestWithParam<MergeCase> {};

TEST_P(CookieMerge, RewritesBothAndReturnsTheMergedCopy) {
    const MergeCase& c = GetParam();
    Text old_cookies = c.old_cookies;
    Text new_cookies = c.new_cookies;
    const Text result = cookie_merge(old_cookies, new_cookies);
    EXPECT_EQ(old_cookies.str(), c.merged);
    EXPECT_EQ(result.str(), c.merged);
    EXPECT_EQ(new_cookies.str(), c.new_after);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CookieMerge,
    ::testing::Values(MergeCase{"a=1; b=2", "b=3; c=4", "b=3; c=4; a=1", "b=3;c=4"},
                      MergeCase{"a=1", "a=deleted", "", "a=deleted"},
                      MergeCase{"a=1;a=2", "", "a=1", ""}, MergeCase{"", "", "", ""},
                      MergeCase{"flag; a=1", "a=2", "a=2; flag", "a=2"},
                      MergeCase{"a=x y", "b=1", "b=1; a=xy", "b=1"},
                      MergeCase{"a=1;;b=2", "c=3", "c=3; a=1; ; b=2", "c=3"},
                      MergeCase{"", "a=1; a=2", "a=1; a=2", "a=1;a=2"},
                      MergeCase{"a=DELETED", "b=1", "b=1; a=DELETED", "b=1"},
                      MergeCase{"a=1;", "b=2;", "b=2; a=1", "b=2;"},
                      // A deleted item removes the old cookie and itself.
                      MergeCase{"a=1; b=2", "b=deleted; c=3", "c=3; a=1", "b=deleted;c=3"},
                      // Repeated whole items appear once.
                      MergeCase{"", "x=1;y=2;x=1", "x=1; y=2", "x=1;y=2;x=1"},
                      // Full-width blanks go too.
                      MergeCase{"a=\xA1\xA1"
                                "1",
                                "b=2", "b=2; a=1", "b=2"}));

TEST(CookieKey, NameBeforeTheFirstEqualsTrimmed) {
    EXPECT_EQ(cookie_key(" sid =1=2").str(), "sid");
    EXPECT_EQ(cookie_key(" flag ").str(), "flag");
    EXPECT_EQ(cookie_key("=v").str(), "");
    EXPECT_EQ(cookie_key("").str(), "");
}

TEST(CookieLists, HasKeyIndexOfAndDedupeJoin) {
    const TextList list = txt_split("a=1;b=2;b=2;flag", ";");
    EXPECT_TRUE(cookie_has_key(list, "b"));
    EXPECT_TRUE(cookie_has_key(list, "flag"));
    EXPECT_FALSE(cookie_has_key(list, "B"));
    EXPECT_FALSE(cookie_has_key(TextList(), ""));

    EXPECT_EQ(list_index_of(list, "b=2"), 2);
    EXPECT_EQ(list_index_of(list, "flag"), 4);
    EXPECT_EQ(list_index_of(list, "B=2"), -1);
    EXPECT_EQ(list_index_of(TextList(), ""), -1);

    EXPECT_EQ(list_dedupe_join("x; y; x", "; ").str(), "x; y");
    EXPECT_EQ(list_dedupe_join("", "; ").str(), "");
    EXPECT_EQ(list_dedupe_join("a,,b,,a", ",").str(), "a,,b");
}

}  // namespace
}  // namespace qn
