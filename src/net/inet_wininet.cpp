// The inet layer on WinINet. Each WinINet function is bound by name at its
// own first call and its address kept for the rest of the run; the calls
// pass their arguments through unchanged.

#include <windows.h>
#include <wininet.h>

#include <memory>
#include <mutex>
#include <string>

#include "net/inet.h"
#include "net/wininet_binding.h"
#include "text/fatal.h"

namespace qn::inet {

WininetProc wininet_function(const char* name) {
    static std::mutex mutex;
    static HMODULE library = nullptr;
    const std::lock_guard<std::mutex> guard(mutex);
    if (library == nullptr) {
        library = LoadLibraryA("wininet.dll");
        if (library == nullptr) {
            fatal_error(std::string("The library wininet.dll could not be loaded (needed for ") +
                        name + ").");
        }
    }
    const FARPROC address = GetProcAddress(library, name);
    if (address == nullptr) {
        fatal_error(std::string("The function ") + name +
                    " could not be found in the library wininet.dll.");
    }
    return reinterpret_cast<WininetProc>(address);
}

namespace {

// One accessor per WinINet function: the address is looked up at the
// function's first call and kept.
#define QN_WININET_FUNCTION(name)                                                                 \
    decltype(&::name) name##_function() {                                                         \
        static const auto address = reinterpret_cast<decltype(&::name)>(wininet_function(#name)); \
        return address;                                                                           \
    }

QN_WININET_FUNCTION(InternetOpenA)
QN_WININET_FUNCTION(InternetConnectA)
QN_WININET_FUNCTION(HttpOpenRequestA)
QN_WININET_FUNCTION(HttpSendRequestA)
QN_WININET_FUNCTION(InternetReadFile)
QN_WININET_FUNCTION(HttpQueryInfoA)
QN_WININET_FUNCTION(InternetCloseHandle)
QN_WININET_FUNCTION(InternetSetOptionA)

#undef QN_WININET_FUNCTION

HINTERNET native(Handle handle) { return reinterpret_cast<HINTERNET>(handle); }
Handle wrap(HINTERNET handle) { return reinterpret_cast<Handle>(handle); }

class WininetLayer final : public Layer {
public:
    explicit WininetLayer(LayerOptions options) : options_(std::move(options)) {}

    Handle open(const char* agent, uint32_t access_type, const char* proxy,
                const char* proxy_bypass, uint32_t flags) override {
        HINTERNET internet =
            InternetOpenA_function()(agent, access_type, proxy, proxy_bypass, flags);
        if (internet != nullptr && options_.connect_timeout_ms) {
            DWORD value = *options_.connect_timeout_ms;
            InternetSetOptionA_function()(internet, INTERNET_OPTION_CONNECT_TIMEOUT, &value,
                                          sizeof value);
        }
        return wrap(internet);
    }

    Handle connect(Handle internet, const char* host, uint16_t port, const char* user,
                   const char* password, uint32_t service, uint32_t flags,
                   uintptr_t context) override {
        return wrap(InternetConnectA_function()(native(internet), host, port, user, password,
                                                service, flags, context));
    }

    Handle open_request(Handle connection, const char* verb, const char* object,
                        const char* version, const char* referrer, const char** accept_types,
                        uint32_t flags, uintptr_t context) override {
        HINTERNET request = HttpOpenRequestA_function()(native(connection), verb, object, version,
                                                        referrer, accept_types, flags, context);
        if (request != nullptr && options_.receive_timeout_ms) {
            DWORD value = *options_.receive_timeout_ms;
            InternetSetOptionA_function()(request, INTERNET_OPTION_RECEIVE_TIMEOUT, &value,
                                          sizeof value);
        }
        return wrap(request);
    }

    bool send_request(Handle request, const char* headers, uint32_t headers_length,
                      const void* body, uint32_t body_length) override {
        return HttpSendRequestA_function()(native(request), headers, headers_length,
                                           const_cast<void*>(body), body_length) != FALSE;
    }

    bool read(Handle request, void* buffer, uint32_t size, uint32_t* bytes_read) override {
        DWORD count = 0;
        const BOOL ok = InternetReadFile_function()(native(request), buffer, size, &count);
        *bytes_read = count;
        return ok != FALSE;
    }

    QueryStatus query_info(Handle request, uint32_t info_level, void* buffer, uint32_t* length,
                           uint32_t* index) override {
        DWORD size = *length;
        DWORD position = index != nullptr ? *index : 0;
        const BOOL ok = HttpQueryInfoA_function()(native(request), info_level, buffer, &size,
                                                  index != nullptr ? &position : nullptr);
        const DWORD error = ok ? ERROR_SUCCESS : GetLastError();
        *length = size;
        if (index != nullptr) {
            *index = position;
        }
        if (ok) {
            return QueryStatus::ok;
        }
        return error == ERROR_INSUFFICIENT_BUFFER ? QueryStatus::buffer_too_small
                                                  : QueryStatus::failed;
    }

    bool close(Handle handle) override {
        return InternetCloseHandle_function()(native(handle)) != FALSE;
    }

private:
    LayerOptions options_;
};

}  // namespace

Layer& platform_layer() {
    static WininetLayer layer{LayerOptions{}};
    return layer;
}

std::unique_ptr<Layer> make_platform_layer(const LayerOptions& options) {
    return std::make_unique<WininetLayer>(options);
}

}  // namespace qn::inet
