// libFuzzer target over the walking text operations. Input layout:
//   byte 0: flags (bit 0 ignore case, bit 1 a start is given, bit 2 a count
//           is given)
//   byte 1: the start, as a signed byte
//   byte 2: the needle length (low four bits)
//   byte 3: the count, as a signed byte
//   then the needle, then the text (zero bytes become spaces: a text holds
//   none).
// What must hold is checked against a plain walk (tests/text/reference_walk.h)
// and as properties of the results themselves.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "reference_walk.h"
#include "text/text.h"

namespace {

using qn::Text;

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "property violated: %s\n", what);
        std::abort();
    }
}

bool is_blank_at(std::string_view t, size_t i) { return qn::ref::blank_at(t, i); }

// Whether the walk of `t` from byte 0 ends on a lone final byte.
bool ends_in_lone_byte(std::string_view t) {
    const std::vector<size_t> points = qn::ref::walk_points(t, 0);
    return !points.empty() && points.back() == t.size() - 1 &&
           static_cast<unsigned char>(t.back()) >= 0x80;
}

std::string join(const qn::TextList& items, std::string_view glue) {
    std::string out;
    for (int32_t i = 1; i <= qn::list_count(items); ++i) {
        if (i > 1) out += glue;
        out += qn::list_at(items, i).view();
    }
    return out;
}

void check_find(std::string_view t, std::string_view nd, std::optional<int32_t> start, bool fold) {
    const int32_t p = qn::txt_find(Text(t), Text(nd), start, fold);
    check(p == qn::ref::find(t, nd, start, fold), "txt_find agrees with the walk");
    if (p > 0 && !nd.empty()) {
        const size_t at = static_cast<size_t>(p) - 1;
        const size_t from = qn::ref::start_offset(start);
        const std::vector<size_t> points = qn::ref::walk_points(t, from);
        bool on_walk = false;
        for (size_t w : points) {
            if (w == at) on_walk = true;
            if (w >= at) break;
            // No earlier walk point matches.
            check(!(t.size() - w >= nd.size() && qn::ref::match_at(t, w, nd, fold)),
                  "no earlier walk point matches");
        }
        check(on_walk, "a found position is a walk point");
        check(t.size() - at >= nd.size() && qn::ref::match_at(t, at, nd, fold),
              "the needle matches where it was found");
    }
    check(qn::txt_rfind(Text(t), Text(nd), start, fold) == qn::ref::rfind(t, nd, start, fold),
          "txt_rfind agrees with the walk");
}

// Splitting and replacing find the same separators: the pieces joined with
// the replacement are the substituted text, with one more replacement when
// the text ends with a separator (split gives no empty last item), and
// without the lone final byte that a one-byte separator's walk drops (the
// last piece keeps it).
void check_split_against_substitute(std::string_view t, std::string_view sep) {
    if (t.empty() || sep.empty()) return;
    const qn::TextList items = qn::txt_split(Text(t), Text(sep));
    const std::string with_sep = join(items, sep);
    const bool ends_with_sep = with_sep != t;
    check(with_sep == t || with_sep + std::string(sep) == t, "splitting loses nothing");

    const std::string repl = "\x01<R>";
    std::string want = join(items, repl);
    if (ends_with_sep) want += repl;
    // The walk of the last piece starts where the last separator ended.
    if (sep.size() == 1 && !ends_with_sep &&
        ends_in_lone_byte(qn::list_at(items, qn::list_count(items)).view()))
        want.pop_back();
    check(qn::txt_substitute(Text(t), Text(sep), Text(repl)).str() == want,
          "substitute agrees with split");
}

void check_blanks(std::string_view t) {
    const std::string trimmed = qn::txt_trim(Text(t)).str();
    check(trimmed == qn::ref::trim(t), "txt_trim agrees with the walk");
    if (!trimmed.empty()) {
        check(!is_blank_at(trimmed, 0), "no blank at the start after trimming");
        if (!ends_in_lone_byte(t)) {
            const std::vector<size_t> points = qn::ref::walk_points(trimmed, 0);
            check(!is_blank_at(trimmed, points.back()), "no blank at the end after trimming");
        }
    }
    const std::string stripped = qn::txt_strip_spaces(Text(t)).str();
    check(stripped == qn::ref::strip_spaces(t), "txt_strip_spaces agrees with the walk");
    for (size_t i : qn::ref::walk_points(stripped, 0))
        check(!is_blank_at(stripped, i), "no blank left after stripping");

    const std::string lowered = qn::txt_lower(Text(t)).str();
    check(lowered == qn::ref::lower(t), "txt_lower agrees with the walk");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const bool fold = data[0] & 1;
    const std::optional<int32_t> start =
        (data[0] & 2) ? std::optional<int32_t>(static_cast<int8_t>(data[1])) : std::nullopt;
    const std::optional<int32_t> count =
        (data[0] & 4) ? std::optional<int32_t>(static_cast<int8_t>(data[3])) : std::nullopt;
    std::string rest(reinterpret_cast<const char*>(data + 4), size - 4);
    for (char& c : rest)
        if (c == '\0') c = ' ';
    const size_t m = std::min<size_t>(data[2] & 0x0F, rest.size());
    const std::string needle = rest.substr(0, m);
    const std::string text = rest.substr(m);

    check_find(text, needle, start, fold);
    check(qn::txt_substitute(Text(text), Text(needle), Text("#"), start, count, !fold).str() ==
              qn::ref::substitute(text, needle, "#", start, count, !fold),
          "txt_substitute agrees with the walk");
    std::vector<std::string> pieces;
    const qn::TextList items = qn::txt_split(Text(text), Text(needle), count);
    for (int32_t i = 1; i <= qn::list_count(items); ++i)
        pieces.push_back(qn::list_at(items, i).str());
    check(pieces == qn::ref::split(text, needle, count), "txt_split agrees with the walk");
    check_split_against_substitute(text, needle);
    check_blanks(text);
    return 0;
}
