#include "app/open_thread.h"

#include <string>
#include <string_view>

#include "app/listing_url.h"

namespace qn {

void show_row_menu(Ui& ui) { ui.popup_menu_at_cursor(); }

void open_selected_thread(Ui& ui) {
    if (ui.lv_selected_row() == -1) {
        return;
    }
    const int32_t row = ui.lv_selected_row();
    const Text link = ui.lv_cell_text(row, 2);
    // Only an absolute http or https URL leaves the program: a link that
    // would make the shell run a local file (a relative or drive path, a
    // UNC name, file: or javascript:) is not opened, silently, as no
    // message is shown for a failed open either.
    if (const std::optional<Text> url = resolve_thread_link(listing_url(), link)) {
        ui.open_in_browser(*url);
    }
}

namespace {

// The five parts of a URI reference (RFC 3986, section 3). A part that is
// absent differs from one that is present but empty.
struct UriRef {
    std::optional<std::string> scheme;
    std::optional<std::string> authority;
    std::string path;
    std::optional<std::string> query;
    std::optional<std::string> fragment;
};

bool is_alpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

std::string ascii_lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c + 0x20);
        }
    }
    return out;
}

UriRef parse_uri_ref(std::string_view s) {
    UriRef ref;
    // scheme = ALPHA *( ALPHA / DIGIT / "+" / "-" / "." ) ":"
    if (!s.empty() && is_alpha(s[0])) {
        size_t i = 1;
        while (i < s.size() &&
               (is_alpha(s[i]) || is_digit(s[i]) || s[i] == '+' || s[i] == '-' || s[i] == '.')) {
            ++i;
        }
        if (i < s.size() && s[i] == ':') {
            ref.scheme = ascii_lower(s.substr(0, i));
            s.remove_prefix(i + 1);
        }
    }
    if (const size_t hash = s.find('#'); hash != std::string_view::npos) {
        ref.fragment = std::string(s.substr(hash + 1));
        s = s.substr(0, hash);
    }
    if (const size_t question = s.find('?'); question != std::string_view::npos) {
        ref.query = std::string(s.substr(question + 1));
        s = s.substr(0, question);
    }
    if (s.substr(0, 2) == "//") {
        s.remove_prefix(2);
        const size_t slash = s.find('/');
        ref.authority = std::string(s.substr(0, slash));
        s = slash == std::string_view::npos ? std::string_view() : s.substr(slash);
    }
    ref.path = std::string(s);
    return ref;
}

// RFC 3986, section 5.2.4.
std::string remove_dot_segments(std::string_view in) {
    std::string out;
    while (!in.empty()) {
        if (in.substr(0, 3) == "../") {
            in.remove_prefix(3);
        } else if (in.substr(0, 2) == "./") {
            in.remove_prefix(2);
        } else if (in.substr(0, 3) == "/./") {
            in.remove_prefix(2);
        } else if (in == "/.") {
            in = "/";
        } else if (in.substr(0, 4) == "/../" || in == "/..") {
            in = in.size() == 3 ? std::string_view("/") : in.substr(3);
            const size_t last = out.rfind('/');
            out.erase(last == std::string::npos ? 0 : last);
        } else if (in == "." || in == "..") {
            in = {};
        } else {
            const size_t next = in.find('/', 1);
            const size_t n = next == std::string_view::npos ? in.size() : next;
            out.append(in.substr(0, n));
            in.remove_prefix(n);
        }
    }
    return out;
}

// RFC 3986, section 5.2.3.
std::string merge_paths(const UriRef& base, std::string_view ref_path) {
    if (base.authority && base.path.empty()) {
        std::string merged(1, '/');
        merged.append(ref_path);
        return merged;
    }
    const size_t last = base.path.rfind('/');
    std::string merged = last == std::string::npos ? std::string() : base.path.substr(0, last + 1);
    merged.append(ref_path);
    return merged;
}

// RFC 3986, section 5.2.2 (strict: a scheme in the reference always counts).
UriRef resolve(const UriRef& base, const UriRef& ref) {
    UriRef target;
    if (ref.scheme) {
        target = ref;
        target.path = remove_dot_segments(ref.path);
    } else {
        if (ref.authority) {
            target.authority = ref.authority;
            target.path = remove_dot_segments(ref.path);
            target.query = ref.query;
        } else {
            if (ref.path.empty()) {
                target.path = base.path;
                target.query = ref.query ? ref.query : base.query;
            } else {
                target.path = ref.path[0] == '/' ? remove_dot_segments(ref.path)
                                                 : remove_dot_segments(merge_paths(base, ref.path));
                target.query = ref.query;
            }
            target.authority = base.authority;
        }
        target.scheme = base.scheme;
    }
    target.fragment = ref.fragment;
    return target;
}

std::string recompose(const UriRef& uri) {
    std::string out;
    if (uri.scheme) {
        out += *uri.scheme + ":";
    }
    if (uri.authority) {
        out += "//" + *uri.authority;
    }
    out += uri.path;
    if (uri.query) {
        out += "?" + *uri.query;
    }
    if (uri.fragment) {
        out += "#" + *uri.fragment;
    }
    return out;
}

bool is_url_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

// Characters that may not stand in a URL as they are; a browser encodes
// them the same way. Two-byte characters pass unchanged.
bool needs_percent_encoding(unsigned char c) {
    return c == ' ' || c == '"' || c == '<' || c == '>' || c == '`' || c == '{' || c == '|' ||
           c == '}' || c == '^';
}

}  // namespace

std::optional<Text> resolve_thread_link(const Text& base_url, const Text& link) {
    std::string_view raw = link.view();
    // Leading and trailing blanks of an attribute value are no part of the
    // link, as in a browser.
    while (!raw.empty() && is_url_blank(raw.front())) {
        raw.remove_prefix(1);
    }
    while (!raw.empty() && is_url_blank(raw.back())) {
        raw.remove_suffix(1);
    }
    if (raw.empty()) {
        return std::nullopt;
    }
    for (const char c : raw) {
        const auto b = static_cast<unsigned char>(c);
        // A control byte could hide a scheme from this check but not from a
        // browser; a backslash turns a name into a drive, UNC or "..\" path
        // for the shell. Neither belongs in a thread link.
        if (b < 0x20 || b == 0x7F || c == '\\') {
            return std::nullopt;
        }
    }

    // An attribute value writes "&" as "&amp;"; the link means the "&".
    std::string decoded;
    decoded.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        decoded += raw[i];
        if (raw.substr(i, 5) == "&amp;") {
            i += 4;
        }
    }

    const UriRef target = resolve(parse_uri_ref(base_url.view()), parse_uri_ref(decoded));
    if (!target.scheme || (*target.scheme != "http" && *target.scheme != "https")) {
        return std::nullopt;
    }
    if (!target.authority || target.authority->empty()) {
        return std::nullopt;
    }

    std::string url;
    const std::string whole = recompose(target);
    url.reserve(whole.size());
    for (const char c : whole) {
        const auto b = static_cast<unsigned char>(c);
        if (needs_percent_encoding(b)) {
            static constexpr char hex[] = "0123456789ABCDEF";
            url += '%';
            url += hex[b >> 4];
            url += hex[b & 0x0F];
        } else {
            url += c;
        }
    }
    return Text(std::move(url));
}

}  // namespace qn
