// A tiny TCP socket layer for the tests' loopback servers: listen on
// 127.0.0.1, accept, receive and send with timeouts. One file per platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qn::test {

class Socket {
public:
    Socket() = default;
    explicit Socket(intptr_t native) : native_(native) {}
    ~Socket() { close(); }
    Socket(Socket&& other) noexcept : native_(other.native_) { other.native_ = INVALID; }
    Socket& operator=(Socket&& other) noexcept {
        if (this != &other) {
            close();
            native_ = other.native_;
            other.native_ = INVALID;
        }
        return *this;
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool valid() const noexcept { return native_ != INVALID; }
    intptr_t native() const noexcept { return native_; }
    void close() noexcept;
    // Ends both directions so that a blocked peer or thread wakes up.
    void shutdown() noexcept;

    static constexpr intptr_t INVALID = -1;

private:
    intptr_t native_ = INVALID;
};

// A socket listening on 127.0.0.1 at a free port, written to `port`.
Socket listen_loopback(uint16_t& port);
// A connection, or an invalid socket when none arrived within `timeout_ms`.
Socket accept_within(const Socket& listener, int timeout_ms);
// Waits up to `timeout_ms` for data: the bytes received (> 0), 0 when the
// peer closed, -1 on an error, -2 when the time ran out.
long receive_within(const Socket& socket, char* buffer, size_t size, int timeout_ms);
bool send_all(const Socket& socket, std::string_view bytes);

}  // namespace qn::test
