#include "platform/thread/thread.h"

#include <errno.h>
#include <sched.h>
#include <time.h>

#include <atomic>
#include <chrono>

namespace qxplat {

uint32_t currentThreadId() {
  static std::atomic<uint32_t> next{1};
  thread_local uint32_t id = 0;
  if (id == 0) {
    uint32_t v;
    do {
      v = next.fetch_add(1, std::memory_order_relaxed);
    } while (v == 0);  // skip 0 after a wrap: 0 means "no owner"
    id = v;
  }
  return id;
}

void yieldThread() { sched_yield(); }

uint64_t monotonicNs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000000000ull + static_cast<uint64_t>(ts.tv_nsec);
}

uint32_t monotonicMs() { return static_cast<uint32_t>(monotonicNs() / 1000000ull); }

void sleepNs(uint64_t ns) {
  timespec ts{static_cast<time_t>(ns / 1000000000ull), static_cast<long>(ns % 1000000000ull)};
  while (clock_nanosleep(CLOCK_MONOTONIC, 0, &ts, &ts) == EINTR) {
  }
}

void sleepMs(uint32_t ms) { sleepNs(static_cast<uint64_t>(ms) * 1000000ull); }

void Event::set() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    set_ = true;
  }
  if (manual_) {
    cv_.notify_all();
  } else {
    cv_.notify_one();
  }
}

void Event::reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  set_ = false;
}

void Event::wait() {
  std::unique_lock<std::mutex> lock(mutex_);
  cv_.wait(lock, [this] { return set_; });
  if (!manual_) set_ = false;
}

bool Event::waitFor(uint32_t ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!cv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return set_; })) return false;
  if (!manual_) set_ = false;
  return true;
}

}  // namespace qxplat
