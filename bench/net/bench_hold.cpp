// A reference for the fetch benchmark: the cost of only holding a body of
// the given size in fresh memory, written in 1024-byte blocks into a
// reserved buffer as http_fetch does, with no network at all.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "text/text.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s BYTES\n", argv[0]);
        return 2;
    }
    const size_t total = std::strtoull(argv[1], nullptr, 10);
    std::string room;
    room.reserve(total);
    qn::Bytes body(std::move(room));
    const std::string block(1024, 'b');
    for (size_t written = 0; written < total; written += block.size()) {
        body.append(block);
    }
    return body.view().size() >= total ? 0 : 1;
}
