#include "script/qx/hdl_udata.h"

#include <exception>
#include <string>

#include "platform/thread/thread.h"
#include "runtime/core/handle.h"
#include "runtime/mem/mem_mgr.h"
#include "script/lua/script_report.h"
#include "script/lua/stack_readers.h"
#include "script/lua/table_access.h"

namespace {

// Registry keys (their addresses): the environment table that marks every strong
// userdata this file made, and the metatable of strong userdata whose class has none.
char kStrongMarkKey;
char kFallbackMetatableKey;

void pushRegistryTable(lua_State* L, void* key, bool withGc) {
  lua_pushlightuserdata(L, key);
  lua_rawget(L, LUA_REGISTRYINDEX);
  if (lua_istable(L, -1)) return;
  lua_pop(L, 1);
  lua_createtable(L, 0, 1);
  if (withGc) {
    lua_pushcfunction(L, QX_Release);
    lua_setfield(L, -2, "__gc");
  }
  lua_pushlightuserdata(L, key);
  lua_pushvalue(L, -2);
  lua_rawset(L, LUA_REGISTRYINDEX);
}

// Pushes dir[key][field] when it is a table, else nil. Engine code pushes handles outside
// any script call too, so a lookup never raises (strict globals, say); it also runs
// before the strong userdata is made, which therefore never strands its reference.
template <class PushKey>
void pushClassMetatable(lua_State* L, const char* dir, PushKey pushKey, const char* field) {
  lua_pushvalue(L, LUA_GLOBALSINDEX);
  lua_pushstring(L, dir);
  indexTopSafe(L);
  lua_remove(L, -2);
  pushKey();
  indexTopSafe(L);
  lua_remove(L, -2);
  lua_pushstring(L, field);
  indexTopSafe(L);
  lua_remove(L, -2);
  if (!lua_istable(L, -1)) {
    lua_pop(L, 1);
    lua_pushnil(L);
  }
}

// With the class metatable (or nil) below a new userdata: gives the userdata that
// metatable, or for a strong one without a class metatable the fallback, then drops
// the metatable slot so that the userdata is left on the top.
void attachMetatable(lua_State* L, bool strong) {
  if (lua_istable(L, -2)) {
    lua_pushvalue(L, -2);
    lua_setmetatable(L, -2);
  } else if (strong) {
    pushRegistryTable(L, &kFallbackMetatableKey, true);
    lua_setmetatable(L, -2);
  }
  lua_remove(L, -2);
}

template <class PushKey>
bool pushWithClassMetatable(lua_State* L, uint32_t handle, uint32_t word, bool strong, const char* dir,
                            PushKey pushKey) {
  if (handle == 0) {
    lua_pushnil(L);
    return false;
  }
  pushClassMetatable(L, dir, pushKey, strong ? "mt" : "mt_w");
  bool pushed = strong ? pushHandleUdata(L, handle, word) : pushWeakHandleUdata(L, handle);
  if (!pushed) {
    lua_remove(L, -2);
    return false;
  }
  attachMetatable(L, strong);
  return true;
}

}  // namespace

// ---- HdlRef --------------------------------------------------------------------------

kesto::ResBasePtr* HdlRef::manager() const { return kesto::managerById(mgrId); }

namespace {

void* lockLoop(HdlRef& r, bool exclusive) {
  if (r.handle == 0) return nullptr;
  for (;;) {
    kesto::ResBasePtr* m = r.manager();
    if (!m) return nullptr;
    kesto::SlotLockResult why;
    if (void* d = m->tryLock(r.handle, exclusive, why)) return d;
    if (why != kesto::SlotLockResult::busy) return nullptr;
    qxplat::yieldThread();
  }
}

}  // namespace

void* HdlRef::lockExclusive() {
  void* d = lockLoop(*this, true);
  if (d) ++depth;
  return d;
}

void* HdlRef::lockShared() {
  void* d = lockLoop(*this, false);
  if (d) --depth;
  return d;
}

void HdlRef::unlockOne() {
  if (depth == 0) return;
  kesto::ResBasePtr* m = manager();
  if (depth < 0) {
    if (m) m->unlockShared(handle);
    ++depth;
  } else {
    if (m) m->unlockExclusive(handle);
    --depth;
  }
}

void HdlRef::release() {
  while (depth != 0) unlockOne();
  uint32_t h = handle;
  handle = 0;
  if (h == 0) return;
  if (kesto::ResBasePtr* m = manager()) m->release(h);
}

