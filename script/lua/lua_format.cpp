#include "script/lua/lua_format.h"

#include <cstdint>

#include "platform/core/numconv.h"
#include "platform/core/utf.h"
#include "script/lua/stack_readers.h"

namespace {

// A script chooses the depth, and tables that hold themselves (or share children) grow
// the text exponentially with it: the text stops here.
constexpr size_t kMaxTextChars = size_t{1} << 20;

void appendAscii(std::u16string& out, const std::string& s) { out.append(s.begin(), s.end()); }

void appendUtf8(std::u16string& out, const char* s, size_t n) {
  out += qcore::utf8ToUtf16(std::string_view(s, n));
}

std::string hex(uintptr_t v) {
  static const char digits[] = "0123456789abcdef";
  std::string s;
  do {
    s.insert(s.begin(), digits[v & 15]);
    v >>= 4;
  } while (v);
  return s;
}

void appendPointer(std::u16string& out, const void* p) {
  appendAscii(out, "0x" + hex(reinterpret_cast<uintptr_t>(p)));
}

// The script's own text for a userdata through the global "UsrToString", called
// protected; false when it is missing, fails or gives nil.
bool appendUserdataText(lua_State* L, int index, std::u16string& out) {
  lua_pushstring(L, "UsrToString");
  lua_rawget(L, LUA_GLOBALSINDEX);
  if (lua_isnil(L, -1)) {
    lua_pop(L, 1);
    return false;
  }
  lua_pushvalue(L, index);
  if (lua_pcall(L, 1, 1, 0) != 0 || lua_isnil(L, -1)) {
    lua_pop(L, 1);
    return false;
  }
  size_t n = 0;
  const char* s = lua_tolstring(L, -1, &n);
  if (s) appendUtf8(out, s, n);
  lua_pop(L, 1);
  return true;
}

}  // namespace

void formatLuaValue(lua_State* L, int index, std::u16string& out, int depth, int level) {
  int t = lua_type(L, index);
  const char* typeName = lua_typename(L, t);
  if (index > 0) {
    appendAscii(out, "[" + qcore::formatI64(index) + ":" + typeName + "] ");
  } else {
    appendAscii(out, std::string("(") + typeName + ")");
  }
  index = absIndex(L, index);
  switch (t) {
    case LUA_TBOOLEAN:
      appendAscii(out, lua_toboolean(L, index) ? "true" : "false");
      break;
    case LUA_TLIGHTUSERDATA:
      out += u"(light)";
      appendPointer(out, lua_touserdata(L, index));
      break;
    case LUA_TNUMBER: {
      lua_Number n = lua_tonumber(L, index);
      appendAscii(out, qcore::formatDouble(n) + " (0x" + hex(numberToU32(n)) + ")");
      break;
    }
    case LUA_TSTRING: {
      size_t n = 0;
      const char* s = lua_tolstring(L, index, &n);
      appendUtf8(out, s, n);
      break;
    }
    case LUA_TTABLE: {
      int top = lua_gettop(L);
      out += u"{";
      if (!lua_checkstack(L, 4)) {
        out += u"...";
      } else {
        lua_pushnil(L);
        if (depth - 1 < 0) {
          if (lua_next(L, index)) out += u"...";
        } else {
          while (lua_next(L, index)) {
            if (out.size() >= kMaxTextChars) {
              out += u"...";
              break;
            }
            out.append(static_cast<size_t>(level + 1), u'\t');
            int kt = lua_type(L, -2);
            appendAscii(out, std::string("(") + lua_typename(L, kt) + ")");
            if (kt == LUA_TSTRING) {
              size_t n = 0;
              const char* s = lua_tolstring(L, -2, &n);
              out += u"\"";
              appendUtf8(out, s, n);
              out += u"\"=";
            } else if (kt == LUA_TUSERDATA || kt == LUA_TLIGHTUSERDATA) {
              appendPointer(out, lua_touserdata(L, -2));
              out += u"=";
            } else {
              appendAscii(out, qcore::formatI64(lua_tointeger(L, -2)) + "=");
            }
            formatLuaValue(L, -1, out, depth - 1, level + 1);
            lua_pop(L, 1);
          }
        }
      }
      out += u"}";
      lua_settop(L, top);
      break;
    }
    case LUA_TFUNCTION:
      if (lua_iscfunction(L, index)) {
        appendAscii(out, qcore::formatU64(reinterpret_cast<uintptr_t>(lua_tocfunction(L, index))));
      } else {
        out += u"not c-function";
      }
      break;
    case LUA_TUSERDATA:
      if (!appendUserdataText(L, index, out)) appendPointer(out, lua_touserdata(L, index));
      break;
    case LUA_TTHREAD:
      appendPointer(out, lua_tothread(L, index));
      break;
    default:
      out += u"unknown value";
      break;
  }
  out += u"\n";
}

std::u16string luaStackToWString(lua_State* L, int depth) {
  std::u16string out;
  for (int i = lua_gettop(L); i >= 1; --i) {
    if (out.size() >= kMaxTextChars) {
      out += u"...\n";
      break;
    }
    formatLuaValue(L, i, out, depth, 0);
  }
  return out;
}
