// A hint to the platform's memory manager for large result buffers.
#pragma once

#include <cstddef>

namespace qn::detail {

// Buffers at least this large are worth the hint.
inline constexpr size_t LARGE_BLOCK = size_t{4} << 20;

// Tells the platform that the freshly reserved, not yet written block
// [p, p + n) will be filled front to back, so that it may back it with
// large pages: with small pages, the first touch of each 4 KiB page costs
// more than copying into it. Changes nothing that the program can observe.
void hint_large_block(void* p, size_t n) noexcept;

}  // namespace qn::detail
