#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>

#include "loopback_socket.h"

namespace qn::test {

namespace {

void ensure_winsock() {
    static const bool started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
}

SOCKET raw(const Socket& socket) { return static_cast<SOCKET>(socket.native()); }

// Waits until `socket` is readable (or has a connection to accept).
int wait_readable(const Socket& socket, int timeout_ms) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(raw(socket), &readable);
    timeval limit{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
    return ::select(0, &readable, nullptr, nullptr, &limit);
}

}  // namespace

void Socket::close() noexcept {
    if (valid()) {
        ::closesocket(static_cast<SOCKET>(native_));
        native_ = INVALID;
    }
}

void Socket::shutdown() noexcept {
    if (valid()) {
        ::shutdown(static_cast<SOCKET>(native_), SD_BOTH);
    }
}

Socket listen_loopback(uint16_t& port) {
    ensure_winsock();
    const SOCKET fd = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (fd == INVALID_SOCKET) {
        return Socket();
    }
    Socket listener(static_cast<intptr_t>(fd));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 64) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return Socket();
    }
    port = ntohs(address.sin_port);
    return listener;
}

Socket accept_within(const Socket& listener, int timeout_ms) {
    if (wait_readable(listener, timeout_ms) <= 0) {
        return Socket();
    }
    const SOCKET fd = ::accept(raw(listener), nullptr, nullptr);
    return fd == INVALID_SOCKET ? Socket() : Socket(static_cast<intptr_t>(fd));
}

long receive_within(const Socket& socket, char* buffer, size_t size, int timeout_ms) {
    const int ready = wait_readable(socket, timeout_ms);
    if (ready == 0) {
        return -2;
    }
    if (ready < 0) {
        return -1;
    }
    const int received = ::recv(raw(socket), buffer, static_cast<int>(size), 0);
    return received < 0 ? -1 : received;
}

bool send_all(const Socket& socket, std::string_view bytes) {
    while (!bytes.empty()) {
        const int chunk = static_cast<int>(std::min<size_t>(bytes.size(), 1 << 20));
        const int sent = ::send(raw(socket), bytes.data(), chunk, 0);
        if (sent <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(sent));
    }
    return true;
}

}  // namespace qn::test
