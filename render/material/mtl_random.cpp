#include "render/material/mtl_random.h"

#include <atomic>

namespace qxmtl {

namespace {
std::atomic<uint32_t> gState{1};
}

void seedRandom(uint32_t seed) { gState.store(seed, std::memory_order_relaxed); }

uint32_t nextRandom() {
  uint32_t s = gState.load(std::memory_order_relaxed), next;
  do {
    next = s * 214013u + 2531011u;
  } while (!gState.compare_exchange_weak(s, next, std::memory_order_relaxed));
  return (next >> 16) & kRandMax;
}

}  // namespace qxmtl
