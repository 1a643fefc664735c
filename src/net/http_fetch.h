// One synchronous HTTP or HTTPS fetch with the fixed header block, optional
// method, body, cookies, extra headers, redirect switch and proxy.
#pragma once

#include <cstdint>
#include <optional>

#include "net/inet.h"
#include "text/text.h"

namespace qn {

struct HttpFetchArgs {
    // 0 GET, 1 POST, 2 HEAD; any other value counts as 0.
    int32_t method = 0;
    // The request body as text; POST and HEAD use it when `post_bytes` is
    // empty.
    Text post_text;
    // in/out. Absent: the platform's own cookie handling. Present (even
    // empty): no cookie handling by the platform; sent as a "Cookie:" line
    // when not empty, and the response's cookies are merged into it.
    std::optional<Text> cookies;
    // out: the response's cookies as name=value pairs joined by "; ".
    Text returned_cookies;
    // Request header lines separated by "\r\n", without a final "\r\n".
    Text extra_headers;
    // out: the raw response header block.
    Text returned_headers;
    // true: redirects are not followed and the 3xx response comes back.
    bool no_redirect = false;
    // The request body as bytes, for POST and HEAD.
    Bytes post_bytes;
    // host:port of a proxy server; empty means a direct connection.
    Text proxy;
};

// The trimmed text after the first ":" of `text`, or the empty text.
Text header_value(const Text& text);

// Fetches `url` with every option at its default through the platform's
// layer; the body, or empty Bytes on failure.
Bytes http_fetch(const Text& url);
Bytes http_fetch(const Text& url, HttpFetchArgs& args);
Bytes http_fetch(inet::Layer& layer, const Text& url, HttpFetchArgs& args);

}  // namespace qn
