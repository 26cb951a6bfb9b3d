// What every resource manager shares: the slot table behind its handles, reference
// counts, the per-lane slot locks and the handle callbacks, all under one spin lock.
//
// A handle is honoured only when its manager id is this manager's, its index is below
// the high-water mark, its slot is live and the generation matches; anything else (a
// stale handle of a freed or reused slot, a forged value) does nothing.
//
// An object is destroyed when its last reference goes: unlinked under the manager
// lock, destructed outside it (so a destructor may release other handles or call into
// scripts), and then its slot is freed.
#pragma once
#include <cstdint>
#include <type_traits>

#include "runtime/core/handle.h"
#include "runtime/core/synclo.h"
#include "runtime/core/thread_ctx.h"
#include "runtime/res/res_base.h"
#include "runtime/res/slot_table.h"

namespace kesto {

// What create and named lookups give: a handle holding one reference for the caller
// (null on failure) and whether a new object was made.
template <class Mgr, class Data>
struct CreateResult {
  Handle<Mgr, Data> handle;
  bool created = false;
};

template <class Mgr, class Data, class Policy>
class ResourceMgrBase : public ResBasePtr {
 public:
  using DataType = Data;
  using HandleType = Handle<Mgr, Data>;
  using PolicyType = Policy;
  using Result = CreateResult<Mgr, Data>;

  // The manager of this type that made the value, found through the registry by the
  // value's manager id; null when that id names no manager of this type.
  static Mgr* ofValue(uint32_t value) {
    ResBasePtr* m = managerById(HdlBase(value).mgrId());
    if (!m || m->typeTag() != &kTypeTag) return nullptr;
    return static_cast<Mgr*>(m);
  }

  // The pair every Handle<Mgr, Data> calls.
  static void addRefValue(uint32_t value) {
    if (Mgr* m = ofValue(value)) m->addRef(value);
  }
  static void releaseValue(uint32_t value) {
    if (Mgr* m = ofValue(value)) m->release(value);
  }
  // Adds a reference only to a live object; with wait false a manager lock held by
  // another thread also gives false.
  static bool addRefIfLive(uint32_t value, bool wait) {
    Mgr* m = ofValue(value);
    return m && m->addRefChecked(value, wait);
  }

  bool isValidHandle(uint32_t handle) override {
    SyncloGuard g(lock_);
    return liveSlot(handle) != nullptr;
  }

  uint32_t refCount(uint32_t handle) override {
    SyncloGuard g(lock_);
    Slot* s = liveSlot(handle);
    return s ? s->refs : 0;
  }

  bool addRef(uint32_t handle) override { return addRefChecked(handle, true); }

  // True when this release destroyed the object.
  bool release(uint32_t handle) override {
    static_cast<Mgr*>(this)->beforeRelease(handle);
    lock_.lock();
    Slot* s = liveSlot(handle);
    if (!s || s->refs == 0 || --s->refs > 0) {
      lock_.unlock();
      return false;
    }
    s->state = SlotState::dying;
    static_cast<Mgr*>(this)->unlinkSlot(HdlBase(handle).index());
    lock_.unlock();
    s->data()->~Data();
    SyncloGuard g(lock_);
    slots_.giveBack(HdlBase(handle).index());
    return true;
  }

  void* lockShared(uint32_t handle) override {
    SlotLockResult why;
    return tryLockSlot(handle, false, why);
  }
  void* lockExclusive(uint32_t handle) override {
    SlotLockResult why;
    return tryLockSlot(handle, true, why);
  }
  void unlockShared(uint32_t handle) override { unlockSlot(handle, false); }
  void unlockExclusive(uint32_t handle) override { unlockSlot(handle, true); }
  void* tryLock(uint32_t handle, bool exclusive, SlotLockResult& why) override {
    return tryLockSlot(handle, exclusive, why);
  }

  // One slot-lock attempt for the calling thread's lane; never waits for the slot.
  // Exclusive: granted to the lane that already owns it, or when no lane owns it and
  // the only shared holds are at most three of the caller's own. Shared: granted
  // unless another lane owns the slot exclusively.
  Data* tryLockSlot(uint32_t handle, bool exclusive, SlotLockResult& why) {
    const uint32_t lane = static_cast<uint32_t>(ensureThreadLane());
    SyncloGuard g(lock_);
    Slot* s = liveSlot(handle);
    if (!s) {
      why = SlotLockResult::dead;
      return nullptr;
    }
    if constexpr (kLaneLocks) {
      const uint32_t shift = 8 * (lane - 1);
      const uint64_t ownByte = 0xFFull << shift;
      if (exclusive) {
        if (s->owner == lane) {
          ++s->depth;
        } else if (s->owner != 0 || (s->readers & ~ownByte) != 0) {
          why = SlotLockResult::busy;
          return nullptr;
        } else if ((s->readers & ~(3ull << shift)) != 0) {
          why = SlotLockResult::selfBlocked;
          return nullptr;
        } else {
          s->owner = lane;
          s->depth = 1;
        }
      } else {
        if (s->owner != 0 && s->owner != lane) {
          why = SlotLockResult::busy;
          return nullptr;
        }
        // A full 8-bit count would carry into the next lane's byte.
        if ((s->readers & ownByte) == ownByte) {
          why = SlotLockResult::selfBlocked;
          return nullptr;
        }
        s->readers += 1ull << shift;
      }
    }
    ++slots_.pageLocks(HdlBase(handle).index());
    why = SlotLockResult::granted;
    return s->data();
  }

