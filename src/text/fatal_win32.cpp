// The fatal report on Windows: a task-modal message box with the error icon
// and no owner window.
#include <windows.h>

#include <algorithm>

#include "text/fatal.h"
#include "text/fixed_texts.h"

namespace qn {

namespace {

// Widens UTF-8 into `out` (room for `cap` units plus a terminator) without
// allocating; a message too long for the buffer is cut at a character
// boundary.
void widen(std::string_view utf8, wchar_t* out, int cap) {
    size_t take = std::min<size_t>(utf8.size(), static_cast<size_t>(cap));
    while (take > 0 && take < utf8.size() &&
           (static_cast<unsigned char>(utf8[take]) & 0xC0) == 0x80)
        --take;
    const int k = take == 0 ? 0
                            : ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(take),
                                                    out, cap);
    out[k > 0 ? k : 0] = L'\0';
}

}  // namespace

void fatal_report(std::string_view message) {
    wchar_t text[1024];
    widen(message, text, 1023);
    wchar_t caption[64];
    widen(texts::CAPTION, caption, 63);
    ::MessageBoxW(nullptr, text, caption, MB_ICONERROR | MB_OK | MB_TASKMODAL);
}

void set_fatal_dialog_hook(FatalDialogHook) noexcept {}

}  // namespace qn
