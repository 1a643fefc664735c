// UTF-8 <-> UTF-16, and code page 936 <-> UTF-8 composed through UTF-16 on
// top of the platform's 936 <-> UTF-16 conversion.
#include <new>

#include "text/codepage.h"
#include "text/fatal.h"

namespace qn {

namespace {

constexpr char16_t REPLACEMENT = 0xFFFD;

// Appends code point `cp` (a valid scalar value) as UTF-16.
void put_utf16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

void put_utf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// UTF-8 to UTF-16; each byte that does not begin a well-formed sequence
// (overlong forms, surrogates and values above U+10FFFF included) becomes
// U+FFFD.
std::u16string utf8_to_utf16(std::string_view in) {
    std::u16string out;
    try {
        out.reserve(in.size());
        const auto* p = reinterpret_cast<const unsigned char*>(in.data());
        const size_t n = in.size();
        size_t i = 0;
        while (i < n) {
            const unsigned char b = p[i];
            if (b < 0x80) {
                out.push_back(b);
                ++i;
                continue;
            }
            size_t len = 0;
            char32_t cp = 0;
            char32_t min = 0;
            if (b >= 0xC2 && b <= 0xDF) {
                len = 2, cp = b & 0x1F, min = 0x80;
            } else if (b >= 0xE0 && b <= 0xEF) {
                len = 3, cp = b & 0x0F, min = 0x800;
            } else if (b >= 0xF0 && b <= 0xF4) {
                len = 4, cp = b & 0x07, min = 0x10000;
            }
            bool ok = len != 0 && n - i >= len;
            for (size_t k = 1; ok && k < len; ++k) {
                if ((p[i + k] & 0xC0) != 0x80) ok = false;
                cp = (cp << 6) | (p[i + k] & 0x3F);
            }
            ok = ok && cp >= min && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
            if (ok) {
                put_utf16(out, cp);
                i += len;
            } else {
                out.push_back(REPLACEMENT);
                ++i;
            }
        }
    } catch (const std::bad_alloc&) {
        fatal_out_of_memory(static_cast<uint64_t>(in.size()) * 4);
    }
    return out;
}

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string utf16_to_utf8(std::u16string_view in) {
    std::string out;
    try {
        out.reserve(in.size() * 3);
        const size_t n = in.size();
        for (size_t i = 0; i < n; ++i) {
            const char16_t u = in[i];
            if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n && in[i + 1] >= 0xDC00 &&
                in[i + 1] <= 0xDFFF) {
                put_utf8(out, 0x10000 + ((char32_t{u} - 0xD800) << 10) + (in[i + 1] - 0xDC00));
                ++i;
            } else if (u >= 0xD800 && u <= 0xDFFF) {
                put_utf8(out, REPLACEMENT);
            } else {
                put_utf8(out, u);
            }
        }
    } catch (const std::bad_alloc&) {
        fatal_out_of_memory(static_cast<uint64_t>(in.size()) * 3);
    }
    return out;
}

}  // namespace

std::string cp936_to_utf8(std::string_view cp936) { return utf16_to_utf8(cp936_to_utf16(cp936)); }

std::string utf8_to_cp936(std::string_view utf8) { return utf16_to_cp936(utf8_to_utf16(utf8)); }

}  // namespace qn
