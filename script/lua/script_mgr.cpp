#include "script/lua/script_mgr.h"

#include <atomic>

#include "platform/thread/thread.h"
#include "runtime/res/hdl_lock.h"

namespace {
std::atomic<ScriptMgr::StateSetupFn> gStateSetup{nullptr};
}

ScriptMgr::~ScriptMgr() = default;

void ScriptMgr::setStateSetup(StateSetupFn fn) { gStateSetup.store(fn, std::memory_order_release); }

ScriptHdl ScriptMgr::createState(std::u16string* errorText) {
  ScriptHdl h = create(1).handle;
  if (!h.value) return h;
  {
    kesto::HdlLock<ScriptHdl> lock(h);
    if (!lock) return ScriptHdl();
    LuaWrap<LVPolicyHdl>& w = *lock;
    w.reset(LVPolicyHdl::selfOf(h.value));
    if (!w.openState()) return ScriptHdl();
    lua_State* L = w.state();
    // The engine's loader goes after the standard ones.
    lua_getglobal(L, "package");
    if (lua_istable(L, -1)) {
      lua_getfield(L, -1, "loaders");
      if (lua_istable(L, -1)) {
        int n = static_cast<int>(lua_objlen(L, -1));
        lua_pushcclosure(L, luaScriptLoader, 0);
        lua_rawseti(L, -2, n + 1);
      }
      lua_pop(L, 1);
    }
    lua_pop(L, 1);
    if (StateSetupFn setup = gStateSetup.load(std::memory_order_acquire)) setup(L);
    if (w.runMainScript() != 0 && errorText) *errorText = w.errorText();
  }
  return h;
}

uint32_t ScriptMgr::lookupThreadEntry() {
  kesto::SyncloGuard g(mapLock_);
  auto it = threadEntries_.find(qxplat::currentThreadId());
  return it == threadEntries_.end() ? 0 : it->second;
}

uint32_t ScriptMgr::exchangeThreadEntry(uint32_t handle) {
  kesto::SyncloGuard g(mapLock_);
  const uint32_t me = qxplat::currentThreadId();
  auto it = threadEntries_.find(me);
  uint32_t old = it == threadEntries_.end() ? 0 : it->second;
  // A thread without a current state keeps no entry, so ended threads leave nothing.
  if (handle && it != threadEntries_.end()) {
    it->second = handle;
  } else if (handle) {
    if (spareEntry_.empty()) {
      threadEntries_.emplace(me, handle);
    } else {
      spareEntry_.key() = me;
      spareEntry_.mapped() = handle;
      threadEntries_.insert(std::move(spareEntry_));
    }
  } else if (it != threadEntries_.end()) {
    spareEntry_ = threadEntries_.extract(it);
  }
  return old;
}

uint32_t ScriptMgr::handleOfMainState(lua_State* L) {
  kesto::SyncloGuard g(mapLock_);
  auto it = mainStates_.find(L);
  return it == mainStates_.end() ? 0 : it->second;
}

uint32_t ScriptMgr::stateFor(lua_State* L) {
  uint32_t h = handleOfMainState(L);
  return h ? h : lookupThreadEntry();
}

void ScriptMgr::noteStateOpened(lua_State* L, uint32_t handle) {
  kesto::SyncloGuard g(mapLock_);
  mainStates_[L] = handle;
}

void ScriptMgr::noteStateClosed(lua_State* L) {
  kesto::SyncloGuard g(mapLock_);
  mainStates_.erase(L);
}

ScriptHdl currentScriptState() {
  ScriptMgr* m = ScriptMgr::instance();
  if (!m) return ScriptHdl();
  return ScriptHdl::fromValue(m->lookupThreadEntry());
}
