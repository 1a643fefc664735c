// The by-name binding of WinINet's functions under Wine: a function that
// does not exist ends the process after a report naming library and
// function.
#include <gtest/gtest.h>

#include "../text/fatal_dialog.h"
#include "net/wininet_binding.h"

namespace qn {
namespace {

TEST(WininetBindingDeathTest, MissingFunctionIsReportedAndEndsTheProcess) {
    EXPECT_EXIT(
        {
            test::dismiss_fatal_dialog_when_shown();
            inet::wininet_function("InternetNoSuchFunctionA");
        },
        test::exited_fatally, "InternetNoSuchFunctionA.*wininet\\.dll");
}

TEST(WininetBinding, ExistingFunctionIsBound) {
    EXPECT_NE(inet::wininet_function("InternetCloseHandle"), nullptr);
}

}  // namespace
}  // namespace qn
