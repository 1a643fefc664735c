#include "net/http_fetch.h"

#include <algorithm>
#include <array>
#include <new>
#include <string>
#include <string_view>

#include "net/cookie.h"
#include "net/url.h"
#include "text/memory_hint.h"

namespace qn {
namespace {

constexpr std::string_view DEFAULT_USER_AGENT =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
constexpr int32_t READ_BLOCK = 1024;
constexpr uint32_t HEADER_BUFFER = 5000;
constexpr uint32_t MAX_BODY_HINT = 1u << 30;

// An empty text goes to the layer as a null pointer.
const char* or_null(const Text& text) { return text.empty() ? nullptr : text.c_str(); }

// A control byte in the URL would end up in the request line and in the
// Referer line, where a CR or LF forges further headers.
bool has_control_byte(const Text& url) {
    for (const char c : url.view()) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            return true;
        }
    }
    return false;
}

Text user_agent(const Text& extra_headers) {
    if (txt_find(extra_headers, "User-Agent:", std::nullopt, true) == -1) {
        return Text(DEFAULT_USER_AGENT);
    }
    const Text agent = txt_trim(txt_between(extra_headers, "User-Agent:", "\r\n"));
    return agent.empty() ? header_value(extra_headers) : agent;
}

Text header_block(const Text& extra_headers, const Text& url, const std::optional<Text>& cookies) {
    std::string block(extra_headers.view());
    const auto lacks = [&block](const char* name) { return txt_find(Text(block), name) == -1; };
    if (block.empty()) {
        block = "Accept: */*";
    } else if (lacks("Accept:")) {
        block += "\r\nAccept: */*";
    }
    if (lacks("Referer:")) {
        block += "\r\nReferer: ";
        block += url.view();
    }
    if (lacks("Accept-Language:")) {
        block += "\r\nAccept-Language: zh-cn";
    }
    if (lacks("Content-Type:")) {
        block += "\r\nContent-Type: application/x-www-form-urlencoded";
    }
    if (cookies.has_value() && !cookies->empty()) {
        block += "\r\nCookie: ";
        block += cookies->view();
    }
    return Text(std::move(block));
}

// The raw response header block. The first query uses the fixed 5000-byte
// buffer; a larger block is queried again with the size the layer asks for,
// so that its cookies are not lost. Where nothing is written the buffer's
// blanks remain.
Text response_headers(inet::Layer& layer, inet::Handle request) {
    std::string buffer(HEADER_BUFFER, ' ');
    uint32_t length = HEADER_BUFFER;
    if (layer.query_info(request, inet::QUERY_RAW_HEADERS_CRLF, buffer.data(), &length, nullptr) ==
            inet::QueryStatus::buffer_too_small &&
        length > HEADER_BUFFER) {
        buffer.assign(length + 1, ' ');
        length = static_cast<uint32_t>(buffer.size());
        layer.query_info(request, inet::QUERY_RAW_HEADERS_CRLF, buffer.data(), &length, nullptr);
    }
    // The block ends at the zero byte the query wrote.
    const Text block(std::string_view(buffer.data(), buffer.size()));
    return txt_substitute(block, "Set-Cookie", "Set-Cookie", std::nullopt, std::nullopt, false);
}

// An empty accumulator with room for the body the response announces, so
// that a large body is written once instead of being moved as it grows. The
// announced length is only a hint: the read loop goes on to the end of the
// data whatever it says, and room that cannot be had is simply not taken.
Bytes body_accumulator(inet::Layer& layer, inet::Handle request) {
    uint32_t announced = 0;
    uint32_t size = sizeof announced;
    std::string room;
    if (layer.query_info(request, inet::QUERY_CONTENT_LENGTH | inet::QUERY_FLAG_NUMBER, &announced,
                         &size, nullptr) == inet::QueryStatus::ok &&
        announced <= MAX_BODY_HINT) {
        try {
            room.reserve(announced);
            detail::hint_large_block(room.data(), room.capacity());
        } catch (const std::bad_alloc&) {
            room = std::string();
        }
    }
    return Bytes(std::move(room));
}

Text response_cookies(const Text& headers) {
    std::string cookies;
    const TextList lines = txt_split(headers, "\r\n");
    for (const Text& line : lines.items()) {
        if (txt_find(line, "Set-Cookie") == -1) {
            continue;
        }
        const Text piece = txt_find(line, ";") == -1
                               ? txt_trim(txt_substitute(line, "Set-Cookie:", Text(), std::nullopt,
                                                         std::nullopt, false))
                               : txt_trim(txt_between(line, "Set-Cookie:", ";"));
        cookies.append(piece.view());
        cookies.append("; ");
    }
    const Text joined(std::move(cookies));
    return txt_head(joined, txt_len(joined) - 2);
}

}  // namespace

