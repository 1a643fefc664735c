// Conversions between code page 936 and Unicode. Bytes that do not convert
// are replaced (U+FFFD one way, '?' the other), never dropped silently.
#pragma once

#include <string>
#include <string_view>

namespace qn {

std::u16string cp936_to_utf16(std::string_view cp936);
std::string utf16_to_cp936(std::u16string_view wide);
std::string cp936_to_utf8(std::string_view cp936);
std::string utf8_to_cp936(std::string_view utf8);

}  // namespace qn
