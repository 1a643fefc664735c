// The inet layer on libcurl, behaving as WinINet does where http_fetch leaves
// the work to the platform: the request line "VERB path HTTP/1.1" with the
// path as given, the agent and the header block as given and no header of
// libcurl's own that WinINet would not send, redirects followed by this file
// (to http and https only, a bounded number of times), the WinINet proxy list
// syntax, no proxy from the environment, a per-process in-memory cookie store
// unless the request says no cookies, certificates verified, and a connect
// and a receive timeout (no byte for that long).
//
// The handles mirror WinINet's: the internet handle keeps the agent and the
// proxy settings, the connection handle the host and port, the request handle
// the verb, path and flags. Sending starts the transfer and returns once the
// final response's headers are in; reading then pulls the body from libcurl
// as it arrives, so the body is never held twice.

#include <curl/curl.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "net/inet.h"

namespace qn::inet {

struct HandleObject {
    virtual ~HandleObject() = default;
};

namespace {

constexpr long DEFAULT_CONNECT_TIMEOUT_MS = 60000;
constexpr long DEFAULT_RECEIVE_TIMEOUT_MS = 30000;
constexpr int MAX_REDIRECTS = 20;
constexpr long RECEIVE_BUFFER = 64 * 1024;

struct EasyCleanup {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct MultiCleanup {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct SlistCleanup {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct UrlCleanup {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
struct CurlFree {
    void operator()(char* text) const { curl_free(text); }
};
using EasyPtr = std::unique_ptr<CURL, EasyCleanup>;
using MultiPtr = std::unique_ptr<CURLM, MultiCleanup>;
using SlistPtr = std::unique_ptr<curl_slist, SlistCleanup>;
using UrlPtr = std::unique_ptr<CURLU, UrlCleanup>;
using CurlText = std::unique_ptr<char, CurlFree>;

void ensure_curl_initialised() {
    static const bool initialised = [] {
        return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    }();
    (void)initialised;
}

bool iequals(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool istarts_with(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && iequals(text.substr(0, prefix.size()), prefix);
}

std::string_view trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// Splits at any of `separators`, dropping empty pieces.
std::vector<std::string_view> split_any(std::string_view text, std::string_view separators) {
    std::vector<std::string_view> pieces;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = text.find_first_of(separators, start);
        const std::string_view piece = text.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (!piece.empty()) {
            pieces.push_back(piece);
        }
        if (end == std::string_view::npos) {
            break;
        }
        start = end + 1;
    }
    return pieces;
}

// The one process-wide cookie store that stands for the platform's own
// cookie handling.
class CookieStore {
public:
    CookieStore() : share_(curl_share_init()) {
        curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, &CookieStore::lock);
        curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, &CookieStore::unlock);
        curl_share_setopt(share_, CURLSHOPT_USERDATA, this);
        curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
    }
    ~CookieStore() { curl_share_cleanup(share_); }
    CookieStore(const CookieStore&) = delete;
    CookieStore& operator=(const CookieStore&) = delete;

    CURLSH* share() const noexcept { return share_; }

private:
    static void lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
        static_cast<CookieStore*>(self)->mutexes_.at(static_cast<size_t>(data)).lock();
    }
    static void unlock(CURL*, curl_lock_data data, void* self) {
        static_cast<CookieStore*>(self)->mutexes_.at(static_cast<size_t>(data)).unlock();
    }

