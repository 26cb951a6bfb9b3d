#include "script/lua/table_access.h"

namespace {

int indexProtected(lua_State* L) {
  lua_gettable(L, 1);
  return 1;
}

int storeProtected(lua_State* L) {
  lua_settable(L, 1);
  return 0;
}

bool isNilOrNaN(lua_State* L, int index) {
  return lua_isnil(L, index) || (lua_type(L, index) == LUA_TNUMBER && lua_tonumber(L, index) != lua_tonumber(L, index));
}

char kIndexProtectedKey;

}  // namespace

void pushCachedCFunction(lua_State* L, const void* key, lua_CFunction fn) {
  lua_pushlightuserdata(L, const_cast<void*>(key));
  lua_rawget(L, LUA_REGISTRYINDEX);
  if (lua_tocfunction(L, -1) == fn) return;
  lua_pop(L, 1);
  lua_pushcfunction(L, fn);
  lua_pushlightuserdata(L, const_cast<void*>(key));
  lua_pushvalue(L, -2);
  lua_rawset(L, LUA_REGISTRYINDEX);
}

void indexTopSafe(lua_State* L) {
  int t = lua_type(L, -2);
  if (t == LUA_TTABLE && !lua_getmetatable(L, -2)) {
    lua_rawget(L, -2);
    return;
  }
  if (t == LUA_TTABLE) lua_pop(L, 1);  // the metatable just pushed
  if (t != LUA_TTABLE && t != LUA_TUSERDATA) {
    lua_pop(L, 1);
    lua_pushnil(L);
    return;
  }
  pushCachedCFunction(L, &kIndexProtectedKey, indexProtected);
  lua_pushvalue(L, -3);
  lua_pushvalue(L, -3);
  if (lua_pcall(L, 2, 1, 0) != 0) {
    lua_pop(L, 1);
    lua_pushnil(L);
  }
  lua_remove(L, -2);  // the key
}

void storeTopSafe(lua_State* L) {
  int t = lua_type(L, -3);
  if (t == LUA_TTABLE && !lua_getmetatable(L, -3)) {
    if (isNilOrNaN(L, -2)) {
      lua_pop(L, 2);
      return;
    }
    lua_rawset(L, -3);
    return;
  }
  if (t == LUA_TTABLE) lua_pop(L, 1);
  if (t != LUA_TTABLE && t != LUA_TUSERDATA) {
    lua_pop(L, 2);
    return;
  }
  lua_pushcfunction(L, storeProtected);
  lua_insert(L, -3);
  lua_pushvalue(L, -4);
  lua_insert(L, -3);
  // table, then function, table, key, value
  if (lua_pcall(L, 3, 0, 0) != 0) lua_pop(L, 1);
}

bool sameLuaUniverse(lua_State* a, lua_State* b) {
  if (a == b) return true;
  if (!a || !b) return false;
  // Threads of one universe share its registry table.
  lua_pushvalue(a, LUA_REGISTRYINDEX);
  const void* ra = lua_topointer(a, -1);
  lua_pop(a, 1);
  lua_pushvalue(b, LUA_REGISTRYINDEX);
  const void* rb = lua_topointer(b, -1);
  lua_pop(b, 1);
  return ra == rb;
}
