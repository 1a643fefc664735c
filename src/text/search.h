// Byte-level searches for the text toolkit: a needle's occurrences in
// increasing or decreasing order, and the first one that stands at a walk
// point. Internal to the toolkit.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "text/walk.h"

namespace qn::walk {

// --- byte-level searches ------------------------------------------------------

template <bool Fold>
inline u8 folded(u8 b) noexcept {
    if constexpr (Fold) {
        return FOLD[b];
    } else {
        return b;
    }
}

template <bool Fold>
inline bool same(u8 a, u8 b) noexcept {
    return folded<Fold>(a) == folded<Fold>(b);
}

template <bool Fold>
bool matches_at(const u8* hay, const u8* needle, size_t m) noexcept {
    if constexpr (!Fold) {
        return std::memcmp(hay, needle, m) == 0;
    } else {
        for (size_t k = 0; k < m; ++k)
            if (FOLD[hay[k]] != FOLD[needle[k]]) return false;
        return true;
    }
}

// Sixteen bytes compared at once (GCC/Clang vector extensions; the compiler
// uses the machine's vector unit, or plain words where there is none).
using Block = u8 __attribute__((vector_size(16)));

inline Block load_block(const u8* p) noexcept {
    Block b;
    std::memcpy(&b, p, sizeof b);
    return b;
}

inline Block splat(u8 c) noexcept {
    Block b;
    std::memset(&b, c, sizeof b);
    return b;
}

template <bool Fold>
inline Block folded_block(Block v) noexcept {
    if constexpr (Fold) {
        const Block capital = std::bit_cast<Block>((v - splat(0x41)) < splat(26));
        return v | (capital & splat(0x20));
    } else {
        return v;
    }
}

// The lanes of a comparison, as two words with 0xFF in each byte that hit.
struct Hits {
    uint64_t lo;
    uint64_t hi;
};

template <class Mask>
inline Hits hits_of(Mask eq) noexcept {
    Hits h;
    std::memcpy(&h.lo, &eq, 8);
    std::memcpy(&h.hi, reinterpret_cast<const char*>(&eq) + 8, 8);
    return h;
}

// Byte lane of the lowest / highest set byte of a word read from memory.
inline unsigned first_lane(uint64_t w) noexcept {
    return std::endian::native == std::endian::little ? std::countr_zero(w) / 8
                                                      : std::countl_zero(w) / 8;
}
inline unsigned last_lane(uint64_t w) noexcept {
    return std::endian::native == std::endian::little ? (63 - std::countl_zero(w)) / 8
                                                      : (63 - std::countr_zero(w)) / 8;
}
inline uint64_t lane_bits(unsigned lane) noexcept {
    return std::endian::native == std::endian::little ? uint64_t{0xFF} << (8 * lane)
                                                      : uint64_t{0xFF} << (8 * (7 - lane));
}

// How common a byte is in the texts this program handles (markup, header
// lines, Chinese text); higher is more common. It only guides which two
// needle bytes the pair scan looks for.
constexpr std::array<u8, 256> make_byte_rank() {
    std::array<u8, 256> r{};
    for (int b = 0; b < 256; ++b) {
        r[b] = b >= 0x80              ? 120
               : b >= 'a' && b <= 'z' ? 160
               : b >= '0' && b <= '9' ? 130
               : b >= 'A' && b <= 'Z' ? 100
                                      : 60;
    }
    for (char c : std::string_view("<>\"=/\n.:-_;&,#\t\r'")) r[static_cast<u8>(c)] = 200;
    for (char c : std::string_view("etaoinsrhldcu")) r[static_cast<u8>(c)] = 220;
    r[' '] = 250;
    return r;
}
inline constexpr std::array<u8, 256> BYTE_RANK = make_byte_rank();

inline uint32_t pair_hash(u8 a, u8 b) noexcept { return (a * 31u + b) & 0xFF; }

// Below this many bytes to search, a plain scan beats any setting up.
inline constexpr size_t SMALL_SEARCH = 64;

// The occurrences of one needle of two bytes or more, found byte by byte
// (walk points are the caller's business), in either direction.
//
// The main scan looks for the needle's two rarest bytes at their offsets,
// sixteen candidate positions at a time, and compares the whole needle only
// where both are present. When that pair turns out to be common in the text
// at hand and the needle is long, it switches to a Horspool search on byte
// pairs, which skips up to the needle's length at a time.
template <bool Fold>
class NeedleScan {
public:
    NeedleScan(const u8* needle, size_t m) noexcept : needle_(needle), m_(m) {
        if (m < 2) return;
        size_t best = 0;
        for (size_t k = 1; k < m; ++k)
            if (BYTE_RANK[folded<Fold>(needle[k])] < BYTE_RANK[folded<Fold>(needle[best])])
                best = k;
        size_t second = best == 0 ? 1 : 0;
        for (size_t k = 0; k < m; ++k)
            if (k != best &&
                BYTE_RANK[folded<Fold>(needle[k])] < BYTE_RANK[folded<Fold>(needle[second])])
                second = k;
        i1_ = std::min(best, second);
        i2_ = std::max(best, second);
        c1_ = folded<Fold>(needle[i1_]);
        c2_ = folded<Fold>(needle[i2_]);
    }

