#include "runtime/core/synclo.h"

#include "platform/thread/thread.h"

namespace kesto {

bool Synclo::lock(bool block) {
  const uint32_t me = qxplat::currentThreadId();
  for (;;) {
    uint32_t expected = 0;
    if (owner_.compare_exchange_strong(expected, me, std::memory_order_acquire,
                                       std::memory_order_relaxed) ||
        expected == me) {
      ++count_;
      return true;
    }
    if (!block) return false;
    qxplat::yieldThread();
  }
}

void Synclo::unlock() {
  // Callers pair every lock with one unlock on the same thread; an unlock of a free lock
  // is ignored rather than wrapping the count.
  if (count_ == 0) return;
  if (--count_ == 0) owner_.store(0, std::memory_order_release);
}

bool Synclo::heldByMe() const {
  return owner_.load(std::memory_order_relaxed) == qxplat::currentThreadId();
}

}  // namespace kesto
