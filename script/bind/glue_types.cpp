#include "script/bind/glue_types.h"

#include "script/bind/script_error.h"

#include <cstring>

#include "platform/core/utf.h"
#include "runtime/res/res_base.h"
#include "script/lua/stack_readers.h"
#include "script/qx/qx_integer.h"
#include "script/qx/qxl_object.h"

namespace qxbind {

bool readBool(lua_State* L, int index) { return toBoolAt(L, index) != 0; }

int32_t readInteger(lua_State* L, int index) {
  if (lua_type(L, index) == LUA_TLIGHTUSERDATA) return static_cast<int32_t>(qxIntOf(L, index));
  return static_cast<int32_t>(numberToU32(lua_tonumber(L, index)));
}

uint32_t readQXInt(lua_State* L, int index) { return getQXIntAt(L, index); }

uint32_t readHandle(lua_State* L, int index) { return getHandleAt(L, index); }

void readVector(lua_State* L, int index, int n, float* out, const char* what) {
  switch (lua_type(L, index)) {
    case LUA_TTABLE:
      readFloatsAt(L, index, n, out);
      return;
    case LUA_TUSERDATA:
      if (lua_objlen(L, index) >= static_cast<size_t>(n) * sizeof(float)) {
        std::memcpy(out, lua_touserdata(L, index), static_cast<size_t>(n) * sizeof(float));
        return;
      }
      break;
    default:
      break;
  }
  qxbind::raiseAtScript(L, "%s expected, got %s", what, luaL_typename(L, index));
}

void readVectorField(lua_State* L, int index, int n, float* out) {
  if (lua_istable(L, index)) {
    lua_getfield(L, index, "dim");
    const bool vector = lua_isnumber(L, -1) && lua_tonumber(L, -1) >= n;
    lua_pop(L, 1);
    if (!vector) qxbind::raiseAtScript(L, "vec%d expected, got a table without \"dim\"", n);
  }
  char what[8] = "vec";
  what[3] = static_cast<char>('0' + n);
  what[4] = 0;
  readVector(L, index, n, out, what);
}

void pushVectorResult(lua_State* L, const char* className, const float* values, int n) {
  newQXLObject(L, className, values, n);
}

void pushObject(lua_State* L, uint32_t handle) {
  const int top = lua_gettop(L);
  kesto::ResBasePtr* m = handle ? kesto::managerById(kesto::HdlBase(handle).mgrId()) : nullptr;
  if (!m || !m->pushStrong(L, handle, 0)) lua_settop(L, top);
  // Exactly one value: the object or nil.
  if (lua_gettop(L) == top) lua_pushnil(L);
  lua_settop(L, top + 1);
}

void pushQXInt(lua_State* L, uint32_t value) { setQXIntMeta(L, value); }

void pushU16String(lua_State* L, const std::u16string& text) {
  const std::string utf8 = qcore::utf16ToUtf8(text);
  lua_pushlstring(L, utf8.data(), utf8.size());
}

std::u16string readU16String(lua_State* L, int index) { return toWStringAt(L, index); }

int pushSubObjectProxy(lua_State* L, const char* field, const char* className) {
  lua_createtable(L, 0, 2);
  if (lua_istable(L, 1)) {
    lua_pushstring(L, "udata");
    lua_rawget(L, 1);
  } else {
    lua_pushvalue(L, 1);
  }
  lua_setfield(L, -2, "udata");
  // A part of a part is named by its whole path ("wire.rect"), so two parts' fields of
  // the same name never reach the same object.
  if (lua_istable(L, 1)) {
    lua_getfield(L, 1, "_sub");
    if (lua_isstring(L, -1)) {
      lua_pushfstring(L, "%s.%s", lua_tostring(L, -1), field);
      lua_remove(L, -2);
    } else {
      lua_pop(L, 1);
      lua_pushstring(L, field);
    }
  } else {
    lua_pushstring(L, field);
  }
  lua_setfield(L, -2, "_sub");
  lua_getfield(L, LUA_GLOBALSINDEX, className ? className : "");
  if (lua_istable(L, -1)) {
    lua_pushstring(L, "mt");
    lua_rawget(L, -2);
    if (lua_istable(L, -1)) {
      lua_setmetatable(L, -3);
    } else {
      lua_pop(L, 1);
    }
  }
  lua_pop(L, 1);
  return 1;
}

}  // namespace qxbind
