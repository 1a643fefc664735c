// The fatal conditions' messages and the common way out: the report, then
// exit code -1. Nothing here allocates, since running out of memory is one
// of the conditions.
#include "text/fatal.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qn {

namespace {

// A fixed buffer that collects a message; longer messages are cut short.
class MessageBuffer {
public:
    MessageBuffer& operator<<(std::string_view s) {
        const size_t k = std::min(s.size(), sizeof buf_ - len_);
        std::memcpy(buf_ + len_, s.data(), k);
        len_ += k;
        return *this;
    }
    template <class Int>
    MessageBuffer& number(Int value) {
        char digits[24];
        const auto res = std::to_chars(digits, digits + sizeof digits, value);
        return *this << std::string_view(digits, static_cast<size_t>(res.ptr - digits));
    }
    std::string_view view() const { return {buf_, len_}; }

private:
    char buf_[256];
    size_t len_ = 0;
};

}  // namespace

void fatal_out_of_memory(uint64_t bytes) {
    MessageBuffer m;
    m << "Quennick could not obtain ";
    m.number(bytes);
    m << " bytes of memory and has to close.";
    fatal_error(m.view());
}

void fatal_list_index(int32_t index, int32_t count) {
    MessageBuffer m;
    m << "Quennick has to close: item ";
    m.number(index);
    m << " of a list was read, but the list holds ";
    m.number(count);
    m << (count == 1 ? " item." : " items.");
    fatal_error(m.view());
}

void fatal_error(std::string_view message) {
    fatal_report(message);
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(FATAL_EXIT_CODE);
}

}  // namespace qn
