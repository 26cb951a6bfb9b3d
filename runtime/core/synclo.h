// The recursive spin lock that guards managers, the registry and the engine's queues.
#pragma once
#include <atomic>
#include <cstdint>

namespace kesto {

class Synclo {
 public:
  Synclo() = default;
  Synclo(const Synclo&) = delete;
  Synclo& operator=(const Synclo&) = delete;

  // Takes the lock for the calling thread (re-entrant). With block false, returns false
  // at once when another thread holds it.
  bool lock(bool block = true);
  void unlock();

  uint32_t owner() const { return owner_.load(std::memory_order_relaxed); }
  uint32_t count() const { return count_; }
  bool heldByMe() const;

 private:
  std::atomic<uint32_t> owner_{0};
  uint32_t count_ = 0;  // written only by the holder
};

// Scoped blocking lock.
class SyncloGuard {
 public:
  explicit SyncloGuard(Synclo& s) : s_(s) { s_.lock(true); }
  ~SyncloGuard() { s_.unlock(); }
  SyncloGuard(const SyncloGuard&) = delete;
  SyncloGuard& operator=(const SyncloGuard&) = delete;

 private:
  Synclo& s_;
};

}  // namespace kesto
