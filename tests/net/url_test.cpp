#include <gtest/gtest.h>

#include <optional>

#include "net/url.h"

namespace qn {
namespace {

struct UrlCase {
    const char* url;
    const char* host;
    const char* host_with_port;
    int32_t port;
    const char* path;
};

class UrlParts : public ::testing::TestWithParam<UrlCase> {};

TEST_P(UrlParts, HostPortAndPath) {
    const UrlCase& c = GetParam();
    EXPECT_EQ(url_host(c.url).str(), c.host);
    EXPECT_EQ(url_host(c.url, false, true).str(), c.host_with_port);
    EXPECT_EQ(url_port(c.url), c.port);
    EXPECT_EQ(url_path(c.url).str(), c.path);
}

INSTANTIATE_TEST_SUITE_P(
    Table, UrlParts,
    ::testing::Values(
        UrlCase{"http://news.example.com/forum-37-1.html", "news.example.com", "news.example.com",
                80, "/forum-37-1.html"},
        UrlCase{"HTTPS://Example.COM", "example.com", "example.com", 443, "/"},
        UrlCase{"http://news.example.com:8080/a/b?c=d#e", "news.example.com",
                "news.example.com:8080", 8080, "/a/b?c=d#e"},
        // The path keeps the URL's own letter case.
        UrlCase{"http://Host.example/Some/PATH?Q=1", "host.example", "host.example", 80,
                "/Some/PATH?Q=1"},
        UrlCase{"news.example.com/a", "news.example.com", "news.example.com", 80, "/a"},
        // Nothing cuts at "?".
        UrlCase{"http://x.com?a=1", "x.com?a=1", "x.com?a=1", 80, "/"},
        // The first "http://" anywhere is the one used.
        UrlCase{"x.com/?u=http://y.org/", "y.org", "y.org", 80, "/"},
        // The empty text after ":" reads as 0.
        UrlCase{"http://x.com:/", "x.com", "x.com:", 0, "/"},
        UrlCase{"https://h.example:8443/p", "h.example", "h.example:8443", 8443, "/p"},
        UrlCase{"", "", "", 80, "/"}));

struct LabelCase {
    const char* url;
    bool main_domain;
    bool keep_port;
    std::optional<int32_t> levels;
    const char* host;
};

class UrlHostOptions : public ::testing::TestWithParam<LabelCase> {};

TEST_P(UrlHostOptions, Host) {
    const LabelCase& c = GetParam();
    EXPECT_EQ(url_host(c.url, c.main_domain, c.keep_port, c.levels).str(), c.host);
}

constexpr const char* FOUR_LABELS = "http://a.sub.example.com/x";

INSTANTIATE_TEST_SUITE_P(
    Table, UrlHostOptions,
    ::testing::Values(
        // Default mode with main_domain.
        LabelCase{"http://a.b.example.com/", true, false, std::nullopt, "example.com"},
        LabelCase{"http://localhost/", true, false, std::nullopt, "localhost"},
        LabelCase{"http://a.b.example.com:81/", true, true, std::nullopt, "example.com:81"},
        // Label mode: the presence of levels selects it, whatever its value.
        LabelCase{FOUR_LABELS, false, false, 0, "example.com"},
        LabelCase{FOUR_LABELS, true, false, 0, "com"},
        LabelCase{FOUR_LABELS, false, false, 1, "sub.example.com"},
        LabelCase{FOUR_LABELS, true, false, 1, "example.com"},
        LabelCase{FOUR_LABELS, false, false, 2, "a.sub.example.com"},
        LabelCase{FOUR_LABELS, false, false, 7, "a.sub.example.com"},
        LabelCase{FOUR_LABELS, true, false, 2, "sub.example.com"},
        LabelCase{FOUR_LABELS, true, false, 3, "a.sub.example.com"},
        LabelCase{FOUR_LABELS, false, false, -4, "example.com"},
        // The port counts as part of the last label and is cut off after.
        LabelCase{"https://news.example.com:8443/", false, false, 0, "example.com"},
        LabelCase{"https://news.example.com:8443/", false, true, 0, "example.com:8443"},
        // A final "." is never counted.
        LabelCase{"http://example.com./", false, false, 0, "example.com."},
        // Every scheme marker is removed, wherever it stands.
        LabelCase{"x.y.z.org/http://", false, false, 0, "z.org"}));

}  // namespace
}  // namespace qn
