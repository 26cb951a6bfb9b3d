#include "script/bind/self_object.h"

#include "script/bind/script_error.h"

#include <cstring>

#include "platform/thread/thread.h"
#include "runtime/mem/mem_mgr.h"
#include "runtime/res/res_base.h"
#include "script/bind/object_kinds.h"
#include "script/qx/hdl_udata.h"

namespace qxbind {

namespace {

bool isMemoryManager(uint32_t handle) {
  return MemMgr<kesto::MultiP>::ofValue(handle) != nullptr || MemMgr<kesto::SingleP>::ofValue(handle) != nullptr;
}

// The sub-object field a proxy table names ("" for any other self).
const char* subName(lua_State* L) {
  if (!lua_istable(L, 1)) return "";
  lua_pushstring(L, "_sub");
  lua_rawget(L, 1);
  const char* s = lua_type(L, -1) == LUA_TSTRING ? lua_tostring(L, -1) : nullptr;
  lua_pop(L, 1);
  // The proxy table keeps the string alive while it is self.
  return s ? s : "";
}

}  // namespace

SelfHold::~SelfHold() {
  if (!mgr_) return;
  if (locked_) {
    if (exclusive_) {
      mgr_->unlockExclusive(handle_);
    } else {
      mgr_->unlockShared(handle_);
    }
  }
  mgr_->release(handle_);
}

void* SelfHold::lock(lua_State* L, const void* key, bool exclusive, const char* what) {
  HdlRef* ref = getUdataArg1(L);
  if (!ref || ref->handle == 0) {
    qxbind::raiseAtScript(L, "%s: self is not an engine object (call it with ':')", what);
    return nullptr;
  }
  const uint32_t handle = ref->handle;
  kesto::ResBasePtr* mgr = kesto::managerById(kesto::HdlBase(handle).mgrId());
  if (!mgr) return qxbind::raiseAtScript(L, "%s: the object's manager is gone", what), nullptr;
  if (!mgr->addRef(handle)) return qxbind::raiseAtScript(L, "%s: the object was released", what), nullptr;
  mgr_ = mgr;
  handle_ = handle;
  void* data = nullptr;
  for (;;) {
    kesto::SlotLockResult why;
    data = mgr->tryLock(handle, exclusive, why);
    if (data) break;
    if (why == kesto::SlotLockResult::dead) return qxbind::raiseAtScript(L, "%s: the object was released", what), nullptr;
    if (why != kesto::SlotLockResult::busy) {
      return qxbind::raiseAtScript(L, "%s: the object is held by this thread in a way that cannot be locked", what), nullptr;
    }
    qxplat::yieldThread();
  }
  exclusive_ = exclusive;
  locked_ = true;

  void* object = nullptr;
  if (isMemoryManager(handle)) {
    auto* item = static_cast<MemItem*>(data);
    object = findItemKind(item->desc(), item->data(), key, subName(L));
  } else if (resourceKind(mgr->id()) == key && subName(L)[0] == 0) {
    object = data;
  }
  if (!object) return qxbind::raiseAtScript(L, "%s: self is an object of another class", what), nullptr;
  return object;
}

void* pointerSelf(lua_State* L, const void* key, const char* what) {
  void* object = lua_touserdata(L, lua_upvalueindex(1));
  const void* kind = lua_touserdata(L, lua_upvalueindex(2));
  bool named = false;
  if (lua_islightuserdata(L, 1)) {
    named = lua_touserdata(L, 1) == object;
  } else if (lua_istable(L, 1)) {
    lua_pushstring(L, "pointer");
    lua_rawget(L, 1);
    named = lua_touserdata(L, -1) == object;
    lua_pop(L, 1);
  }
  if (!object || !named) return qxbind::raiseAtScript(L, "%s: self is not its class (call it with ':')", what), nullptr;
  if (kind != key) return qxbind::raiseAtScript(L, "%s: bound to an object of another class", what), nullptr;
  return object;
}

}  // namespace qxbind
