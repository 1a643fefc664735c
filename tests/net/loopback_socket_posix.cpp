#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "loopback_socket.h"

namespace qn::test {

void Socket::close() noexcept {
    if (valid()) {
        ::close(static_cast<int>(native_));
        native_ = INVALID;
    }
}

void Socket::shutdown() noexcept {
    if (valid()) {
        ::shutdown(static_cast<int>(native_), SHUT_RDWR);
    }
}

Socket listen_loopback(uint16_t& port) {
    Socket listener(::socket(AF_INET, SOCK_STREAM, 0));
    if (!listener.valid()) {
        return listener;
    }
    const int fd = static_cast<int>(listener.native());
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 64) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return Socket();
    }
    port = ntohs(address.sin_port);
    return listener;
}

Socket accept_within(const Socket& listener, int timeout_ms) {
    pollfd entry{static_cast<int>(listener.native()), POLLIN, 0};
    if (::poll(&entry, 1, timeout_ms) <= 0) {
        return Socket();
    }
    return Socket(::accept(static_cast<int>(listener.native()), nullptr, nullptr));
}

long receive_within(const Socket& socket, char* buffer, size_t size, int timeout_ms) {
    pollfd entry{static_cast<int>(socket.native()), POLLIN, 0};
    const int ready = ::poll(&entry, 1, timeout_ms);
    if (ready == 0) {
        return -2;
    }
    if (ready < 0) {
        return -1;
    }
    const ssize_t received = ::recv(static_cast<int>(socket.native()), buffer, size, 0);
    return received < 0 ? -1 : static_cast<long>(received);
}

bool send_all(const Socket& socket, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent =
            ::send(static_cast<int>(socket.native()), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(sent));
    }
    return true;
}

}  // namespace qn::test
