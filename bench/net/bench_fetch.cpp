// Fetches one URL with http_fetch and every option at its default, as the
// program's main road does, and checks the body's size.
#include <cstdio>
#include <cstdlib>

#include "net/http_fetch.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s URL EXPECTED_BYTES\n", argv[0]);
        return 2;
    }
    const qn::Bytes body = qn::http_fetch(argv[1]);
    const long long expected = std::strtoll(argv[2], nullptr, 10);
    if (static_cast<long long>(body.view().size()) != expected) {
        std::fprintf(stderr, "got %zu bytes, expected %lld\n", body.view().size(), expected);
        return 1;
    }
    return 0;
}