    CURLSH* share_;
    std::array<std::mutex, CURL_LOCK_DATA_LAST> mutexes_;
};

CookieStore& cookie_store() {
    static CookieStore store;
    return store;
}

struct Session {
    std::optional<std::string> agent;
    bool use_proxy = false;
    std::string proxy_list;
    std::string proxy_bypass;
};

struct InternetObject : HandleObject {
    std::shared_ptr<const Session> session;
};

struct ConnectionObject : HandleObject {
    std::shared_ptr<const Session> session;
    std::string host;
    uint16_t port = 0;
};

// The proxy of a WinINet proxy list for one scheme: an entry "scheme=proxy"
// for that scheme, else an entry without "=", else none.
std::string proxy_for(const std::string& list, std::string_view scheme) {
    std::string bare;
    for (const std::string_view entry : split_any(list, " ;\t")) {
        const size_t eq = entry.find('=');
        if (eq == std::string_view::npos) {
            if (bare.empty()) {
                bare = std::string(entry);
            }
        } else if (iequals(entry.substr(0, eq), scheme)) {
            return std::string(entry.substr(eq + 1));
        }
    }
    return bare;
}

// A host matching the bypass list goes direct: an exact name, a "*" prefix
// pattern, or "<local>" for a name without a dot.
bool bypasses_proxy(const std::string& bypass, std::string_view host) {
    for (const std::string_view entry : split_any(bypass, " ;\t")) {
        if (iequals(entry, "<local>")) {
            if (host.find('.') == std::string_view::npos) {
                return true;
            }
        } else if (entry.front() == '*') {
            const std::string_view suffix = entry.substr(1);
            if (host.size() >= suffix.size() &&
                iequals(host.substr(host.size() - suffix.size()), suffix)) {
                return true;
            }
        } else if (iequals(entry, host)) {
            return true;
        }
    }
    return false;
}

// Host names, IPv4 addresses and bracketed IPv6 addresses; anything else
// would be read by the URL parser as more than a host.
bool plausible_host(std::string_view host) {
    if (host.empty()) {
        return false;
    }
    return std::all_of(host.begin(), host.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return std::isalnum(byte) || c == '.' || c == '-' || c == '_' || c == '[' || c == ']' ||
               c == ':' || byte >= 0x80;
    });
}

// WinINet escapes blanks in the object path and sends everything else as
// given, the fragment included.
std::string request_target(std::string_view path) {
    std::string target;
    target.reserve(path.size());
    for (const char c : path) {
        if (c == ' ') {
            target += "%20";
        } else {
            target += c;
        }
    }
    return target;
}

// Percent-escapes the bytes a URL parser may refuse (bytes of 0x80 and above,
// control bytes, blanks).
std::string url_safe(std::string_view path) {
    static constexpr char HEX[] = "0123456789ABCDEF";
    std::string safe;
    safe.reserve(path.size());
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F) {
            safe += '%';
            safe += HEX[byte >> 4];
            safe += HEX[byte & 0x0F];
        } else {
            safe += c;
        }
    }
    return safe;
}

