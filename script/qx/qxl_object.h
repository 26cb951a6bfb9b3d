// Vectors and quaternions handed to scripts as objects of the script library "QXL".
#pragma once
#include "script/lua/lua_api.h"

// Calls QXL[className].new with the n floats as numbers and leaves its one result on the
// stack. Runs in the caller's protection (a failing constructor raises its error). When
// the library has no such constructor, nil is pushed and the result is false. The caller
// holds the state.
bool newQXLObject(lua_State* L, const char* className, const float* values, int n);