  // Undoes one matching hold of the calling lane; an unlock with nothing to undo (or of
  // a slot reused since) does nothing.
  void unlockSlot(uint32_t handle, bool exclusive) {
    const uint32_t lane = static_cast<uint32_t>(ensureThreadLane());
    SyncloGuard g(lock_);
    Slot* s = slotOfGeneration(handle);
    if (!s) return;
    if constexpr (kLaneLocks) {
      const uint32_t shift = 8 * (lane - 1);
      if (exclusive) {
        if (s->owner != lane || s->depth == 0) return;
        if (--s->depth == 0) s->owner = 0;
      } else {
        if (((s->readers >> shift) & 0xFF) == 0) return;
        s->readers -= 1ull << shift;
      }
    }
    uint32_t& pageLocks = slots_.pageLocks(HdlBase(handle).index());
    if (pageLocks > 0) --pageLocks;
  }

  // Calls f(handle value, Data&) for every live object, under the manager lock.
  template <class F>
  void forEachLive(F&& f) {
    SyncloGuard g(lock_);
    for (uint32_t i = 0; i < slots_.highWater(); ++i) {
      Slot& s = slots_.at(i);
      if (s.state == SlotState::live) f(formHandle(i, id(), s.generation), *s.data());
    }
  }

  Synclo& managerLock() { return lock_; }
  uint32_t usedCount() {
    SyncloGuard g(lock_);
    return slots_.used();
  }
  uint32_t capacity() {
    SyncloGuard g(lock_);
    return slots_.capacity();
  }
  uint32_t highWater() {
    SyncloGuard g(lock_);
    return slots_.highWater();
  }
  uint32_t pageCount() {
    SyncloGuard g(lock_);
    return slots_.pageCount();
  }
  // Slot locks currently held on the page of that slot index.
  uint32_t pageLockCount(uint32_t index) {
    SyncloGuard g(lock_);
    return index < slots_.capacity() ? slots_.pageLocks(index) : 0;
  }

  // Hooks a concrete manager may hide with its own (public) ones: run before a release
  // takes the manager lock (a count read then may still change), and under the lock
  // when an object's last reference has gone.
  void beforeRelease(uint32_t) {}
  void unlinkSlot(uint32_t) {}

  bool addRefChecked(uint32_t handle, bool wait) {
    if (!lock_.lock(wait)) return false;
    Slot* s = liveSlot(handle);
    if (s) ++s->refs;
    lock_.unlock();
    return s != nullptr;
  }

 protected:
  using Slot = ResSlot<Data>;
  static constexpr bool kLaneLocks = !std::is_same_v<Policy, SingleP>;

  ResourceMgrBase() : ResBasePtr(&kTypeTag) { registerSelf(); }

  // Once out of the registry (and, by now, the singleton pointer) no handle reaches
  // this manager, so the remaining objects end without the lock; a destructor that
  // releases a handle of this manager then does nothing.
  ~ResourceMgrBase() override {
    deregisterSelf();
    for (uint32_t i = 0; i < slots_.highWater(); ++i) {
      Slot& s = slots_.at(i);
      if (s.state == SlotState::live) {
        s.state = SlotState::dying;
        s.data()->~Data();
        s.state = SlotState::free;
      }
    }
  }

  // Takes a slot and forms its handle, holding no reference yet; 0 when the table is
  // full or the manager has no id. Call under the manager lock.
  uint32_t takeSlot() {
    if (id() >= kNoManagerId) return 0;
    uint32_t index = slots_.take();
    if (index == HdlSlotTable<Data>::kNone) return 0;
    return formHandle(index, id(), slots_.at(index).generation);
  }

  // Undoes takeSlot for an object that never got a reference: destructs it outside the
  // manager lock the caller holds once.
  void discardSlot(uint32_t handle) {
    Slot& s = slots_.at(HdlBase(handle).index());
    s.state = SlotState::dying;
    lock_.unlock();
    s.data()->~Data();
    lock_.lock();
    slots_.giveBack(HdlBase(handle).index());
  }

  // The live slot the handle names, or null. Call under the manager lock.
  Slot* liveSlot(uint32_t handle) {
    Slot* s = slotOfGeneration(handle);
    return s && s->state == SlotState::live ? s : nullptr;
  }

  // The slot the handle names while it is live or being destroyed, or null.
  Slot* slotOfGeneration(uint32_t handle) {
    HdlBase h(handle);
    if (handle == 0 || h.mgrId() != id() || h.index() >= slots_.highWater()) return nullptr;
    Slot& s = slots_.at(h.index());
    if (s.state == SlotState::free || s.generation != h.generation()) return nullptr;
    return &s;
  }

  Slot& slotAt(uint32_t index) { return slots_.at(index); }

  Synclo lock_;

 private:
  static inline char kTypeTag = 0;  // its address names the manager class
  HdlSlotTable<Data> slots_;
};

}  // namespace kesto