bool is_redirect(long status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// One request with its redirects, driven by a multi handle so that the body
// can be pulled block by block.
class Transfer {
public:
    Transfer(const Session& session, const LayerOptions& options, std::string host, uint16_t port,
             std::string verb, std::string path, uint32_t flags)
        : session_(session),
          options_(options),
          host_(std::move(host)),
          port_(port),
          verb_(std::move(verb)),
          path_(std::move(path)),
          flags_(flags) {}

    ~Transfer() {
        if (multi_ && easy_) {
            curl_multi_remove_handle(multi_.get(), easy_.get());
        }
    }
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    bool send(std::string_view headers, std::string_view body) {
        if (easy_ || !plausible_host(host_)) {
            return false;
        }
        easy_.reset(curl_easy_init());
        multi_.reset(curl_multi_init());
        if (!easy_ || !multi_) {
            return false;
        }
        body_.assign(body);
        if (!configure(headers)) {
            return false;
        }
        const bool secure = (flags_ & FLAG_SECURE) != 0;
        const uint16_t port = port_ != 0 ? port_ : (secure ? 443 : 80);
        const std::string origin =
            std::string(secure ? "https://" : "http://") + host_ + ":" + std::to_string(port);
        target_ = request_target(path_);
        // libcurl's cookie store matches cookies against the URL's path, so
        // the URL carries the path as well, in a form its parser accepts; the
        // request line uses the target as it is.
        url_ = origin + (target_.empty() || target_.front() != '/' ? "/" : "") +
               url_safe(target_.substr(0, target_.find('#')));
        if (!proxy_for_request(secure, host_).empty() && !secure) {
            // A proxy gets the absolute URL in the request line.
            const bool default_port = port == 80;
            target_ =
                "http://" + host_ + (default_port ? "" : ":" + std::to_string(port)) + target_;
        }
        if (!start(url_, target_.c_str())) {
            return false;
        }
        for (int redirects = 0;; ++redirects) {
            while (!final_headers_ && !done_) {
                drive();
            }
            if (final_headers_) {
                return true;
            }
            if (!redirecting_ || result_ != CURLE_OK || redirects == MAX_REDIRECTS) {
                return false;
            }
            follow_redirect();
            if (!start(next_url_, nullptr)) {
                return false;
            }
        }
    }

    bool read(void* buffer, uint32_t size, uint32_t* bytes_read) {
        if (!final_headers_) {
            return false;
        }
        for (;;) {
            if (pending_pos_ < pending_.size()) {
                const size_t n = std::min<size_t>(size, pending_.size() - pending_pos_);
                std::memcpy(buffer, pending_.data() + pending_pos_, n);
                pending_pos_ += n;
                *bytes_read = static_cast<uint32_t>(n);
                return true;
            }
            pending_.clear();
            pending_pos_ = 0;
            if (paused_) {
                // Takes the block libcurl held back; it arrives through
                // on_body before this call returns.
                paused_ = false;
                curl_easy_pause(easy_.get(), CURLPAUSE_CONT);
                continue;
            }
            if (done_) {
                return result_ == CURLE_OK;
            }
            drive();
        }
    }

    const std::string& header_block() const noexcept { return block_; }

    // The final response's Content-Length, when it gives one that fits.
    std::optional<uint32_t> content_length() const {
        curl_off_t length = -1;
        if (curl_easy_getinfo(easy_.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) !=
                CURLE_OK ||
            length < 0 || length > static_cast<curl_off_t>(UINT32_MAX)) {
            return std::nullopt;
        }
        return static_cast<uint32_t>(length);
    }
    bool answered() const noexcept { return final_headers_; }

private:
    bool configure(std::string_view headers) {
        CURL* easy = easy_.get();
        // The caller's lines, then empty entries that keep libcurl from
        // adding headers of its own that WinINet does not send.
        curl_slist* list = nullptr;
        for (const std::string_view line : split_lines(headers)) {
            list = curl_slist_append(list, std::string(line).c_str());
        }
        for (const char* own : {"Accept:", "Expect:", "Content-Type:", "Proxy-Connection:"}) {
            list = curl_slist_append(list, own);
        }
        header_list_.reset(list);
        if (!list) {
            return false;
        }
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, list);
        curl_easy_setopt(easy, CURLOPT_USERAGENT,
                         session_.agent ? session_.agent->c_str() : static_cast<char*>(nullptr));
        curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
        curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, RECEIVE_BUFFER);
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
        if (!options_.ca_file.empty()) {
            curl_easy_setopt(easy, CURLOPT_CAINFO, options_.ca_file.c_str());
        }
        curl_easy_setopt(
            easy, CURLOPT_CONNECTTIMEOUT_MS,
            static_cast<long>(options_.connect_timeout_ms.value_or(DEFAULT_CONNECT_TIMEOUT_MS)));
        // The receive timeout is kept by on_progress.
        receive_timeout_ = std::chrono::milliseconds(
            options_.receive_timeout_ms.value_or(DEFAULT_RECEIVE_TIMEOUT_MS));
        curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &Transfer::on_progress);
        curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);

        // Proxies come from the internet handle only, never from the
        // environment; start() picks the one for each request's scheme.
        curl_easy_setopt(easy, CURLOPT_NOPROXY, "");
        curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);

        if ((flags_ & FLAG_NO_COOKIES) == 0) {
            curl_easy_setopt(easy, CURLOPT_SHARE, cookie_store().share());
            curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
        }

        curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Transfer::on_header);
        curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Transfer::on_body);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
        return true;
    }

    static std::vector<std::string_view> split_lines(std::string_view headers) {
        std::vector<std::string_view> lines;
        for (std::string_view line : split_any(headers, "\n")) {
            if (!line.empty() && line.back() == '\r') {
                line.remove_suffix(1);
            }
            if (!trim(line).empty()) {
                lines.push_back(line);
            }
        }
        return lines;
    }

    // The proxy of the WinINet proxy list for a request to `host` over
    // https or http, or the empty text for a direct connection.
    std::string proxy_for_request(bool secure, std::string_view host) const {
        if (!session_.use_proxy || bypasses_proxy(session_.proxy_bypass, host)) {
            return {};
        }
        return proxy_for(session_.proxy_list, secure ? "https" : "http");
    }

    // Sets the proxy, method and body for one request and starts it.
    bool start(const std::string& url, const char* target) {
        CURL* easy = easy_.get();
        UrlPtr parsed(curl_url());
        char* host_raw = nullptr;
        if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK ||
            curl_url_get(parsed.get(), CURLUPART_HOST, &host_raw, 0) != CURLUE_OK) {
            return false;
        }
        const CurlText host(host_raw);
        proxy_ = proxy_for_request(istarts_with(url, "https://"), host.get());
        curl_easy_setopt(easy, CURLOPT_PROXY, proxy_.c_str());
        curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
        curl_easy_setopt(easy, CURLOPT_REQUEST_TARGET, target);
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, static_cast<char*>(nullptr));
        if (verb_ == "GET") {
            curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
        } else {
            // Every other verb carries its body, an empty one included. A
            // HEAD is sent like a POST under its own name; its answer has no
            // body, which on_header tells libcurl by ending the transfer.
            curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE,
                             static_cast<curl_off_t>(body_.size()));
            curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body_.data());
            if (verb_ != "POST") {
                curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, verb_.c_str());
            }
        }
        building_.clear();
        block_.clear();
        location_.clear();
        status_ = 0;
        final_headers_ = false;
        redirecting_ = false;
        done_ = false;
        result_ = CURLE_OK;
        ended_after_headers_ = false;
        paused_ = false;
        downloaded_ = 0;
        uploaded_ = 0;
        last_progress_ = std::chrono::steady_clock::now();
        pending_.clear();
        pending_pos_ = 0;
        current_url_ = url;
        return curl_multi_add_handle(multi_.get(), easy) == CURLM_OK;
    }

    // Runs libcurl until something happens or a second has passed.
    void drive() {
        int running = 0;
        const size_t before = pending_.size();
        const bool headers_before = final_headers_;
        if (curl_multi_perform(multi_.get(), &running) != CURLM_OK) {
            done_ = true;
            result_ = CURLE_FAILED_INIT;
            return;
        }
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi_.get(), &queued)) {
            if (message->msg == CURLMSG_DONE) {
                done_ = true;
                // A response without a body was ended on purpose after its
                // headers.
                result_ = ended_after_headers_ ? CURLE_OK : message->data.result;
            }
        }
        if (done_) {
            curl_multi_remove_handle(multi_.get(), easy_.get());
            return;
        }
        if (pending_.size() == before && final_headers_ == headers_before) {
            curl_multi_poll(multi_.get(), nullptr, 0, 1000, nullptr);
        }
    }

    // Where a redirect leads: the Location resolved against the current URL,
    // for http and https only.
    std::optional<std::string> redirect_target() const {
        if (location_.empty()) {
            return std::nullopt;
        }
        UrlPtr url(curl_url());
        if (!url || curl_url_set(url.get(), CURLUPART_URL, current_url_.c_str(), 0) != CURLUE_OK ||
            curl_url_set(url.get(), CURLUPART_URL, location_.c_str(),
                         CURLU_NON_SUPPORT_SCHEME | CURLU_ALLOW_SPACE | CURLU_URLENCODE) !=
                CURLUE_OK) {
            return std::nullopt;
        }
        char* scheme_raw = nullptr;
        if (curl_url_get(url.get(), CURLUPART_SCHEME, &scheme_raw, 0) != CURLUE_OK) {
            return std::nullopt;
        }
        const CurlText scheme(scheme_raw);
        if (!iequals(scheme.get(), "http") && !iequals(scheme.get(), "https")) {
            return std::nullopt;
        }
        char* full_raw = nullptr;
        if (curl_url_get(url.get(), CURLUPART_URL, &full_raw, 0) != CURLUE_OK) {
            return std::nullopt;
        }
        const CurlText full(full_raw);
        return std::string(full.get());
    }

    // 301, 302 and 303 turn a request other than GET and HEAD into a GET
    // without body; 307 and 308 repeat it as it was.
    void follow_redirect() {
        if ((status_ == 301 || status_ == 302 || status_ == 303) && verb_ != "GET" &&
            verb_ != "HEAD") {
            verb_ = "GET";
            body_.clear();
        }
    }

    // Ends the transfer once the connection has been open for the receive
    // timeout without a byte going either way.
    static int on_progress(void* self_raw, curl_off_t, curl_off_t downloaded, curl_off_t,
                           curl_off_t uploaded) {
        auto* self = static_cast<Transfer*>(self_raw);
        const auto now = std::chrono::steady_clock::now();
        curl_off_t connected = 0;
        curl_easy_getinfo(self->easy_.get(), CURLINFO_PRETRANSFER_TIME_T, &connected);
        if (connected == 0 || downloaded != self->downloaded_ || uploaded != self->uploaded_) {
            self->downloaded_ = downloaded;
            self->uploaded_ = uploaded;
            self->last_progress_ = now;
            return 0;
        }
        return now - self->last_progress_ > self->receive_timeout_ ? 1 : 0;
    }

    static size_t on_header(char* data, size_t size, size_t count, void* self_raw) {
        auto* self = static_cast<Transfer*>(self_raw);
        self->last_progress_ = std::chrono::steady_clock::now();
        const size_t length = size * count;
        if (self->final_headers_) {
            return length;  // trailers after a chunked body are not headers
        }
        std::string_view line(data, length);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
            line.remove_suffix(1);
        }
        if (istarts_with(line, "HTTP/")) {
            // A new response begins (an interim 1xx or a redirect came first).
            self->building_.assign(line);
            self->building_ += "\r\n";
            self->location_.clear();
            self->status_ = 0;
            const size_t blank = line.find(' ');
            if (blank != std::string_view::npos) {
                self->status_ = std::atol(std::string(line.substr(blank + 1, 3)).c_str());
            }
        } else if (line.empty()) {
            self->end_of_headers();
            if (self->status_ >= 200 && self->verb_ == "HEAD") {
                // The answer to a HEAD has no body whatever its headers say.
                self->ended_after_headers_ = true;
                return 0;
            }
        } else {
            self->building_.append(line);
            self->building_ += "\r\n";
            if (istarts_with(line, "Location:")) {
                self->location_ = std::string(trim(line.substr(9)));
            }
        }
        return length;
    }

    void end_of_headers() {
        if (status_ < 200) {
            return;
        }
        if (is_redirect(status_) && (flags_ & FLAG_NO_AUTO_REDIRECT) == 0) {
            if (const auto next = redirect_target()) {
                next_url_ = *next;
                redirecting_ = true;
                return;
            }
        }
        block_ = std::move(building_);
        block_ += "\r\n";
        building_.clear();
        final_headers_ = true;
    }

    static size_t on_body(char* data, size_t size, size_t count, void* self_raw) {
        auto* self = static_cast<Transfer*>(self_raw);
        const size_t length = size * count;
        self->last_progress_ = std::chrono::steady_clock::now();
        // The body of a redirect that is followed is dropped.
        if (!self->final_headers_) {
            return length;
        }
        // One block at a time: while the reader has not taken the last one,
        // libcurl holds the next and stops receiving, so the body is never
        // buffered here beyond one receive block.
        if (self->pending_pos_ < self->pending_.size()) {
            self->paused_ = true;
            return CURL_WRITEFUNC_PAUSE;
        }
        self->pending_.append(data, length);
        return length;
    }

    const Session& session_;
    const LayerOptions& options_;
    std::string host_;
    uint16_t port_;
    std::string verb_;
    std::string path_;
    uint32_t flags_;

    EasyPtr easy_;
    MultiPtr multi_;
    SlistPtr header_list_;
    std::string body_;
    std::string proxy_;
    std::string url_;
    std::string target_;
    std::string current_url_;
    std::string next_url_;

    std::string building_;
    std::string block_;
    std::string location_;
    long status_ = 0;
    bool final_headers_ = false;
    bool redirecting_ = false;
    bool ended_after_headers_ = false;
    bool paused_ = false;
    bool done_ = false;
    CURLcode result_ = CURLE_OK;

    std::chrono::milliseconds receive_timeout_{DEFAULT_RECEIVE_TIMEOUT_MS};
    std::chrono::steady_clock::time_point last_progress_;
    curl_off_t downloaded_ = 0;
    curl_off_t uploaded_ = 0;

    std::string pending_;
    size_t pending_pos_ = 0;
};

