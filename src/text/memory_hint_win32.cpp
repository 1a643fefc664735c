// Windows commits large allocations without a per-page cost worth a hint.
#include "text/memory_hint.h"

namespace qn::detail {

void hint_large_block(void*, size_t) noexcept {}

}  // namespace qn::detail
