#include "text/checked_alloc.h"

#include <algorithm>
#include <new>
#include <stdexcept>

#include "text/fatal.h"
#include "text/memory_hint.h"

namespace qn::detail {

int32_t checked_size(uint64_t bytes) {
    if (bytes > static_cast<uint64_t>(INT32_MAX)) fatal_out_of_memory(bytes);
    return static_cast<int32_t>(bytes);
}

void reserve_or_die(std::string& s, uint64_t bytes) {
    checked_size(bytes);
    if (bytes <= s.capacity()) return;
    try {
        s.reserve(static_cast<size_t>(bytes));
        hint_large_block(s.data(), s.capacity());
    } catch (const std::bad_alloc&) {
        fatal_out_of_memory(bytes);
    } catch (const std::length_error&) {
        fatal_out_of_memory(bytes);
    }
}

void append_or_die(std::string& s, std::string_view part) {
    const uint64_t total = static_cast<uint64_t>(s.size()) + part.size();
    checked_size(total);
    if (total > s.capacity()) {
        const uint64_t doubled = 2 * static_cast<uint64_t>(s.capacity());
        const uint64_t want = std::min<uint64_t>(std::max(total, doubled), INT32_MAX);
        reserve_or_die(s, want);
    }
    s.append(part);
}

std::string copied_or_die(std::string_view bytes) {
    std::string s;
    reserve_or_die(s, bytes.size());
    s.assign(bytes);
    return s;
}

std::string filled_or_die(uint64_t bytes, char fill) {
    std::string s;
    reserve_or_die(s, bytes);
    s.append(static_cast<size_t>(bytes), fill);
    return s;
}

std::unique_ptr<unsigned char[]> scratch_or_die(uint64_t bytes) {
    try {
        auto block = std::make_unique_for_overwrite<unsigned char[]>(static_cast<size_t>(bytes));
        hint_large_block(block.get(), static_cast<size_t>(bytes));
        return block;
    } catch (const std::bad_alloc&) {
        fatal_out_of_memory(bytes);
    }
}

}  // namespace qn::detail
