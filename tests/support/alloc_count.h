// Heap allocations made by the calling thread between start and stop, counted by the
// replaceable operator new of tests/support/alloc_count.cpp (link it into the test).
#pragma once
#include <cstdint>

namespace qxtest {
void startCountingAllocations();
// The allocations since the start; counting ends.
uint64_t stopCountingAllocations();
}  // namespace qxtest
