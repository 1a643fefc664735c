#pragma once

#include <cstddef>

namespace qn::test {

// The OOM test program's operator new throws std::bad_alloc for any request
// of this many bytes or more, as an exhausted heap would.
inline constexpr std::size_t ALLOCATION_LIMIT = std::size_t{1} << 30;

}  // namespace qn::test