Text header_value(const Text& text) {
    const int32_t colon = txt_find(text, ":");
    return colon == -1 ? Text() : txt_trim(txt_tail(text, txt_len(text) - colon));
}

Bytes http_fetch(const Text& url) {
    HttpFetchArgs args;
    return http_fetch(inet::platform_layer(), url, args);
}

Bytes http_fetch(const Text& url, HttpFetchArgs& args) {
    return http_fetch(inet::platform_layer(), url, args);
}

Bytes http_fetch(inet::Layer& layer, const Text& url, HttpFetchArgs& args) {
    if (has_control_byte(url)) {
        return Bytes();
    }

    const int32_t method = args.method < 0 || args.method > 2 ? 0 : args.method;
    static constexpr std::array<const char*, 3> VERBS = {"GET", "POST", "HEAD"};
    const bool https = txt_cmp(txt_lower(txt_head(url, 5)), "https") == 0;
    const Text agent = user_agent(args.extra_headers);

    inet::Handle internet = nullptr;
    if (args.proxy.empty()) {
        internet = layer.open(or_null(agent), inet::OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    } else {
        const Text proxy = https ? args.proxy : txt_join("http=", args.proxy);
        internet = layer.open(or_null(agent), inet::OPEN_TYPE_PROXY, proxy.c_str(), "", 0);
    }
    if (internet == nullptr) {
        layer.close(internet);
        return Bytes();
    }

    const Text host = url_host(url);
    const auto port = static_cast<uint16_t>(url_port(url));
    inet::Handle connection =
        layer.connect(internet, or_null(host), port, nullptr, nullptr, inet::SERVICE_HTTP, 0, 0);
    if (connection == nullptr) {
        layer.close(connection);
        layer.close(internet);
        return Bytes();
    }

    uint32_t flags = inet::FLAG_RELOAD | inet::FLAG_NEED_FILE;
    if (args.cookies.has_value()) {
        flags |= inet::FLAG_NO_COOKIES;
    }
    if (args.no_redirect) {
        flags |= inet::FLAG_NO_AUTO_REDIRECT;
    }
    flags |= https ? inet::FLAG_SECURE : inet::FLAG_IGNORE_REDIRECT_TO_HTTPS;
    const Text path = url_path(url);
    inet::Handle request = layer.open_request(connection, VERBS[method], or_null(path), "HTTP/1.1",
                                              nullptr, nullptr, flags, 0);
    if (request == nullptr) {
        layer.close(request);
        layer.close(connection);
        layer.close(internet);
        return Bytes();
    }

    const Text headers = header_block(args.extra_headers, url, args.cookies);
    const auto headers_length = static_cast<uint32_t>(txt_len(headers));
    bool sent = false;
    if (method == 0) {
        static const char empty_body[1] = {'\0'};
        sent = layer.send_request(request, or_null(headers), headers_length, empty_body, 0);
    } else {
        const Bytes from_text = args.post_bytes.empty() ? bytes_from_txt(args.post_text) : Bytes();
        const Bytes& body = args.post_bytes.empty() ? from_text : args.post_bytes;
        sent = layer.send_request(request, or_null(headers), headers_length,
                                  body.empty() ? nullptr : body.data(),
                                  static_cast<uint32_t>(bytes_len(body)));
    }
    // A request that got no response at all (refused, unreachable, timed out
    // before any answer) is a failed fetch: nothing is read and the out
    // fields keep what the caller passed.
    if (!sent) {
        layer.close(request);
        layer.close(connection);
        layer.close(internet);
        return Bytes();
    }

    Bytes body = body_accumulator(layer, request);
    std::array<unsigned char, READ_BLOCK> buffer{};
    uint32_t count = 0;
    do {
        // A failed read reports 0 bytes and so ends the body with what had
        // arrived before it.
        layer.read(request, buffer.data(), READ_BLOCK, &count);
        count = std::min<uint32_t>(count, READ_BLOCK);
        body.append(std::string_view(reinterpret_cast<const char*>(buffer.data()), count));
    } while (count != 0);

    args.returned_headers = response_headers(layer, request);

    layer.close(request);
    layer.close(connection);
    layer.close(internet);

    args.returned_cookies = response_cookies(args.returned_headers);
    if (args.cookies.has_value()) {
        cookie_merge(*args.cookies, args.returned_cookies);
    }
    return body;
}

}  // namespace qn
