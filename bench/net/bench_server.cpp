// A loopback HTTP server for the fetch benchmark: every request gets a body
// of the size given on the command line. It prints its port, serves up to
// the given number of connections one after another, and ends by itself
// after a minute without a connection.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

bool send_all(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
        if (sent <= 0) {
            return false;
        }
        data += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}

// Reads one request head; false when the client closed first.
bool read_request(int fd) {
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            return false;
        }
        head.append(buffer, static_cast<size_t>(n));
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s BODY_BYTES CONNECTIONS\n", argv[0]);
        return 2;
    }
    const unsigned long long body_size = std::strtoull(argv[1], nullptr, 10);
    const long connections = std::strtol(argv[2], nullptr, 10);

    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 16) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        std::perror("listen");
        return 1;
    }
    std::printf("%u\n", ntohs(address.sin_port));
    std::fflush(stdout);

    const std::vector<char> block(1 << 20, 'b');
    const std::string head =
        "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
        "Content-Length: " +
        std::to_string(body_size) + "\r\n\r\n";
    for (long served = 0; served < connections; ++served) {
        pollfd entry{listener, POLLIN, 0};
        if (::poll(&entry, 1, 60000) <= 0) {
            break;
        }
        const int fd = ::accept(listener, nullptr, nullptr);
        if (fd < 0) {
            continue;
        }
        if (read_request(fd) && send_all(fd, head.data(), head.size())) {
            unsigned long long left = body_size;
            while (left > 0) {
                const size_t chunk = left < block.size() ? static_cast<size_t>(left) : block.size();
                if (!send_all(fd, block.data(), chunk)) {
                    break;
                }
                left -= chunk;
            }
        }
        ::close(fd);
    }
    ::close(listener);
    return 0;
}
