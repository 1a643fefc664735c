// The walking text operations: searching, substituting, splitting,
// trimming, stripping and lowering. Each follows the character walk; the
// fast paths find candidates with word-at-a-time scans and vector compares
// and accept one only where the walk stands, so they find exactly what a
// plain walk finds.
#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "text/checked_alloc.h"
#include "text/search.h"
#include "text/text.h"
#include "text/walk.h"

namespace qn {

using namespace walk;

namespace {

// The position from which a forward operation starts: start - 1, or 0 when
// the start is left out or is 1 or less.
size_t start_offset(std::optional<int32_t> start) noexcept {
    return (!start || *start <= 1) ? 0 : static_cast<size_t>(*start) - 1;
}

Text make_text(std::string&& s) { return Text(std::move(s)); }

// Gives back the unused room of a small result built in a larger buffer.
// (A large one keeps it: its untouched pages cost nothing, a copy would.)
std::string fitted(std::string&& s) {
    if (s.size() <= (size_t{1} << 16) && s.capacity() - s.size() > 64) s.shrink_to_fit();
    return std::move(s);
}

// Writes the word `w` (eight bytes in text order) at out[k] with the bytes
// marked in `hits` replaced by the replacement, and answers the next k.
// A replacement of up to eight bytes is written as one word (`r_word`):
// the buffer has eight bytes of room past the end for such writes.
template <bool ShortR>
inline size_t put_word(u8* out, size_t k, uint64_t w, unsigned hits, uint64_t r_word, const u8* r,
                       size_t r_len) noexcept {
    uint64_t rest = w;  // the bytes of w from `done` on
    unsigned done = 0;
    while (hits != 0) {
        const unsigned t = static_cast<unsigned>(std::countr_zero(hits));
        store8(out + k, rest);
        k += t - done;
        if constexpr (ShortR) {
            store8(out + k, r_word);
        } else {
            std::memcpy(out + k, r, r_len);
        }
        k += r_len;
        done = t + 1;
        rest = done == 8 ? 0 : w >> (8 * done);
        hits &= hits - 1;
    }
    store8(out + k, rest);
    return k + (8 - done);
}

// The replacing walk of substitute_low_byte from byte i (a walk point, or
// a second byte when `carry`) to the end, writing from out[k]; answers the
// length written.
template <bool ShortR>
size_t replace_low_byte(const u8* p, size_t n, size_t i, u8* out, size_t k, u8 a, u8 b, const u8* r,
                        size_t r_len) noexcept {
    uint64_t r_word = 0;
    if constexpr (ShortR) {
        u8 bytes[8] = {};
        std::memcpy(bytes, r, r_len);
        r_word = load8(bytes);
    }
    const uint64_t wa = a * ONES;
    const uint64_t wb = b * ONES;
    unsigned carry = 0;
    while (n - i >= 64) {
        const Chunk c = load_chunk(p + i, wa, wb);
        const uint64_t hits = c.a & walk_starts64(c.high, carry);
        if (hits == 0) {
            std::memcpy(out + k, p + i, 64);
            k += 64;
        } else {
            for (unsigned t = 0; t < 8; ++t) {
                const unsigned word_hits = static_cast<unsigned>(hits >> (8 * t)) & 0xFF;
                if (word_hits == 0) {
                    store8(out + k, c.words[t]);
                    k += 8;
                    continue;
                }
                k = put_word<ShortR>(out, k, c.words[t], word_hits, r_word, r, r_len);
            }
        }
        i += 64;
    }
    while (n - i >= 8) {
        const uint64_t w = load8(p + i);
        const unsigned high = gather8(w & HIGH);
        const WordWalk walk = WORD_WALKS[high | carry << 8];
        const unsigned hits = gather8(zero_bytes(w ^ wa) | zero_bytes(w ^ wb)) & walk.starts;
        if (hits == 0) {
            store8(out + k, w);
            k += 8;
        } else {
            k = put_word<ShortR>(out, k, w, hits, r_word, r, r_len);
        }
        carry = walk.carry;
        i += 8;
    }
    if (carry) {
        if (i < n) {
            out[k++] = p[i++];  // the second byte of a character begun before
        } else {
            --k;  // that character was a lone final byte: it is left out
        }
    }
    while (i < n) {
        const u8 x = p[i];
        if (x == a || x == b) {
            std::memcpy(out + k, r, r_len);
            k += r_len;
            i += 1;
        } else if (x < 0x80) {
            out[k++] = x;
            i += 1;
        } else if (i + 1 == n) {
            i += 1;  // a lone final byte without a match is left out
        } else {
            out[k++] = x;
            out[k++] = p[i + 1];
            i += 2;
        }
    }
    return k;
}

// txt_substitute for a sub of one byte below 0x80, replacing every
// occurrence from offset o, into a result of at most `bound` bytes. Such a
// sub never changes the walk, so the occurrences can be found 64 bytes at a
// time where characters start. The result is built in an uninitialised
// buffer and copied once into the returned text.
std::string substitute_low_byte(std::string_view v, size_t o, u8 c, bool fold, std::string_view r,
                                uint64_t bound) {
    const u8* p = ubytes(v);
    const u8 a = fold ? static_cast<u8>(FOLD[c]) : c;
    const u8 b = fold && is_letter(c) ? static_cast<u8>(a & ~0x20) : a;
    const std::unique_ptr<u8[]> buf = detail::scratch_or_die(bound + 8);
    std::memcpy(buf.get(), p, o);
    const size_t k =
        r.size() <= 8
            ? replace_low_byte<true>(p, v.size(), o, buf.get(), o, a, b, ubytes(r), r.size())
            : replace_low_byte<false>(p, v.size(), o, buf.get(), o, a, b, ubytes(r), r.size());
    return detail::copied_or_die(std::string_view(reinterpret_cast<const char*>(buf.get()), k));
}

}  // namespace

int32_t txt_find(const Text& text, const Text& needle, std::optional<int32_t> start,
                 bool ignore_case) {
    const std::string_view v = text.view();
    const std::string_view nd = needle.view();
    const size_t n = v.size();
    const size_t o = start_offset(start);
    if (o >= n) return -1;
    if (nd.empty()) return 1;
    if (nd.size() > n - o) return -1;
    const size_t j = with_forward_finder(
        nd, ignore_case, [&](auto& finder) { return find_on_walk(ubytes(v), n, o, finder); });
    return j == NONE ? -1 : static_cast<int32_t>(j + 1);
}

int32_t txt_rfind(const Text& text, const Text& needle, std::optional<int32_t> start,
                  bool ignore_case) {
    const std::string_view v = text.view();
    const std::string_view nd = needle.view();
    const size_t n = v.size();
    size_t range = n;
    if (start) {
        const int64_t l = static_cast<int64_t>(*start) - 1;
        range = l < 0 ? 0 : std::min(static_cast<size_t>(l), n);
    }
    if (range == 0) return -1;
    if (nd.empty()) return 1;
    const size_t m = nd.size();
    if (m > range) return -1;
    const u8* p = ubytes(v);
    auto search = [&](auto finder) {
        BackwardWalk walk(p);
        for (size_t j = finder.prev(p, range - m); j != NONE;
             j = j == 0 ? NONE : finder.prev(p, j - 1)) {
            if (walk.is_walk_point(j)) return static_cast<int32_t>(j + 1);
        }
        return int32_t{-1};
    };
    if (ignore_case && has_letter(nd)) return search(Finder<true>(ubytes(nd), m));
    return search(Finder<false>(ubytes(nd), m));
}

Text txt_substitute(const Text& text, const Text& sub, const Text& replacement,
                    std::optional<int32_t> start, std::optional<int32_t> count,
                    bool case_sensitive) {
    const std::string_view v = text.view();
    const std::string_view s = sub.view();
    const std::string_view r = replacement.view();
    const size_t n = v.size();
    const size_t m = s.size();
    const size_t o = start_offset(start);
    const int64_t limit = count ? *count : -1;  // negative: all
    if (n == 0 || m == 0 || o >= n || limit == 0) return text;

    const u8* p = ubytes(v);
    std::string out;
    // Reserve once for the longest possible result: the text, plus the
    // growth of as many replacements as could fit. Only when that bound does
    // not fit the 32-bit counts does the buffer grow as it goes.
    uint64_t bound = n;
    if (r.size() > m) {
        uint64_t most = (n - o) / m;
        if (limit > 0) most = std::min<uint64_t>(most, static_cast<uint64_t>(limit));
        bound += most * (r.size() - m);
    }
    const bool reserved = bound <= static_cast<uint64_t>(INT32_MAX);
    if (reserved && m == 1 && ubytes(s)[0] < 0x80 && limit < 0)
        return make_text(substitute_low_byte(v, o, ubytes(s)[0], !case_sensitive, r, bound));
    detail::reserve_or_die(out, reserved ? bound : n);
    // Within the reserved room a plain append never reallocates.
    const auto put = [&](const char* from, size_t len) {
        if (reserved) {
            out.append(from, len);
        } else {
            detail::append_or_die(out, std::string_view(from, len));
        }
    };
    out.append(v.data(), o);
    return with_forward_finder(s, !case_sensitive, [&](auto& finder) {
        size_t pos = o;  // the walk restarts here after each replacement
        int64_t made = 0;
        for (;;) {
            const size_t j = find_on_walk(p, n, pos, finder);
            if (j == NONE) break;
            put(v.data() + pos, j - pos);
            put(r.data(), r.size());
            pos = j + m;
            if (++made == limit) {
                put(v.data() + pos, n - pos);
                return make_text(fitted(std::move(out)));
            }
        }
        // The rest goes unchanged, except that a walk of a one-byte sub that
        // ends on a lone final byte without a match there drops that byte.
        size_t end = n;
        if (m == 1 && pos < n && p[n - 1] >= 0x80 &&
            ((n - 1 - high_run_start(p, pos, n - 1)) & 1) == 0)
            end = n - 1;
        put(v.data() + pos, end - pos);
        return make_text(fitted(std::move(out)));
    });
}

TextList txt_split(const Text& text, const Text& separator, std::optional<int32_t> count) {
    TextList list;
    const std::string_view v = text.view();
    const std::string_view sep = separator.view();
    const int64_t limit = count ? *count : std::numeric_limits<int64_t>::max();
    if (v.empty() || limit <= 0) return list;
    if (sep.empty()) {
        list_append(list, text);
        return list;
    }
    const u8* p = ubytes(v);
    const size_t n = v.size();
    Finder<false> finder(ubytes(sep), sep.size());
    size_t item = 0;
    int64_t made = 0;
    for (;;) {
        const size_t j = find_on_walk(p, n, item, finder);
        if (j == NONE) break;
        list_append(list, Text(v.substr(item, j - item)));
        item = j + sep.size();
        if (++made == limit) return list;
    }
    if (item < n) list_append(list, Text(v.substr(item)));
    return list;
}

Text txt_trim(const Text& text) {
    const std::string_view v = text.view();
    const u8* p = ubytes(v);
    const size_t n = v.size();
    size_t s = 0;
    for (;;) {
        if (s < n && p[s] == 0x20) {
            s += 1;
        } else if (n - s >= 2 && p[s] == 0xA1 && p[s + 1] == 0xA1) {
            s += 2;
        } else {
            break;
        }
    }
    // s is a walk point. Work back from the end: inside a run of high bytes
    // the characters are pairs counted from the run's start.
    size_t e = n;
    size_t r = high_run_start(p, s, e);
    if (((e - r) & 1) != 0) {
        // A lone final byte ends the walk: it is left out, and the blanks
        // before it stay.
        return Text(v.substr(s, n - 1 - s));
    }
    for (;;) {
        while (e - r >= 2 && p[e - 2] == 0xA1 && p[e - 1] == 0xA1) e -= 2;
        if (e > r || e == s) break;
        // p[e - 1] is below 0x80; it is a character of its own when the run
        // of high bytes before it has even length.
        const size_t r2 = high_run_start(p, s, e - 1);
        if (((e - 1 - r2) & 1) != 0 || p[e - 1] != 0x20) break;
        e -= 1;
        r = r2;
    }
    return Text(v.substr(s, e - s));
}

Text txt_strip_spaces(const Text& text) {
    const std::string_view v = text.view();
    const u8* p = ubytes(v);
    const size_t n = v.size();
    // Words are written whole: the working buffer has eight bytes of room
    // past the longest result.
    const std::unique_ptr<u8[]> buf = detail::scratch_or_die(static_cast<uint64_t>(n) + 8);
    u8* o = buf.get();
    size_t i = 0;
    size_t k = 0;
    // 64 bytes at a time, then eight: find where characters start, drop the
    // spaces and full-width spaces among them, and move the rest down.
    // `carry`: the first byte is the second byte of a character begun
    // before; `drop`: that character was a full-width space and goes.
    unsigned carry = 0;
    unsigned drop = 0;
    while (n - i >= 65) {  // the byte after the 64 may be looked at
        const Chunk c = load_chunk(p + i, 0x20 * ONES, 0xA1 * ONES);
        if ((c.high | carry) == 0 && c.a == 0) {
            std::memcpy(o + k, p + i, 64);
            k += 64;
            i += 64;
            continue;
        }
        const uint64_t starts = walk_starts64(c.high, carry);
        const uint64_t a1 = c.a & c.high;
        const uint64_t pairs = a1 & (a1 >> 1) & starts;
        // A full-width space that starts at byte 63 ends in the next 64.
        const unsigned cross = static_cast<unsigned>((starts & a1) >> 63) & (p[i + 64] == 0xA1);
        const uint64_t remove =
            (c.a & ~c.high & starts) | pairs | (pairs << 1) | drop | (uint64_t{cross} << 63);
        for (unsigned t = 0; t < 8; ++t) {
            const unsigned keep = ~static_cast<unsigned>(remove >> (8 * t)) & 0xFF;
            if (keep == 0xFF) {
                store8(o + k, c.words[t]);
                k += 8;
                continue;
            }
            const u8* q = p + i + 8 * t;
            for (unsigned b = 0; b < 8; ++b) {
                o[k] = q[b];
                k += (keep >> b) & 1;
            }
        }
        drop = cross;
        i += 64;
    }
    while (n - i >= 9) {  // the byte after the eight may be looked at
        const uint64_t w = load8(p + i);
        const uint64_t spaces = zero_bytes(w ^ (0x20 * ONES));
        const unsigned high = gather8(w & HIGH);
        if ((high | carry) == 0 && spaces == 0) {
            store8(o + k, w);
            k += 8;
            i += 8;
            continue;
        }
        const WordWalk walk = WORD_WALKS[high | carry << 8];
        const unsigned a1 = gather8(zero_bytes(w ^ (0xA1 * ONES)));
        const unsigned pairs = a1 & (a1 >> 1) & walk.starts;
        // A full-width space that starts at byte 7 ends in the next eight.
        const unsigned cross = walk.carry & (p[i + 7] == 0xA1) & (p[i + 8] == 0xA1);
        const unsigned remove =
            (gather8(spaces) & walk.starts) | pairs | (pairs << 1) | drop | (cross << 7);
        const unsigned keep = ~remove;
        for (unsigned t = 0; t < 8; ++t) {
            o[k] = p[i + t];
            k += (keep >> t) & 1;
        }
        drop = cross;
        carry = walk.carry;
        i += 8;
    }
    if (carry) {
        if (!drop) o[k++] = p[i];
        i += 1;
    }
    while (i < n) {
        const u8 b = p[i];
        if (b < 0x80) {
            o[k] = b;
            k += b != 0x20;
            i += 1;
        } else if (i + 1 == n) {
            i += 1;  // a lone final byte is left out
        } else {
            if (!(b == 0xA1 && p[i + 1] == 0xA1)) {
                o[k] = b;
                o[k + 1] = p[i + 1];
                k += 2;
            }
            i += 2;
        }
    }
    return make_text(detail::copied_or_die(std::string_view(reinterpret_cast<const char*>(o), k)));
}

Text txt_lower(const Text& text) {
    std::string buf = detail::copied_or_die(text.view());
    u8* p = reinterpret_cast<u8*>(buf.data());
    const size_t n = buf.size();
    size_t i = 0;
    // 64 bytes at a time, then eight: fold the bytes below 0x80 that start a
    // character; two-byte characters stay as they are. `carry` as above.
    unsigned carry = 0;
    while (n - i >= 64) {
        const Chunk c = load_chunk(p + i, 0, 0);
        const uint64_t fold_at =
            (c.high | carry) == 0 ? ~uint64_t{0} : walk_starts64(c.high, carry) & ~c.high;
        for (unsigned t = 0; t < 8; ++t) {
            const uint64_t w = c.words[t];
            const uint64_t lowered = fold_word(w);
            const uint64_t mask = BYTE_MASKS[(fold_at >> (8 * t)) & 0xFF];
            if ((lowered ^ w) & mask) store8(p + i + 8 * t, (lowered & mask) | (w & ~mask));
        }
        i += 64;
    }
    while (n - i >= 8) {
        const uint64_t w = load8(p + i);
        const uint64_t lowered = fold_word(w);
        const unsigned high = gather8(w & HIGH);
        if ((high | carry) == 0) {
            if (lowered != w) store8(p + i, lowered);
            i += 8;
            continue;
        }
        const WordWalk walk = WORD_WALKS[high | carry << 8];
        const uint64_t mask = BYTE_MASKS[walk.starts & ~high];
        store8(p + i, (lowered & mask) | (w & ~mask));
        carry = walk.carry;
        i += 8;
    }
    if (carry) i += 1;  // the second byte of a character begun before
    while (i < n) {
        const u8 b = p[i];
        if (b >= 0x80) {
            i += 2;  // both bytes unchanged; a lone final byte is kept
        } else {
            p[i] = FOLD[b];
            i += 1;
        }
    }
    return make_text(std::move(buf));
}

}  // namespace qn
