#include "script/lua/stack_readers.h"

#include <cmath>
#include <cstdio>

#include "platform/core/utf.h"

uint32_t numberToU32(lua_Number n) {
  if (std::isnan(n)) return 0;
  int64_t v;
  if (n >= 9223372036854775807.0) {
    v = INT64_MAX;
  } else if (n <= -9223372036854775808.0) {
    v = INT64_MIN;
  } else {
    v = static_cast<int64_t>(n);
  }
  return static_cast<uint32_t>(v);
}

float toFloatAt(lua_State* L, int index) { return static_cast<float>(lua_tonumber(L, index)); }

intptr_t toIntOrPtrAt(lua_State* L, int index) {
  if (!L) return 0;
  int t = lua_type(L, index);
  if (t == LUA_TLIGHTUSERDATA || t == LUA_TUSERDATA) {
    return reinterpret_cast<intptr_t>(lua_touserdata(L, index));
  }
  return static_cast<int32_t>(numberToU32(lua_tonumber(L, index)));
}

namespace {

uint32_t handleOfUserdata(lua_State* L, int index) {
  size_t n = lua_objlen(L, index);
  if (n != 4 && n != 16) return 0;
  const auto* p = static_cast<const uint32_t*>(lua_touserdata(L, index));
  return p ? p[0] : 0;
}

}  // namespace

uint32_t getHandleAt(lua_State* L, int index) {
  switch (lua_type(L, index)) {
    case LUA_TUSERDATA:
      return handleOfUserdata(L, index);
    case LUA_TTABLE: {
      lua_getfield(L, index, "udata");
      uint32_t h = lua_type(L, -1) == LUA_TUSERDATA ? handleOfUserdata(L, -1) : 0;
      lua_pop(L, 1);
      return h;
    }
    default:
      return 0;
  }
}

namespace {

bool isSpace16(char16_t c) { return c == ' ' || (c >= 9 && c <= 13); }

int hexDigit(char16_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Unsigned hexadecimal text as the C library reads it (spaces, a sign, an optional "0x"),
// saturating at 0xFFFFFFFF.
uint32_t parseHexSaturating(const std::u16string& s) {
  size_t i = 0;
  while (i < s.size() && isSpace16(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  if (i + 2 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X') && hexDigit(s[i + 2]) >= 0) {
    i += 2;
  }
  uint64_t v = 0;
  bool any = false, overflow = false;
  for (; i < s.size(); ++i) {
    int d = hexDigit(s[i]);
    if (d < 0) break;
    any = true;
    v = v * 16 + static_cast<uint64_t>(d);
    if (v > 0xFFFFFFFFull) overflow = true, v = 0xFFFFFFFFull;
  }
  if (!any) return 0;
  if (overflow) return 0xFFFFFFFFu;
  uint32_t r = static_cast<uint32_t>(v);
  return negative ? static_cast<uint32_t>(0u - r) : r;
}

}  // namespace

uint32_t getQXIntAt(lua_State* L, int index) {
  switch (lua_type(L, index)) {
    case LUA_TNUMBER:
      return numberToU32(lua_tonumber(L, index));
    case LUA_TSTRING:
      return parseHexSaturating(toWStringAt(L, index));
    default:
      return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(lua_touserdata(L, index)));
  }
}

void readFloatsAt(lua_State* L, int index, int n, float* out) {
  index = absIndex(L, index);
  for (int i = 0; i < n; ++i) {
    lua_pushinteger(L, i + 1);
    lua_gettable(L, index);
    out[i] = static_cast<float>(lua_tonumber(L, -1));
    lua_pop(L, 1);
  }
}

void getVec2Top(lua_State* L, float out[2]) { readFloatsAt(L, -1, 2, out); }
void getVec3Top(lua_State* L, float out[3]) { readFloatsAt(L, -1, 3, out); }
void getVec3At(lua_State* L, int index, float out[3]) { readFloatsAt(L, index, 3, out); }
void getVec4At(lua_State* L, int index, float out[4]) { readFloatsAt(L, index, 4, out); }

std::u16string toWStringAt(lua_State* L, int index) {
  if (!L || !lua_isstring(L, index)) return {};
  size_t n = 0;
  const char* s = lua_tolstring(L, index, &n);
  return qcore::utf8ToUtf16(std::string_view(s, n));
}

const char* toCStringAt(lua_State* L, int index) { return lua_tolstring(L, index, nullptr); }

// Index 0 names no value (a call that left no result): false.
uint8_t toBoolAt(lua_State* L, int index) { return index != 0 && lua_toboolean(L, index) ? 1 : 0; }

void tostringAt(lua_State* L, int index, std::string& out) {
  index = absIndex(L, index);
  lua_pushstring(L, "tostring");
  lua_rawget(L, LUA_GLOBALSINDEX);
  lua_pushvalue(L, index);
  lua_pcall(L, 1, 1, 0);
  size_t n = 0;
  const char* s = lua_tolstring(L, -1, &n);
  out.assign(s ? s : "", s ? n : 0);
  lua_pop(L, 1);
}

int vsprintf64(char (&buffer)[64], const char* format, va_list args) {
  return std::vsnprintf(buffer, sizeof buffer, format, args);
}
