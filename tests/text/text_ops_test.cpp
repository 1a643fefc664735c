// The text operations on hand-picked cases: positions, the character walk,
// case folding, the lone final byte, optional arguments and the edges of
// cutting and converting.
#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>
#include <vector>

#include "text/text.h"

namespace qn {
namespace {

using std::nullopt;
using std::optional;

std::vector<std::string> items_of(const TextList& list) {
    std::vector<std::string> out;
    for (int32_t i = 1; i <= list_count(list); ++i) out.push_back(list_at(list, i).str());
    return out;
}

// --- Text values -------------------------------------------------------------

TEST(TextValue, KeepsTheBytesBeforeTheFirstZeroByte) {
    EXPECT_EQ(Text(std::string_view("a\0b", 3)).str(), "a");
    EXPECT_EQ(Text(std::string("ab\0c", 4)).str(), "ab");
    EXPECT_EQ(Text(std::string_view("\0x", 2)).str(), "");
    EXPECT_EQ(Text(static_cast<const char*>(nullptr)), Text());
    EXPECT_EQ(Text(""), Text());
}

TEST(TextValue, BytesKeepZeroBytesAndConvertToTextUpToTheFirst) {
    const Bytes b(std::string_view("a\0b", 3));
    EXPECT_EQ(bytes_len(b), 3);
    EXPECT_EQ(txt_from_bytes(b).str(), "a");
    EXPECT_EQ(txt_from_bytes(Bytes()), Text());
    EXPECT_EQ(bytes_from_txt(Text("xyz")).view(), "xyz");
    EXPECT_EQ(bytes_len(bytes_from_txt(Text())), 0);

    Bytes grown;
    for (int k = 0; k < 1000; ++k) grown.append(std::string_view("\0\1", 2));
    EXPECT_EQ(bytes_len(grown), 2000);
    EXPECT_EQ(grown.view().substr(1998), std::string_view("\0\1", 2));
}

// --- comparing, joining, cutting ---------------------------------------------

TEST(TextCmp, OrdersByUnsignedBytesThenByLength) {
    struct Case {
        const char* a;
        const char* b;
        int want;
    };
    const Case cases[] = {
        {"", "", 0},           {"ab", "abc", -1}, {"abc", "ab", 1},  {"b", "a", 1},
        {"a", "b", -1},        {"\xB0", "z", 1},  {"z", "\xB0", -1}, {"abc", "abc", 0},
        {"a\xFF", "a\x80", 1}, {"A", "a", -1},    {"", "x", -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(txt_cmp(Text(c.a), Text(c.b)), c.want) << c.a << " vs " << c.b;
    EXPECT_EQ(txt_cmp(Text(), Text("")), 0);
}

TEST(TextJoin, PutsPartsOneAfterAnother) {
    EXPECT_EQ(txt_join(Text("ab"), Text(), Text("c")).str(), "abc");
    EXPECT_EQ(txt_join(Text(), Text()), Text());
    EXPECT_EQ(txt_join(Text("x"), "-", std::string("y")).str(), "x-y");
    // A raw part is taken as a text: up to its first zero byte.
    EXPECT_EQ(txt_join(Text("a"), std::string_view("b\0c", 3), Text("d")).str(), "abd");

    EXPECT_EQ(bytes_join(Bytes(), Bytes()), Bytes());
    EXPECT_EQ(bytes_len(bytes_join(Bytes(), Bytes())), 0);
    EXPECT_EQ(bytes_join(Bytes(std::string_view("a\0", 2)), Bytes(std::string_view("b"))).view(),
              std::string_view("a\0b", 3));
}

TEST(TextCut, CountsBytesAndNeverFails) {
    const Text abc("abc");
    EXPECT_EQ(txt_head(abc, 0), Text());
    EXPECT_EQ(txt_head(abc, -5), Text());
    EXPECT_EQ(txt_head(abc, 2).str(), "ab");
    EXPECT_EQ(txt_head(abc, 9).str(), "abc");
    EXPECT_EQ(txt_tail(abc, -1), Text());
    EXPECT_EQ(txt_tail(abc, 2).str(), "bc");
    EXPECT_EQ(txt_tail(abc, INT32_MAX).str(), "abc");
    EXPECT_EQ(txt_slice(abc, 2, 5).str(), "bc");
    EXPECT_EQ(txt_slice(abc, 2, 1).str(), "b");
    EXPECT_EQ(txt_slice(abc, 3, 1).str(), "c");
    EXPECT_EQ(txt_slice(abc, 0, 2), Text());
    EXPECT_EQ(txt_slice(abc, -1, 3), Text());
    EXPECT_EQ(txt_slice(abc, 4, 1), Text());
    EXPECT_EQ(txt_slice(abc, 1, 0), Text());
    EXPECT_EQ(txt_slice(abc, 1, INT32_MAX).str(), "abc");
    EXPECT_EQ(txt_slice(abc, INT32_MAX, INT32_MAX), Text());
    // Cutting does not walk: it may split a two-byte character.
    EXPECT_EQ(txt_head(Text("\xB0\xA1x"), 1).str(), "\xB0");
    EXPECT_EQ(txt_slice(Text("\xB0\xA1x"), 2, 2).str(), "\xA1x");

    const Bytes b(std::string_view("a\0c", 3));
    EXPECT_EQ(bytes_head(b, 9), b);
    EXPECT_EQ(bytes_head(b, 2).view(), std::string_view("a\0", 2));
    EXPECT_EQ(bytes_head(b, 0), Bytes());
    EXPECT_EQ(bytes_head(b, -1), Bytes());
}

// --- searching ------------------------------------------------------------------

struct FindCase {
    const char* text;
    const char* needle;
    optional<int32_t> start;
    bool ignore_case;
    int32_t want;
};

TEST(TextFind, AnswersTheFirstOccurrenceAtAWalkPoint) {
    const FindCase cases[] = {
        {"abcabc", "c", 4, false, 6},
        {"abcabc", "c", 0, false, 3},
        {"abcabc", "c", -3, false, 3},
        {"abcabc", "c", nullopt, false, 3},
        {"abcabc", "c", 7, false, -1},
        {"abcabc", "c", INT32_MIN, false, 3},
        {"abcabc", "c", INT32_MAX, false, -1},
        {"abcabc", "bc", 3, false, 5},
        {"abcabc", "abcabc", 1, false, 1},
        {"abcabc", "abcabcx", 1, false, -1},
        {"aaa", "aa", nullopt, false, 1},
        // An empty needle: 1 whenever the searched range is not empty.
        {"abc", "", 2, false, 1},
        {"abc", "", 3, false, 1},
        {"abc", "", 4, false, -1},
        {"", "", nullopt, false, -1},
        {"", "a", nullopt, false, -1},
        // Only walk points: 0x41 is the second byte of 0xB0 0x41.
        {"\xB0"
         "AB",
         "AB", nullopt, false, -1},
        {"\xB0"
         "AB",
         "B", nullopt, false, 3},
        {"\xB0"
         "AAB",
         "AB", nullopt, false, 3},
        {"\xB0\xB0\xB0"
         "A",
         "\xB0"
         "A",
         nullopt, false, 3},
        {"\xB0\xB0\xB0\xB0"
         "A",
         "\xB0"
         "A",
         nullopt, false, -1},
        // A start on a second byte makes it a character start.
        {"\xB0"
         "AB",
         "AB", 2, false, 2},
        {"\xB0\xB0\xB0\xB0"
         "A",
         "\xB0"
         "A",
         2, false, 4},
        // Folding covers 0x41..0x5A on both sides, second bytes included.
        {"\x81"
         "A",
         "\x81"
         "a",
         nullopt, true, 1},
        {"\x81"
         "A",
         "\x81"
         "a",
         nullopt, false, -1},
        {"\x81"
         "a",
         "\x81"
         "A",
         nullopt, true, 1},
        {"xUSER-Agent", "user-agent", nullopt, true, 2},
        {"[", "{", nullopt, true, -1},
        {"@", "`", nullopt, true, -1},
        {"\xC1", "\xE1", nullopt, true, -1},
        {"abc", "B", nullopt, true, 2},
        {"abc", "B", nullopt, false, -1},
        // A lone final byte is still tested.
        {"ab\xB0", "\xB0", nullopt, false, 3},
        {"\xB0\xB0\xB0", "\xB0", 2, false, 2},
        {"\xB0\xB0\xB0", "\xB0", nullopt, false, 1},
        {"a\xB0\xB0\xB0", "\xB0", 3, false, 3},
        {"\xB0\xB0"
         "a\xB0",
         "\xB0", 3, false, 4},
    };
    for (const FindCase& c : cases) {
        EXPECT_EQ(txt_find(Text(c.text), Text(c.needle), c.start, c.ignore_case), c.want)
            << "text '" << c.text << "' needle '" << c.needle << "' start "
            << (c.start ? std::to_string(*c.start) : "none") << " fold " << c.ignore_case;
    }
}

TEST(TextFind, FindsOnLongTextsAsOnShortOnes) {
    // Long enough for the shift-table search; the needle appears first at a
    // second byte, then at a walk point.
    std::string t(1000, 'x');
    t += "\xB0"
         "needle";  // 0xB0 'n' is one character
    t += std::string(500, 'y') + "needle" + std::string(20, 'z');
    EXPECT_EQ(txt_find(Text(t), Text("needle")), 1000 + 7 + 500 + 1);
    EXPECT_EQ(txt_find(Text(t), Text("eedle")), 1000 + 3);
    EXPECT_EQ(txt_find(Text(t), Text("NEEDLE"), nullopt, true), 1000 + 7 + 500 + 1);
    EXPECT_EQ(txt_rfind(Text(t), Text("eedle")), 1000 + 7 + 500 + 2);
    EXPECT_EQ(txt_rfind(Text(t), Text("needle")), 1000 + 7 + 500 + 1);
    EXPECT_EQ(txt_rfind(Text(t), Text("needle"), 1000 + 7 + 500 + 6), -1);
    EXPECT_EQ(txt_rfind(Text(t), Text("NEEDLE"), nullopt, true), 1000 + 7 + 500 + 1);
}

TEST(TextRfind, AnswersTheLastOccurrenceEndingBeforeStart) {
    const FindCase cases[] = {
        {"a.b.c", ".", nullopt, false, 4},
        {"a.b.c", ".", 5, false, 4},
        {"a.b.c", ".", 4, false, 2},
        {"a.b.c", ".", 2, false, -1},
        {"a.b.c", ".", 1, false, -1},
        {"a.b.c", ".", 0, false, -1},
        {"a.b.c", ".", -7, false, -1},
        {"a.b.c", ".", 99, false, 4},
        {"a.b.c", ".", INT32_MIN, false, -1},
        {"a.b.c", ".", INT32_MAX, false, 4},
        {"aaa", "aa", nullopt, false, 2},
        {"abab", "ab", 5, false, 3},
        {"abab", "ab", 4, false, 1},  // 'ab' at 3 would end at 4
        {"abc", "", nullopt, false, 1},
        {"abc", "", 2, false, 1},
        {"abc", "", 1, false, -1},
        {"", "", nullopt, false, -1},
        {"\xB0"
         "A\xB0"
         "A",
         "A", nullopt, false, -1},
        {"\xB0"
         "A\xB0"
         "A",
         "\xB0"
         "A",
         nullopt, false, 3},
        {"x\xB0"
         "AA",
         "A", nullopt, false, 4},
        {"x\xB0"
         "AA",
         "A", 4, false, -1},
        {"AbA", "a", nullopt, true, 3},
        {"AbA", "a", nullopt, false, -1},
        {"\x81"
         "A",
         "\x81"
         "a",
         nullopt, true, 1},
        {"ab\xB0", "\xB0", nullopt, false, 3},
    };
    for (const FindCase& c : cases) {
        EXPECT_EQ(txt_rfind(Text(c.text), Text(c.needle), c.start, c.ignore_case), c.want)
            << "text '" << c.text << "' needle '" << c.needle << "' start "
            << (c.start ? std::to_string(*c.start) : "none") << " fold " << c.ignore_case;
    }
}

TEST(TextRfind, FeedingBackThePositionWalksTheOccurrencesFromTheRight) {
    const Text t("a.b.c");
    std::vector<int32_t> seen;
    for (int32_t p = txt_rfind(t, Text(".")); p != -1; p = txt_rfind(t, Text("."), p))
        seen.push_back(p);
    EXPECT_EQ(seen, (std::vector<int32_t>{4, 2}));
}

// --- substituting and splitting ----------------------------------------------------

TEST(TextSubstitute, ReplacesLeftToRightAtWalkPoints) {
    struct Case {
        const char* text;
        const char* sub;
        const char* repl;
        optional<int32_t> start;
        optional<int32_t> count;
        bool case_sensitive;
        const char* want;
    };
    const Case cases[] = {
        {"aXbxc", "x", "-", nullopt, nullopt, false, "a-b-c"},
        {"aXbxc", "x", "-", nullopt, 1, false, "a-bxc"},
        {"aXbxc", "x", "-", 3, nullopt, false, "aXb-c"},
        {"aXbxc", "x", "-", nullopt, nullopt, true, "aXb-c"},
        {"aXbxc", "x", "-", nullopt, 0, false, "aXbxc"},
        {"aXbxc", "x", "-", nullopt, -1, false, "a-b-c"},
        {"aXbxc", "x", "-", 0, nullopt, false, "a-b-c"},
        {"aXbxc", "x", "-", 6, nullopt, false, "aXbxc"},
        {"aaa", "aa", "b", nullopt, nullopt, true, "ba"},
        {"aaaa", "a", "aa", nullopt, nullopt, true, "aaaaaaaa"},
        {"a-b-c", "-", "", nullopt, nullopt, true, "abc"},
        {"abc", "", "x", nullopt, nullopt, true, "abc"},
        {"", "a", "x", nullopt, nullopt, true, ""},
        // Only at walk points; a start on a second byte starts a character.
        {"\xB0"
         "AB",
         "A", "-", nullopt, nullopt, true,
         "\xB0"
         "AB"},
        {"\xB0"
         "AB",
         "A", "-", 2, nullopt, true, "\xB0-B"},
        {"\xB0"
         "A"
         "\xB0"
         "A",
         "\xB0"
         "A",
         "#", nullopt, nullopt, true, "##"},
        {"x\xB0"
         "A",
         "a", "-", nullopt, nullopt, false,
         "x\xB0"
         "A"},
        {"\x81"
         "A",
         "\x81"
         "a",
         "ok", nullopt, nullopt, false, "ok"},
        // After a replacement the walk starts again right behind it.
        {"a\xB0"
         "bb",
         "a\xB0", "", nullopt, nullopt, true, "bb"},
        {"\xB0\xB0\xB0", "\xB0\xB0", "x", 2, nullopt, true, "\xB0x"},
        // A lone final byte: dropped by a one-byte sub's walk that reaches
        // it without a match, kept otherwise.
        {"ab\xB0", "a", "-", nullopt, nullopt, true, "-b"},
        {"ab\xB0", "z", "-", nullopt, nullopt, true, "ab"},
        {"ab\xB0", "\xB0", "-", nullopt, nullopt, true, "ab-"},
        {"ab\xB0", "ab", "-", nullopt, nullopt, true, "-\xB0"},
        {"ab\xB0", "zz", "-", nullopt, nullopt, true, "ab\xB0"},
        {"ab\xB0", "a", "-", nullopt, 1, true, "-b\xB0"},
        {"a\xB0\xB0\xB0", "z", "-", nullopt, nullopt, true, "a\xB0\xB0"},
        {"a\xB0\xB0\xB0", "z", "-", 3, nullopt, true, "a\xB0\xB0\xB0"},
        {"a\xB0\xB0\xB0", "z", "-", 4, nullopt, true, "a\xB0\xB0"},
        {"abcdefg\xB0", "a", "-", nullopt, nullopt, true, "-bcdefg"},
        {"abcdefghijklmno\xB0", "A", "-", nullopt, nullopt, false, "-bcdefghijklmno"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(txt_substitute(Text(c.text), Text(c.sub), Text(c.repl), c.start, c.count,
                                 c.case_sensitive)
                      .str(),
                  c.want)
            << "text '" << c.text << "' sub '" << c.sub << "'";
    }
    EXPECT_EQ(txt_substitute(Text("a-b"), Text("-")).str(), "ab");  // replacement left out
}

TEST(TextSplit, GivesThePiecesBetweenSeparators) {
    using V = std::vector<std::string>;
    struct Case {
        const char* text;
        const char* sep;
        optional<int32_t> count;
        V want;
    };
    const Case cases[] = {
        {"a;;b;", ";", nullopt, {"a", "", "b"}},
        {";a", ";", nullopt, {"", "a"}},
        {"", ";", nullopt, {}},
        {"abc", "", nullopt, {"abc"}},
        {"a;b;c", ";", 2, {"a", "b"}},
        {"a;b;c", ";", 3, {"a", "b", "c"}},
        {"a;b;c", ";", 1, {"a"}},
        {"abc", ";", 1, {"abc"}},
        {"a;b;c", ";", 0, {}},
        {"a;b;c", ";", -1, {}},
        {";", ";", nullopt, {""}},
        {";;", ";", nullopt, {"", ""}},
        {"a::b:::c", "::", nullopt, {"a", "b", ":c"}},
        {"a,b", ",", nullopt, {"a", "b"}},
        // Separators only at walk points; a lone final byte goes with the
        // last item.
        {"\xB0;;x", ";", nullopt, {"\xB0;", "x"}},
        {"a;\xB0", ";", nullopt, {"a", "\xB0"}},
        {"a\xB0\xB0"
         "A\xB0",
         "\xB0"
         "A",
         nullopt,
         {"a\xB0\xB0"
          "A\xB0"}},
        {"a\xB0"
         "A\xB0",
         "\xB0"
         "A",
         nullopt,
         {"a", "\xB0"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(items_of(txt_split(Text(c.text), Text(c.sep), c.count)), c.want)
            << "text '" << c.text << "' separator '" << c.sep << "'";
    EXPECT_EQ(items_of(txt_split(Text("x,y"))), (V{"x", "y"}));  // separator left out: ","
}

// --- trimming, case, numbers -----------------------------------------------------------

TEST(TextBlanks, TrimAndStripRemoveSpacesAndFullWidthSpacesAtWalkPoints) {
    struct Case {
        const char* text;
        const char* trimmed;
        const char* stripped;
    };
    const Case cases[] = {
        {" \tx \r", "\tx \r", "\tx\r"},
        {"\xA1\xA1"
         "a\xA1\xA1",
         "a", "a"},
        {"a b\xA1\xA1"
         "c",
         "a b\xA1\xA1"
         "c",
         "abc"},
        {"", "", ""},
        {"   ", "", ""},
        {"\xA1\xA1 \xA1\xA1", "", ""},
        {" a  b  ", "a  b", "ab"},
        {"\n a \n", "\n a \n", "\na\n"},
        // 0xA1 0xA1 counts only at a walk point; 0x20 as a second byte is
        // part of its character.
        {"\xB0\xA1\xA1", "\xB0\xA1", "\xB0\xA1"},
        {"x\xB0\xA1\xA1\xA1", "x\xB0\xA1", "x\xB0\xA1"},
        {"x\xB0 ", "x\xB0 ", "x\xB0 "},
        {"x\xB0  ", "x\xB0 ", "x\xB0 "},
        {"\xA1\xA1\xA1\xA1\xA1\xA1"
         "a",
         "a", "a"},
        // A lone final byte is left out, and the blanks before it stay.
        {"a  \xB0", "a  ", "a"},
        {" \xB0", "", ""},
        {"\xA1", "", ""},
        {"\xA1\xA1\xA1", "", ""},
        {"a \xA1\xA1\xA1", "a \xA1\xA1", "a"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(txt_trim(Text(c.text)).str(), c.trimmed) << "trim '" << c.text << "'";
        EXPECT_EQ(txt_strip_spaces(Text(c.text)).str(), c.stripped) << "strip '" << c.text << "'";
    }
    const Text original(" x ");
    txt_trim(original);
    txt_strip_spaces(original);
    EXPECT_EQ(original.str(), " x ");
}

TEST(TextLower, LowersCapitalsAtWalkPointsOnly) {
    struct Case {
        const char* text;
        const char* want;
    };
    const Case cases[] = {
        {"ABC xyz @[`{", "abc xyz @[`{"},
        {"\x81"
         "A",
         "\x81"
         "A"},
        {"A\x81"
         "AB",
         "a\x81"
         "Ab"},
        {"Z\xC1\xDA", "z\xC1\xDA"},
        {"AB\xB0", "ab\xB0"},
        {"", ""},
        // Long enough for the word-at-a-time path, with characters across
        // word boundaries.
        {"ABCDEFGH\xB0"
         "ABCDEFGHIJ\xB0\xB0\xB0\xB0\xB0\xB0\xB0"
         "AB",
         "abcdefgh\xB0"
         "Abcdefghij\xB0\xB0\xB0\xB0\xB0\xB0\xB0"
         "Ab"},
    };
    for (const Case& c : cases) EXPECT_EQ(txt_lower(Text(c.text)).str(), c.want) << c.text;
}

TEST(TextNumbers, ParseTheDecimalIntegerAtTheStart) {
    struct Case {
        const char* text;
        int32_t want;
    };
    const Case cases[] = {
        {" -12ab", -12},
        {"+7", 7},
        {"0x1F", 0},
        {"", 0},
        {"--5", 0},
        {"\xA3\xB1\xA3\xB2", 12},
        {"4294967297", 1},
        {"2147483647", INT32_MAX},
        {"2147483648", INT32_MIN},
        {"-2147483648", INT32_MIN},
        {"\t\n\v\f\r 42", 42},
        {"\xA1\xA1"
         "5",
         5},                       // full-width space
        {"\xA3\xAD\xA3\xB3", -3},  // full-width minus and 3
        {"\xA3\xAB"
         "8",
         8},  // full-width plus
        {"1\xA3\xB0"
         "0",
         100},  // mixed forms
        {"12\xB0\xB1", 12},
        {"\xA1\xAB"
         "1",
         0},           // "~1"
        {"7\xA3", 7},  // a lone final byte ends the text
        {"\xB0"
         "3",
         0},
        {"+-1", 0},
        {" + 1", 0},
        {"007", 7},
    };
    for (const Case& c : cases) EXPECT_EQ(txt_parse_int(Text(c.text)), c.want) << c.text;
}

TEST(TextNumbers, FormatDecimalNumbersAndCodes) {
    EXPECT_EQ(txt_from_number(-5).str(), "-5");
    EXPECT_EQ(txt_from_number(0).str(), "0");
    EXPECT_EQ(txt_from_number(1200).str(), "1200");
    EXPECT_EQ(txt_from_number(INT32_MAX).str(), "2147483647");
    EXPECT_EQ(txt_from_number(INT32_MIN).str(), "-2147483648");

    EXPECT_EQ(txt_from_code(0), Text());
    EXPECT_EQ(txt_from_code(65).str(), "A");
    EXPECT_EQ(txt_from_code(0x1B0).str(), "\xB0");
    EXPECT_EQ(txt_from_code(256), Text());
    EXPECT_EQ(txt_from_code(-1).str(), "\xFF");

    EXPECT_EQ(txt_spaces(3).str(), "   ");
    EXPECT_EQ(txt_spaces(0), Text());
    EXPECT_EQ(txt_spaces(-2), Text());
    EXPECT_EQ(bytes_zeroed(3).view(), std::string_view("\0\0\0", 3));
    EXPECT_EQ(bytes_zeroed(0), Bytes());
    EXPECT_EQ(bytes_zeroed(-1), Bytes());
}

// --- lists --------------------------------------------------------------------------------

TEST(TextList, OwnsCopiesOfItsItems) {
    TextList list;
    EXPECT_EQ(list_count(list), 0);
    Text item("first");
    list_append(list, item);
    item = Text("changed");
    list_append(list, Text());
    list_append(list, Text("third"));
    ASSERT_EQ(list_count(list), 3);
    EXPECT_EQ(list_at(list, 1).str(), "first");
    EXPECT_EQ(list_at(list, 2), Text());
    EXPECT_EQ(list_at(list, 3).str(), "third");

    list = txt_split(Text("p,q"));
    ASSERT_EQ(list_count(list), 2);
    EXPECT_EQ(list_at(list, 2).str(), "q");
}

}  // namespace
}  // namespace qn