struct RequestObject : HandleObject {
    std::shared_ptr<const Session> session;
    std::unique_ptr<Transfer> transfer;
};

class CurlLayer final : public Layer {
public:
    explicit CurlLayer(LayerOptions options) : options_(std::move(options)) {
        ensure_curl_initialised();
    }

    Handle open(const char* agent, uint32_t access_type, const char* proxy,
                const char* proxy_bypass, uint32_t) override {
        auto session = std::make_shared<Session>();
        if (agent != nullptr) {
            session->agent = agent;
        }
        if (access_type == OPEN_TYPE_PROXY) {
            if (proxy == nullptr || *proxy == '\0') {
                return nullptr;
            }
            session->use_proxy = true;
            session->proxy_list = proxy;
            session->proxy_bypass = proxy_bypass != nullptr ? proxy_bypass : "";
        } else if (access_type != OPEN_TYPE_DIRECT) {
            return nullptr;
        }
        auto object = std::make_unique<InternetObject>();
        object->session = std::move(session);
        return keep(std::move(object));
    }

    Handle connect(Handle internet, const char* host, uint16_t port, const char*, const char*,
                   uint32_t service, uint32_t, uintptr_t) override {
        const auto* parent = find<InternetObject>(internet);
        if (parent == nullptr || host == nullptr || *host == '\0' || service != SERVICE_HTTP) {
            return nullptr;
        }
        auto object = std::make_unique<ConnectionObject>();
        object->session = parent->session;
        object->host = host;
        object->port = port;
        return keep(std::move(object));
    }

