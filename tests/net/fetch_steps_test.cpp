// http_fetch against a layer that records every call, for what cannot be
// seen on the wire: the arguments and flags given to the layer, the order
// in which handles are opened and closed (null ones included), the read
// loop and the header query.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "net/http_fetch.h"

namespace qn {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::string text_or_null(const char* text) {
    return text == nullptr ? "null" : "\"" + std::string(text) + "\"";
}

std::string hex(uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08X", value);
    return buffer;
}

// A read the layer answers: the bytes it delivers and whether it succeeds.
struct Block {
    std::string bytes;
    bool ok = true;
};

class RecordingLayer final : public inet::Layer {
public:
    // Behaviour.
    bool fail_open = false;
    bool fail_connect = false;
    bool fail_request = false;
    bool fail_send = false;
    bool fail_query = false;
    std::deque<Block> blocks;  // after these, reads deliver 0 bytes
    std::string response_headers = "HTTP/1.1 200 OK\r\n\r\n";
    std::optional<uint32_t> announced_length;  // the Content-Length the layer reports

    // What happened.
    std::vector<std::string> calls;
    std::string sent_headers;
    std::string sent_body;
    const void* sent_body_pointer = nullptr;
    bool body_pointer_was_null = true;
    std::vector<uint32_t> query_lengths;

    inet::Handle open(const char* agent, uint32_t access_type, const char* proxy,
                      const char* proxy_bypass, uint32_t flags) override {
        calls.push_back("open agent=" + text_or_null(agent) +
                        " access=" + std::to_string(access_type) + " proxy=" + text_or_null(proxy) +
                        " bypass=" + text_or_null(proxy_bypass) +
                        " flags=" + std::to_string(flags));
        return fail_open ? nullptr : handle(1);
    }
    inet::Handle connect(inet::Handle internet, const char* host, uint16_t port, const char* user,
                         const char* password, uint32_t service, uint32_t flags,
                         uintptr_t context) override {
        calls.push_back("connect " + name(internet) + " host=" + text_or_null(host) +
                        " port=" + std::to_string(port) + " user=" + text_or_null(user) +
                        " password=" + text_or_null(password) +
                        " service=" + std::to_string(service) + " flags=" + std::to_string(flags) +
                        " context=" + std::to_string(context));
        return fail_connect ? nullptr : handle(2);
    }
    inet::Handle open_request(inet::Handle connection, const char* verb, const char* object,
                              const char* version, const char* referrer, const char** accept_types,
                              uint32_t flags, uintptr_t context) override {
        calls.push_back("open_request " + name(connection) + " verb=" + text_or_null(verb) +
                        " object=" + text_or_null(object) + " version=" + text_or_null(version) +
                        " referrer=" + text_or_null(referrer) +
                        " accept=" + (accept_types == nullptr ? "null" : "list") +
                        " flags=" + hex(flags) + " context=" + std::to_string(context));
        return fail_request ? nullptr : handle(3);
    }
    bool send_request(inet::Handle request, const char* headers, uint32_t headers_length,
                      const void* body, uint32_t body_length) override {
        calls.push_back("send " + name(request) + " length=" + std::to_string(headers_length) +
                        " body_length=" + std::to_string(body_length));
        sent_headers.assign(headers == nullptr ? "" : headers, headers_length);
        body_pointer_was_null = body == nullptr;
        sent_body.assign(body == nullptr ? "" : static_cast<const char*>(body), body_length);
        return !fail_send;
    }
    bool read(inet::Handle request, void* buffer, uint32_t size, uint32_t* bytes_read) override {
        *bytes_read = 0;
        calls.push_back("read " + name(request) + " size=" + std::to_string(size));
        if (blocks.empty()) {
            return true;
        }
        const Block block = blocks.front();
        blocks.pop_front();
        std::memcpy(buffer, block.bytes.data(), block.bytes.size());
        *bytes_read = block.ok ? static_cast<uint32_t>(block.bytes.size()) : 0;
        return block.ok;
    }
    inet::QueryStatus query_info(inet::Handle request, uint32_t info_level, void* buffer,
                                 uint32_t* length, uint32_t* index) override {
        calls.push_back("query " + name(request) + " level=" + hex(info_level) +
                        " length=" + std::to_string(*length) +
                        " index=" + (index == nullptr ? "null" : "given"));
        if (info_level == (inet::QUERY_CONTENT_LENGTH | inet::QUERY_FLAG_NUMBER)) {
            if (!announced_length || *length < 4) {
                return inet::QueryStatus::failed;
            }
            std::memcpy(buffer, &*announced_length, 4);
            return inet::QueryStatus::ok;
        }
        query_lengths.push_back(*length);
        if (fail_query) {
            return inet::QueryStatus::failed;
        }
        const auto needed = static_cast<uint32_t>(response_headers.size() + 1);
        if (*length < needed) {
            *length = needed;
            return inet::QueryStatus::buffer_too_small;
        }
        std::memcpy(buffer, response_headers.c_str(), needed);
        *length = needed - 1;
        return inet::QueryStatus::ok;
    }
    bool close(inet::Handle handle) override {
        calls.push_back("close " + name(handle));
        return handle != nullptr;
    }

