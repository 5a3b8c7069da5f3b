#pragma once
// Counts every allocation of the benchmark program: the global operator new and its
// variants are replaced (allocation_counter.cpp) by versions that count before allocating.
// A benchmark reads the count before and after its timed loop to prove a path allocates
// nothing.

#include <cstdint>

namespace quorvex::bench {

// Allocations made through any operator new since the program started.
std::uint64_t AllocationCount();

// True when the replacements are the ones in use: an allocation through operator new moves
// the count.
bool AllocationCounterWorks();

}  // namespace quorvex::bench
