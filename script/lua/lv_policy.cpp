#include "script/lua/lv_policy.h"

#include <cstdio>
#include <cstdlib>

#include "platform/thread/thread.h"
#include "script/lua/script_mgr.h"

LVPolicyHdl::LVPolicyHdl(const ScriptHdl& state) : LVPolicyHdl(state.value) {}

LVPolicyHdl::LVPolicyHdl(uint32_t stateHandle) : value_(stateHandle), counted_(stateHandle != 0) {
  if (counted_) ScriptMgr::addRefValue(value_);
}

LVPolicyHdl LVPolicyHdl::selfOf(uint32_t stateHandle) {
  LVPolicyHdl p;
  p.value_ = stateHandle;
  return p;
}

LVPolicyHdl::LVPolicyHdl(const LVPolicyHdl& other) : value_(other.value_), counted_(other.counted_) {
  if (counted_) ScriptMgr::addRefValue(value_);
}

LVPolicyHdl::~LVPolicyHdl() {
  if (counted_ && value_) ScriptMgr::releaseValue(value_);
}

LuaWrap<LVPolicyHdl>* LVPolicyHdl::lockRecord() {
  const uint32_t me = qxplat::currentThreadId();
  if (owner_.load(std::memory_order_relaxed) == me) {
    ++depth_;
    return locked_;
  }
  // Another holder of this policy object (or of another policy on the same state) makes
  // the handle lock wait here until every level of theirs is undone.
  LuaWrap<LVPolicyHdl>* record = nullptr;
  for (;;) {
    ScriptMgr* m = value_ ? ScriptMgr::ofValue(value_) : nullptr;
    if (!m) return nullptr;
    kesto::SlotLockResult why;
    record = m->tryLockSlot(value_, true, why);
    if (record) break;
    if (why != kesto::SlotLockResult::busy) return nullptr;  // gone: waiting would never end
    qxplat::yieldThread();
  }
  locked_ = record;
  lockedHandle_ = value_;
  lockMode_ = 1;
  owner_.store(me, std::memory_order_relaxed);
  depth_ = 1;
  return locked_;
}

lua_State* LVPolicyHdl::lock() {
  LuaWrap<LVPolicyHdl>* w = lockRecord();
  if (!w) return nullptr;
  if (!w->state()) {
    unlock();
    return nullptr;
  }
  return w->state();
}

void LVPolicyHdl::unlock() {
  if (owner_.load(std::memory_order_relaxed) != qxplat::currentThreadId() || depth_ <= 0) {
    std::fprintf(stderr, "script-state lock released by a thread that does not hold it\n");
    std::abort();
  }
  if (--depth_ > 0) return;
  // The record is given up before the slot, so the next holder finds it clean.
  uint32_t h = lockedHandle_;
  lockedHandle_ = 0;
  owner_.store(0, std::memory_order_relaxed);
  if (ScriptMgr* m = ScriptMgr::ofValue(h)) m->unlockSlot(h, lockMode_ == 1);
}

bool LVPolicyHdl::isValid() const {
  ScriptMgr* m = ScriptMgr::ofValue(value_);
  return m && value_ && m->isValidHandle(value_);
}

bool LVPolicyHdl::heldByMe() const {
  return owner_.load(std::memory_order_relaxed) == qxplat::currentThreadId() && depth_ > 0;
}

void LVPolicyHdl::swap(LVPolicyHdl& other) noexcept {
  std::swap(value_, other.value_);
  std::swap(counted_, other.counted_);
  std::swap(lockedHandle_, other.lockedHandle_);
  std::swap(lockMode_, other.lockMode_);
  std::swap(locked_, other.locked_);
  uint32_t o = owner_.load(std::memory_order_relaxed);
  owner_.store(other.owner_.load(std::memory_order_relaxed), std::memory_order_relaxed);
  other.owner_.store(o, std::memory_order_relaxed);
  std::swap(depth_, other.depth_);
}
