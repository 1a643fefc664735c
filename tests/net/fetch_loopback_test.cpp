// http_fetch through the build's own HTTP layer (libcurl on Linux, Wine's
// WinINet on Windows) against a real server on 127.0.0.1 that records every
// raw request. Both builds run the same table and expect the same requests
// and results; where the layers differ the test says so.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "loopback_server.h"
#include "net/http_fetch.h"
#include "platform_traits.h"

namespace qn {
namespace {

using test::http_reply;
using test::LoopbackServer;
using test::Reply;
using test::Request;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::UnorderedElementsAreArray;

constexpr const char* DEFAULT_AGENT =
    "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
constexpr const char* FORM = "Content-Type: application/x-www-form-urlencoded";

std::string replace_all(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

std::vector<std::string> split_cookies(const std::string& header) {
    std::vector<std::string> pairs;
    size_t start = 0;
    while (start < header.size()) {
        const size_t end = header.find("; ", start);
        pairs.push_back(header.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) {
            break;
        }
        start = end + 2;
    }
    return pairs;
}

// The header part of a reply, as the layer hands it back.
std::string head_of(const Reply& reply) {
    return reply.bytes.substr(0, reply.bytes.find("\r\n\r\n") + 4);
}

// One request through http_fetch and what must come of it. In the texts,
// "{URL}" stands for the fetched URL and "{HOST}" for 127.0.0.1:PORT.
struct WireCase {
    const char* name = "";
    const char* path = "/";
    std::function<void(HttpFetchArgs&)> setup = [](HttpFetchArgs&) {};
    std::string status = "200 OK";
    std::vector<std::string> response_headers{};
    std::string response_body = "ok";
    // Expected request: its line, the routine's header lines in their order,
    // the lines the layer adds besides Host, and the body.
    std::string request_line{};
    std::vector<std::string> block = {"Accept: */*", "Referer: {URL}", "Accept-Language: zh-cn",
                                      FORM};
    std::vector<std::string> added = {DEFAULT_AGENT};
    std::string body_sent{};
    // Expected results.
    std::string body_back = "ok";
    std::optional<std::string> returned_headers{};  // default: the reply's head
    std::string returned_cookies{};
    std::optional<std::string> cookies_after{};
};

void PrintTo(const WireCase& c, std::ostream* out) { *out << c.name; }

class FetchOverLoopback : public ::testing::TestWithParam<WireCase> {};

TEST_P(FetchOverLoopback, RequestAndResults) {
    const WireCase& c = GetParam();
    LoopbackServer server([&c](const Request& request, size_t) {
        return http_reply(request, c.status, c.response_headers, c.response_body);
    });
    const std::string url = server.url(c.path);
    const std::string host = "127.0.0.1:" + std::to_string(server.port());
    const auto fill = [&](const std::string& text) {
        return replace_all(replace_all(text, "{URL}", url), "{HOST}", host);
    };

    HttpFetchArgs args;
    c.setup(args);
    const Bytes body = http_fetch(url, args);

    const std::vector<Request> requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    const Request& request = requests[0];
    EXPECT_EQ(request.request_line, fill(c.request_line));

    std::vector<std::string> block;
    for (const std::string& line : c.block) {
        block.push_back(fill(line));
    }
    std::vector<std::string> everything = block;
    everything.push_back("Host: " + host);
    everything.insert(everything.end(), c.added.begin(), c.added.end());
    // Each layer orders its own lines differently (libcurl: Host, User-Agent,
    // the block, Content-Length; Wine: Host, Content-Length, User-Agent, the
    // block), so the whole set is compared without order and the block with.
    EXPECT_THAT(request.header_lines, UnorderedElementsAreArray(everything));
    std::vector<std::string> routine_lines;
    for (const std::string& line : request.header_lines) {
        if (std::find(block.begin(), block.end(), line) != block.end()) {
            routine_lines.push_back(line);
        }
    }
    EXPECT_THAT(routine_lines, ElementsAreArray(block));
    EXPECT_EQ(request.body, c.body_sent);

    EXPECT_EQ(body.view(), c.body_back);
    const std::string expected_head = c.returned_headers.value_or(
        head_of(http_reply(request, c.status, c.response_headers, c.response_body)));
    EXPECT_EQ(args.returned_headers.str(), expected_head);
    EXPECT_EQ(args.returned_cookies.str(), c.returned_cookies);
    if (c.cookies_after) {
        ASSERT_TRUE(args.cookies.has_value());
        EXPECT_EQ(args.cookies->str(), *c.cookies_after);
    } else {
        EXPECT_FALSE(args.cookies.has_value());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, FetchOverLoopback,
    ::testing::Values(
        WireCase{.name = "main_road",
                 .path = "/forum-37-1.html",
                 .response_headers = {"Content-Type: text/html"},
                 .response_body = "<html>page</html>",
                 .request_line = "GET /forum-37-1.html HTTP/1.1",
                 .body_back = "<html>page</html>"},
        WireCase{.name = "method_7_is_get",
                 .path = "/m7",
                 .setup =
                     [](HttpFetchArgs& a) {
                         a.method = 7;
                         a.post_text = "x=1";
                     },
                 .request_line = "GET /m7 HTTP/1.1"},
        WireCase{.name = "method_minus_1_is_get",
                 .path = "/m-1",
                 .setup =
                     [](HttpFetchArgs& a) {
                         a.method = -1;
                         a.post_bytes = Bytes(std::string_view("b"));
                     },
                 .request_line = "GET /m-1 HTTP/1.1"},
        // The lower-case line is the only agent line on the wire.
        WireCase{.name = "user_agent_lower_case",
                 .path = "/ua",
                 .setup = [](HttpFetchArgs& a) { a.extra_headers = "user-agent: X"; },
                 .request_line = "GET /ua HTTP/1.1",
                 .block = {"user-agent: X", "Accept: */*", "Referer: {URL}",
                           "Accept-Language: zh-cn", FORM},
                 .added = {}},
        WireCase{.name = "user_agent_and_more",
                 .path = "/ua2",
                 .setup = [](HttpFetchArgs& a) { a.extra_headers = "User-Agent: A\r\nX-Test: b"; },
                 .request_line = "GET /ua2 HTTP/1.1",
                 .block = {"User-Agent: A", "X-Test: b", "Accept: */*", "Referer: {URL}",
                           "Accept-Language: zh-cn", FORM},
                 .added = {}},
        WireCase{.name = "existing_accept",
                 .path = "/acc",
                 .setup = [](HttpFetchArgs& a) { a.extra_headers = "Accept: text/html"; },
                 .request_line = "GET /acc HTTP/1.1",
                 .block = {"Accept: text/html", "Referer: {URL}", "Accept-Language: zh-cn", FORM}},
        // A header the routine finds inside another line is not added, and
        // the layer adds no Accept or Content-Type of its own either.
        WireCase{.name = "names_found_inside_other_lines",
                 .path = "/inside",
                 .setup =
                     [](HttpFetchArgs& a) {
                         a.extra_headers = "X-Accept: 1\r\nX-Content-Type: 2";
                         a.method = 1;
                         a.post_text = "p";
                     },
                 .request_line = "POST /inside HTTP/1.1",
                 .block = {"X-Accept: 1", "X-Content-Type: 2", "Referer: {URL}",
                           "Accept-Language: zh-cn"},
                 .added = {DEFAULT_AGENT, "Content-Length: 1"},
                 .body_sent = "p"},
        WireCase{.name = "post_text",
                 .path = "/post",
                 .setup =
                     [](HttpFetchArgs& a) {
                         a.method = 1;
                         a.post_text = "a=1";
                     },
                 .request_line = "POST /post HTTP/1.1",
                 .added = {DEFAULT_AGENT, "Content-Length: 3"},
                 .body_sent = "a=1"},
        WireCase{.name = "post_bytes_win_over_text",
                 .path = "/post2",
                 .setup =
                     [](HttpFetchArgs& a) {
                         a.method = 1;
                         a.post_text = "a=1";
                         a.post_bytes = Bytes(std::string_view("z\0y", 3));
                     },
                 .request_line = "POST /post2 HTTP/1.1",
                 .added = {DEFAULT_AGENT, "Content-Length: 3"},
                 .body_sent = std::string("z\0y", 3)},
        WireCase{.name = "post_empty",
                 .path = "/post3",
                 .setup = [](HttpFetchArgs& a) { a.method = 1; },
                 .request_line = "POST /post3 HTTP/1.1",
                 .added = {DEFAULT_AGENT, "Content-Length: 0"}},
        // HEAD sends its body; the answer has none.
        WireCase{.name = "head_with_body",
                 .path = "/head",
                 .setup =
                     [](HttpFetchArgs& a) {
                         a.method = 2;
                         a.post_text = "q=1";
                     },
                 .response_headers = {"X-Head: yes"},
                 .response_body = "not sent",
                 .request_line = "HEAD /head HTTP/1.1",
                 .added = {DEFAULT_AGENT, "Content-Length: 3"},
                 .body_sent = "q=1",
                 .body_back = ""},
        WireCase{.name = "head_without_body",
                 .path = "/head2",
                 .setup = [](HttpFetchArgs& a) { a.method = 2; },
                 .response_body = "not sent",
                 .request_line = "HEAD /head2 HTTP/1.1",
                 .added = {DEFAULT_AGENT, "Content-Length: 0"},
                 .body_back = ""},
        WireCase{
            .name = "get_never_sends_a_body",
            .path = "/get",
            .setup =
                [](HttpFetchArgs& a) {
                    a.post_text = "t";
                    a.post_bytes = Bytes(std::string_view("b"));
                },
            .request_line = "GET /get HTTP/1.1"},
        WireCase{.name = "empty_body",
                 .path = "/empty",
                 .status = "204 No Content",
                 .response_body = "",
                 .request_line = "GET /empty HTTP/1.1",
                 .body_back = ""},
        // The path goes out as given, query and fragment included; the
        // status of an error page is not looked at.
        WireCase{.name = "path_query_fragment",
                 .path = "/a/B?c=D#e",
                 .status = "404 Not Found",
                 .response_body = "missing",
                 .request_line = "GET /a/B?c=D#e HTTP/1.1",
                 .body_back = "missing"},
        // Two-byte characters (code page 936) in the path go out as bytes.
        WireCase{.name = "path_with_two_byte_characters",
                 .path = "/\xC2\xDB\xCC\xB3?q=\xD6\xD0",
                 .request_line = "GET /\xC2\xDB\xCC\xB3?q=\xD6\xD0 HTTP/1.1"},
        WireCase{.name = "cookie_line_sent_and_merged",
                 .path = "/c1",
                 .setup = [](HttpFetchArgs& a) { a.cookies = Text("s=0; t=1"); },
                 .response_headers = {"Set-Cookie: s=1; Path=/c1", "Set-Cookie: u=2"},
                 .request_line = "GET /c1 HTTP/1.1",
                 .block = {"Accept: */*", "Referer: {URL}", "Accept-Language: zh-cn", FORM,
                           "Cookie: s=0; t=1"},
                 .returned_cookies = "s=1;u=2",
                 .cookies_after = "s=1; u=2; t=1"},
        WireCase{.name = "set_cookie_any_case",
                 .path = "/c2",
                 .setup = [](HttpFetchArgs& a) { a.cookies = Text(); },
                 .response_headers = {"set-cookie: sid=1; path=/"},
                 .request_line = "GET /c2 HTTP/1.1",
                 .returned_headers = "HTTP/1.1 200 OK\r\nSet-Cookie: sid=1; path=/\r\n"
                                     "Content-Length: 2\r\n\r\n",
                 .returned_cookies = "sid=1",
                 .cookies_after = "sid=1"},
        WireCase{.name = "cookie_without_semicolon",
                 .path = "/c3",
                 .setup = [](HttpFetchArgs& a) { a.cookies = Text(); },
                 .response_headers = {"Set-Cookie: k=v"},
                 .request_line = "GET /c3 HTTP/1.1",
                 .returned_cookies = "k=v",
                 .cookies_after = "k=v"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FetchOverLoopbackBody, ChunkedBodyIsJoined) {
    LoopbackServer server([](const Request&, size_t) {
        Reply reply;
        reply.bytes =
            "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
            "5\r\nhello\r\n6\r\n world\r\n0\r\n\r\n";
        return reply;
    });
    HttpFetchArgs args;
    EXPECT_EQ(http_fetch(server.url("/chunked"), args).view(), "hello world");
    EXPECT_EQ(args.returned_headers.str(), "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n");
}

TEST(FetchOverLoopbackBody, LargeBodyArrivesWhole) {
    std::string large(3 * 1024 * 1024 + 7, '\0');
    for (size_t i = 0; i < large.size(); ++i) {
        large[i] = static_cast<char>((i * 131) >> 3);
    }
    LoopbackServer server([&large](const Request& request, size_t) {
        return http_reply(request, "200 OK", {}, large);
    });
    HttpFetchArgs args;
    const Bytes body = http_fetch(server.url("/large"), args);
    EXPECT_EQ(body.view().size(), large.size());
    EXPECT_TRUE(body.view() == large);
}

TEST(FetchOverLoopbackExact, MainRoadRequestBytes) {
    LoopbackServer server(
        [](const Request& request, size_t) { return http_reply(request, "200 OK", {}, "page"); });
    const std::string url = server.url("/forum-37-1.html");
    EXPECT_EQ(http_fetch(url).view(), "page");
    const std::vector<Request> requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    // Both layers send exactly these bytes for the main road's GET.
    EXPECT_EQ(requests[0].raw(),
              "GET /forum-37-1.html HTTP/1.1\r\n"
              "Host: 127.0.0.1:" +
                  std::to_string(server.port()) + "\r\n" + DEFAULT_AGENT +
                  "\r\n"
                  "Accept: */*\r\n"
                  "Referer: " +
                  url +
                  "\r\n"
                  "Accept-Language: zh-cn\r\n" +
                  FORM +
                  "\r\n"
                  "\r\n");
}

// Cookies set while `cookies` is absent go to the platform's own store and
// come back on the next request there; with `cookies` present nothing is
// stored. Each path keeps the cookies away from the other tests.
TEST(FetchOverLoopbackCookies, AbsentUsesThePlatformStorePresentDoesNot) {
    LoopbackServer server([](const Request& request, size_t) {
        if (request.request_line.find("/set") != std::string::npos) {
            const std::string path = request.request_line.find("/jar-absent/") != std::string::npos
                                         ? "/jar-absent/"
                                         : "/jar-present/";
            return http_reply(request, "200 OK",
                              {"Set-Cookie: a=1; Path=" + path, "Set-Cookie: b=2; Path=" + path},
                              "set");
        }
        return http_reply(request, "200 OK", {}, "next");
    });

    HttpFetchArgs absent;
    http_fetch(server.url("/jar-absent/set"), absent);
    EXPECT_FALSE(absent.cookies.has_value());
    EXPECT_EQ(absent.returned_cookies.str(), "a=1; b=2");
    HttpFetchArgs absent_next;
    http_fetch(server.url("/jar-absent/next"), absent_next);

    HttpFetchArgs present;
    present.cookies = Text();
    http_fetch(server.url("/jar-present/set"), present);
    EXPECT_EQ(present.cookies->str(), "a=1; b=2");
    EXPECT_EQ(present.returned_cookies.str(), "a=1;b=2");
    HttpFetchArgs present_next;
    http_fetch(server.url("/jar-present/next"), present_next);

    const std::vector<Request> requests = server.requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[0].header("Cookie"), "");
    // The order of the stored cookies is the store's own (libcurl sends the
    // newer first).
    EXPECT_THAT(split_cookies(requests[1].header("Cookie")),
                UnorderedElementsAreArray({"a=1", "b=2"}));
    EXPECT_EQ(requests[2].header("Cookie"), "");
    EXPECT_EQ(requests[3].header("Cookie"), "") << "present cookies are not stored";
}

TEST(FetchOverLoopbackRedirects, FollowedToTheFinalResponse) {
    LoopbackServer server([](const Request& request, size_t) {
        if (request.request_line.rfind("POST /form ", 0) == 0) {
            return http_reply(request, "303 See Other", {"Location: /done"}, "");
        }
        if (request.request_line.rfind("GET /start ", 0) == 0) {
            return http_reply(request, "302 Found", {"Location: /target"}, "moved");
        }
        return http_reply(request, "200 OK", {"X-Final: 1"}, "arrived");
    });

    HttpFetchArgs get;
    EXPECT_EQ(http_fetch(server.url("/start"), get).view(), "arrived");
    EXPECT_EQ(get.returned_headers.str(),
              "HTTP/1.1 200 OK\r\nX-Final: 1\r\nContent-Length: 7\r\n\r\n");

    HttpFetchArgs post;
    post.method = 1;
    post.post_text = "f=1";
    EXPECT_EQ(http_fetch(server.url("/form"), post).view(), "arrived");

    const std::vector<Request> requests = server.requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[1].request_line, "GET /target HTTP/1.1");
    EXPECT_EQ(requests[2].body, "f=1");
    // 303 turns the POST into a GET without body.
    EXPECT_EQ(requests[3].request_line, "GET /done HTTP/1.1");
    EXPECT_EQ(requests[3].body, "");
    EXPECT_EQ(requests[3].header("Content-Length"), "");
    // The routine's header lines go with the redirected request.
    EXPECT_EQ(requests[3].header("Referer"), server.url("/form"));
}

TEST(FetchOverLoopbackRedirects, NoRedirectReturnsThe3xxResponse) {
    LoopbackServer server([](const Request& request, size_t) {
        return http_reply(request, "302 Found", {"Location: /elsewhere"}, "moved");
    });
    HttpFetchArgs args;
    args.no_redirect = true;
    EXPECT_EQ(http_fetch(server.url("/start"), args).view(), "moved");
    EXPECT_EQ(args.returned_headers.str(),
              "HTTP/1.1 302 Found\r\nLocation: /elsewhere\r\nContent-Length: 5\r\n\r\n");
    EXPECT_EQ(server.request_count(), 1u);
}

TEST(FetchOverLoopbackRedirects, FileUrlIsNotFollowed) {
    LoopbackServer server([](const Request& request, size_t) {
        return http_reply(request, "302 Found", {"Location: file:///etc/hostname"}, "redir");
    });
    HttpFetchArgs args;
    EXPECT_EQ(http_fetch(server.url("/to-file"), args).view(), "redir");
    EXPECT_THAT(args.returned_headers.str(), HasSubstr("HTTP/1.1 302 Found\r\n"));
    EXPECT_EQ(server.request_count(), 1u);
}

TEST(FetchOverLoopbackRedirects, LoopEnds) {
    constexpr size_t SERVER_LIMIT = 100;
    LoopbackServer server([](const Request& request, size_t index) {
        if (index >= SERVER_LIMIT) {
            return http_reply(request, "508 Loop Detected", {}, "loop ended by the server");
        }
        return http_reply(request, "302 Found", {"Location: /loop"}, "");
    });
    HttpFetchArgs args;
    args.returned_headers = "before";
    const Bytes body = http_fetch(server.url("/loop"), args);
    const test::PlatformTraits& traits = test::platform_traits();
    if (traits.follows_redirects_without_limit) {
        // Wine's WinINet: the server's limit ends the loop.
        EXPECT_EQ(server.request_count(), SERVER_LIMIT + 1);
        EXPECT_EQ(body.view(), "loop ended by the server");
    } else {
        // The first request and the allowed redirects, then a failed fetch.
        EXPECT_EQ(server.request_count(), static_cast<size_t>(traits.max_redirects) + 1);
        EXPECT_TRUE(body.empty());
        EXPECT_EQ(args.returned_headers.str(), "before");
    }
}

TEST(FetchOverLoopbackFaults, ConnectionRefusedLeavesTheOutFields) {
    uint16_t port = 0;
    {
        // A port that was free a moment ago and has no listener now.
        test::Socket probe = test::listen_loopback(port);
        ASSERT_TRUE(probe.valid());
    }
    HttpFetchArgs args;
    args.cookies = Text("c=1");
    args.returned_cookies = "before";
    args.returned_headers = "before";
    const Bytes body = http_fetch("http://127.0.0.1:" + std::to_string(port) + "/", args);
    EXPECT_TRUE(body.empty());
    EXPECT_EQ(args.cookies->str(), "c=1");
    EXPECT_EQ(args.returned_cookies.str(), "before");
    EXPECT_EQ(args.returned_headers.str(), "before");
}

TEST(FetchOverLoopbackFaults, ControlByteUrlSendsNothing) {
    LoopbackServer server([](const Request& request, size_t) {
        return http_reply(request, "200 OK", {}, "should not be asked");
    });
    HttpFetchArgs args;
    args.returned_headers = "before";
    EXPECT_TRUE(http_fetch(server.url("/a\r\nX-Forged: 1"), args).empty());
    EXPECT_EQ(args.returned_headers.str(), "before");
    EXPECT_EQ(server.request_count(), 0u);
}

TEST(FetchOverLoopbackFaults, CloseInTheMiddleOfTheBodyKeepsWhatArrived) {
    const std::string part(3000, 'p');
    LoopbackServer server([&part](const Request&, size_t) {
        Reply reply;
        reply.bytes = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + part;
        reply.then = Reply::Then::close;
        return reply;
    });
    HttpFetchArgs args;
    EXPECT_EQ(http_fetch(server.url("/cut"), args).view(), part);
    EXPECT_EQ(args.returned_headers.str(), "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
}

TEST(FetchOverLoopbackFaults, StallEndsAfterTheReceiveTimeout) {
    const std::string part(1000, 's');
    constexpr int STALL_MS = 30000;
    LoopbackServer server([&part](const Request&, size_t) {
        Reply reply;
        reply.bytes = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + part;
        reply.then = Reply::Then::stall;
        reply.stall_ms = STALL_MS;
        return reply;
    });
    inet::LayerOptions options;
    options.receive_timeout_ms = 2000;
    const auto layer = inet::make_platform_layer(options);
    HttpFetchArgs args;
    const auto start = std::chrono::steady_clock::now();
    const Bytes body = http_fetch(*layer, server.url("/stall"), args);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(body.view(), part);
    EXPECT_GE(elapsed, std::chrono::milliseconds(1500));
    EXPECT_LT(elapsed, std::chrono::milliseconds(STALL_MS / 2)) << "returned before the server";
}

TEST(FetchOverLoopbackFaults, LargeHeaderBlockKeepsItsCookies) {
    std::vector<std::string> headers = {"Set-Cookie: first=1; Path=/big"};
    for (int i = 0; i < 100; ++i) {
        headers.push_back("X-Fill-" + std::to_string(i) + ": " + std::string(200, 'f'));
    }
    headers.push_back("Set-Cookie: last=2; Path=/big");
    LoopbackServer server([&headers](const Request& request, size_t) {
        return http_reply(request, "200 OK", headers, "big");
    });
    HttpFetchArgs args;
    args.cookies = Text();
    EXPECT_EQ(http_fetch(server.url("/big"), args).view(), "big");
    EXPECT_GT(args.returned_headers.str().size(), 20000u);
    const std::vector<Request> requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(args.returned_headers.str(),
              head_of(http_reply(requests[0], "200 OK", headers, "big")));
    EXPECT_EQ(args.returned_cookies.str(), "first=1;last=2");
    EXPECT_EQ(args.cookies->str(), "first=1; last=2");
}

TEST(FetchOverLoopbackProxy, PlainHttpGoesToTheProxyWithTheAbsoluteUrl) {
    LoopbackServer proxy([](const Request& request, size_t) {
        return http_reply(request, "200 OK", {}, "from the proxy");
    });
    HttpFetchArgs args;
    args.proxy = "127.0.0.1:" + std::to_string(proxy.port());
    // Port 9 has no listener: only the proxy can answer.
    EXPECT_EQ(http_fetch("http://127.0.0.1:9/via", args).view(), "from the proxy");
    const std::vector<Request> requests = proxy.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].request_line, "GET http://127.0.0.1:9/via HTTP/1.1");
    EXPECT_EQ(requests[0].header("Host"), "127.0.0.1:9");
    EXPECT_EQ(requests[0].header("Referer"), "http://127.0.0.1:9/via");
}

TEST(FetchOverLoopbackProxy, HttpsAsksTheBareProxyForATunnel) {
    LoopbackServer proxy([](const Request& request, size_t) {
        Reply reply = http_reply(request, "403 Forbidden", {}, "");
        reply.then = Reply::Then::close;
        return reply;
    });
    HttpFetchArgs args;
    args.proxy = "127.0.0.1:" + std::to_string(proxy.port());
    args.returned_headers = "before";
    EXPECT_TRUE(http_fetch("HTTPS://127.0.0.1:9/secret", args).empty());
    const std::vector<Request> requests = proxy.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].request_line, "CONNECT 127.0.0.1:9 HTTP/1.1");
    // libcurl keeps the request's own header lines inside the tunnel; Wine's
    // WinINet sends them to the proxy with the CONNECT as well.
    EXPECT_EQ(requests[0].header("Referer"),
              test::platform_traits().tunnel_request_carries_request_headers
                  ? "HTTPS://127.0.0.1:9/secret"
                  : "");
}

}  // namespace
}  // namespace qn
