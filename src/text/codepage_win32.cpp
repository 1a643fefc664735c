// Code page 936 <-> UTF-16 through MultiByteToWideChar / WideCharToMultiByte.
#include <windows.h>

#include <new>

#include "text/codepage.h"
#include "text/fatal.h"

namespace qn {

namespace {

constexpr UINT CP_GBK = 936;

int checked_int(size_t n) {
    if (n > static_cast<size_t>(INT_MAX / 2)) fatal_out_of_memory(static_cast<uint64_t>(n) * 2);
    return static_cast<int>(n);
}

template <class S>
void resize_or_die(S& s, size_t n) {
    try {
        s.resize(n);
    } catch (const std::bad_alloc&) {
        fatal_out_of_memory(static_cast<uint64_t>(n) * sizeof(typename S::value_type));
    }
}

// Converts strictly; false when the input holds a sequence that does not
// convert.
bool widen_strict(std::string_view in, std::u16string& out) {
    const int n = checked_int(in.size());
    const int k = ::MultiByteToWideChar(CP_GBK, MB_ERR_INVALID_CHARS, in.data(), n, nullptr, 0);
    if (k <= 0) return false;
    resize_or_die(out, static_cast<size_t>(k));
    return ::MultiByteToWideChar(CP_GBK, MB_ERR_INVALID_CHARS, in.data(), n,
                                 reinterpret_cast<wchar_t*>(out.data()), k) == k;
}

}  // namespace

std::u16string cp936_to_utf16(std::string_view cp936) {
    std::u16string out;
    if (cp936.empty() || widen_strict(cp936, out)) return out;
    // Character by character: a lead byte takes the next byte with it, and
    // whatever does not convert becomes U+FFFD.
    out.clear();
    std::u16string one;
    try {
        size_t i = 0;
        while (i < cp936.size()) {
            const unsigned char b = static_cast<unsigned char>(cp936[i]);
            const size_t len = (b >= 0x81 && b <= 0xFE && i + 1 < cp936.size()) ? 2 : 1;
            if (widen_strict(cp936.substr(i, len), one)) {
                out += one;
            } else {
                out.push_back(u'\xFFFD');
            }
            i += len;
        }
    } catch (const std::bad_alloc&) {
        fatal_out_of_memory(static_cast<uint64_t>(cp936.size()) * 2);
    }
    return out;
}

std::string utf16_to_cp936(std::u16string_view wide) {
    std::string out;
    if (wide.empty()) return out;
    // Code page 936 has no character outside the BMP: a surrogate pair turns
    // into one '?', as one character, rather than one per unit.
    std::u16string without_pairs;
    const auto is_pair = [&](size_t i) {
        return i + 1 < wide.size() && wide[i] >= 0xD800 && wide[i] <= 0xDBFF &&
               wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF;
    };
    size_t first_pair = 0;
    while (first_pair < wide.size() && !is_pair(first_pair)) ++first_pair;
    if (first_pair < wide.size()) {
        resize_or_die(without_pairs, wide.size());
        size_t k = 0;
        for (size_t i = 0; i < wide.size(); ++i) {
            without_pairs[k++] = is_pair(i) ? u'?' : wide[i];
            if (is_pair(i)) ++i;
        }
        without_pairs.resize(k);
        wide = without_pairs;
    }
    const int n = checked_int(wide.size());
    const auto* w = reinterpret_cast<const wchar_t*>(wide.data());
    const int k = ::WideCharToMultiByte(CP_GBK, 0, w, n, nullptr, 0, nullptr, nullptr);
    if (k <= 0) return out;
    resize_or_die(out, static_cast<size_t>(k));
    const int done = ::WideCharToMultiByte(CP_GBK, 0, w, n, out.data(), k, nullptr, nullptr);
    out.resize(done > 0 ? static_cast<size_t>(done) : 0);
    return out;
}

}  // namespace qn
