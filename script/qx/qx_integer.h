// QXInteger: 32-bit integers as script values, a light userdata whose pointer value is
// the zero-extended integer. Lua keeps one metatable for all light userdata of a state,
// so once "QXINT" is set every light userdata (ids from QX.GetUID, "QXLS") behaves as a
// QXInteger: arithmetic and comparisons through the operators of "QXINT", bit operations
// through the methods of the class table "QXInteger".
#pragma once
#include <cstdint>

#include "script/lua/lua_api.h"

// Creates the globals "QXInteger" (class table, callable as QXInteger(v)) and "QXINT"
// (the metatable). The caller holds the state.
void registerQXInteger(lua_State* L);
// Pushes v as a QXInteger with the "QXINT" metatable; gives 1.
int setQXIntMeta(lua_State* L, uint32_t v);
// The integer a light userdata carries (the low 32 bits of its pointer value).
uint32_t qxIntOf(lua_State* L, int index);
