#include "tests/support/alloc_count.h"

#include <cstdlib>
#include <new>

// new and delete here are a matched malloc/free pair, which g++ cannot see once inlined.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {
// Only the counting thread: other threads (a UI thread, llvmpipe's) are no part of it.
thread_local bool tCounting = false;
thread_local uint64_t tAllocations = 0;

void* allocate(std::size_t n) noexcept {
  if (tCounting) ++tAllocations;
  return std::malloc(n ? n : 1);
}
}  // namespace

namespace qxtest {
void startCountingAllocations() {
  tAllocations = 0;
  tCounting = true;
}
uint64_t stopCountingAllocations() {
  tCounting = false;
  return tAllocations;
}
}  // namespace qxtest

void* operator new(std::size_t n) {
  if (void* p = allocate(n)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n) {
  if (void* p = allocate(n)) return p;
  throw std::bad_alloc();
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return allocate(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return allocate(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
