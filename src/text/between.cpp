// txt_between: the text between a left and a right marker, where the token
// "#引号" in a marker stands for a double quote.
#include "text/fixed_texts.h"
#include "text/text.h"

namespace qn {

Text txt_between(const Text& source, const Text& left, const Text& right,
                 std::optional<int32_t> start, bool ignore_case) {
    const Text token(texts::QUOTE_TOKEN);
    const Text quote("\"");
    const Text l = txt_substitute(left, token, quote, std::nullopt, std::nullopt, true);
    const Text r = txt_substitute(right, token, quote, std::nullopt, std::nullopt, true);

    const int32_t p = txt_find(source, l, start, ignore_case);
    if (p == -1) return Text();
    // The first byte after the left marker; the arithmetic is done wide so
    // that a marker ending the longest possible text cannot overflow.
    const int64_t after = static_cast<int64_t>(p) + txt_len(l);
    if (after > txt_len(source)) return Text();
    const int32_t from = static_cast<int32_t>(after);
    const int32_t q = txt_find(source, r, from, ignore_case);
    if (q == -1) return Text();
    return txt_slice(source, from, q - from);
}

}  // namespace qn
