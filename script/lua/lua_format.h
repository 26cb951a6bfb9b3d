// Text of Lua values and stacks for printing, logging and error reports. The caller holds
// the state.
#pragma once
#include <string>

#include "script/lua/lua_api.h"

// Appends a header ("[index:type] " for positive indices, "(type)" otherwise), the value
// and a line end. Tables list their pairs down to depth levels, indented by level tabs.
// A text that passes about a million characters lists no further pairs or values ("...").
void formatLuaValue(lua_State* L, int index, std::u16string& out, int depth, int level);
// Every stack value from the top down to index 1.
std::u16string luaStackToWString(lua_State* L, int depth);
