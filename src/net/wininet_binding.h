// The by-name binding of WinINet's functions (Windows build only): the
// library is loaded at the first need and each function is looked up at its
// own first call; a missing library or function ends the process after a
// fatal report naming both.
#pragma once

namespace qn::inet {

using WininetProc = void (*)();

// The address of `name` in "wininet.dll". Does not return when the library
// or the function cannot be found.
WininetProc wininet_function(const char* name);

}  // namespace qn::inet
