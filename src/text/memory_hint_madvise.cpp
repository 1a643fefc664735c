// Large pages for large buffers through madvise (transparent huge pages).
#include <sys/mman.h>

#include <cstdint>

#include "text/memory_hint.h"

namespace qn::detail {

void hint_large_block(void* p, size_t n) noexcept {
    if (n < LARGE_BLOCK) return;
    // madvise takes whole pages: advise the 2 MiB-aligned middle of the block.
    constexpr uintptr_t huge = uintptr_t{2} << 20;
    const auto begin = reinterpret_cast<uintptr_t>(p);
    const uintptr_t first = (begin + huge - 1) & ~(huge - 1);
    const uintptr_t last = (begin + n) & ~(huge - 1);
    if (last > first) {
        ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
    }
}

}  // namespace qn::detail
