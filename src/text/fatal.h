// The process's fatal conditions: a modal error report without owner window,
// then exit code -1. None of these returns.
#pragma once

#include <cstdint>
#include <string_view>

namespace qn {

// Memory for `bytes` bytes could not be obtained (or the size does not fit
// the 32-bit counts of the text toolkit).
[[noreturn]] void fatal_out_of_memory(uint64_t bytes);
// A list index outside 1 to the list's count.
[[noreturn]] void fatal_list_index(int32_t index, int32_t count);
// Any other fatal condition; `message` is ASCII or UTF-8.
[[noreturn]] void fatal_error(std::string_view message);

// Shows the report and returns once the user has closed it. Windows: a
// message box with the error icon and no owner. Linux: a line on stderr,
// and a dialog through the hook below when the program has installed one.
void fatal_report(std::string_view message);

// Linux: replaces the dialog part of the report (the program's GTK layer
// installs one when a display is available). Windows: ignored.
using FatalDialogHook = void (*)(std::string_view message);
void set_fatal_dialog_hook(FatalDialogHook hook) noexcept;

// The exit code that a fatal condition ends the process with.
inline constexpr int FATAL_EXIT_CODE = -1;

}  // namespace qn