    // The first s in [from, n - m] where the needle matches.
    size_t next(const u8* hay, size_t n, size_t from) noexcept {
        if (from > n || n - from < m_) return NONE;
        const size_t last = n - m_;
        if (n - from < SMALL_SEARCH) return next_plain(hay, from, last);
        if (forward_table_) return next_horspool(hay, n, from);
        const Block c1 = splat(c1_);
        const Block c2 = splat(c2_);
        size_t s = from;
        for (; s <= last && n - s >= i2_ + 16; s += 16) {
            const Hits h = hits_of((folded_block<Fold>(load_block(hay + s + i1_)) == c1) &
                                   (folded_block<Fold>(load_block(hay + s + i2_)) == c2));
            // Low half, then high half, each in increasing lane order.
            for (int half = 0; half < 2; ++half) {
                uint64_t w = half == 0 ? h.lo : h.hi;
                while (w != 0) {
                    const unsigned lane = first_lane(w);
                    w &= ~lane_bits(lane);
                    const size_t cand = s + 8 * half + lane;
                    if (cand > last) return NONE;
                    if (matches_at<Fold>(hay + cand, needle_, m_)) return cand;
                    if (note_miss(s - from) && m_ >= 8) {
                        build_forward_table();
                        return next_horspool(hay, n, cand + 1);
                    }
                }
            }
        }
        return next_plain(hay, s, last);
    }

    // The last s <= last_start where the needle matches (the caller makes
    // sure that hay[s, s + m) is readable for every such s).
    size_t prev(const u8* hay, size_t last_start) noexcept {
        if (last_start == NONE) return NONE;
        if (last_start < SMALL_SEARCH) return prev_plain(hay, last_start);
        if (backward_table_) return prev_horspool(hay, last_start);
        const Block c1 = splat(c1_);
        const Block c2 = splat(c2_);
        size_t end = last_start + 1;  // candidates [0, end) remain
        while (end >= 16) {
            const size_t s = end - 16;
            const Hits h = hits_of((folded_block<Fold>(load_block(hay + s + i1_)) == c1) &
                                   (folded_block<Fold>(load_block(hay + s + i2_)) == c2));
            for (int half = 1; half >= 0; --half) {
                uint64_t w = half == 0 ? h.lo : h.hi;
                while (w != 0) {
                    const unsigned lane = last_lane(w);
                    w &= ~lane_bits(lane);
                    const size_t cand = s + 8 * half + lane;
                    if (matches_at<Fold>(hay + cand, needle_, m_)) return cand;
                    if (note_miss(last_start - s) && m_ >= 8) {
                        build_backward_table();
                        return cand == 0 ? NONE : prev_horspool(hay, cand - 1);
                    }
                }
            }
            end -= 16;
        }
        return end == 0 ? NONE : prev_plain(hay, end - 1);
    }

private:
    // Counts a candidate that was not a match; true when such misses have
    // become frequent for the bytes scanned.
    bool note_miss(size_t scanned) noexcept {
        ++misses_;
        return misses_ > 256 && misses_ * 16 > scanned;
    }

