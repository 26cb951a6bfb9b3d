#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>

// The small-object allocator. The policy carries the engine's sizing advice (blocks per
// page by size, page count, size class); blocks come from the C heap, which serves small
// blocks well, and the allocator counts what is live so leaks and growth can be watched.
struct SMAPolicy {
  uint32_t (*blocksPerPage)(size_t size) = nullptr;
  uint32_t (*pageCount)(size_t size) = nullptr;
  size_t (*sizeClass)(size_t size) = nullptr;
};

struct SMA {
  SMAPolicy policy;
  std::atomic<int64_t> liveBlocks{0};
  std::atomic<int64_t> liveBytes{0};
};

SMA* NewSMA(const SMAPolicy& policy);
void DeleteSMA(SMA* sma);
void* SMAAlloc(SMA* sma, size_t size);
void SMAFree(SMA* sma, void* block, size_t size);

// A lua_Alloc over an SMA passed as the user data: (ud, block, old size, new size).
void* LuaAlloc(void* ud, void* block, size_t oldSize, size_t newSize);
