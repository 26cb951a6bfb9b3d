#include "script/lua/lua_func_path.h"

#include <cstring>

#include "script/lua/table_access.h"

LuaFuncPath::LuaFuncPath(const char* name, uint32_t flags) : flags_(flags) {
  size_t n = name ? strnlen(name, sizeof name_ - 1) : 0;
  if (n) std::memcpy(name_, name, n);
  name_[n] = 0;
}

int LuaFuncPath::push(lua_State* L, int yieldFlag) const {
  if (isResume() && yieldFlag) return 0;
  // The engine walks paths on its own (each frame, on delivery, on pushes of vectors):
  // a missing step or a metamethod that raises ends the walk with nil, never an error.
  if (!lua_checkstack(L, 6)) luaL_error(L, "stack overflow (path %s)", name_);
  lua_pushvalue(L, LUA_GLOBALSINDEX);
  const char* p = name_;
  for (;;) {
    const char* dot = std::strchr(p, '.');
    size_t len = dot ? static_cast<size_t>(dot - p) : std::strlen(p);
    lua_pushlstring(L, p, len);
    indexTopSafe(L);
    lua_remove(L, -2);
    if (!dot) break;
    p = dot + 1;
  }
  return 0;
}
