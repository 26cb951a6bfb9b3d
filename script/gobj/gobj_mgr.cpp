#include "script/gobj/gobj_mgr.h"

#include <exception>
#include <string>
#include <utility>

#include "runtime/res/hdl_lock.h"
#include "script/lua/gc_pause.h"
#include "script/lua/handler_call.h"
#include "script/lua/lua_func_path.h"
#include "script/lua/script_mgr.h"
#include "script/lua/script_report.h"

namespace {

// Undoes one level of a state lock taken with lockRecord, and restores the stack top.
class StateScope {
 public:
  explicit StateScope(LVPolicyHdl& policy) : policy_(policy), record_(policy.lockRecord()) {
    if (record_ && record_->state()) top_ = lua_gettop(record_->state());
  }
  ~StateScope() {
    if (!record_) return;
    if (lua_State* L = record_->state(); L && top_ >= 0) lua_settop(L, top_);
    policy_.unlock();
  }
  StateScope(const StateScope&) = delete;
  StateScope& operator=(const StateScope&) = delete;

  LuaWrap<LVPolicyHdl>* record() const { return record_; }
  // Null while the state is closing (or was never opened).
  lua_State* state() const { return record_ ? record_->state() : nullptr; }
  // The top to restore: taken after the pending results are dropped.
  void retakeTop() { top_ = lua_gettop(record_->state()); }

 private:
  LVPolicyHdl& policy_;
  LuaWrap<LVPolicyHdl>* record_;
  int top_ = -1;
};

// Makes a state current on the calling thread for a call the engine makes on its own.
class CurrentState {
 public:
  explicit CurrentState(uint32_t state) : mgr_(ScriptMgr::ofValue(state)) {
    if (mgr_) previous_ = mgr_->exchangeThreadEntry(state);
  }
  ~CurrentState() {
    if (mgr_) mgr_->exchangeThreadEntry(previous_);
  }
  CurrentState(const CurrentState&) = delete;
  CurrentState& operator=(const CurrentState&) = delete;

 private:
  ScriptMgr* mgr_;
  uint32_t previous_ = 0;
};

std::string errorOnTop(lua_State* L) {
  const char* msg = lua_tostring(L, -1);
  return msg ? msg : std::string("error object is a ") + luaL_typename(L, -1);
}

}  // namespace

GobjMgr::~GobjMgr() = default;

bool GobjMgr::pushWeakOne(lua_State* L, uint32_t handle) {
  const int top = lua_gettop(L);
  if (pushWeak(L, handle) && lua_gettop(L) == top + 1) return true;
  lua_settop(L, top);
  return false;
}

GobjHdl GobjMgr::newGobj(int32_t upriority) {
  GobjHdl h = create().handle;
  if (!h.value) {
    if (!fullReported_.exchange(true)) {
      scriptDebugLog("game objects full: all " + std::to_string(kMaxGobjs) + " are alive; no new \"Gobj\" was made");
    }
    return h;
  }
  fullReported_.store(false, std::memory_order_relaxed);
  uint32_t state = 0;
  if (ScriptMgr* scripts = ScriptMgr::instance()) state = scripts->lookupThreadEntry();
  kesto::HdlLock<GobjHdl> lock(h);
  if (lock) lock->init(upriority, h.value, state);
  return h;
}

// ---- posting --------------------------------------------------------------------------

GobjMsg& GobjMgr::appendLocked(uint32_t target, const char* name) {
  std::vector<GobjMsg>& list = queue_[target];
  list.emplace_back(target, name);
  return list.back();
}

void GobjMgr::postMsg(uint32_t target, const char* name, LuaVar* values, uint32_t count) {
  if (count > GobjMsg::kMaxValues) count = GobjMsg::kMaxValues;
  kesto::SyncloGuard g(msgLock_);
  GobjMsg& msg = appendLocked(target, name);
  for (uint32_t i = 0; i < count; ++i) msg.values[i].swap(values[i]);
  msg.count = count;
}

void GobjMgr::postMsg0(uint32_t target, const char* name) { postMsg(target, name, nullptr, 0); }

void GobjMgr::postMsg1(uint32_t target, const char* name, LuaVar v1) { postMsg(target, name, &v1, 1); }

void GobjMgr::postMsg2(uint32_t target, const char* name, LuaVar v1, LuaVar v2) {
  LuaVar values[2];
  values[0].swap(v1);
  values[1].swap(v2);
  postMsg(target, name, values, 2);
}

void GobjMgr::postMsg3(uint32_t target, const char* name, LuaVar v1, LuaVar v2, LuaVar v3) {
  LuaVar values[3];
  values[0].swap(v1);
  values[1].swap(v2);
  values[2].swap(v3);
  postMsg(target, name, values, 3);
}

size_t GobjMgr::queuedCount() {
  kesto::SyncloGuard g(msgLock_);
  size_t n = 0;
  for (const auto& entry : queue_) n += entry.second.size();
  return n;
}

// ---- delivery -------------------------------------------------------------------------

void GobjMgr::postTask(std::function<void()> task) {
  kesto::SyncloGuard g(msgLock_);
  tasks_.push_back(std::move(task));
}

