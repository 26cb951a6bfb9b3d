#include "scene/anim/anim_notify.h"

#include "runtime/res/hdl_lock.h"
#include "script/gobj/gobj_mgr.h"
#include "script/lua/lua_wrap.h"
#include "script/lua/lv_policy.h"

namespace {

class RecordLock {
 public:
  explicit RecordLock(LVPolicyHdl& p) : p_(p), record_(p.lockRecord()) {}
  ~RecordLock() {
    if (record_) p_.unlock();
  }
  RecordLock(const RecordLock&) = delete;
  RecordLock& operator=(const RecordLock&) = delete;
  LuaWrap<LVPolicyHdl>* record() const { return record_; }

 private:
  LVPolicyHdl& p_;
  LuaWrap<LVPolicyHdl>* record_;
};

}  // namespace

void sendAnimEvent(uint32_t target, const char* name, int32_t id, const char* tag) {
  GobjMgr* gobjs = GobjMgr::instance();
  if (!gobjs) return;
  // The counted copy keeps the object alive through its handler.
  GobjHdl obj = gobjs->copyIfValid(target);
  if (!obj.value) return;
  uint32_t state = 0;
  {
    kesto::HdlLock<GobjHdl> lock(obj.value, kesto::HdlLock<GobjHdl>::kShared);
    if (!lock) return;
    state = lock->scriptState;
  }
  LVPolicyHdl policy(state);
  if (!policy.isValid()) return;
  RecordLock held(policy);
  LuaWrap<LVPolicyHdl>* record = held.record();
  lua_State* L = record ? record->state() : nullptr;
  if (!L || !lua_checkstack(L, 8)) return;
  const int base = lua_gettop(L);
  if (GobjMsgHead(obj.value, name).pushRecvmsg(L) != 3) {
    lua_settop(L, base);
    return;
  }
  lua_pushinteger(L, id);
  int nargs = 4;
  if (tag) {
    lua_pushstring(L, tag);
    ++nargs;
  }
  { LuaCallRes r = record->call(base, nargs, false); }
  // Only this call's results: an outer call's stack below base stays as it was.
  record->dropResults();
  lua_settop(L, base);
}
