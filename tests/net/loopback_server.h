// An HTTP server on 127.0.0.1 for the tests: it records every raw request
// and answers each as the test's handler says, with keep-alive, a close in
// the middle of a reply, or a stall.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "loopback_socket.h"

namespace qn::test {

struct Request {
    std::string head;  // request line and header lines, each ended by "\r\n", then "\r\n"
    std::string body;
    std::string request_line;
    std::vector<std::string> header_lines;

    std::string raw() const { return head + body; }
    std::string method() const { return request_line.substr(0, request_line.find(' ')); }
    // The value of the first header of that name (any case), or empty.
    std::string header(std::string_view name) const;
};

struct Reply {
    enum class Then { keep_alive, close, stall };
    std::string bytes;
    Then then = Then::keep_alive;
    int stall_ms = 0;  // with Then::stall: how long before closing
};

// "HTTP/1.1 <status>\r\n" + the header lines + a Content-Length for the body
// + "\r\n" + the body (no body in the answer to HEAD).
Reply http_reply(const Request& request, std::string_view status,
                 const std::vector<std::string>& headers, std::string_view body);

class LoopbackServer {
public:
    using Handler = std::function<Reply(const Request& request, size_t index)>;

    explicit LoopbackServer(Handler handler);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    uint16_t port() const noexcept { return port_; }
    // "http://127.0.0.1:PORT" + path.
    std::string url(std::string_view path) const;
    std::vector<Request> requests() const;
    size_t request_count() const;

private:
    void accept_loop();
    void serve(Socket connection);
    bool stopping() const noexcept { return stop_.load(); }

    Handler handler_;
    uint16_t port_ = 0;
    Socket listener_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<Request> requests_;
    std::vector<std::thread> connections_;
    std::thread acceptor_;
};

}  // namespace qn::test