void GobjMgr::deliverMsgs(uint32_t target) {
  Queue batch;
  std::vector<std::function<void()>> tasks;
  {
    kesto::SyncloGuard g(msgLock_);
    if (target == 0) {
      batch.swap(queue_);
      tasks.swap(tasks_);
    } else if (auto it = queue_.find(target); it != queue_.end()) {
      batch.insert(queue_.extract(it));
    }
  }
  for (auto& task : tasks) {
    try {
      task();
    } catch (const std::exception& e) {
      scriptDebugLog(std::string("main-thread task failed: ") + e.what());
    }
  }
  for (auto& [handle, list] : batch) {
    for (GobjMsg& msg : list) {
      try {
        deliverOne(msg);
      } catch (const std::exception& e) {
        scriptDebugLog(std::string("message \"") + msg.name + "\" not delivered: " + e.what());
      }
    }
  }
}

void GobjMgr::deliverOne(GobjMsg& msg) {
  // The counted copy keeps the object alive through its handler.
  GobjHdl obj = copyIfValid(msg.target);
  if (!obj.value) return;
  uint32_t state = 0;
  {
    kesto::SyncloGuard g(lock_);
    if (Slot* s = liveSlot(obj.value)) state = s->data()->scriptState;
  }
  LVPolicyHdl policy(state);
  if (!state || !policy.isValid()) return;
  StateScope scope(policy);
  lua_State* L = scope.state();
  if (!L) return;
  scope.record()->dropResults();
  scope.retakeTop();
  const int base = lua_gettop(L);
  if (!lua_checkstack(L, 4 + static_cast<int>(GobjMsg::kMaxValues))) return;
  if (GobjMsgHead(msg.target, msg.name).pushRecvmsg(L) != 3) return;
  const uint32_t count = msg.count <= GobjMsg::kMaxValues ? msg.count : 0;
  {
    GcPause pause(L);
    for (uint32_t i = 0; i < count; ++i) {
      // Exactly one argument per value, so later values keep their places.
      const int before = lua_gettop(L);
      msg.values[i].push(L);
      lua_settop(L, before + 1);
    }
  }
  { LuaCallRes r = scope.record()->call(base, 3 + static_cast<int>(count), false, "recvmsg"); }
  scope.record()->dropResults();
}

// ---- release --------------------------------------------------------------------------

bool GobjMgr::release(uint32_t handle) {
  lock_.lock();
  Slot* s = liveSlot(handle);
  if (!s || s->refs == 0) {
    lock_.unlock();
    return false;
  }
  // The count is read and lowered in one hold of the lock, so of releases racing each
  // other exactly one sees the last reference.
  if (s->refs == 1 && !s->data()->deathHeard) {
    s->data()->deathHeard = true;
    const uint32_t state = s->data()->scriptState;
    lock_.unlock();
    // The reference being released keeps the object alive while the script hears of it.
    hearDeath(handle, state);
    lock_.lock();
    s = liveSlot(handle);
    if (!s || s->refs == 0) {
      lock_.unlock();
      return false;
    }
    // Revived by delete_gobj: alive, so not lost, and its real death is told again.
    if (s->refs > 1) s->data()->deathHeard = false;
  }
  if (--s->refs > 0) {
    lock_.unlock();
    return false;
  }
  discardSlot(handle);
  lock_.unlock();
  kesto::SyncloGuard g(lostLock_);
  lost_[lostIndex_].push_back(handle);
  return true;
}

void GobjMgr::hearDeath(uint32_t handle, uint32_t state) {
  if (state) {
    LVPolicyHdl policy(state);
    if (policy.isValid()) {
      StateScope scope(policy);
      // A closing state has already given up its lua_State: nothing to tell.
      if (lua_State* L = scope.state(); L && lua_checkstack(L, 3)) {
        CurrentState current(state);
        LuaFuncPath("delete_gobj", 0).push(L, 0);
        if (pushWeakOne(L, handle) && handlerPcall(L, 1, 0, "delete_gobj") != 0) {
          scriptDebugLog("delete_gobj failed: " + errorOnTop(L));
        }
      }
    }
  }
}

// ---- lost handles ---------------------------------------------------------------------

void GobjMgr::flipLostList() {
  kesto::SyncloGuard g(lostLock_);
  lostIndex_ ^= 1;
  lost_[lostIndex_].clear();
}

void GobjMgr::copyLostList(std::vector<uint32_t>& out) {
  kesto::SyncloGuard g(lostLock_);
  out = lost_[lostIndex_ ^ 1];
}

// ---- pushing --------------------------------------------------------------------------

bool GobjMgr::pushHdl(lua_State* L, uint32_t handle, uint32_t word) {
  if (handle == 0 || !lua_checkstack(L, 3)) {
    lua_pushnil(L);
    return false;
  }
  const int top = lua_gettop(L);
  LuaFuncPath("ref_gobj", 0).push(L, 0);
  if (!lua_isnil(L, -1) && pushWeakOne(L, handle)) {
    if (handlerPcall(L, 1, 1, "ref_gobj") != 0) {
      scriptDebugLog("ref_gobj failed: " + errorOnTop(L));
      lua_settop(L, top);
      lua_pushnil(L);
      return false;
    }
    if (!lua_isnil(L, -1)) return true;
  }
  lua_settop(L, top);
  return ResBasePtr::pushStrong(L, handle, word);
}
