#include "script/lua/gc_pause.h"

#include <cstring>

namespace {

// Registry key of the flag: true while the script has the collector stopped.
const char kStoppedKey = 0;

void setStopped(lua_State* L, bool stopped) {
  lua_pushlightuserdata(L, const_cast<char*>(&kStoppedKey));
  lua_pushboolean(L, stopped ? 1 : 0);
  lua_rawset(L, LUA_REGISTRYINDEX);
}

bool scriptStopped(lua_State* L) {
  lua_pushlightuserdata(L, const_cast<char*>(&kStoppedKey));
  lua_rawget(L, LUA_REGISTRYINDEX);
  const bool stopped = lua_toboolean(L, -1) != 0;
  lua_pop(L, 1);
  return stopped;
}

// collectgarbage(opt, arg): the library's own (upvalue 1), then the note. The arguments
// are checked here first, so a bad one is reported under this function's name as before.
int collectGarbage(lua_State* L) {
  static const char* const kOptions[] = {"stop", "restart", "collect", "count", "step", "setpause", "setstepmul",
                                         nullptr};
  const char* opt = kOptions[luaL_checkoption(L, 1, "collect", kOptions)];
  luaL_optinteger(L, 2, 0);
  const bool stop = std::strcmp(opt, "stop") == 0;
  const bool start = std::strcmp(opt, "restart") == 0 || std::strcmp(opt, "collect") == 0 ||
                     std::strcmp(opt, "step") == 0;
  lua_pushvalue(L, lua_upvalueindex(1));
  lua_insert(L, 1);
  lua_call(L, lua_gettop(L) - 1, LUA_MULTRET);
  if (stop || start) setStopped(L, stop);
  return lua_gettop(L);
}

}  // namespace

void trackScriptGcStop(lua_State* L) {
  lua_getglobal(L, "collectgarbage");
  if (!lua_isfunction(L, -1)) {
    lua_pop(L, 1);
    return;
  }
  lua_pushcclosure(L, collectGarbage, 1);
  lua_setglobal(L, "collectgarbage");
}

GcPause::GcPause(lua_State* L) : L_(L) {
  if (!L_ || !lua_checkstack(L_, 2) || scriptStopped(L_)) return;
  lua_gc(L_, LUA_GCSTOP, 0);
  paused_ = true;
}

GcPause::~GcPause() {
  if (paused_ && !scriptStopped(L_)) lua_gc(L_, LUA_GCRESTART, 0);
}
