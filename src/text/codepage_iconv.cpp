// Code page 936 <-> UTF-16 on glibc. iconv ("CP936") is the authority on
// every mapping, but it is asked only once per character: the first
// conversion in each direction fills a table from it, and every conversion
// after that is a table walk with a fast path for ASCII runs. A byte or a
// character that does not convert becomes U+FFFD or '?', as iconv reports it.
#include <errno.h>
#include <iconv.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "text/codepage.h"
#include "text/fatal.h"
#include "text/memory_hint.h"

namespace qn {

namespace {

constexpr char16_t REPLACEMENT = 0xFFFD;

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

    // Converts one whole input sequence; false when iconv refuses any of it.
    bool convert_one(const char* in, size_t in_len, char* out, size_t out_room, size_t& out_len) {
        ::iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in);
        char* dst = out;
        size_t dst_left = out_room;
        if (::iconv(cd_, &src, &in_len, &dst, &dst_left) == static_cast<size_t>(-1) || in_len != 0)
            return false;
        out_len = out_room - dst_left;
        return true;
    }

private:
    static iconv_t invalid() { return reinterpret_cast<iconv_t>(static_cast<intptr_t>(-1)); }
    iconv_t cd_;
};

// Code page 936 -> UTF-16: one entry per byte and one per two-byte
// sequence; 0 marks a sequence that does not convert.
struct DecodeTable {
    std::array<char16_t, 256> single{};
    std::array<char16_t, 128 * 256> pair{};  // index (lead - 0x80) * 256 + trail

    DecodeTable() {
        Iconv conv("UTF-16LE", "CP936");
        char out[8];
        size_t n = 0;
        for (unsigned b = 0; b < 256; ++b) {
            const char in = static_cast<char>(b);
            if (conv.convert_one(&in, 1, out, sizeof out, n) && n == 2) single[b] = unit(out);
        }
        for (unsigned lead = 0x80; lead < 0x100; ++lead) {
            for (unsigned trail = 0; trail < 0x100; ++trail) {
                const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                if (conv.convert_one(in, 2, out, sizeof out, n) && n == 2)
                    pair[(lead - 0x80) * 256 + trail] = unit(out);
            }
        }
    }

    static char16_t unit(const char* le) {
        return static_cast<char16_t>(static_cast<unsigned char>(le[0]) |
                                     static_cast<unsigned char>(le[1]) << 8);
    }
};

// UTF-16 -> code page 936: one entry per code unit outside the surrogates;
// the bytes in the low 16 bits (one byte when below 0x100), 0xFFFFFFFF for
// a unit that does not convert.
struct EncodeTable {
    static constexpr uint32_t NONE = 0xFFFFFFFF;
    std::unique_ptr<uint32_t[]> code = std::make_unique<uint32_t[]>(0x10000);

    EncodeTable() {
        Iconv conv("CP936", "UTF-16LE");
        char out[8];
        size_t n = 0;
        for (uint32_t u = 0; u < 0x10000; ++u) {
            code[u] = NONE;
            if (u >= 0xD800 && u <= 0xDFFF) continue;
            const char in[2] = {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
            if (!conv.convert_one(in, 2, out, sizeof out, n)) continue;
            if (n == 1) code[u] = static_cast<unsigned char>(out[0]);
            if (n == 2)
                code[u] = 0x10000u | static_cast<unsigned char>(out[0]) << 8 |
                          static_cast<unsigned char>(out[1]);
        }
    }
};

const DecodeTable& decode_table() {
    static const DecodeTable table;
    return table;
}

const EncodeTable& encode_table() {
    static const EncodeTable table;
    return table;
}

template <class S>
void reserve_for(S& s, uint64_t units) {
    try {
        s.reserve(static_cast<size_t>(units));
    } catch (const std::bad_alloc&) {
        fatal_out_of_memory(units * sizeof(typename S::value_type));
    } catch (const std::length_error&) {
        fatal_out_of_memory(units * sizeof(typename S::value_type));
    }
    detail::hint_large_block(s.data(), s.capacity() * sizeof(typename S::value_type));
}

// The length of the run of bytes below 0x80 at the start of `p[0, n)`.
size_t ascii_run(const unsigned char* p, size_t n) {
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t word;
        std::memcpy(&word, p + i, 8);
        if (word & 0x8080808080808080ull) break;
    }
    while (i < n && p[i] < 0x80) ++i;
    return i;
}

}  // namespace

std::u16string cp936_to_utf16(std::string_view cp936) {
    if (cp936.empty()) return {};
    const DecodeTable& table = decode_table();
    const auto* p = reinterpret_cast<const unsigned char*>(cp936.data());
    const size_t n = cp936.size();
    std::u16string out;
    reserve_for(out, n);
    out.resize(n);
    char16_t* w = out.data();
    size_t i = 0;
    while (i < n) {
        const size_t run = ascii_run(p + i, n - i);
        for (size_t k = 0; k < run; ++k) w[k] = p[i + k];
        w += run;
        i += run;
        if (i == n) break;
        // A byte of 0x80 or above: a two-byte sequence when its pair
        // converts, else the byte alone, else one U+FFFD for that byte.
        const unsigned b = p[i];
        if (i + 1 < n) {
            if (const char16_t u = table.pair[(b - 0x80) * 256 + p[i + 1]]; u != 0) {
                *w++ = u;
                i += 2;
                continue;
            }
        }
        *w++ = table.single[b] != 0 ? table.single[b] : REPLACEMENT;
        ++i;
    }
    out.resize(static_cast<size_t>(w - out.data()));
    return out;
}

std::string utf16_to_cp936(std::u16string_view wide) {
    if (wide.empty()) return {};
    const EncodeTable& table = encode_table();
    std::string out;
    reserve_for(out, static_cast<uint64_t>(wide.size()) * 2);
    out.resize(wide.size() * 2);
    char* w = out.data();
    const size_t n = wide.size();
    for (size_t i = 0; i < n; ++i) {
        const char16_t u = wide[i];
        if (u < 0x80) {
            *w++ = static_cast<char>(u);
            continue;
        }
        if (u >= 0xD800 && u <= 0xDFFF) {
            // No character outside the basic plane has a code in 936: a
            // surrogate pair becomes one '?', a lone surrogate as well.
            if (u <= 0xDBFF && i + 1 < n && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF) ++i;
            *w++ = '?';
            continue;
        }
        const uint32_t code = table.code[u];
        if (code == EncodeTable::NONE) {
            *w++ = '?';
        } else if (code & 0x10000u) {
            *w++ = static_cast<char>((code >> 8) & 0xFF);
            *w++ = static_cast<char>(code & 0xFF);
        } else {
            *w++ = static_cast<char>(code);
        }
    }
    out.resize(static_cast<size_t>(w - out.data()));
    return out;
}

}  // namespace qn
