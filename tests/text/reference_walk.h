// A plain, slow model of the walking text operations: one character at a
// time, exactly as the rules read, with no shortcuts. The tests and the fuzz
// targets compare the real operations against it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qn::ref {

inline unsigned char byte(std::string_view t, size_t i) { return static_cast<unsigned char>(t[i]); }

inline unsigned char fold(unsigned char b) {
    return b >= 0x41 && b <= 0x5A ? static_cast<unsigned char>(b + 0x20) : b;
}

// The length of the character at walk point i (1 for a lone final byte).
inline size_t char_len(std::string_view t, size_t i) {
    return byte(t, i) >= 0x80 && i + 1 < t.size() ? 2 : 1;
}

inline bool match_at(std::string_view t, size_t i, std::string_view needle, bool fold_case) {
    for (size_t k = 0; k < needle.size(); ++k) {
        const unsigned char a = byte(t, i + k);
        const unsigned char b = byte(needle, k);
        if (fold_case ? fold(a) != fold(b) : a != b) return false;
    }
    return true;
}

// The walk points of a walk from `from` to the end of `t`.
inline std::vector<size_t> walk_points(std::string_view t, size_t from) {
    std::vector<size_t> points;
    for (size_t i = from; i < t.size(); i += byte(t, i) >= 0x80 ? 2 : 1) points.push_back(i);
    return points;
}

inline size_t start_offset(std::optional<int32_t> start) {
    return (!start || *start <= 1) ? 0 : static_cast<size_t>(*start) - 1;
}

inline int32_t find(std::string_view t, std::string_view needle, std::optional<int32_t> start,
                    bool fold_case) {
    const size_t o = start_offset(start);
    if (o >= t.size()) return -1;
    if (needle.empty()) return 1;
    for (size_t i : walk_points(t, o))
        if (t.size() - i >= needle.size() && match_at(t, i, needle, fold_case))
            return static_cast<int32_t>(i + 1);
    return -1;
}

inline int32_t rfind(std::string_view t, std::string_view needle, std::optional<int32_t> start,
                     bool fold_case) {
    int64_t range = static_cast<int64_t>(t.size());
    if (start) {
        range = static_cast<int64_t>(*start) - 1;
        if (range < 0) range = 0;
        if (range > static_cast<int64_t>(t.size())) range = static_cast<int64_t>(t.size());
    }
    if (range == 0) return -1;
    if (needle.empty()) return 1;
    int32_t last = -1;
    for (size_t i : walk_points(t.substr(0, static_cast<size_t>(range)), 0))
        if (static_cast<size_t>(range) - i >= needle.size() && match_at(t, i, needle, fold_case))
            last = static_cast<int32_t>(i + 1);
    return last;
}

inline std::string substitute(std::string_view t, std::string_view sub, std::string_view repl,
                              std::optional<int32_t> start, std::optional<int32_t> count,
                              bool case_sensitive) {
    const size_t o = start_offset(start);
    const int64_t limit = count ? *count : -1;
    if (t.empty() || sub.empty() || o >= t.size() || limit == 0) return std::string(t);
    std::string out(t.substr(0, o));
    size_t i = o;
    int64_t made = 0;
    while (t.size() - i >= sub.size()) {
        if (match_at(t, i, sub, !case_sensitive)) {
            out += repl;
            i += sub.size();
            if (++made == limit) break;
        } else if (byte(t, i) >= 0x80 && i + 1 == t.size()) {
            i += 1;  // a lone final byte without a match is left out
        } else {
            out += t.substr(i, char_len(t, i));
            i += char_len(t, i);
        }
    }
    out += t.substr(i);
    return out;
}

inline std::vector<std::string> split(std::string_view t, std::string_view sep,
                                      std::optional<int32_t> count) {
    std::vector<std::string> items;
    const int64_t limit = count ? *count : INT64_MAX;
    if (t.empty() || limit <= 0) return items;
    if (sep.empty()) return {std::string(t)};
    size_t item = 0;
    size_t i = 0;
    while (t.size() - i >= sep.size()) {
        if (match_at(t, i, sep, false)) {
            items.emplace_back(t.substr(item, i - item));
            i += sep.size();
            item = i;
            if (static_cast<int64_t>(items.size()) == limit) return items;
        } else {
            i += char_len(t, i);
        }
    }
    if (item < t.size()) items.emplace_back(t.substr(item));
    return items;
}

inline bool blank_at(std::string_view t, size_t i) {
    return byte(t, i) == 0x20 || (byte(t, i) == 0xA1 && i + 1 < t.size() && byte(t, i + 1) == 0xA1);
}

inline std::string trim(std::string_view t) {
    size_t i = 0;
    while (i < t.size() && blank_at(t, i)) i += char_len(t, i);
    const size_t s = i;
    size_t run = std::string_view::npos;
    while (i < t.size()) {
        if (byte(t, i) >= 0x80 && i + 1 == t.size()) return std::string(t.substr(s, i - s));
        if (blank_at(t, i)) {
            if (run == std::string_view::npos) run = i;
        } else {
            run = std::string_view::npos;
        }
        i += char_len(t, i);
    }
    return std::string(t.substr(s, (run == std::string_view::npos ? t.size() : run) - s));
}

inline std::string strip_spaces(std::string_view t) {
    std::string out;
    for (size_t i : walk_points(t, 0)) {
        if (byte(t, i) >= 0x80 && i + 1 == t.size()) break;
        if (!blank_at(t, i)) out += t.substr(i, char_len(t, i));
    }
    return out;
}

inline std::string lower(std::string_view t) {
    std::string out(t);
    for (size_t i : walk_points(t, 0))
        if (byte(t, i) < 0x80) out[i] = static_cast<char>(fold(byte(t, i)));
    return out;
}

}  // namespace qn::ref
