// The character walk of the text toolkit, and the word-at-a-time helpers
// that follow it quickly. A byte of 0x80 or above starts a two-byte
// character; the walk moves one character at a time, and the places where it
// stands ("walk points") are the only places where a needle, separator or
// blank is recognised. Internal to the toolkit.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>

namespace qn::walk {

using u8 = unsigned char;
inline constexpr size_t NONE = std::numeric_limits<size_t>::max();

inline constexpr uint64_t ONES = 0x0101010101010101ULL;
inline constexpr uint64_t HIGH = 0x8080808080808080ULL;

inline const u8* ubytes(std::string_view v) noexcept {
    return reinterpret_cast<const u8*>(v.data());
}

// Eight bytes in text order: byte k of the text is bits 8k..8k+7.
inline uint64_t load8(const u8* p) noexcept {
    uint64_t w;
    std::memcpy(&w, p, 8);
    if constexpr (std::endian::native == std::endian::big) {
        uint64_t r = 0;
        for (int k = 0; k < 8; ++k) r |= ((w >> (8 * (7 - k))) & 0xFF) << (8 * k);
        w = r;
    }
    return w;
}

inline void store8(u8* p, uint64_t w) noexcept {
    if constexpr (std::endian::native == std::endian::big) {
        uint64_t r = 0;
        for (int k = 0; k < 8; ++k) r |= ((w >> (8 * k)) & 0xFF) << (8 * (7 - k));
        w = r;
    }
    std::memcpy(p, &w, 8);
}

// Bit 7 of byte k is set exactly when byte k of `x` is zero.
constexpr uint64_t zero_bytes(uint64_t x) noexcept { return ~(((x & ~HIGH) + ~HIGH) | x | ~HIGH); }

// `w` with every byte from 0x41 to 0x5A raised by 0x20, all other bytes kept.
constexpr uint64_t fold_word(uint64_t w) noexcept {
    const uint64_t low7 = w & ~HIGH;
    const uint64_t ge_a = low7 + (0x80 - 0x41) * ONES;
    const uint64_t gt_z = low7 + (0x80 - 0x5B) * ONES;
    const uint64_t upper = ge_a & ~gt_z & ~w & HIGH;
    return w | (upper >> 2);
}

constexpr std::array<u8, 256> make_fold_table() {
    std::array<u8, 256> t{};
    for (int b = 0; b < 256; ++b) t[b] = static_cast<u8>(b >= 0x41 && b <= 0x5A ? b + 0x20 : b);
    return t;
}
inline constexpr std::array<u8, 256> FOLD = make_fold_table();

constexpr bool is_letter(u8 b) noexcept { return (b | 0x20) >= 'a' && (b | 0x20) <= 'z'; }

// Bit k of the result is bit 7 of byte k of `x` (the form zero_bytes and
// HIGH masks have).
constexpr unsigned gather8(uint64_t x) noexcept {
    return static_cast<unsigned>((((x >> 7) & ONES) * 0x0102040810204080ULL) >> 56);
}

// Byte k of the result is 0xFF when bit k of `bits` is set.
constexpr std::array<uint64_t, 256> make_byte_masks() {
    std::array<uint64_t, 256> t{};
    for (unsigned m = 0; m < 256; ++m)
        for (unsigned k = 0; k < 8; ++k)
            if (m & (1u << k)) t[m] |= uint64_t{0xFF} << (8 * k);
    return t;
}
inline constexpr std::array<uint64_t, 256> BYTE_MASKS = make_byte_masks();

// The walk through eight bytes, given which of them are 0x80 or above (bit k
// for byte k) and whether the first of them is the second byte of a
// character begun before: where characters start among them, and whether
// the last character runs on into the next eight bytes.
struct WordWalk {
    u8 starts;
    u8 carry;
};

constexpr std::array<WordWalk, 512> make_word_walks() {
    std::array<WordWalk, 512> t{};
    for (unsigned index = 0; index < 512; ++index) {
        const unsigned high = index & 0xFF;
        unsigned pos = index >> 8;
        unsigned starts = 0;
        while (pos < 8) {
            starts |= 1u << pos;
            pos += (high >> pos) & 1 ? 2 : 1;
        }
        t[index] = {static_cast<u8>(starts), static_cast<u8>(pos == 9)};
    }
    return t;
}
inline constexpr std::array<WordWalk, 512> WORD_WALKS = make_word_walks();

// The same for 64 bytes at once, given their high bytes as a mask (bit k
// for byte k): returns where characters start and updates `carry` for the
// next 64 bytes. A run of high bytes always begins at a character start, so
// its second bytes are every other byte counted from the run's start, plus
// the byte after the run when its length is odd; adding each run's first
// bit to the mask ripples through the run and marks that byte.
inline uint64_t walk_starts64(uint64_t high, unsigned& carry) noexcept {
    constexpr uint64_t EVEN = 0x5555555555555555ULL;
    constexpr uint64_t ODD = ~EVEN;
    const uint64_t b = high & ~uint64_t{carry};
    const uint64_t run_starts = b & ~(b << 1);
    const uint64_t from_even = b ^ (b + (run_starts & EVEN));
    const uint64_t from_odd = b ^ (b + (run_starts & ODD));
    const uint64_t second = (from_even & ODD) | (from_odd & EVEN) | carry;
    carry = static_cast<unsigned>((high & ~second) >> 63);
    return ~second;
}

// Eight words of text and bit masks over their 64 bytes.
struct Chunk {
    uint64_t words[8];
    uint64_t high = 0;  // bytes of 0x80 or above
    uint64_t a = 0;     // bytes equal to the first wanted byte or the second
};

inline Chunk load_chunk(const u8* p, uint64_t wa, uint64_t wb) noexcept {
    Chunk c;
    for (unsigned t = 0; t < 8; ++t) {
        const uint64_t w = load8(p + 8 * t);
        c.words[t] = w;
        c.high |= uint64_t{gather8(w & HIGH)} << (8 * t);
        const uint64_t z = wa == wb ? zero_bytes(w ^ wa) : zero_bytes(w ^ wa) | zero_bytes(w ^ wb);
        c.a |= uint64_t{gather8(z)} << (8 * t);
    }
    return c;
}

// --- walk points ------------------------------------------------------------

// Start of the run of bytes >= 0x80 that ends just before `end`, not going
// below `floor`.
inline size_t high_run_start(const u8* p, size_t floor, size_t end) noexcept {
    size_t i = end;
    while (i - floor >= 8) {
        const uint64_t low = ~load8(p + i - 8) & HIGH;  // bit 7 of each byte below 0x80
        if (low != 0) return i - 8 + static_cast<size_t>((63 - std::countl_zero(low)) / 8) + 1;
        i -= 8;
    }
    while (i > floor && p[i - 1] >= 0x80) --i;
    return i;
}

// Walk points of a walk begun at `start`, asked about in increasing order.
// After a byte below 0x80 the walk always stands at a character start, and
// inside a run of bytes >= 0x80 it moves two bytes at a time, so a position
// is decided by the parity of the run of high bytes before it. Each byte is
// looked at a bounded number of times over all the questions.
class ForwardWalk {
public:
    ForwardWalk(const u8* p, size_t start) noexcept : p_(p), next_(start) {}

    bool is_walk_point(size_t j) noexcept {
        if (j < next_) return false;
        if (j == next_) return true;
        const size_t r = high_run_start(p_, next_, j);
        const bool at = ((j - r) & 1) == 0;
        next_ = at ? j : j + 1;
        return at;
    }

private:
    const u8* p_;
    size_t next_;  // the first walk point at or after every position asked so far
};

// Walk points of the walk begun at byte 0, asked about in decreasing order.
class BackwardWalk {
public:
    explicit BackwardWalk(const u8* p) noexcept : p_(p) {}

    bool is_walk_point(size_t j) noexcept {
        if (!(run_lo_ <= j && j <= run_hi_)) {
            run_lo_ = high_run_start(p_, 0, j);
            run_hi_ = j;
        }
        return ((j - run_lo_) & 1) == 0;
    }

private:
    const u8* p_;
    // Bytes run_lo_ .. run_hi_-1 are all >= 0x80 and run_lo_ is a walk point.
    size_t run_lo_ = 1;
    size_t run_hi_ = 0;
};

}  // namespace qn::walk