    Handle open_request(Handle connection, const char* verb, const char* object_path, const char*,
                        const char*, const char**, uint32_t flags, uintptr_t) override {
        const auto* parent = find<ConnectionObject>(connection);
        if (parent == nullptr) {
            return nullptr;
        }
        auto object = std::make_unique<RequestObject>();
        object->session = parent->session;
        object->transfer = std::make_unique<Transfer>(
            *object->session, options_, parent->host, parent->port,
            verb != nullptr && *verb != '\0' ? verb : "GET",
            object_path != nullptr && *object_path != '\0' ? object_path : "/", flags);
        return keep(std::move(object));
    }

    bool send_request(Handle request, const char* headers, uint32_t headers_length,
                      const void* body, uint32_t body_length) override {
        auto* object = find<RequestObject>(request);
        if (object == nullptr) {
            return false;
        }
        const std::string_view header_text =
            headers != nullptr ? std::string_view(headers, headers_length) : std::string_view();
        const std::string_view body_bytes =
            body != nullptr ? std::string_view(static_cast<const char*>(body), body_length)
                            : std::string_view();
        return object->transfer->send(header_text, body_bytes);
    }

    bool read(Handle request, void* buffer, uint32_t size, uint32_t* bytes_read) override {
        if (bytes_read == nullptr) {
            return false;
        }
        *bytes_read = 0;
        auto* object = find<RequestObject>(request);
        return object != nullptr && object->transfer->read(buffer, size, bytes_read);
    }

