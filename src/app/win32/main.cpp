// The Quennick program for Windows.
#include <windows.h>

#include "app/win32/startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*command_line*/,
                    int /*show*/) {
    return qn::run_quennick(instance);
}
