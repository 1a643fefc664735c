// The table-driven 936 conversion agrees with iconv itself, byte for byte,
// on random input: well-formed pairs, invalid trail bytes, lone lead bytes
// at the end, and characters outside code page 936.
#include <errno.h>
#include <iconv.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>

#include "text/codepage.h"

namespace qn {
namespace {

// iconv over the whole input; each sequence it refuses becomes
// `replacement`, skipping `skip(rest)` bytes of input.
template <class Skip>
std::string iconv_reference(const char* to, const char* from, std::string_view in,
                            std::string_view replacement, Skip skip) {
    iconv_t cd = iconv_open(to, from);
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
    std::string out(in.size() * 4 + 16, '\0');
    char* src = const_cast<char*>(in.data());
    size_t src_left = in.size();
    char* dst = out.data();
    size_t dst_left = out.size();
    while (src_left > 0) {
        if (iconv(cd, &src, &src_left, &dst, &dst_left) != static_cast<size_t>(-1)) break;
        std::memcpy(dst, replacement.data(), replacement.size());
        dst += replacement.size();
        dst_left -= replacement.size();
        const size_t k = std::min(src_left, skip(std::string_view(src, src_left)));
        src += k;
        src_left -= k;
    }
    iconv_close(cd);
    out.resize(static_cast<size_t>(dst - out.data()));
    return out;
}

std::u16string from_le(const std::string& le) {
    std::u16string out(le.size() / 2, u'\0');
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char16_t>(static_cast<unsigned char>(le[2 * i]) |
                                       static_cast<unsigned char>(le[2 * i + 1]) << 8);
    return out;
}

TEST(CodePageTables, DecodingAgreesWithIconvOnRandomBytes) {
    std::mt19937 rng(936);
    for (int round = 0; round < 300; ++round) {
        std::string in(static_cast<size_t>(rng() % 200), '\0');
        for (char& c : in) {
            const unsigned r = rng() % 10;
            c = static_cast<char>(r < 4 ? 0x20 + rng() % 0x5F : 0x80 + rng() % 0x80);
            if (r == 9) c = static_cast<char>(rng() % 0x100);
        }
        const std::u16string expected =
            from_le(iconv_reference("UTF-16LE", "CP936", in, std::string_view("\xFD\xFF", 2),
                                    [](std::string_view) { return size_t{1}; }));
        ASSERT_EQ(cp936_to_utf16(in), expected) << "round " << round;
    }
}

TEST(CodePageTables, EncodingAgreesWithIconvOnEveryBasicPlaneCharacter) {
    std::u16string all;
    for (uint32_t u = 1; u < 0x10000; ++u) {
        if (u < 0xD800 || u > 0xDFFF) all.push_back(static_cast<char16_t>(u));
    }
    std::string le;
    for (char16_t u : all) {
        le.push_back(static_cast<char>(u & 0xFF));
        le.push_back(static_cast<char>(u >> 8));
    }
    const std::string expected =
        iconv_reference("CP936", "UTF-16LE", le, "?", [](std::string_view) { return size_t{2}; });
    EXPECT_EQ(utf16_to_cp936(all), expected);
    // A pair of surrogates is one character outside code page 936.
    EXPECT_EQ(utf16_to_cp936(u"a\U0001F600b\xD800"), "a?b?");
}

}  // namespace
}  // namespace qn