// ---- userdata ------------------------------------------------------------------------

bool pushHandleUdata(lua_State* L, uint32_t handle, uint32_t word) {
  kesto::ResBasePtr* m = handle ? kesto::HdlBase(handle).manager() : nullptr;
  if (!m) {
    lua_pushnil(L);
    return false;
  }
  auto* r = static_cast<HdlRef*>(lua_newuserdata(L, sizeof(HdlRef)));
  *r = HdlRef{0, word, 0, kesto::HdlBase(handle).mgrId()};
  pushRegistryTable(L, &kStrongMarkKey, false);
  lua_setfenv(L, -2);
  // The reference is taken last: nothing after it can fail and strand it.
  if (!m->addRef(handle)) {
    lua_pop(L, 1);
    lua_pushnil(L);
    return false;
  }
  r->handle = handle;
  return true;
}

bool pushWeakHandleUdata(lua_State* L, uint32_t handle) {
  if (handle == 0) {
    lua_pushnil(L);
    return false;
  }
  auto* w = static_cast<WeakHdlUdata*>(lua_newuserdata(L, sizeof(WeakHdlUdata)));
  w->handle = handle;
  return true;
}

HdlRef* toHdlRef(lua_State* L, int index) {
  if (lua_type(L, index) != LUA_TUSERDATA || lua_objlen(L, index) != sizeof(HdlRef)) return nullptr;
  index = absIndex(L, index);
  lua_getfenv(L, index);
  lua_pushlightuserdata(L, &kStrongMarkKey);
  lua_rawget(L, LUA_REGISTRYINDEX);
  bool marked = lua_istable(L, -1) && lua_rawequal(L, -1, -2);
  lua_pop(L, 2);
  return marked ? static_cast<HdlRef*>(lua_touserdata(L, index)) : nullptr;
}

HdlRef* getUdataArg1(lua_State* L) {
  switch (lua_type(L, 1)) {
    case LUA_TUSERDATA:
      return toHdlRef(L, 1);
    case LUA_TTABLE: {
      lua_pushstring(L, "udata");
      lua_rawget(L, 1);
      HdlRef* r = toHdlRef(L, -1);
      lua_pop(L, 1);
      return r;
    }
    default:
      return nullptr;
  }
}

uint32_t readHandleArg(lua_State* L) { return getHandleAt(L, 1); }

int QX_Release(lua_State* L) {
  HdlRef* r = toHdlRef(L, 1);
  if (!r) return 0;
  // A collector run must not end in an engine exception: the object's destructor
  // failing is reported, and the reference counts as given back.
  try {
    r->release();
  } catch (const std::exception& e) {
    scriptDebugLog(std::string("QX_Release: ") + e.what());
  }
  return 0;
}

bool pushStrongOfManager(lua_State* L, uint32_t handle, uint32_t word) {
  return pushWithClassMetatable(L, handle, word, true, "QXMGRMT",
                                [&] { lua_pushinteger(L, kesto::HdlBase(handle).mgrId()); });
}

bool pushWeakOfManager(lua_State* L, uint32_t handle) {
  return pushWithClassMetatable(L, handle, 0, false, "QXMGRMT",
                                [&] { lua_pushinteger(L, kesto::HdlBase(handle).mgrId()); });
}

bool pushMemItemUdata(lua_State* L, uint32_t handle, uint32_t word, const char* className, bool strong) {
  return pushWithClassMetatable(L, handle, word, strong, "QXMEMMT",
                                [&] { lua_pushstring(L, className ? className : ""); });
}

void installHandlePushers() {
  kesto::setHandlePushers(pushStrongOfManager, pushWeakOfManager);
  setMemItemPusher(pushMemItemUdata);
  setMemMgrReporter([](std::string_view message) { scriptDebugLog(message); });
}

// ---- table utilities -----------------------------------------------------------------

void getOrCreateSubtable(lua_State* L, const char* name) {
  lua_pushstring(L, name);
  lua_rawget(L, -2);
  if (!lua_isnil(L, -1)) return;
  lua_pop(L, 1);
  lua_newtable(L);
  lua_pushstring(L, name);
  lua_pushvalue(L, -2);
  lua_rawset(L, -4);
}

void getFieldOfTop(lua_State* L, const char* key) { lua_getfield(L, -1, key); }
