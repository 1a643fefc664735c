// Fuzzes the URL decomposition and the cookie merge with arbitrary bytes.
// Checks, besides the sanitizers: a path always begins with "/"; the cookie
// merge hands back exactly the text it rewrote its first argument to, and
// leaves no blank in its second.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "net/cookie.h"
#include "net/url.h"
#include "text/text.h"

namespace {

void require(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    // The first byte picks the options; the rest, cut at a 0x01 byte, is a
    // URL and then two cookie texts.
    if (input.empty()) return 0;
    const unsigned options = static_cast<unsigned char>(input[0]);
    std::string_view rest = input.substr(1);
    auto next_part = [&rest] {
        const size_t cut = rest.find('\x01');
        const std::string_view part = rest.substr(0, cut);
        rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
        return qn::Text(part);
    };
    const qn::Text url = next_part();

    const bool main_domain = (options & 1) != 0;
    const bool keep_port = (options & 2) != 0;
    if (options & 4) {
        qn::url_host(url, main_domain, keep_port, static_cast<int32_t>(options >> 3) - 4);
    } else {
        qn::url_host(url, main_domain, keep_port);
    }
    qn::url_port(url);
    const qn::Text path = qn::url_path(url);
    require(qn::txt_head(path, 1) == qn::Text("/"));

    qn::Text old_cookies = next_part();
    qn::Text new_cookies = next_part();
    const qn::Text merged = qn::cookie_merge(old_cookies, new_cookies);
    require(merged == old_cookies);
    require(qn::txt_find(new_cookies, " ") == -1);
    require(qn::txt_find(new_cookies, "\xA1\xA1") == -1);
    return 0;
}
