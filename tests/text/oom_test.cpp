// Memory exhaustion in a real operation: this program's allocator refuses
// every request of a gigabyte or more (see limited_new.cpp), so the failure
// is certain and cheap. The report must name the size that failed.
#include <gtest/gtest.h>

#include "fatal_dialog.h"
#include "limited_new.h"
#include "text/text.h"

namespace qn {
namespace {

using test::dismiss_fatal_dialog_when_shown;
using test::exited_fatally;

TEST(OutOfMemoryDeathTest, AResultThatCannotBeAllocatedEndsTheProcess) {
    constexpr int32_t size = 1536 * 1024 * 1024;  // 1.5 GiB, above the limit
    static_assert(size >= test::ALLOCATION_LIMIT);
    EXPECT_EXIT(
        {
            dismiss_fatal_dialog_when_shown();
            txt_spaces(size);
        },
        exited_fatally, "could not obtain 1610612736 bytes");
    EXPECT_EXIT(
        {
            dismiss_fatal_dialog_when_shown();
            bytes_zeroed(INT32_MAX);
        },
        exited_fatally, "could not obtain 2147483647 bytes");
}

TEST(OutOfMemory, TheLimitLeavesOrdinarySizesAlone) {
    EXPECT_EQ(txt_len(txt_spaces(1 << 20)), 1 << 20);
    EXPECT_EQ(bytes_len(bytes_zeroed(1 << 20)), 1 << 20);
}

}  // namespace
}  // namespace qn