    size_t next_plain(const u8* hay, size_t from, size_t last) const noexcept {
        for (size_t s = from; s <= last; ++s)
            if (same<Fold>(hay[s + i1_], c1_) && matches_at<Fold>(hay + s, needle_, m_)) return s;
        return NONE;
    }

    size_t prev_plain(const u8* hay, size_t last_start) const noexcept {
        for (size_t s = last_start + 1; s-- > 0;)
            if (same<Fold>(hay[s + i1_], c1_) && matches_at<Fold>(hay + s, needle_, m_)) return s;
        return NONE;
    }

    // Horspool on byte pairs, forwards: the window's last two bytes decide
    // how far it may move.
    void build_forward_table() noexcept {
        const size_t m1 = m_ - 1;
        const u8 cap = static_cast<u8>(std::min<size_t>(m1, 255));
        shift_.fill(cap);
        const size_t first = m1 > 255 ? m1 - 255 : 1;
        for (size_t i = first; i < m1; ++i)
            shift_[pair_hash(folded<Fold>(needle_[i - 1]), folded<Fold>(needle_[i]))] =
                static_cast<u8>(m1 - i);
        const uint32_t h_last = pair_hash(folded<Fold>(needle_[m1 - 1]), folded<Fold>(needle_[m1]));
        shift_match_ = shift_[h_last];
        shift_[h_last] = 0;
        forward_table_ = true;
    }

    size_t next_horspool(const u8* hay, size_t n, size_t from) const noexcept {
        const size_t m1 = m_ - 1;
        size_t s = from;
        while (n - s >= m_) {
            const u8* e = hay + s + m1;
            const u8 d = shift_[pair_hash(folded<Fold>(e[-1]), folded<Fold>(e[0]))];
            if (d != 0) {
                s += d;
                continue;
            }
            if (matches_at<Fold>(hay + s, needle_, m_)) return s;
            s += shift_match_;
        }
        return NONE;
    }

    // The mirror image: the window's first two bytes decide how far it may
    // move back.
    void build_backward_table() noexcept {
        const size_t m1 = m_ - 1;
        const u8 cap = static_cast<u8>(std::min<size_t>(m1, 255));
        shift_.fill(cap);
        const size_t top = std::min<size_t>(m1 - 1, 255);
        for (size_t i = top; i >= 1; --i)
            shift_[pair_hash(folded<Fold>(needle_[i]), folded<Fold>(needle_[i + 1]))] =
                static_cast<u8>(i);
        const uint32_t h_first = pair_hash(folded<Fold>(needle_[0]), folded<Fold>(needle_[1]));
        shift_match_ = shift_[h_first];
        shift_[h_first] = 0;
        backward_table_ = true;
    }

    size_t prev_horspool(const u8* hay, size_t last_start) const noexcept {
        size_t s = last_start;
        for (;;) {
            const u8 d = shift_[pair_hash(folded<Fold>(hay[s]), folded<Fold>(hay[s + 1]))];
            if (d == 0) {
                if (matches_at<Fold>(hay + s, needle_, m_)) return s;
                if (s < shift_match_) return NONE;
                s -= shift_match_;
            } else {
                if (s < d) return NONE;
                s -= d;
            }
        }
    }

    const u8* needle_;
    size_t m_;
    size_t i1_ = 0;  // offsets of the two bytes the pair scan looks for
    size_t i2_ = 1;
    u8 c1_ = 0;
    u8 c2_ = 0;
    size_t misses_ = 0;
    bool forward_table_ = false;
    bool backward_table_ = false;
    u8 shift_match_ = 1;
    std::array<u8, 256> shift_;  // filled when a table is built
};

// One-byte needles: memchr forwards; with folding, two memchr scans (small
// and capital letter) whose next hits are remembered between calls, which
// always ask from increasing positions. Backwards, a word-at-a-time scan.
template <bool Fold>
class ByteScan {
public:
    explicit ByteScan(u8 c) noexcept
        : lower_(Fold && is_letter(c) ? static_cast<u8>(c | 0x20) : c),
          upper_(Fold && is_letter(c) ? static_cast<u8>(c & ~0x20) : c) {}