    // The handles this layer gives out: 1 internet, 2 connection, 3 request.
    static inet::Handle handle(uintptr_t id) { return reinterpret_cast<inet::Handle>(id); }
    static std::string name(inet::Handle handle) {
        switch (reinterpret_cast<uintptr_t>(handle)) {
            case 0:
                return "null";
            case 1:
                return "internet";
            case 2:
                return "connection";
            case 3:
                return "request";
            default:
                return "unknown";
        }
    }
};

constexpr const char* AGENT = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
constexpr const char* LISTING = "http://bbs.example.cn/forum-37-1.html";
const std::string MAIN_ROAD_BLOCK =
    "Accept: */*\r\nReferer: http://bbs.example.cn/forum-37-1.html\r\n"
    "Accept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded";

TEST(FetchSteps, MainRoadCallsInOrder) {
    RecordingLayer layer;
    layer.blocks = {{"<html>"}, {"</html>"}};
    layer.response_headers = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n";
    HttpFetchArgs args;
    const Bytes body = http_fetch(layer, LISTING, args);

    EXPECT_EQ(body.view(), "<html></html>");
    EXPECT_THAT(
        layer.calls,
        ElementsAre(
            std::string("open agent=\"") + AGENT + "\" access=1 proxy=null bypass=null flags=0",
            "connect internet host=\"bbs.example.cn\" port=80 user=null password=null service=3 "
            "flags=0 context=0",
            // RELOAD | NEED_FILE | IGNORE_REDIRECT_TO_HTTPS
            "open_request connection verb=\"GET\" object=\"/forum-37-1.html\" "
            "version=\"HTTP/1.1\" referrer=null accept=null flags=0x80004010 context=0",
            "send request length=" + std::to_string(MAIN_ROAD_BLOCK.size()) + " body_length=0",
            // The announced length, a hint for the accumulator's room.
            "query request level=0x20000005 length=4 index=null", "read request size=1024",
            "read request size=1024", "read request size=1024",
            "query request level=0x00000016 length=5000 index=null", "close request",
            "close connection", "close internet"));
    EXPECT_EQ(layer.sent_headers, MAIN_ROAD_BLOCK);
    // GET hands over a valid pointer to an empty body.
    EXPECT_FALSE(layer.body_pointer_was_null);
    EXPECT_EQ(args.returned_headers.str(), layer.response_headers);
    EXPECT_EQ(args.returned_cookies.str(), "");
}

struct FlagCase {
    const char* name;
    const char* url;
    bool cookies_present;
    bool no_redirect;
    const char* proxy;
    uint16_t port;
    uint32_t flags;
};

class FetchFlags : public ::testing::TestWithParam<FlagCase> {};

TEST_P(FetchFlags, OpenConnectAndRequestArguments) {
    const FlagCase& c = GetParam();
    RecordingLayer layer;
    HttpFetchArgs args;
    if (c.cookies_present) {
        args.cookies = Text();
    }
    args.no_redirect = c.no_redirect;
    args.proxy = c.proxy;
    http_fetch(layer, c.url, args);
    ASSERT_GE(layer.calls.size(), 3u);
    EXPECT_THAT(layer.calls[1], HasSubstr(" port=" + std::to_string(c.port) + " "));
    EXPECT_THAT(layer.calls[2], HasSubstr(" flags=" + hex(c.flags) + " "));
}

std::string open_call(const char* tail) {
    return std::string("open agent=\"") + AGENT + "\" " + tail;
}

INSTANTIATE_TEST_SUITE_P(
    Table, FetchFlags,
    ::testing::Values(
        FlagCase{"plain", "http://h.example/", false, false, "", 80, 0x80004010u},
        FlagCase{"cookies_present", "http://h.example/", true, false, "", 80, 0x80084010u},
        FlagCase{"no_redirect", "http://h.example/", false, true, "", 80, 0x80204010u},
        FlagCase{"https_capitals", "HTTPS://h.example/", false, false, "", 443, 0x80800010u},
        FlagCase{"https_port_cookies_no_redirect", "https://h.example:8443/", true, true, "", 8443,
                 0x80A80010u},
        FlagCase{"http_proxy", "http://h.example/", false, false, "127.0.0.1:3128", 80,
                 0x80004010u},
        FlagCase{"https_proxy", "Https://h.example/", false, false, "127.0.0.1:3128", 443,
                 0x80800010u}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FetchFlags, ProxyMeaningPerScheme) {
    const struct {
        const char* url;
        const char* proxy;
        std::string open;
    } cases[] = {
        {"http://h.example/", "", open_call("access=1 proxy=null bypass=null flags=0")},
        // Plain HTTP: the proxy serves http only.
        {"http://h.example/", "127.0.0.1:3128",
         open_call("access=3 proxy=\"http=127.0.0.1:3128\" bypass=\"\" flags=0")},
        // HTTPS in any case: the bare proxy.
        {"HTTPS://h.example/", "127.0.0.1:3128",
         open_call("access=3 proxy=\"127.0.0.1:3128\" bypass=\"\" flags=0")},
    };
    for (const auto& c : cases) {
        RecordingLayer layer;
        HttpFetchArgs args;
        args.proxy = c.proxy;
        http_fetch(layer, c.url, args);
        ASSERT_FALSE(layer.calls.empty());
        EXPECT_EQ(layer.calls[0], c.open) << c.url;
    }
}

struct AgentCase {
    const char* extra_headers;
    const char* agent;
};

class FetchUserAgent : public ::testing::TestWithParam<AgentCase> {};

TEST_P(FetchUserAgent, AgentGivenToOpenAndLineStillSent) {
    RecordingLayer layer;
    HttpFetchArgs args;
    args.extra_headers = GetParam().extra_headers;
    http_fetch(layer, "http://h.example/", args);
    ASSERT_FALSE(layer.calls.empty());
    EXPECT_THAT(layer.calls[0], HasSubstr(std::string("agent=\"") + GetParam().agent + "\""));
    if (*GetParam().extra_headers != '\0') {
        EXPECT_EQ(layer.sent_headers.rfind(GetParam().extra_headers, 0), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, FetchUserAgent,
    ::testing::Values(AgentCase{"", AGENT},
                      // Found ignoring case, not extracted: the text after the
                      // first colon of the whole header text.
                      AgentCase{"user-agent: X", "X"}, AgentCase{"User-Agent: A\r\nX-Test: b", "A"},
                      AgentCase{"X-Test: b\r\nUser-Agent:  Two Words  \r\nX-More: c", "Two Words"},
                      AgentCase{"X-Other: 1\r\nUSER-AGENT: Z", "1\r\nUSER-AGENT: Z"}));

TEST(FetchSteps, HeaderBlockAppendsOnlyWhatIsMissing) {
    const struct {
        const char* extra;
        std::optional<Text> cookies;
        const char* block;
    } cases[] = {
        {"Accept: text/html", std::nullopt,
         "Accept: text/html\r\nReferer: http://h.example/\r\nAccept-Language: zh-cn\r\n"
         "Content-Type: application/x-www-form-urlencoded"},
        // Searches are case-respecting substring searches anywhere.
        {"accept: a\r\nX-Referer: r\r\nContent-Type: text/plain", std::nullopt,
         "accept: a\r\nX-Referer: r\r\nContent-Type: text/plain\r\nAccept: */*\r\n"
         "Accept-Language: zh-cn"},
        {"", Text("s=1; t=2"),
         "Accept: */*\r\nReferer: http://h.example/\r\nAccept-Language: zh-cn\r\n"
         "Content-Type: application/x-www-form-urlencoded\r\nCookie: s=1; t=2"},
        // Present but empty: no Cookie line.
        {"", Text(),
         "Accept: */*\r\nReferer: http://h.example/\r\nAccept-Language: zh-cn\r\n"
         "Content-Type: application/x-www-form-urlencoded"},
    };
    for (const auto& c : cases) {
        RecordingLayer layer;
        HttpFetchArgs args;
        args.extra_headers = c.extra;
        args.cookies = c.cookies;
        http_fetch(layer, "http://h.example/", args);
        EXPECT_EQ(layer.sent_headers, c.block) << c.extra;
        EXPECT_EQ(args.extra_headers.str(), c.extra) << "the caller's text is left alone";
    }
}

TEST(FetchSteps, BodyPerMethod) {
    const struct {
        int32_t method;
        const char* text;
        const char* bytes;
        const char* verb;
        const char* sent;
        bool null_pointer;
    } cases[] = {
        {7, "a=1", "", "GET", "", false},      {-1, "", "zz", "GET", "", false},
        {0, "a=1", "zz", "GET", "", false},    {1, "a=1", "", "POST", "a=1", false},
        {1, "a=1", "zz", "POST", "zz", false}, {1, "", "", "POST", "", true},
        {2, "q=1", "", "HEAD", "q=1", false},  {2, "", "", "HEAD", "", true},
    };
    for (const auto& c : cases) {
        RecordingLayer layer;
        HttpFetchArgs args;
        args.method = c.method;
        args.post_text = c.text;
        args.post_bytes = Bytes(std::string_view(c.bytes));
        http_fetch(layer, "http://h.example/", args);
        ASSERT_GE(layer.calls.size(), 3u);
        EXPECT_THAT(layer.calls[2], HasSubstr(std::string("verb=\"") + c.verb + "\""));
        EXPECT_EQ(layer.sent_body, c.sent) << c.method;
        EXPECT_EQ(layer.body_pointer_was_null, c.null_pointer) << c.method;
        EXPECT_EQ(args.post_bytes.view(), c.bytes) << "the caller's bytes are left alone";
    }
}

TEST(FetchSteps, BytesWithZerosAreSentWhole) {
    RecordingLayer layer;
    HttpFetchArgs args;
    args.method = 1;
    args.post_bytes = Bytes(std::string_view("a\0b\0", 4));
    http_fetch(layer, "http://h.example/", args);
    EXPECT_EQ(layer.sent_body, std::string("a\0b\0", 4));
}

TEST(FetchSteps, ReadLoopEndsAtTheFirstZeroCount) {
    RecordingLayer layer;
    const std::string full(1024, 'x');
    layer.blocks = {{full}, {"y"}, {std::string("\0z", 2)}, {""}, {"never read"}};
    HttpFetchArgs args;
    const Bytes body = http_fetch(layer, "http://h.example/", args);
    EXPECT_EQ(body.view(), full + "y" + std::string("\0z", 2));
    EXPECT_EQ(layer.blocks.size(), 1u);
}

TEST(FetchSteps, AnnouncedLengthIsOnlyAHint) {
    for (const std::optional<uint32_t> announced :
         {std::optional<uint32_t>(), std::optional<uint32_t>(0u), std::optional<uint32_t>(3u),
          std::optional<uint32_t>(5000u), std::optional<uint32_t>(0xFFFFFFFFu)}) {
        RecordingLayer layer;
        layer.announced_length = announced;
        layer.blocks = {{"0123456789"}, {std::string(1024, 'a')}};
        HttpFetchArgs args;
        EXPECT_EQ(http_fetch(layer, "http://h.example/", args).view(),
                  "0123456789" + std::string(1024, 'a'));
    }
}

TEST(FetchSteps, FailedReadEndsTheBodyWithWhatArrived) {
    RecordingLayer layer;
    layer.blocks = {{"part"}, {"lost", false}, {"never read"}};
    HttpFetchArgs args;
    EXPECT_EQ(http_fetch(layer, "http://h.example/", args).view(), "part");
}

TEST(FetchSteps, NullHandlesCloseWhatWasOpenedAndLeaveTheOutFields) {
    const struct {
        void (*configure)(RecordingLayer&);
        std::vector<std::string> tail;
    } cases[] = {
        {[](RecordingLayer& l) { l.fail_open = true; }, {"close null"}},
        {[](RecordingLayer& l) { l.fail_connect = true; }, {"close null", "close internet"}},
        {[](RecordingLayer& l) { l.fail_request = true; },
         {"close null", "close connection", "close internet"}},
        // A request that got no answer is a failure as well.
        {[](RecordingLayer& l) { l.fail_send = true; },
         {"close request", "close connection", "close internet"}},
    };
    for (const auto& c : cases) {
        RecordingLayer layer;
        c.configure(layer);
        layer.blocks = {{"body"}};
        HttpFetchArgs args;
        args.cookies = Text("c=1");
        args.returned_cookies = "before";
        args.returned_headers = "before";
        args.extra_headers = "X-A: 1";
        EXPECT_TRUE(http_fetch(layer, "http://h.example/", args).empty());
        ASSERT_GE(layer.calls.size(), c.tail.size());
        const std::vector<std::string> tail(layer.calls.end() - static_cast<long>(c.tail.size()),
                                            layer.calls.end());
        EXPECT_EQ(tail, c.tail);
        for (const std::string& call : layer.calls) {
            EXPECT_EQ(call.rfind("read", 0), std::string::npos) << "nothing is read";
        }
        EXPECT_EQ(args.cookies, Text("c=1"));
        EXPECT_EQ(args.returned_cookies.str(), "before");
        EXPECT_EQ(args.returned_headers.str(), "before");
        EXPECT_EQ(args.extra_headers.str(), "X-A: 1");
    }
}

TEST(FetchSteps, ControlByteInTheUrlIsRefusedBeforeAnythingOpens) {
    for (const char* url : {"http://h.example/a\r\nX-Evil: 1", "http://h.example/\n",
                            "http://h.example/\t", "http://h.example/\x7F", "\x01http://h/"}) {
        RecordingLayer layer;
        HttpFetchArgs args;
        args.cookies = Text("c=1");
        args.returned_headers = "before";
        args.returned_cookies = "before";
        EXPECT_TRUE(http_fetch(layer, url, args).empty());
        EXPECT_TRUE(layer.calls.empty()) << layer.calls.front();
        EXPECT_EQ(args.cookies, Text("c=1"));
        EXPECT_EQ(args.returned_headers.str(), "before");
        EXPECT_EQ(args.returned_cookies.str(), "before");
    }
    // Bytes of 0x80 and above are two-byte characters, not control bytes.
    RecordingLayer layer;
    HttpFetchArgs args;
    http_fetch(layer, "http://h.example/\xC2\xDB\xCC\xB3", args);
    EXPECT_FALSE(layer.calls.empty());
}

TEST(FetchSteps, LargeHeaderBlockIsQueriedAgainWithTheSizeAsked) {
    RecordingLayer layer;
    std::string block = "HTTP/1.1 200 OK\r\nSet-Cookie: first=1; path=/\r\n";
    for (int i = 0; i < 100; ++i) {
        block += "X-Fill-" + std::to_string(i) + ": " + std::string(200, 'f') + "\r\n";
    }
    block += "set-cookie: last=2\r\n\r\n";
    layer.response_headers = block;
    HttpFetchArgs args;
    http_fetch(layer, "http://h.example/", args);
    ASSERT_EQ(layer.query_lengths.size(), 2u);
    EXPECT_EQ(layer.query_lengths[0], 5000u);
    EXPECT_GE(layer.query_lengths[1], block.size() + 1);
    EXPECT_EQ(args.returned_headers.str().size(), block.size());
    EXPECT_THAT(args.returned_headers.str(), HasSubstr("\r\nSet-Cookie: last=2\r\n"));
    EXPECT_EQ(args.returned_cookies.str(), "first=1; last=2");
}

TEST(FetchSteps, QueryThatWritesNothingLeavesTheBlanks) {
    RecordingLayer layer;
    layer.fail_query = true;
    HttpFetchArgs args;
    args.cookies = Text("c=1");
    http_fetch(layer, "http://h.example/", args);
    EXPECT_EQ(args.returned_headers, txt_spaces(5000));
    EXPECT_EQ(args.returned_cookies.str(), "");
    EXPECT_EQ(args.cookies, Text("c=1"));
}

struct CookieCase {
    const char* name;
    const char* headers;
    const char* returned_cookies;
};

class FetchResponseCookies : public ::testing::TestWithParam<CookieCase> {};

TEST_P(FetchResponseCookies, FirstPairOfEachLineInOrder) {
    RecordingLayer layer;
    layer.response_headers = GetParam().headers;
    HttpFetchArgs args;
    http_fetch(layer, "http://h.example/", args);
    EXPECT_EQ(args.returned_cookies.str(), GetParam().returned_cookies);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FetchResponseCookies,
    ::testing::Values(
        CookieCase{"two", "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: b=2\r\n\r\n",
                   "a=1; b=2"},
        CookieCase{"none", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", ""},
        CookieCase{"any_case", "HTTP/1.1 200 OK\r\nset-cookie: sid=1; path=/\r\n\r\n", "sid=1"},
        CookieCase{"no_semicolon", "HTTP/1.1 200 OK\r\nSET-COOKIE: k=v\r\n\r\n", "k=v"},
        // A line mentioning the name elsewhere counts as well, as written.
        CookieCase{"elsewhere", "HTTP/1.1 200 OK\r\nX-Note: set-cookie:x=1; y\r\n\r\n", "x=1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FetchSteps, SetCookieSpelledOneWayInTheReturnedHeaders) {
    RecordingLayer layer;
    layer.response_headers = "HTTP/1.1 200 OK\r\nset-cookie: sid=1; path=/\r\n\r\n";
    HttpFetchArgs args;
    http_fetch(layer, "http://h.example/", args);
    EXPECT_EQ(args.returned_headers.str(), "HTTP/1.1 200 OK\r\nSet-Cookie: sid=1; path=/\r\n\r\n");
}

TEST(FetchSteps, CookiesAbsentPresentEmptyAndPresent) {
    const char* headers = "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: b=2\r\n\r\n";
    {
        RecordingLayer layer;
        layer.response_headers = headers;
        HttpFetchArgs args;
        http_fetch(layer, "http://h.example/", args);
        EXPECT_FALSE(args.cookies.has_value());
        EXPECT_EQ(args.returned_cookies.str(), "a=1; b=2");
    }
    {
        RecordingLayer layer;
        layer.response_headers = headers;
        HttpFetchArgs args;
        args.cookies = Text();
        http_fetch(layer, "http://h.example/", args);
        EXPECT_EQ(args.cookies, Text("a=1; b=2"));
        EXPECT_EQ(args.returned_cookies.str(), "a=1;b=2");
    }
    {
        RecordingLayer layer;
        layer.response_headers = headers;
        HttpFetchArgs args;
        args.cookies = Text("b=0; c=3");
        http_fetch(layer, "http://h.example/", args);
        EXPECT_EQ(args.cookies, Text("a=1; b=2; c=3"));
    }
}

TEST(HeaderValue, TrimmedTextAfterTheFirstColon) {
    EXPECT_EQ(header_value("User-Agent:  X Y ").str(), "X Y");
    EXPECT_EQ(header_value("a: b: c").str(), "b: c");
    EXPECT_EQ(header_value("no colon").str(), "");
    EXPECT_EQ(header_value("").str(), "");
    EXPECT_EQ(header_value("k:").str(), "");
}

}  // namespace
}  // namespace qn
