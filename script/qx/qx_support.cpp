#include "script/qx/qx_support.h"

#include "script/lua/stack_readers.h"
#include "script/lua/table_access.h"

namespace {

void pushValue(lua_State* L, lua_Integer v) { lua_pushinteger(L, v); }
void pushValue(lua_State* L, std::string_view v) { lua_pushlstring(L, v.data(), v.size()); }
void pushValue(lua_State* L, bool v) { lua_pushboolean(L, v); }

template <class T>
void setPinned(LStkRef& ref, const char* name, T value) {
  lua_State* L = ref.policy().lock();
  if (!L) return;
  int top = ref.pushKeepTop(L);
  if (lua_istable(L, -1)) {
    lua_pushstring(L, name);
    pushValue(L, value);
    storeTopSafe(L);
  }
  lua_settop(L, top);
  ref.policy().unlock();
}

template <class T>
void setIntKey(lua_State* L, lua_Integer key, T value) {
  lua_pushinteger(L, key);
  pushValue(L, value);
  lua_settable(L, -3);
}

template <class T>
void setVarKey(lua_State* L, int index, const LuaVar& key, T value) {
  if (!key.isSet()) return;  // a nil key is no key
  index = absIndex(L, index);
  int top = lua_gettop(L);
  if (key.push(L) != 1 || lua_isnil(L, -1)) {
    lua_settop(L, top);
    return;
  }
  pushValue(L, value);
  lua_settable(L, index);
}

// With a value on top: pushes value[name] (nil when it cannot be read; a raising
// metamethod does not escape).
void pushFieldOfTop(lua_State* L, const char* name) {
  lua_pushvalue(L, -1);
  lua_pushstring(L, name);
  indexTopSafe(L);
  lua_remove(L, -2);
}

// Pushes "_G".COL, or nil when "_G" is not a table.
void pushColTable(lua_State* L) {
  lua_getglobal(L, "_G");
  pushFieldOfTop(L, "COL");
  lua_remove(L, -2);
}

}  // namespace

void refField(lua_State* L, LStkRef& ref, const char* name, LStkRefNL& out) {
  if (!ref.push(L)) lua_pushnil(L);
  pushFieldOfTop(L, name);
  out.pin(L, nullptr, 2);
}

bool refFieldOfTop(const LVPolicyHdl& policy, const char* name, LStkRef& out) {
  LVPolicyHdl p(policy);
  LVLockGuard<LVPolicyHdl> lock(p);
  lua_State* L = lock.state();
  if (!L) return false;
  pushFieldOfTop(L, name);
  return out.pin(policy, 1, -1);
}

bool getColTable(const LVPolicyHdl& policy, LStkRef& out) {
  LVPolicyHdl p(policy);
  LVLockGuard<LVPolicyHdl> lock(p);
  lua_State* L = lock.state();
  if (!L) return false;
  pushColTable(L);
  return out.pin(policy, 1, -1);
}

void getColTableNL(lua_State* L, LStkRefNL& out) {
  pushColTable(L);
  out.pin(L, nullptr, 1);
}

void setPinnedField(LStkRef& ref, const char* name, std::string_view value) { setPinned(ref, name, value); }
void setPinnedField(LStkRef& ref, const char* name, lua_Integer value) { setPinned(ref, name, value); }
void setPinnedField(LStkRef& ref, const char* name, bool value) { setPinned(ref, name, value); }

void setIntKeyField(lua_State* L, lua_Integer key, lua_Integer value) { setIntKey(L, key, value); }
void setIntKeyField(lua_State* L, lua_Integer key, std::string_view value) { setIntKey(L, key, value); }
void setIntKeyField(lua_State* L, lua_Integer key, bool value) { setIntKey(L, key, value); }

void setVarKeyField(lua_State* L, int index, const LuaVar& key, lua_Integer value) {
  setVarKey(L, index, key, value);
}
void setVarKeyField(lua_State* L, int index, const LuaVar& key, std::string_view value) {
  setVarKey(L, index, key, value);
}
void setVarKeyField(lua_State* L, int index, const LuaVar& key, bool value) { setVarKey(L, index, key, value); }

void getIntKeyField(lua_State* L, int index, lua_Integer key) {
  index = absIndex(L, index);
  lua_pushinteger(L, key);
  lua_gettable(L, index);
}
