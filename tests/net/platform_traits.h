// Where the two HTTP layers differ in ways the tests must know about. Each
// build links the file for its own layer.
#pragma once

namespace qn::test {

struct PlatformTraits {
    // The Linux layer stops after this many redirects and fails the request;
    // Wine's WinINet follows a redirect loop without a limit of its own.
    bool follows_redirects_without_limit;
    int max_redirects;
    // Whether the CONNECT that opens an HTTPS tunnel through a proxy carries
    // the request's own header lines (Wine's WinINet) or not (libcurl).
    bool tunnel_request_carries_request_headers;
};

const PlatformTraits& platform_traits();

}  // namespace qn::test
