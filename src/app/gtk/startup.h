// Start-up and shut-down of the Linux program.
#pragma once

#include <string_view>

namespace qn::gtk {

// Opens the display, builds the main window hidden, loads the thread list
// while it is hidden, then shows it and runs until it is closed. The exit
// code: 0 once the window has closed. A display or a window that cannot be
// had is fatal (exit code -1).
int run_program();

// The dialog part of a fatal report: a modal error dialog without owner
// window, when a display is open.
void show_fatal_dialog(std::string_view message);

}  // namespace qn::gtk
