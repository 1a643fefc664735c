// Size checks and allocations for the results of the text toolkit. A result
// whose size does not fit the 32-bit counts, or whose memory cannot be
// obtained, ends the process through fatal_out_of_memory; no operation
// reports it as a value.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace qn::detail {

// `bytes` as a 32-bit count; a larger size is fatal.
int32_t checked_size(uint64_t bytes);

// Gives `s` room for `bytes` bytes in all, or ends the process.
void reserve_or_die(std::string& s, uint64_t bytes);

// Appends `part` to `s`, growing it geometrically; a total beyond the 32-bit
// counts or a failed allocation is fatal.
void append_or_die(std::string& s, std::string_view part);

// A copy of `bytes`, or the end of the process.
std::string copied_or_die(std::string_view bytes);

// A string holding `bytes` copies of `fill`, or the end of the process.
std::string filled_or_die(uint64_t bytes, char fill);

// An uninitialised working buffer of `bytes` bytes for building a result
// (which is then copied into its value), or the end of the process.
std::unique_ptr<unsigned char[]> scratch_or_die(uint64_t bytes);

}  // namespace qn::detail
