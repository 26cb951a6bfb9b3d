// Create / lock / unlock / release rates of a resource manager, and the heap
// allocations each steady-state round makes (expected: none).
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "runtime/res/hdl_lock.h"
#include "runtime/res/resource_mgr.h"

namespace {

std::atomic<long> gAllocations{0};

struct Item {
  int payload[4] = {};
};

class ItemMgr : public kesto::ResourceMgrNoName<ItemMgr, Item> {
 public:
  const char* dataTypeName() const override { return "Item"; }
};
using ItemHandle = ItemMgr::HandleType;
using ItemLock = kesto::HdlLock<ItemHandle>;

ItemMgr& manager() {
  static ItemMgr* mgr = new ItemMgr();
  return *mgr;
}

// Full round: create, lock exclusively, write, unlock, release (the slot is reused).
void BM_CreateLockRelease(benchmark::State& state) {
  ItemMgr& mgr = manager();
  { ItemHandle warm = mgr.create().handle; }
  long before = gAllocations.load();
  for (auto _ : state) {
    ItemHandle h = mgr.create().handle;
    {
      ItemLock lock(h);
      lock->payload[0] = 1;
    }
    h.reset();
  }
  state.counters["allocs_per_round"] =
      benchmark::Counter(double(gAllocations.load() - before) / double(state.iterations()));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CreateLockRelease);

// Lock and unlock of a live object, exclusive and shared.
void BM_LockUnlock(benchmark::State& state) {
  ItemMgr& mgr = manager();
  ItemHandle h = mgr.create().handle;
  const uint8_t mode = static_cast<uint8_t>(state.range(0));
  long before = gAllocations.load();
  for (auto _ : state) {
    ItemLock lock(h, mode);
    benchmark::DoNotOptimize(lock.data());
  }
  state.counters["allocs_per_round"] =
      benchmark::Counter(double(gAllocations.load() - before) / double(state.iterations()));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LockUnlock)->Arg(1)->Arg(0);

// Copying and dropping a counted handle (add reference + release).
void BM_CopyRelease(benchmark::State& state) {
  ItemMgr& mgr = manager();
  ItemHandle h = mgr.create().handle;
  for (auto _ : state) {
    ItemHandle copy = h;
    benchmark::DoNotOptimize(copy.value);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CopyRelease);

// A manager with many live objects: create and release one more among 4000 others.
void BM_CreateReleaseCrowded(benchmark::State& state) {
  ItemMgr& mgr = manager();
  std::vector<ItemHandle> crowd;
  crowd.reserve(4000);
  for (int i = 0; i < 4000; ++i) crowd.push_back(mgr.create().handle);
  long before = gAllocations.load();
  for (auto _ : state) {
    ItemHandle h = mgr.create().handle;
    benchmark::DoNotOptimize(h.value);
  }
  state.counters["allocs_per_round"] =
      benchmark::Counter(double(gAllocations.load() - before) / double(state.iterations()));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CreateReleaseCrowded);

}  // namespace

// Counting replacements of the global allocation functions; new and delete here are a
// matched malloc/free pair, which the compiler cannot see once they are inlined.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t n) {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
