#include "script/lua/handler_call.h"

#include <string>

#include "script/lua/script_report.h"

namespace {

thread_local int handlerDepth = 0;

struct DepthScope {
  DepthScope() { ++handlerDepth; }
  ~DepthScope() { --handlerDepth; }
  DepthScope(const DepthScope&) = delete;
  DepthScope& operator=(const DepthScope&) = delete;
};

std::string traceback(lua_State* co) {
  std::string out = "stack traceback:";
  lua_Debug ar;
  for (int level = 0, shown = 0; shown < 20 && lua_getstack(co, level, &ar); ++level, ++shown) {
    lua_getinfo(co, "Sl", &ar);
    out += "\n\t";
    out += ar.short_src;
    if (ar.currentline > 0) out += ':' + std::to_string(ar.currentline);
  }
  return out;
}

int fail(lua_State* L, int fn, const std::string& msg, int status) {
  lua_settop(L, fn - 1);
  lua_pushlstring(L, msg.data(), msg.size());
  return status;
}

}  // namespace

int handlerPcall(lua_State* L, int nargs, int nresults, const char* what) {
  const int fn = lua_gettop(L) - nargs;
  if (handlerDepth >= kMaxHandlerDepth) {
    return fail(L, fn, std::string(what) + ": handlers nested too deeply", LUA_ERRRUN);
  }
  if (!lua_checkstack(L, 2)) return fail(L, fn, std::string(what) + ": stack overflow", LUA_ERRMEM);
  DepthScope depth;
  // The thread sits below the function so that it stays reachable while it runs.
  lua_State* co = lua_newthread(L);
  lua_insert(L, fn);
  lua_xmove(L, co, nargs + 1);
  const int status = lua_resume(co, nargs);
  if (status == 0) {
    int n = lua_gettop(co);
    if (nresults != LUA_MULTRET) {
      lua_settop(co, nresults);
      n = nresults;
    }
    if (!lua_checkstack(L, n + 1)) return fail(L, fn, std::string(what) + ": too many results", LUA_ERRMEM);
    lua_xmove(co, L, n);
    lua_remove(L, fn);
    return 0;
  }
  if (status == LUA_YIELD) {
    // A mistake in the script rather than bad data: the author must see it.
    const std::string text = std::string("attempt to yield from ") + what +
                             ": a handler the engine calls cannot yield (run the waiting part in a coroutine "
                             "of its own)\n" +
                             traceback(co);
    scriptMessageBox(text, "Runtime Error(QX_RTError)");
    return fail(L, fn, text, LUA_ERRRUN);
  }
  const char* msg = lua_tostring(co, -1);
  std::string text = msg ? msg : std::string("error object is a ") + luaL_typename(co, -1);
  return fail(L, fn, text + "\n" + traceback(co), status);
}