    QueryStatus query_info(Handle request, uint32_t info_level, void* buffer, uint32_t* length,
                           uint32_t*) override {
        auto* object = find<RequestObject>(request);
        if (object == nullptr || length == nullptr || !object->transfer->answered()) {
            return QueryStatus::failed;
        }
        if (info_level == (QUERY_CONTENT_LENGTH | QUERY_FLAG_NUMBER)) {
            const std::optional<uint32_t> announced = object->transfer->content_length();
            if (!announced) {
                return QueryStatus::failed;
            }
            if (buffer == nullptr || *length < sizeof(uint32_t)) {
                *length = sizeof(uint32_t);
                return QueryStatus::buffer_too_small;
            }
            std::memcpy(buffer, &*announced, sizeof(uint32_t));
            *length = sizeof(uint32_t);
            return QueryStatus::ok;
        }
        if (info_level != QUERY_RAW_HEADERS_CRLF) {
            return QueryStatus::failed;
        }
        const std::string& block = object->transfer->header_block();
        const auto needed = static_cast<uint32_t>(block.size() + 1);
        if (buffer == nullptr || *length < needed) {
            *length = needed;
            return QueryStatus::buffer_too_small;
        }
        std::memcpy(buffer, block.data(), block.size());
        static_cast<char*>(buffer)[block.size()] = '\0';
        *length = static_cast<uint32_t>(block.size());
        return QueryStatus::ok;
    }

    bool close(Handle handle) override {
        std::unique_ptr<HandleObject> closed;
        {
            const std::lock_guard<std::mutex> guard(mutex_);
            const auto it = handles_.find(handle);
            if (it == handles_.end()) {
                return false;
            }
            closed = std::move(it->second);
            handles_.erase(it);
        }
        return true;
    }

private:
    Handle keep(std::unique_ptr<HandleObject> object) {
        Handle handle = object.get();
        const std::lock_guard<std::mutex> guard(mutex_);
        handles_.emplace(handle, std::move(object));
        return handle;
    }

    template <class T>
    T* find(Handle handle) {
        const std::lock_guard<std::mutex> guard(mutex_);
        const auto it = handles_.find(handle);
        return it == handles_.end() ? nullptr : dynamic_cast<T*>(it->second.get());
    }

    LayerOptions options_;
    std::mutex mutex_;
    std::unordered_map<Handle, std::unique_ptr<HandleObject>> handles_;
};

}  // namespace

Layer& platform_layer() {
    static CurlLayer layer{LayerOptions{}};
    return layer;
}

std::unique_ptr<Layer> make_platform_layer(const LayerOptions& options) {
    return std::make_unique<CurlLayer>(options);
}

}  // namespace qn::inet
