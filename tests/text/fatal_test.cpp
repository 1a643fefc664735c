// The fatal conditions end the process with exit code -1 after a report that
// says what happened.
#include <gtest/gtest.h>

#include <climits>

#include "fatal_dialog.h"
#include "text/checked_alloc.h"
#include "text/fatal.h"
#include "text/text.h"

namespace qn {
namespace {

using test::dismiss_fatal_dialog_when_shown;
using test::exited_fatally;

TEST(FatalDeathTest, ListIndexOutsideTheListEndsTheProcess) {
    TextList list;
    list_append(list, Text("a"));
    list_append(list, Text("b"));
    EXPECT_EXIT(
        {
            dismiss_fatal_dialog_when_shown();
            list_at(list, 0);
        },
        exited_fatally, "item 0 of a list was read, but the list holds 2 items");
    EXPECT_EXIT(
        {
            dismiss_fatal_dialog_when_shown();
            list_at(list, 3);
        },
        exited_fatally, "item 3 of a list was read, but the list holds 2 items");
    EXPECT_EXIT(
        {
            dismiss_fatal_dialog_when_shown();
            list_at(TextList(), 1);
        },
        exited_fatally, "item 1 of a list was read, but the list holds 0 items");
    EXPECT_EXIT(
        {
            dismiss_fatal_dialog_when_shown();
            list_at(list, INT32_MIN);
        },
        exited_fatally, "item -2147483648 of a list");
}

TEST(FatalDeathTest, ASizeBeyondThe32BitCountsIsMemoryExhaustion) {
    EXPECT_EXIT(
        {
            dismiss_fatal_dialog_when_shown();
            detail::checked_size(uint64_t{INT32_MAX} + 1);
        },
        exited_fatally, "could not obtain 2147483648 bytes");
    EXPECT_EXIT(
        {
            dismiss_fatal_dialog_when_shown();
            std::string s;
            detail::reserve_or_die(s, 5000000000ULL);
        },
        exited_fatally, "could not obtain 5000000000 bytes");
    EXPECT_EXIT(
        {
            dismiss_fatal_dialog_when_shown();
            fatal_out_of_memory(12345);
        },
        exited_fatally, "could not obtain 12345 bytes of memory");
}

TEST(Fatal, SizesWithinThe32BitCountsPass) {
    EXPECT_EQ(detail::checked_size(0), 0);
    EXPECT_EQ(detail::checked_size(INT32_MAX), INT32_MAX);
    std::string s("ab");
    detail::append_or_die(s, "cd");
    EXPECT_EQ(s, "abcd");
}

}  // namespace
}  // namespace qn
