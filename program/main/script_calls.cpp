#include "program/main/script_calls.h"

namespace {

template <class PushArgs>
LuaCallRes callMain(LuaWrap<LVPolicyHdl>& record, const LuaFuncPath& path, int nargs, PushArgs pushArgs) {
  record.dropResults();
  lua_State* L = record.policy().lock();
  const int base = L ? lua_gettop(L) : 0;
  if (L) {
    path.push(L, record.yieldFlag());
    pushArgs(L);
  }
  // With no state the call itself reports the failure.
  LuaCallRes result = record.call(base, L ? nargs : 0, path.isResume());
  if (L) record.policy().unlock();
  return result;
}

}  // namespace

LuaCallRes callGlobal0(LuaWrap<LVPolicyHdl>& record, const LuaFuncPath& path) {
  return callMain(record, path, 0, [](lua_State*) {});
}

LuaCallRes callFrameUpdate(LuaWrap<LVPolicyHdl>& record, const LuaFuncPath& path, float dt, float updateMs,
                           float drawMs, int32_t fps) {
  return callMain(record, path, 5, [&](lua_State* L) {
    lua_pushinteger(L, kMainUpdatePhase);
    lua_pushnumber(L, dt);
    lua_pushnumber(L, updateMs);
    lua_pushnumber(L, drawMs);
    lua_pushinteger(L, fps);
  });
}

LuaCallRes callFrameDraw(LuaWrap<LVPolicyHdl>& record, const LuaFuncPath& path, int32_t value) {
  return callMain(record, path, 2, [&](lua_State* L) {
    lua_pushinteger(L, kMainDrawPhase);
    lua_pushinteger(L, value);
  });
}

LuaCallRes readMainResults(const LuaCallRes& result, bool& keepRunning) {
  lua_State* L = result.state();
  const int n = L ? result.count() : 0;
  keepRunning = n > 0 && lua_toboolean(L, result.indexOf(0)) != 0;
  // part() would count one result too many over an empty list.
  if (n > 0) return result.part();
  return LuaCallRes(L, 0, result.step(), result.status());
}
