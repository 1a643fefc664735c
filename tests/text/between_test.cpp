// Cutting the text between two markers, with the quote token in markers.
#include <gtest/gtest.h>

#include <optional>

#include "text/fixed_texts.h"
#include "text/text.h"

namespace qn {
namespace {

using std::nullopt;

TEST(TextBetween, CutsBetweenTheFirstLeftMarkerAndTheNextRightMarker) {
    struct Case {
        const char* source;
        const char* left;
        const char* right;
        std::optional<int32_t> start;
        bool ignore_case;
        const char* want;
    };
    const Case cases[] = {
        {"<a href=x>T</a>", ">", "</a>", nullopt, false, "T"},
        {"<b>>c</a>", ">", "</a>", nullopt, false, ">c"},
        {"b]a[", "[", "]", nullopt, false, ""},
        {"a>b", ">", "</a>", nullopt, false, ""},
        {"ab", ">", "</a>", nullopt, false, ""},
        {"<b></a>", ">", "</a>", nullopt, false, ""},
        {"USER-AGENT: x\r\n", "User-Agent:", "\r\n", nullopt, false, ""},
        {"USER-AGENT: x\r\n", "User-Agent:", "\r\n", nullopt, true, " x"},
        {"Set-Cookie: a=1; path=/", "Set-Cookie:", ";", nullopt, false, " a=1"},
        {"https://host.example/path", "https://", "/", nullopt, false, "host.example"},
        // The start: beyond the end nothing; 0 or less the beginning; left
        // markers before it are skipped.
        {"[a][b]", "[", "]", 7, false, ""},
        {"[a][b]", "[", "]", 0, false, "a"},
        {"[a][b]", "[", "]", -4, false, "a"},
        {"[a][b]", "[", "]", 2, false, "b"},
        {"[a][b]", "[", "]", 4, false, "b"},
        // An empty left marker is found at 1 whatever the start; an empty
        // right marker always gives the empty text.
        {"ab]c", "", "]", 3, false, "ab"},
        {"ab]c", "", "]", 5, false, ""},
        {"[ab]", "[", "", nullopt, false, ""},
        // The right marker never overlaps the left one.
        {"x::y::", "::", "::", nullopt, false, "y"},
        {"aXa", "a", "a", nullopt, false, "X"},
        // Markers only at walk points: here '[' is the second byte of 0xB0 '['.
        {"\xB0[x][y]", "[", "]", nullopt, false, "y"},
        {"[x\xB0]y]", "[", "]", nullopt, false, "x\xB0]y"},
        // A marker ending the text leaves nothing after it.
        {"ab[", "[", "]", nullopt, false, ""},
        {"ab[", "[", "", nullopt, false, ""},
        {"", "", "", nullopt, false, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(
            txt_between(Text(c.source), Text(c.left), Text(c.right), c.start, c.ignore_case).str(),
            c.want)
            << "source '" << c.source << "' left '" << c.left << "' right '" << c.right << "'";
    }
}

TEST(TextBetween, TheQuoteTokenInAMarkerStandsForADoubleQuote) {
    const Text token(texts::QUOTE_TOKEN);
    ASSERT_EQ(token.str(), "#\xD2\xFD\xBA\xC5");
    const Text id_left = txt_join(Text("id="), token);
    EXPECT_EQ(txt_between(Text("id=\"7\""), id_left, token).str(), "7");
    EXPECT_EQ(txt_between(Text("<a href=\"/t/1\" x>"), txt_join(Text("href="), token), token).str(),
              "/t/1");
    // Every token in a marker is replaced, not only the first.
    EXPECT_EQ(txt_between(Text("x=\"\"v\"\""), txt_join(Text("x="), token, token), token).str(),
              "v");
    // The source is never substituted: a token standing in it is not a quote.
    const Text source = txt_join(Text("k="), token, Text("v"), token);
    EXPECT_EQ(txt_between(source, txt_join(Text("k="), token), token), Text());
    // The markers passed in stay as they were.
    EXPECT_EQ(id_left, txt_join(Text("id="), token));
}

}  // namespace
}  // namespace qn
