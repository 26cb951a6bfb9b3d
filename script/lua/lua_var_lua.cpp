// LuaVar to and from Lua values.
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "script/lua/lstk_ref.h"
#include "script/lua/lua_func_path.h"
#include "script/lua/lua_var.h"
#include "script/lua/lua_var_json.h"
#include "script/lua/script_mgr.h"
#include "script/lua/stack_readers.h"
#include "script/lua/table_access.h"

namespace {

float narrowToFloat(lua_Number d) {
  if (d > std::numeric_limits<float>::max()) return std::numeric_limits<float>::infinity();
  if (d < -std::numeric_limits<float>::max()) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(d);
}

// Reads the "dim" field of the table at 1 and, for 2..4, its components: pushes the
// dimension (0 when the table is no vector) and four components. Runs protected when the
// table has a metatable, whose metamethods may raise.
int probeVector(lua_State* L) {
  lua_getfield(L, 1, "dim");
  int n = lua_type(L, -1) == LUA_TNUMBER ? static_cast<int>(numberToU32(lua_tonumber(L, -1))) : 0;
  lua_pop(L, 1);
  if (n < 2 || n > 4) n = 0;
  lua_pushinteger(L, n);
  for (int i = 1; i <= 4; ++i) {
    if (i <= n) {
      lua_pushinteger(L, i);
      lua_gettable(L, 1);
      if (lua_type(L, -1) != LUA_TNUMBER) {
        lua_pop(L, 1);
        lua_pushnumber(L, 0);
      }
    } else {
      lua_pushnumber(L, 0);
    }
  }
  return 5;
}

// The vector a table stands for: 0 when it is none, else its dimension with out filled.
int tableAsVector(lua_State* L, int index, float out[4]) {
  if (!lua_checkstack(L, 7)) return 0;
  if (!lua_getmetatable(L, index)) {
    lua_pushstring(L, "dim");
    lua_rawget(L, index);
    int n = lua_type(L, -1) == LUA_TNUMBER ? static_cast<int>(numberToU32(lua_tonumber(L, -1))) : 0;
    lua_pop(L, 1);
    if (n < 2 || n > 4) return 0;
    for (int i = 0; i < n; ++i) {
      lua_rawgeti(L, index, i + 1);
      out[i] = lua_type(L, -1) == LUA_TNUMBER ? narrowToFloat(lua_tonumber(L, -1)) : 0.0f;
      lua_pop(L, 1);
    }
    return n;
  }
  lua_pop(L, 1);
  lua_pushcfunction(L, probeVector);
  lua_pushvalue(L, index);
  if (lua_pcall(L, 1, 5, 0) != 0) {
    lua_pop(L, 1);
    return 0;
  }
  int n = static_cast<int>(lua_tointeger(L, -5));
  for (int i = 0; i < 4; ++i) out[i] = narrowToFloat(lua_tonumber(L, -4 + i));
  lua_pop(L, 5);
  return n;
}

// Pins the value in the anchor of the state L runs in. L may be a coroutine of that
// state, whose stack is not the state's own: the value is moved over first.
void pinInto(lua_State* L, int index, LuaVar& dest) {
  auto* ref = new LStkRef;
  dest.adoptRef(ref);
  uint32_t state = 0;
  if (ScriptMgr* m = ScriptMgr::instance()) state = m->stateFor(L);
  if (!state) return;
  LVPolicyHdl policy(state);
  LVLockGuard<LVPolicyHdl> lock(policy);
  lua_State* target = lock.state();
  if (!target || !sameLuaUniverse(L, target)) return;
  lua_pushvalue(L, index);
  if (L != target) lua_xmove(L, target, 1);
  ref->pin(policy, 1, -1);
}

}  // namespace

void LuaVar::fromLua(lua_State* L, int index, LuaVar& dest) {
  index = absIndex(L, index);
  switch (lua_type(L, index)) {
    case LUA_TNIL:
      dest.clear();
      break;
    case LUA_TBOOLEAN:
      dest.setBool(lua_toboolean(L, index) != 0);
      break;
    case LUA_TLIGHTUSERDATA:
      dest.setLightUdata(lua_touserdata(L, index));
      break;
    case LUA_TNUMBER:
      dest.setNumber(lua_tonumber(L, index));
      break;
    case LUA_TSTRING: {
      const char* s = lua_tostring(L, index);
      dest = LuaVar(std::string(s, strnlen(s, lua_objlen(L, index))));
      break;
    }
    case LUA_TTABLE: {
      float v[4] = {0, 0, 0, 0};
      int n = tableAsVector(L, index, v);
      if (n) {
        dest.setVec(n, v);
      } else {
        pinInto(L, index, dest);
      }
      break;
    }
    case LUA_TFUNCTION:
      if (lua_iscfunction(L, index)) {
        dest.setCFunction(lua_tocfunction(L, index));
      } else {
        pinInto(L, index, dest);
      }
      break;
    case LUA_TUSERDATA:
      dest.fromBytes(lua_touserdata(L, index), static_cast<uint32_t>(lua_objlen(L, index)));
      break;
    default:  // threads: nothing is written
      break;
  }
}

