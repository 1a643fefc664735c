#include "loopback_server.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <stdexcept>

namespace qn::test {
namespace {

constexpr int POLL_MS = 50;

bool iequals(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

Request parse_head(std::string head) {
    Request request;
    size_t start = 0;
    bool first = true;
    while (start < head.size()) {
        const size_t end = head.find("\r\n", start);
        if (end == std::string::npos || end == start) {
            break;
        }
        std::string line = head.substr(start, end - start);
        if (first) {
            request.request_line = std::move(line);
            first = false;
        } else {
            request.header_lines.push_back(std::move(line));
        }
        start = end + 2;
    }
    request.head = std::move(head);
    return request;
}

}  // namespace

std::string Request::header(std::string_view name) const {
    for (const std::string& line : header_lines) {
        const size_t colon = line.find(':');
        if (colon != std::string::npos && iequals(std::string_view(line).substr(0, colon), name)) {
            size_t value = colon + 1;
            while (value < line.size() && line[value] == ' ') {
                ++value;
            }
            return line.substr(value);
        }
    }
    return {};
}

Reply http_reply(const Request& request, std::string_view status,
                 const std::vector<std::string>& headers, std::string_view body) {
    Reply reply;
    reply.bytes = "HTTP/1.1 " + std::string(status) + "\r\n";
    for (const std::string& line : headers) {
        reply.bytes += line + "\r\n";
    }
    reply.bytes += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    if (request.method() != "HEAD") {
        reply.bytes += body;
    }
    return reply;
}

LoopbackServer::LoopbackServer(Handler handler) : handler_(std::move(handler)) {
    listener_ = listen_loopback(port_);
    if (!listener_.valid()) {
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    acceptor_ = std::thread([this] { accept_loop(); });
}

LoopbackServer::~LoopbackServer() {
    stop_ = true;
    acceptor_.join();
    for (std::thread& connection : connections_) {
        connection.join();
    }
}

std::string LoopbackServer::url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::vector<Request> LoopbackServer::requests() const {
    const std::lock_guard<std::mutex> guard(mutex_);
    return requests_;
}

size_t LoopbackServer::request_count() const {
    const std::lock_guard<std::mutex> guard(mutex_);
    return requests_.size();
}

void LoopbackServer::accept_loop() {
    while (!stopping()) {
        Socket connection = accept_within(listener_, POLL_MS);
        if (connection.valid()) {
            connections_.emplace_back(
                [this, c = std::move(connection)]() mutable { serve(std::move(c)); });
        }
    }
}

void LoopbackServer::serve(Socket connection) {
    std::string buffer;
    char chunk[65536];
    // Receives until `until()` holds; false when the peer closed or the
    // server stops.
    const auto fill = [&](auto until) {
        while (!until()) {
            if (stopping()) {
                return false;
            }
            const long n = receive_within(connection, chunk, sizeof chunk, POLL_MS);
            if (n == -2) {
                continue;
            }
            if (n <= 0) {
                return false;
            }
            buffer.append(chunk, static_cast<size_t>(n));
        }
        return true;
    };
    for (;;) {
        if (!fill([&] { return buffer.find("\r\n\r\n") != std::string::npos; })) {
            return;
        }
        const size_t head_end = buffer.find("\r\n\r\n") + 4;
        Request request = parse_head(buffer.substr(0, head_end));
        buffer.erase(0, head_end);
        const size_t length = static_cast<size_t>(
            std::strtoul(request.header("Content-Length").c_str(), nullptr, 10));
        if (!fill([&] { return buffer.size() >= length; })) {
            return;
        }
        request.body = buffer.substr(0, length);
        buffer.erase(0, length);

        size_t index = 0;
        {
            const std::lock_guard<std::mutex> guard(mutex_);
            index = requests_.size();
            requests_.push_back(request);
        }
        const Reply reply = handler_(request, index);
        if (!send_all(connection, reply.bytes)) {
            return;
        }
        if (reply.then == Reply::Then::close) {
            return;
        }
        if (reply.then == Reply::Then::stall) {
            const auto until =
                std::chrono::steady_clock::now() + std::chrono::milliseconds(reply.stall_ms);
            while (!stopping() && std::chrono::steady_clock::now() < until) {
                std::this_thread::sleep_for(std::chrono::milliseconds(POLL_MS));
            }
            return;
        }
    }
}

}  // namespace qn::test
