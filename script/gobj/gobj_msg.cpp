#include "script/gobj/gobj_msg.h"

#include <string>

#include "script/gobj/gobj_mgr.h"
#include "script/lua/handler_call.h"
#include "script/lua/script_report.h"
#include "script/lua/table_access.h"

namespace {

// (weak handle) -> recvmsg method, script object; nothing when either is missing.
int lookupRecvmsg(lua_State* L) {
  lua_settop(L, 1);
  lua_getfield(L, LUA_GLOBALSINDEX, "ref_gobj");
  lua_pushvalue(L, 1);
  lua_call(L, 1, 1);
  if (lua_isnil(L, 2)) return 0;
  lua_getfield(L, 2, "recvmsg");
  if (lua_isnil(L, 3)) return 0;
  lua_insert(L, 2);
  return 2;
}

// Registry key of the state's one lookupRecvmsg closure.
char kLookupKey;

}  // namespace

int GobjMsgHead::pushRecvmsg(lua_State* L) const {
  GobjMgr* mgr = GobjMgr::ofValue(target);
  if (!mgr || !lua_checkstack(L, 6)) return 0;
  const int top = lua_gettop(L);
  pushCachedCFunction(L, &kLookupKey, lookupRecvmsg);
  if (!mgr->pushWeak(L, target) || lua_gettop(L) != top + 2) {
    lua_settop(L, top);
    return 0;
  }
  if (handlerPcall(L, 1, 2, "ref_gobj") != 0) {
    const char* err = lua_tostring(L, -1);
    scriptDebugLog(std::string("recvmsg lookup for \"") + name + "\" failed: " + (err ? err : "(error object)"));
    lua_settop(L, top);
    return 0;
  }
  if (lua_isnil(L, -2)) {
    lua_settop(L, top);
    return 0;
  }
  lua_pushnumber(L, 0);
  lua_pushstring(L, name);
  return 3;
}
