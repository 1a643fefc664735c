// The text toolkit's values and the operations that do not search: measuring,
// comparing, joining, cutting, numbers, byte buffers and lists. (The walking
// operations are in walking.cpp.)
#include "text/text.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

#include "text/checked_alloc.h"
#include "text/fatal.h"

namespace qn {

namespace {

using u8 = unsigned char;

const u8* ubytes(std::string_view v) noexcept { return reinterpret_cast<const u8*>(v.data()); }

// `v` up to its first zero byte.
std::string_view up_to_zero(std::string_view v) noexcept {
    if (v.empty()) return v;
    const void* zero = std::memchr(v.data(), 0, v.size());
    return zero ? v.substr(0, static_cast<size_t>(static_cast<const char*>(zero) - v.data())) : v;
}

}  // namespace

// --- Text and Bytes -----------------------------------------------------------

Text::Text(const char* s) : Text(s ? std::string_view(s) : std::string_view()) {}

Text::Text(std::string_view bytes) : bytes_(detail::copied_or_die(up_to_zero(bytes))) {}

Text::Text(const std::string& bytes) : Text(std::string_view(bytes)) {}

Text::Text(std::string&& bytes) : bytes_(std::move(bytes)) {
    const size_t zero = bytes_.find('\0');
    if (zero != std::string::npos) bytes_.resize(zero);
    detail::checked_size(bytes_.size());
}

Bytes::Bytes(std::string_view raw) : bytes_(detail::copied_or_die(raw)) {}

Bytes::Bytes(std::string&& raw) : bytes_(std::move(raw)) { detail::checked_size(bytes_.size()); }

void Bytes::append(std::string_view raw) { detail::append_or_die(bytes_, raw); }

// --- texts ----------------------------------------------------------------------

int32_t txt_len(const Text& text) { return static_cast<int32_t>(text.view().size()); }

int txt_cmp(const Text& a, const Text& b) {
    const std::string_view x = a.view();
    const std::string_view y = b.view();
    const size_t common = std::min(x.size(), y.size());
    const int c = common ? std::memcmp(x.data(), y.data(), common) : 0;
    if (c != 0) return c < 0 ? -1 : 1;
    if (x.size() == y.size()) return 0;
    return x.size() < y.size() ? -1 : 1;
}

Text txt_join_views(std::initializer_list<std::string_view> parts) {
    // Each part is taken as a text: up to its first zero byte.
    uint64_t total = 0;
    for (std::string_view part : parts) total += up_to_zero(part).size();
    std::string out;
    detail::reserve_or_die(out, total);
    for (std::string_view part : parts) out.append(up_to_zero(part));
    return Text(std::move(out));
}

Text txt_head(const Text& text, int32_t n) {
    if (n <= 0) return Text();
    return Text(text.view().substr(0, static_cast<size_t>(n)));
}

Text txt_tail(const Text& text, int32_t n) {
    if (n <= 0) return Text();
    const std::string_view v = text.view();
    const size_t k = std::min(v.size(), static_cast<size_t>(n));
    return Text(v.substr(v.size() - k));
}

Text txt_slice(const Text& text, int32_t start, int32_t n) {
    const std::string_view v = text.view();
    if (start < 1 || n <= 0 || static_cast<size_t>(start) > v.size()) return Text();
    return Text(v.substr(static_cast<size_t>(start) - 1, static_cast<size_t>(n)));
}

int32_t txt_parse_int(const Text& text) {
    const std::string_view v = text.view();
    const u8* p = ubytes(v);
    const size_t n = v.size();
    size_t i = 0;
    // The narrowed text, one byte at a time (0 at its end): full-width forms
    // become their ASCII counterparts, a lone final byte is dropped.
    u8 pending = 0;
    auto next = [&]() -> u8 {
        if (pending) {
            const u8 b = pending;
            pending = 0;
            return b;
        }
        if (i >= n) return 0;
        const u8 b = p[i];
        if (b < 0x80) {
            i += 1;
            return b;
        }
        if (i + 1 >= n) {
            i = n;
            return 0;
        }
        const u8 t = p[i + 1];
        i += 2;
        if (b == 0xA3 && t >= 0xA1 && t <= 0xFE) return static_cast<u8>(t - 0x80);
        if (b == 0xA1) {
            if (t == 0xA1) return ' ';
            if (t == 0xAB) return '~';
            if (t == 0xEE || t == 0xEF) return '*';
        }
        pending = t;
        return b;
    };
    u8 c = next();
    while (c == 0x20 || (c >= 0x09 && c <= 0x0D)) c = next();
    bool negative = false;
    if (c == '+' || c == '-') {
        negative = c == '-';
        c = next();
    }
    uint32_t value = 0;
    while (c >= '0' && c <= '9') {
        value = value * 10u + static_cast<uint32_t>(c - '0');
        c = next();
    }
    if (negative) value = 0u - value;
    return static_cast<int32_t>(value);
}

Text txt_from_number(int32_t value) {
    char buf[12];
    char* e = buf + sizeof buf;
    char* b = e;
    uint32_t u = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    do {
        *--b = static_cast<char>('0' + u % 10);
        u /= 10;
    } while (u != 0);
    if (value < 0) *--b = '-';
    return Text(std::string_view(b, static_cast<size_t>(e - b)));
}

Text txt_from_code(int64_t code) {
    const char c = static_cast<char>(static_cast<u8>(static_cast<uint64_t>(code) & 0xFF));
    if (c == 0) return Text();
    return Text(std::string_view(&c, 1));
}

Text txt_spaces(int32_t n) {
    if (n <= 0) return Text();
    return Text(detail::filled_or_die(static_cast<uint64_t>(n), ' '));
}

// --- byte buffers -----------------------------------------------------------------

Text txt_from_bytes(const Bytes& bytes) { return Text(bytes.view()); }

Bytes bytes_from_txt(const Text& text) { return Bytes(text.view()); }

int32_t bytes_len(const Bytes& bytes) { return static_cast<int32_t>(bytes.view().size()); }

Bytes bytes_head(const Bytes& bytes, int32_t n) {
    if (n <= 0) return Bytes();
    return Bytes(bytes.view().substr(0, static_cast<size_t>(n)));
}

Bytes bytes_zeroed(int32_t n) {
    if (n <= 0) return Bytes();
    return Bytes(detail::filled_or_die(static_cast<uint64_t>(n), '\0'));
}

Bytes bytes_join_views(std::initializer_list<std::string_view> parts) {
    uint64_t total = 0;
    for (std::string_view part : parts) total += part.size();
    if (total == 0) return Bytes();
    std::string out;
    detail::reserve_or_die(out, total);
    for (std::string_view part : parts) out.append(part);
    return Bytes(std::move(out));
}

// --- text lists -------------------------------------------------------------------

int32_t list_count(const TextList& list) { return static_cast<int32_t>(list.items().size()); }

const Text& list_at(const TextList& list, int32_t i) {
    const int32_t count = list_count(list);
    if (i < 1 || i > count) fatal_list_index(i, count);
    return list.items()[static_cast<size_t>(i) - 1];
}

namespace {
void make_room_for_one(std::vector<Text>& items) {
    if (items.size() < items.capacity()) return;
    const uint64_t count = items.size() + 1;
    detail::checked_size(count);
    const uint64_t want =
        std::max<uint64_t>(std::min<uint64_t>(2 * items.capacity(), INT32_MAX), 4);
    try {
        items.reserve(static_cast<size_t>(want));
    } catch (const std::bad_alloc&) {
        fatal_out_of_memory(want * sizeof(Text));
    } catch (const std::length_error&) {
        fatal_out_of_memory(want * sizeof(Text));
    }
}
}  // namespace

void list_append(TextList& list, const Text& text) {
    make_room_for_one(list.items_);
    try {
        list.items_.push_back(text);
    } catch (const std::bad_alloc&) {
        fatal_out_of_memory(text.view().size() + 1);
    }
}

void list_append(TextList& list, Text&& text) {
    make_room_for_one(list.items_);
    list.items_.push_back(std::move(text));
}

}  // namespace qn
