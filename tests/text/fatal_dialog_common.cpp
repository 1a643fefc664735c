#include <gtest/gtest.h>

#include "fatal_dialog.h"
#include "text/fatal.h"

namespace qn::test {

bool exited_fatally(int exit_status) {
    return ::testing::ExitedWithCode(FATAL_EXIT_CODE)(exit_status) ||
           ::testing::ExitedWithCode(FATAL_EXIT_CODE & 0xFF)(exit_status);
}

}  // namespace qn::test
