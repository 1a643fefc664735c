// Small helpers for driving real Win32 windows in tests.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace qn::testing {

inline std::wstring window_text(HWND hwnd) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

inline std::wstring class_name(HWND hwnd) {
    wchar_t name[256] = {};
    GetClassNameW(hwnd, name, 256);
    return name;
}

// The first top-level window of process `pid` for which `match` holds.
inline HWND find_top_window(DWORD pid, const std::function<bool(HWND)>& match) {
    struct Search {
        DWORD pid;
        const std::function<bool(HWND)>* match;
        HWND found;
    } search{pid, &match, nullptr};
    EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner_pid = 0;
            GetWindowThreadProcessId(hwnd, &owner_pid);
            if (owner_pid == s->pid && (*s->match)(hwnd)) {
                s->found = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Polls `find` every 50 ms until it gives a window or `timeout` has passed.
inline HWND wait_for_window(const std::function<HWND()>& find, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (HWND hwnd = find()) {
            return hwnd;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return nullptr;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

// The visible message box (#32770) of process `pid`, if one is open.
inline HWND find_message_box(DWORD pid) {
    return find_top_window(
        pid, [](HWND hwnd) { return IsWindowVisible(hwnd) && class_name(hwnd) == L"#32770"; });
}

// The text of a message box: its static text control has the id 0xFFFF.
inline std::wstring message_box_text(HWND box) {
    wchar_t text[1024] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 1024);
    return text;
}

}  // namespace qn::testing
