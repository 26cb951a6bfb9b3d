#include "script/qx/qxl_object.h"

bool newQXLObject(lua_State* L, const char* className, const float* values, int n) {
  if (n < 0) n = 0;
  if (!lua_checkstack(L, n + 3)) luaL_error(L, "stack overflow (QXL.%s.new with %d values)", className, n);
  lua_getglobal(L, "QXL");
  if (lua_istable(L, -1)) {
    lua_getfield(L, -1, className);
    if (lua_istable(L, -1)) {
      lua_getfield(L, -1, "new");
      if (lua_isfunction(L, -1)) {
        lua_remove(L, -2);
        lua_remove(L, -2);
        for (int i = 0; i < n; ++i) lua_pushnumber(L, values[i]);
        lua_call(L, n, 1);
        return true;
      }
      lua_pop(L, 1);
    }
    lua_pop(L, 1);
  }
  lua_pop(L, 1);
  lua_pushnil(L);
  return false;
}
