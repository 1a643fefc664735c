// The HTTP client layer under http_fetch, shaped like WinINet's synchronous
// ANSI calls: open an internet handle, connect, open a request, send it,
// read the body in blocks, query the raw response headers, close. Texts are
// nullable C strings wherever WinINet takes a null pointer. The Windows
// backend is WinINet itself; the Linux backend is libcurl behaving as
// WinINet does.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace qn::inet {

// An opaque handle; nullptr is the null handle of a failed open.
struct HandleObject;
using Handle = HandleObject*;

inline constexpr uint32_t OPEN_TYPE_DIRECT = 1;
inline constexpr uint32_t OPEN_TYPE_PROXY = 3;
inline constexpr uint32_t SERVICE_HTTP = 3;

inline constexpr uint32_t FLAG_RELOAD = 0x80000000u;
inline constexpr uint32_t FLAG_NEED_FILE = 0x00000010u;
inline constexpr uint32_t FLAG_NO_COOKIES = 0x00080000u;
inline constexpr uint32_t FLAG_NO_AUTO_REDIRECT = 0x00200000u;
inline constexpr uint32_t FLAG_SECURE = 0x00800000u;
inline constexpr uint32_t FLAG_IGNORE_REDIRECT_TO_HTTPS = 0x00004000u;

inline constexpr uint32_t QUERY_RAW_HEADERS_CRLF = 22;
inline constexpr uint32_t QUERY_CONTENT_LENGTH = 5;
// With QUERY_CONTENT_LENGTH: the answer as a 32-bit number, not as text.
inline constexpr uint32_t QUERY_FLAG_NUMBER = 0x20000000u;

// The result of a header query. `buffer_too_small` means the length was
// set to the number of bytes needed (terminating zero included) and the
// query can be made again with a buffer of that size.
enum class QueryStatus { ok, buffer_too_small, failed };

class Layer {
public:
    virtual ~Layer() = default;

    // InternetOpenA.
    virtual Handle open(const char* agent, uint32_t access_type, const char* proxy,
                        const char* proxy_bypass, uint32_t flags) = 0;
    // InternetConnectA.
    virtual Handle connect(Handle internet, const char* host, uint16_t port, const char* user,
                           const char* password, uint32_t service, uint32_t flags,
                           uintptr_t context) = 0;
    // HttpOpenRequestA. `accept_types` is a null-terminated list or null.
    virtual Handle open_request(Handle connection, const char* verb, const char* object,
                                const char* version, const char* referrer,
                                const char** accept_types, uint32_t flags, uintptr_t context) = 0;
    // HttpSendRequestA: true when a response has arrived (its headers can be
    // queried and its body read).
    virtual bool send_request(Handle request, const char* headers, uint32_t headers_length,
                              const void* body, uint32_t body_length) = 0;
    // InternetReadFile: sets `*bytes_read` to 0 before any work, then to the
    // number of bytes delivered; 0 with true at the end of the data.
    virtual bool read(Handle request, void* buffer, uint32_t size, uint32_t* bytes_read) = 0;
    // HttpQueryInfoA: writes the answer and a zero byte into `buffer`, and
    // sets `*length` to the bytes written (without the zero byte); see
    // QueryStatus for a buffer that is too small.
    virtual QueryStatus query_info(Handle request, uint32_t info_level, void* buffer,
                                   uint32_t* length, uint32_t* index) = 0;
    // InternetCloseHandle; a null handle is accepted and does nothing.
    virtual bool close(Handle handle) = 0;
};

// Settings a test may change; absent values keep the platform's own
// behaviour (Linux: connect timeout 60 s, receive timeout 30 s without
// progress, the system's certificate store; Windows: WinINet's defaults).
struct LayerOptions {
    std::optional<uint32_t> connect_timeout_ms;
    std::optional<uint32_t> receive_timeout_ms;
    // Linux only: a PEM file of certificate authorities trusted in place of
    // the system's bundle.
    std::string ca_file;
};

// The build's backend with default options, shared by the whole process.
Layer& platform_layer();
// A backend of the build with the given options.
std::unique_ptr<Layer> make_platform_layer(const LayerOptions& options);

}  // namespace qn::inet