void LuaVar::assignTop(lua_State* L, LuaVar& dest) {
  dest.clear();
  fromLua(L, -1, dest);
}

namespace {

// Pushes a vector through the script's constructor; exactly one value (nil when the
// constructor is missing or fails).
void pushVector(lua_State* L, const char* path, const float* c, int n) {
  int top = lua_gettop(L);
  LuaFuncPath(path, 0).push(L, 0);
  for (int i = 0; i < n; ++i) lua_pushnumber(L, c[i]);
  if (lua_pcall(L, n, 1, 0) != 0) {
    lua_settop(L, top);
    lua_pushnil(L);
  }
}

int pushValue(lua_State* L, const LuaVar& v, int depth);

int pushTable(lua_State* L, const LuaVarTable& t, int depth) {
  if (depth >= kLuaPushMaxDepth) {
    lua_pushnil(L);
    return 1;
  }
  // Sized at once: growing it pair by pair would rehash it again and again. Integer keys
  // sort before strings, so the array part's keys 1..n come first.
  int arrayPart = 0;
  for (auto it = t.begin(); it != t.end() && it->first.kind() == LuaVar::kInt && it->first.asInt() == arrayPart + 1;
       ++it) {
    ++arrayPart;
  }
  const size_t rest = t.size() - static_cast<size_t>(arrayPart);
  lua_createtable(L, arrayPart, rest > INT_MAX ? INT_MAX : static_cast<int>(rest));
  for (const auto& [key, value] : t) {
    int top = lua_gettop(L);
    // A pair whose key or value pushes nothing (or whose key is nil or NaN) is skipped,
    // so keys and values never slide out of step.
    if (pushValue(L, key, depth + 1) != 1 || lua_isnil(L, -1) ||
        (lua_type(L, -1) == LUA_TNUMBER && std::isnan(lua_tonumber(L, -1)))) {
      lua_settop(L, top);
      continue;
    }
    if (pushValue(L, value, depth + 1) != 1) {
      lua_settop(L, top);
      continue;
    }
    lua_rawset(L, -3);
  }
  return 1;
}

int pushValue(lua_State* L, const LuaVar& v, int depth) {
  if (!lua_checkstack(L, 8)) return 0;
  switch (v.kind()) {
    case LuaVar::kNil:
      lua_pushnil(L);
      return 1;
    case LuaVar::kBool:
      lua_pushboolean(L, v.asBool());
      return 1;
    case LuaVar::kInt:
      lua_pushinteger(L, v.asInt());
      return 1;
    case LuaVar::kNumber:
      lua_pushnumber(L, v.asNumber());
      return 1;
    case LuaVar::kString:
      lua_pushlstring(L, v.asString()->data(), v.asString()->size());
      return 1;
    case LuaVar::kTable:
      return pushTable(L, *v.table(), depth);
    case LuaVar::kLightUdata:
      lua_pushlightuserdata(L, v.asPointer());
      return 1;
    case LuaVar::kCFunction:
      lua_pushcclosure(L, v.asCFunction(), 0);
      return 1;
    case LuaVar::kBytes: {
      void* p = lua_newuserdata(L, v.size());
      if (v.size()) std::memcpy(p, v.bytes(), v.size());
      return 1;
    }
    case LuaVar::kVec3: {
      float c[3] = {v.component(0), v.component(1), v.component(2)};
      pushVector(L, "QXL.vec3.new", c, 3);
      return 1;
    }
    case LuaVar::kVec4: {
      float c[4] = {v.component(0), v.component(1), v.component(2), v.component(3)};
      pushVector(L, "QXL.vec4.new", c, 4);
      return 1;
    }
    case LuaVar::kJSON:
      return pushJsonNode(L, *v.json());
    default:  // empty, vec2 and pinned references push nothing
      return 0;
  }
}

}  // namespace

int LuaVar::push(lua_State* L) const { return pushValue(L, *this, 0); }

int pushMapAsTable(lua_State* L, const LuaVarTable& map) {
  if (!lua_checkstack(L, 8)) return 0;
  return pushTable(L, map, 0);
}

void readTableIntoMap(lua_State* L, int index, LuaVarTable& map) {
  index = index <= 0 && index > LUA_REGISTRYINDEX ? lua_gettop(L) + index + 1 : index;
  map.clear();
  if (!lua_checkstack(L, 6)) return;
  int top = lua_gettop(L);
  // The original key stays on the stack for "next"; only the stored copy is converted.
  lua_pushnil(L);
  for (;;) {
    lua_pushstring(L, "next");
    lua_rawget(L, LUA_GLOBALSINDEX);
    lua_pushvalue(L, index);
    lua_pushvalue(L, -3);
    if (lua_pcall(L, 2, 2, 0) != 0) break;
    lua_remove(L, -3);
    if (lua_isnil(L, -2)) break;
    LuaVar key, value;
    LuaVar::fromLua(L, -2, key);
    LuaVar::fromLua(L, -1, value);
    map.insertTaking(std::move(key), LuaVar()).takeFrom(value);
    lua_pop(L, 1);
  }
  lua_settop(L, top);
}
