// Quennick text toolkit: byte strings in code page 936, byte buffers and text
// lists, with 1-based 32-bit byte positions and a character walk in which a
// byte of 0x80 or above starts a two-byte character.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qn {

// A byte string in code page 936 that never holds a zero byte. The empty
// text and an absent text are the same value. Construction from raw bytes
// keeps the bytes before the first zero byte.
class Text {
public:
    Text() = default;
    Text(const char* s);             // NOLINT(google-explicit-constructor)
    Text(std::string_view bytes);    // NOLINT(google-explicit-constructor)
    Text(const std::string& bytes);  // NOLINT(google-explicit-constructor)
    Text(std::string&& bytes);       // NOLINT(google-explicit-constructor)

    std::string_view view() const noexcept { return bytes_; }
    const char* c_str() const noexcept { return bytes_.c_str(); }
    const std::string& str() const noexcept { return bytes_; }
    bool empty() const noexcept { return bytes_.empty(); }

    friend bool operator==(const Text&, const Text&) = default;

private:
    std::string bytes_;
};

// A byte count and that many bytes, zero bytes allowed.
class Bytes {
public:
    Bytes() = default;
    explicit Bytes(std::string_view raw);
    explicit Bytes(std::string&& raw);

    std::string_view view() const noexcept { return bytes_; }
    const unsigned char* data() const noexcept {
        return reinterpret_cast<const unsigned char*>(bytes_.data());
    }
    bool empty() const noexcept { return bytes_.empty(); }

    // Appends in place with amortised growth; for builders such as a
    // download loop. A total that does not fit a 32-bit count is fatal.
    void append(std::string_view raw);
    // Moves the bytes out, leaving this buffer empty.
    std::string release() && noexcept { return std::move(bytes_); }

    friend bool operator==(const Bytes&, const Bytes&) = default;

private:
    std::string bytes_;
};

// An ordered list of texts, indexed from 1, owning copies of its items.
class TextList {
public:
    TextList() = default;
    const std::vector<Text>& items() const noexcept { return items_; }
    friend bool operator==(const TextList&, const TextList&) = default;

private:
    friend void list_append(TextList& list, const Text& text);
    friend void list_append(TextList& list, Text&& text);
    std::vector<Text> items_;
};

// --- texts ---------------------------------------------------------------
int32_t txt_len(const Text& text);
int txt_cmp(const Text& a, const Text& b);

Text txt_join_views(std::initializer_list<std::string_view> parts);
namespace detail {
inline std::string_view join_part(const Text& t) noexcept { return t.view(); }
inline std::string_view join_part(std::string_view v) noexcept { return v; }
inline std::string_view join_part(const char* s) noexcept { return s; }
inline std::string_view join_part(const std::string& s) noexcept { return s; }
}  // namespace detail
// The texts one after another; empty parts add nothing. A part given as
// raw bytes is taken as a text (up to its first zero byte is the caller's
// duty: pass Text values when in doubt).
template <class... Parts>
Text txt_join(const Parts&... parts) {
    return txt_join_views({detail::join_part(parts)...});
}

Text txt_head(const Text& text, int32_t n);
Text txt_tail(const Text& text, int32_t n);
Text txt_slice(const Text& text, int32_t start, int32_t n);

int32_t txt_find(const Text& text, const Text& needle, std::optional<int32_t> start = std::nullopt,
                 bool ignore_case = false);
int32_t txt_rfind(const Text& text, const Text& needle, std::optional<int32_t> start = std::nullopt,
                  bool ignore_case = false);
Text txt_substitute(const Text& text, const Text& sub, const Text& replacement = Text(),
                    std::optional<int32_t> start = std::nullopt,
                    std::optional<int32_t> count = std::nullopt, bool case_sensitive = true);
TextList txt_split(const Text& text, const Text& separator = Text(","),
                   std::optional<int32_t> count = std::nullopt);

Text txt_trim(const Text& text);
Text txt_strip_spaces(const Text& text);
Text txt_lower(const Text& text);
int32_t txt_parse_int(const Text& text);
Text txt_from_number(int32_t value);
Text txt_from_code(int64_t code);
Text txt_spaces(int32_t n);

// The text between the first `left` at or after `start` and the next
// `right` after it; "#引号" in either marker stands for a double quote.
Text txt_between(const Text& source, const Text& left, const Text& right,
                 std::optional<int32_t> start = std::nullopt, bool ignore_case = false);

// --- byte buffers --------------------------------------------------------
Text txt_from_bytes(const Bytes& bytes);
Bytes bytes_from_txt(const Text& text);
int32_t bytes_len(const Bytes& bytes);
Bytes bytes_head(const Bytes& bytes, int32_t n);
Bytes bytes_zeroed(int32_t n);
Bytes bytes_join_views(std::initializer_list<std::string_view> parts);
template <class... Parts>
Bytes bytes_join(const Parts&... parts) {
    return bytes_join_views({std::string_view(parts.view())...});
}

// --- text lists ----------------------------------------------------------
int32_t list_count(const TextList& list);
// Item i, 1 <= i <= list_count(list). Any other index is a programming
// error and ends the process after a fatal report.
const Text& list_at(const TextList& list, int32_t i);
void list_append(TextList& list, const Text& text);
void list_append(TextList& list, Text&& text);

}  // namespace qn
