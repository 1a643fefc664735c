// Helpers for the death tests of the fatal reports.
#pragma once

namespace qn::test {

// Makes the fatal report of a death test's child run unattended. On Windows
// the report is a real message box: a thread waits for this process's box,
// writes its caption and text to stderr and presses OK, so that the test
// sees the report's text. On Linux the report is already a line on stderr
// and nothing needs doing.
void dismiss_fatal_dialog_when_shown();

// Whether a death test's child ended with the fatal exit code (-1, which a
// POSIX exit status shows as 255).
bool exited_fatally(int exit_status);

}  // namespace qn::test
