// Readers that bound-method glue uses to take arguments off a Lua stack. None of them
// changes the stack; all need the caller to hold the state.
#pragma once
#include <cstdarg>
#include <cstdint>
#include <string>

#include "script/lua/lua_api.h"

float toFloatAt(lua_State* L, int index);
// A light or full userdata gives its pointer; anything else lua_tonumber truncated
// toward zero, its low 32 bits as a signed value. A null state gives 0.
intptr_t toIntOrPtrAt(lua_State* L, int index);
// A Lua number as a 32-bit word: truncated toward zero through int64 (NaN gives 0, values
// beyond the int64 range saturate), low 32 bits.
uint32_t numberToU32(lua_Number n);
// The engine handle a value carries: a 4-byte weak or 16-byte strong handle userdata, or
// a table whose field "udata" is one. 0 for anything else.
uint32_t getHandleAt(lua_State* L, int index);
// A QXInteger operand: a number truncated toward zero (through int64, low 32 bits), a
// string parsed as hexadecimal (saturating at 0xFFFFFFFF, 0 when it is not hexadecimal),
// otherwise the userdata pointer's low 32 bits.
uint32_t getQXIntAt(lua_State* L, int index);
// n floats t[1] .. t[n] of the table at index (missing or non-numeric components read 0).
void readFloatsAt(lua_State* L, int index, int n, float* out);
void getVec2Top(lua_State* L, float out[2]);
void getVec3Top(lua_State* L, float out[3]);
void getVec3At(lua_State* L, int index, float out[3]);
void getVec4At(lua_State* L, int index, float out[4]);
// UTF-8 text of the value converted to UTF-16 (empty for a null state or a non-string).
std::u16string toWStringAt(lua_State* L, int index);
const char* toCStringAt(lua_State* L, int index);
// Index 0 (no such value) reads as false.
uint8_t toBoolAt(lua_State* L, int index);
// The text the global "tostring" gives for the value; a failing "tostring" gives its
// error message.
void tostringAt(lua_State* L, int index, std::string& out);

// Formats into a 64-byte buffer (truncating); gives what vsnprintf gives.
int vsprintf64(char (&buffer)[64], const char* format, va_list args);

// Turns an index counting from the top into one counting from the bottom.
inline int absIndex(lua_State* L, int index) {
  return (index < 0 && index > LUA_REGISTRYINDEX) ? lua_gettop(L) + index + 1 : index;
}
