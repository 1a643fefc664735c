// Code page 936 <-> UTF-16 through iconv ("CP936" and "UTF-16LE").
#include <errno.h>
#include <iconv.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

#include "text/codepage.h"
#include "text/fatal.h"

namespace qn {

namespace {

// One iconv conversion descriptor, closed when the handle goes.
class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(::iconv_open(to, from)) {
        if (cd_ == invalid())
            fatal_error("The code page 936 conversion (iconv CP936) is not available.");
    }
    ~Iconv() { ::iconv_close(cd_); }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    iconv_t get() const { return cd_; }

private:
    static iconv_t invalid() { return reinterpret_cast<iconv_t>(static_cast<intptr_t>(-1)); }
    iconv_t cd_;
};

// Runs `in` through the descriptor into a byte string. Where the input holds
// a sequence that does not convert, `replacement` is written instead and the
// input moves on by what `skip` says (at least one byte).
template <class Skip>
std::string convert(const Iconv& conv, std::string_view in, std::string_view replacement,
                    Skip skip) {
    std::string out;
    try {
        out.resize(in.size() * 2 + 16);
    } catch (const std::bad_alloc&) {
        fatal_out_of_memory(static_cast<uint64_t>(in.size()) * 2 + 16);
    }
    char* src = const_cast<char*>(in.data());
    size_t src_left = in.size();
    size_t used = 0;
    auto room = [&](size_t need) {
        if (out.size() - used >= need) return;
        const uint64_t want = static_cast<uint64_t>(out.size()) * 2 + need;
        try {
            out.resize(static_cast<size_t>(want));
        } catch (const std::bad_alloc&) {
            fatal_out_of_memory(want);
        }
    };
    while (src_left > 0) {
        char* dst = out.data() + used;
        size_t dst_left = out.size() - used;
        const size_t r = ::iconv(conv.get(), &src, &src_left, &dst, &dst_left);
        used = static_cast<size_t>(dst - out.data());
        if (r != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) {
            room(out.size() - used + 16);
            continue;
        }
        // EILSEQ (no such character) or EINVAL (cut short at the end).
        room(replacement.size());
        std::memcpy(out.data() + used, replacement.data(), replacement.size());
        used += replacement.size();
        const size_t k = std::min(src_left, skip(std::string_view(src, src_left)));
        src += k;
        src_left -= k;
    }
    out.resize(used);
    return out;
}

}  // namespace

std::u16string cp936_to_utf16(std::string_view cp936) {
    if (cp936.empty()) return {};
    const Iconv conv("UTF-16LE", "CP936");
    const std::string le = convert(conv, cp936, std::string_view("\xFD\xFF", 2),
                                   [](std::string_view) { return size_t{1}; });
    std::u16string out;
    try {
        out.resize(le.size() / 2);
    } catch (const std::bad_alloc&) {
        fatal_out_of_memory(le.size());
    }
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char16_t>(static_cast<unsigned char>(le[2 * i]) |
                                       static_cast<unsigned char>(le[2 * i + 1]) << 8);
    return out;
}

std::string utf16_to_cp936(std::u16string_view wide) {
    if (wide.empty()) return {};
    std::string le;
    try {
        le.resize(wide.size() * 2);
    } catch (const std::bad_alloc&) {
        fatal_out_of_memory(static_cast<uint64_t>(wide.size()) * 2);
    }
    for (size_t i = 0; i < wide.size(); ++i) {
        le[2 * i] = static_cast<char>(wide[i] & 0xFF);
        le[2 * i + 1] = static_cast<char>(wide[i] >> 8);
    }
    const Iconv conv("CP936", "UTF-16LE");
    // A character that does not convert becomes '?': a surrogate pair as a
    // whole, anything else one unit at a time.
    return convert(conv, le, "?", [](std::string_view rest) {
        if (rest.size() >= 4) {
            const unsigned hi = static_cast<unsigned char>(rest[1]);
            const unsigned lo = static_cast<unsigned char>(rest[3]);
            if (hi >= 0xD8 && hi <= 0xDB && lo >= 0xDC && lo <= 0xDF) return size_t{4};
        }
        return size_t{2};
    });
}

}  // namespace qn
