#include "script/lua/lua_func_path.h"

#include <cstring>

LuaFuncPath::LuaFuncPath(const char* name, uint32_t flags) : flags_(flags) {
  size_t n = name ? strnlen(name, sizeof name_ - 1) : 0;
  if (n) std::memcpy(name_, name, n);
  name_[n] = 0;
}

int LuaFuncPath::push(lua_State* L, int yieldFlag) const {
  if (isResume() && yieldFlag) return 0;
  lua_pushvalue(L, LUA_GLOBALSINDEX);
  const char* p = name_;
  for (;;) {
    const char* dot = std::strchr(p, '.');
    size_t len = dot ? static_cast<size_t>(dot - p) : std::strlen(p);
    int t = lua_type(L, -1);
    if (t == LUA_TTABLE || t == LUA_TUSERDATA) {
      lua_pushlstring(L, p, len);
      lua_gettable(L, -2);
    } else {
      lua_pushnil(L);  // a missing step ends the walk with nil instead of raising
    }
    lua_remove(L, -2);
    if (!dot) break;
    p = dot + 1;
  }
  return 0;
}
