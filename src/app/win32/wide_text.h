// Texts cross to the Win32 wide entry points: code page 936 bytes are
// converted explicitly, so the Chinese texts read the same whatever the
// system's ANSI code page is.
#pragma once

#include <string>
#include <string_view>

#include "text/codepage.h"
#include "text/text.h"

namespace qn {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Win32 wide text is UTF-16");

inline std::wstring to_wide(std::string_view cp936) {
    const std::u16string wide = cp936_to_utf16(cp936);
    return std::wstring(wide.begin(), wide.end());
}

inline std::wstring to_wide(const Text& text) { return to_wide(text.view()); }
inline std::wstring to_wide(const char* cp936) { return to_wide(std::string_view(cp936)); }

inline Text from_wide(std::wstring_view wide) {
    return Text(utf16_to_cp936(std::u16string(wide.begin(), wide.end())));
}

}  // namespace qn
