// A scoped lock on the object behind a handle: while it holds, data() is the object.
// It holds no reference; whoever builds it keeps the handle alive meanwhile.
//
// The blocking form retries, yielding, while another lane holds the slot in a
// conflicting way. It gives up (leaving the record empty) when the handle names no
// live object, or when only the caller's own shared holds stand in the way, which no
// amount of waiting would clear.
#pragma once
#include <cstdint>

#include "platform/thread/thread.h"
#include "runtime/core/handle.h"
#include "runtime/res/res_base.h"

namespace kesto {

template <class H>
class HdlLock {
 public:
  using Mgr = typename H::Manager;
  using Data = typename H::DataType;
  static constexpr uint8_t kShared = 0;
  static constexpr uint8_t kExclusive = 1;

  HdlLock() = default;
  explicit HdlLock(const HdlBase& handle, uint8_t mode = kExclusive, bool block = true) {
    lock(handle.value, mode, block);
  }
  explicit HdlLock(uint32_t value, uint8_t mode = kExclusive, bool block = true) { lock(value, mode, block); }
  ~HdlLock() { unlock(); }

  HdlLock(const HdlLock&) = delete;
  HdlLock& operator=(const HdlLock&) = delete;
  HdlLock(HdlLock&& o) noexcept : handle_(o.handle_), mode_(o.mode_), data_(o.data_) {
    o.handle_ = 0;
    o.data_ = nullptr;
  }
  HdlLock& operator=(HdlLock&& o) noexcept {
    if (this != &o) {
      unlock();
      handle_ = o.handle_;
      mode_ = o.mode_;
      data_ = o.data_;
      o.handle_ = 0;
      o.data_ = nullptr;
    }
    return *this;
  }

  // Unlocks what the record held, then locks value (1 exclusive, 0 shared). True when
  // the record now holds the lock; a null value locks nothing.
  bool lock(uint32_t value, uint8_t mode = kExclusive, bool block = true) {
    unlock();
    mode_ = mode ? kExclusive : kShared;
    if (value == 0) return false;
    for (;;) {
      Mgr* m = Mgr::ofValue(value);
      if (!m) return false;
      SlotLockResult why;
      Data* d = m->tryLockSlot(value, mode_ == kExclusive, why);
      if (d) {
        handle_ = value;
        data_ = d;
        return true;
      }
      if (!block || why != SlotLockResult::busy) return false;
      qxplat::yieldThread();
    }
  }

  void unlock() {
    if (handle_ == 0) return;
    if (Mgr* m = Mgr::ofValue(handle_)) m->unlockSlot(handle_, mode_ == kExclusive);
    handle_ = 0;
    data_ = nullptr;
  }

  uint32_t handle() const { return handle_; }
  uint8_t mode() const { return mode_; }
  bool locked() const { return handle_ != 0; }
  explicit operator bool() const { return handle_ != 0; }
  Data* data() const { return data_; }
  Data* operator->() const { return data_; }
  Data& operator*() const { return *data_; }

 private:
  uint32_t handle_ = 0;
  uint8_t mode_ = kExclusive;
  Data* data_ = nullptr;
};

}  // namespace kesto
