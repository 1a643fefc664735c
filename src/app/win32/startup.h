// Start-up and shut-down of the Windows program.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "app/win32/main_window.h"

namespace qn {

using MainWindowFactory = std::function<std::unique_ptr<MainWindow>(HINSTANCE)>;

// Runs the program: OLE for this thread, the program's folder as working
// directory, MainWindow created hidden, the thread list loaded, the window
// shown and the message loop until it closes. Returns the exit code, 0.
// A window that cannot be created is fatal (report, exit code -1).
int run_quennick(HINSTANCE instance, const MainWindowFactory& make_window = MainWindow::create);

// The text of the report shown when the start window cannot be created.
inline constexpr const char* START_WINDOW_FAILED =
    "Loading the start window failed: the Quennick window or its thread list could not be "
    "created.";

}  // namespace qn
