// The script-state lock. Each engine object that touches a state (the state record, a
// call result, a pinned value) carries its own policy naming the state by handle; the
// policy locks through the handle lock of the state's slot, re-entrant for the thread
// that holds it, so nested engine code locks again without blocking. Another thread
// waits until the holder has unlocked every level.
#pragma once
#include <atomic>
#include <cstdint>
#include <utility>

#include "script/lua/lua_api.h"
#include "script/lua/script_fwd.h"

class LVPolicyHdl {
 public:
  LVPolicyHdl() = default;
  // A counted reference to the state.
  explicit LVPolicyHdl(const ScriptHdl& state);
  explicit LVPolicyHdl(uint32_t stateHandle);
  // The policy a state record keeps for itself: it names the record without counting,
  // so the record ends when the last outside reference goes.
  static LVPolicyHdl selfOf(uint32_t stateHandle);
  // A policy on the same state (counted like the source), not locked.
  LVPolicyHdl(const LVPolicyHdl& other);
  LVPolicyHdl& operator=(const LVPolicyHdl&) = delete;
  // Releases the reference; never unlocks.
  ~LVPolicyHdl();

  // The state, locked for the calling thread; null when the state no longer exists.
  lua_State* lock();
  // The record behind the state, locked the same way (null when it no longer exists).
  LuaWrap<LVPolicyHdl>* lockRecord();
  // Undoes one lock level. Unlocking from a thread that does not hold the policy is a
  // programming error: the process aborts with a message.
  void unlock();

  bool isValid() const;
  uint32_t handle() const { return value_; }
  bool heldByMe() const;
  int depth() const { return depth_; }
  void swap(LVPolicyHdl& other) noexcept;
  // Drops the reference without releasing it (the record is being destroyed).
  void forget() { value_ = 0; counted_ = false; }

 private:
  uint32_t value_ = 0;
  bool counted_ = false;
  // The lock record: the slot held (0 while unlocked), its mode and the locked record.
  uint32_t lockedHandle_ = 0;
  uint8_t lockMode_ = 1;
  LuaWrap<LVPolicyHdl>* locked_ = nullptr;
  std::atomic<uint32_t> owner_{0};
  int32_t depth_ = 0;
};

// The lock-free policy of a record built over a state the caller already holds.
class LVPolicyPtr {
 public:
  LVPolicyPtr() = default;
  explicit LVPolicyPtr(lua_State* L) : L_(L) {}
  lua_State* lock() { return L_; }
  void unlock() {}
  bool isValid() const { return L_ != nullptr; }
  lua_State* state() const { return L_; }
  void swap(LVPolicyPtr& other) noexcept { std::swap(L_, other.L_); }

 private:
  lua_State* L_ = nullptr;
};

// Scoped lock of a policy; state() is null when the state no longer exists.
template <class Policy>
class LVLockGuard {
 public:
  explicit LVLockGuard(Policy& p) : p_(p), L_(p.lock()) {}
  ~LVLockGuard() {
    if (L_) p_.unlock();
  }
  LVLockGuard(const LVLockGuard&) = delete;
  LVLockGuard& operator=(const LVLockGuard&) = delete;
  lua_State* state() const { return L_; }

 private:
  Policy& p_;
  lua_State* L_;
};
