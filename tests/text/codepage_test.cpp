// Code page 936 conversions, and the fixed texts checked against a
// conversion of their readable form.
#include <gtest/gtest.h>

#include <string>

#include "text/codepage.h"
#include "text/fixed_texts.h"
#include "text/text.h"

namespace qn {
namespace {

TEST(FixedTexts, EachIsTheCodePage936FormOfItsReadableText) {
    for (const texts::FixedText& t : texts::readable) {
        EXPECT_EQ(utf8_to_cp936(t.utf8), t.cp936) << t.name;
        EXPECT_EQ(cp936_to_utf8(t.cp936), t.utf8) << t.name;
        // A fixed text is a valid Text: no zero byte inside.
        EXPECT_EQ(Text(t.cp936).view(), t.cp936) << t.name;
    }
    EXPECT_EQ(std::size(texts::readable), 14u);
}

TEST(FixedTexts, TheQuoteTokenIsTheFiveBytesThatMarkersUse) {
    EXPECT_EQ(std::string_view(texts::QUOTE_TOKEN), "\x23\xD2\xFD\xBA\xC5");
    // The thread pattern holds the token six times and no plain quote.
    const Text pattern(texts::THREAD_PATTERN);
    EXPECT_EQ(list_count(txt_split(pattern, Text(texts::QUOTE_TOKEN))), 7);
    EXPECT_EQ(txt_find(pattern, Text("\"")), -1);
}

TEST(Codepage, ConvertsBetween936AndUnicode) {
    struct Case {
        std::string_view cp936;
        std::u16string_view utf16;
        std::string_view utf8;
    };
    const Case cases[] = {
        {"", u"", ""},
        {"plain ASCII ~", u"plain ASCII ~", "plain ASCII ~"},
        {"\xD6\xD0\xCE\xC4", u"\u4E2D\u6587", "中文"},
        {"a\xA1\xA1"
         "b",
         u"a\u3000b", "a　b"},
        {"\xA3\xB1\xA3\xB2", u"\uFF11\uFF12", "１２"},
        {"\xC1\xB4\xBD\xD3: http://x/", u"\u94FE\u63A5: http://x/", "链接: http://x/"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(cp936_to_utf16(c.cp936), c.utf16) << c.utf8;
        EXPECT_EQ(utf16_to_cp936(c.utf16), c.cp936) << c.utf8;
        EXPECT_EQ(cp936_to_utf8(c.cp936), c.utf8);
        EXPECT_EQ(utf8_to_cp936(c.utf8), c.cp936);
    }
}

TEST(Codepage, ReplacesWhatDoesNotConvertAndKeepsTheRest) {
    // A lead byte at the very end converts to U+FFFD; the bytes before it
    // survive.
    const std::u16string cut = cp936_to_utf16("ab\xD6");
    ASSERT_EQ(cut.size(), 3u);
    EXPECT_EQ(cut.substr(0, 2), u"ab");
    EXPECT_EQ(cut[2], u'\xFFFD');

    // Characters outside code page 936 become '?'.
    EXPECT_EQ(utf16_to_cp936(u"x\u0E01y"), "x?y");          // a Thai letter
    EXPECT_EQ(utf8_to_cp936("x\xF0\x9F\x98\x80y"), "x?y");  // an emoji: one '?' for the pair
    EXPECT_EQ(utf8_to_cp936("x\xFFy"), "x?y");              // not UTF-8 at all
    EXPECT_EQ(cp936_to_utf8("ab\xD6"), "ab\xEF\xBF\xBD");
}

TEST(Codepage, RoundTripsEveryTwoByteCharacterOfTheCommonRange) {
    // The GB2312 rows of code page 936: every character converts to one
    // UTF-16 unit and back to the same two bytes.
    std::string all;
    for (int lead = 0xB0; lead <= 0xD7; ++lead)
        for (int trail = 0xA1; trail <= 0xFE; ++trail) {
            if (lead == 0xD7 && trail > 0xF9) continue;  // unassigned tail of the last row
            all += static_cast<char>(lead);
            all += static_cast<char>(trail);
        }
    const std::u16string wide = cp936_to_utf16(all);
    EXPECT_EQ(wide.size(), all.size() / 2);
    EXPECT_EQ(wide.find(u'\xFFFD'), std::u16string::npos);
    EXPECT_EQ(utf16_to_cp936(wide), all);
    EXPECT_EQ(utf8_to_cp936(cp936_to_utf8(all)), all);
}

}  // namespace
}  // namespace qn