    size_t next(const u8* hay, size_t n, size_t from) noexcept {
        if (from >= n) return NONE;
        if (lower_ == upper_) {
            // Matches are often close together: look at the next bytes
            // before paying for a call.
            const Block c = splat(lower_);
            for (int k = 0; k < 4 && n - from >= 16; ++k, from += 16) {
                const Hits h = hits_of(load_block(hay + from) == c);
                if (h.lo != 0) return from + first_lane(h.lo);
                if (h.hi != 0) return from + 8 + first_lane(h.hi);
            }
            return from >= n ? NONE : find_byte(hay, n, from, lower_);
        }
        const u8 cases[2] = {lower_, upper_};
        for (int k = 0; k < 2; ++k) {
            const bool still_valid =
                searched_from_[k] <= from && (hit_[k] == NONE || hit_[k] >= from);
            if (!still_valid) {
                searched_from_[k] = from;
                hit_[k] = find_byte(hay, n, from, cases[k]);
            }
        }
        return std::min(hit_[0], hit_[1]);
    }

    size_t prev(const u8* hay, size_t last) const noexcept {
        if (last == NONE) return NONE;
        size_t end = last + 1;  // search hay[0, end)
        const uint64_t wa = lower_ * ONES;
        const uint64_t wb = upper_ * ONES;
        while (end >= 8) {
            const uint64_t w = load8(hay + end - 8);
            const uint64_t hits = zero_bytes(w ^ wa) | zero_bytes(w ^ wb);
            if (hits != 0) return end - 8 + static_cast<size_t>((63 - std::countl_zero(hits)) / 8);
            end -= 8;
        }
        while (end > 0) {
            --end;
            if (hay[end] == lower_ || hay[end] == upper_) return end;
        }
        return NONE;
    }

private:
    static size_t find_byte(const u8* hay, size_t n, size_t from, u8 c) noexcept {
        const void* hit = std::memchr(hay + from, c, n - from);
        return hit ? static_cast<size_t>(static_cast<const u8*>(hit) - hay) : NONE;
    }

    u8 lower_;
    u8 upper_;
    // The first hit of each letter case at or after searched_from_ (NONE:
    // none); searched_from_ NONE means not searched yet.
    size_t searched_from_[2] = {NONE, NONE};
    size_t hit_[2] = {NONE, NONE};
};

// The byte-level search for one needle (of at least one byte).
template <bool Fold>
class Finder {
public:
    Finder(const u8* needle, size_t m) noexcept : m_(m), byte_(needle[0]), scan_(needle, m) {}

    size_t next(const u8* hay, size_t n, size_t from) noexcept {
        return m_ == 1 ? byte_.next(hay, n, from) : scan_.next(hay, n, from);
    }
    size_t prev(const u8* hay, size_t last_start) noexcept {
        return m_ == 1 ? byte_.prev(hay, last_start) : scan_.prev(hay, last_start);
    }

private:
    size_t m_;
    ByteScan<Fold> byte_;
    NeedleScan<Fold> scan_;
};

// The first walk point at or after `from`, on a walk begun at `from`, where
// the finder's needle matches; NONE when there is none.
template <class Finder>
size_t find_on_walk(const u8* p, size_t n, size_t from, Finder& finder) noexcept {
    ForwardWalk walk(p, from);
    size_t pos = from;
    for (;;) {
        const size_t j = finder.next(p, n, pos);
        if (j == NONE || walk.is_walk_point(j)) return j;
        pos = j + 1;
    }
}

// Whether folding can change the outcome of a match against this needle.
inline bool has_letter(std::string_view needle) noexcept {
    return std::any_of(needle.begin(), needle.end(),
                       [](char c) { return is_letter(static_cast<u8>(c)); });
}

// Calls `fn` with a forward finder for the needle, folding only when asked to
// and when it can matter.
template <class Fn>
auto with_forward_finder(std::string_view needle, bool fold, Fn&& fn) {
    if (fold && has_letter(needle)) {
        Finder<true> f(ubytes(needle), needle.size());
        return fn(f);
    }
    Finder<false> f(ubytes(needle), needle.size());
    return fn(f);
}

}  // namespace qn::walk
