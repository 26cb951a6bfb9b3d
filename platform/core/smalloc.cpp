#include "platform/core/smalloc.h"

#include <cstdlib>

SMA* NewSMA(const SMAPolicy& policy) {
  auto* sma = new SMA;
  sma->policy = policy;
  return sma;
}

void DeleteSMA(SMA* sma) { delete sma; }

void* SMAAlloc(SMA* sma, size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p && sma) {
    sma->liveBlocks.fetch_add(1, std::memory_order_relaxed);
    sma->liveBytes.fetch_add(static_cast<int64_t>(size), std::memory_order_relaxed);
  }
  return p;
}

void SMAFree(SMA* sma, void* block, size_t size) {
  if (block == nullptr) return;
  std::free(block);
  if (sma) {
    sma->liveBlocks.fetch_sub(1, std::memory_order_relaxed);
    sma->liveBytes.fetch_sub(static_cast<int64_t>(size), std::memory_order_relaxed);
  }
}

void* LuaAlloc(void* ud, void* block, size_t oldSize, size_t newSize) {
  auto* sma = static_cast<SMA*>(ud);
  if (newSize == 0) {
    if (block) SMAFree(sma, block, oldSize);
    return nullptr;
  }
  if (block == nullptr) return SMAAlloc(sma, newSize);
  void* p = std::realloc(block, newSize);
  if (p && sma) {
    sma->liveBytes.fetch_add(static_cast<int64_t>(newSize) - static_cast<int64_t>(oldSize),
                             std::memory_order_relaxed);
  }
  return p;  // on failure Lua keeps the old block, as the contract asks
}
