// Dismisses the fatal message box of this process, after copying its caption
// and text to stderr.
#include <windows.h>

#include <cstdio>
#include <string>
#include <thread>

#include "fatal_dialog.h"

namespace qn::test {

namespace {

BOOL CALLBACK find_own_dialog(HWND window, LPARAM found) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    if (pid != ::GetCurrentProcessId() || !::IsWindowVisible(window)) return TRUE;
    wchar_t cls[16] = {};
    ::GetClassNameW(window, cls, 16);
    if (std::wstring(cls) != L"#32770") return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

std::string utf8(const wchar_t* w) {
    const int k = ::WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
    if (k <= 1) return {};
    std::string s(static_cast<size_t>(k), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, w, -1, s.data(), k, nullptr, nullptr);
    s.resize(static_cast<size_t>(k) - 1);
    return s;
}

}  // namespace

void dismiss_fatal_dialog_when_shown() {
    std::thread([] {
        for (int tries = 0; tries < 3000; ++tries) {  // about a minute
            HWND box = nullptr;
            ::EnumWindows(find_own_dialog, reinterpret_cast<LPARAM>(&box));
            if (box) {
                wchar_t caption[256] = {};
                wchar_t text[2048] = {};
                ::GetWindowTextW(box, caption, 256);
                ::GetDlgItemTextW(box, 0xFFFF, text, 2048);
                std::fprintf(stderr, "message box [%s]: %s\n", utf8(caption).c_str(),
                             utf8(text).c_str());
                std::fflush(stderr);
                ::PostMessageW(box, WM_COMMAND, IDOK, 0);
                return;
            }
            ::Sleep(20);
        }
        std::fprintf(stderr, "no message box appeared\n");
    }).detach();
}

}  // namespace qn::test
