// Small helpers for engine code that builds script values around pinned references
// (collision tables, request parameters). Unless a helper says it locks, the caller holds
// the state.
#pragma once
#include <string_view>

#include "script/lua/lstk_ref.h"
#include "script/lua/lua_api.h"
#include "script/lua/lua_var.h"

// Pins field name of ref's value as a new lock-free reference.
void refField(lua_State* L, LStkRef& ref, const char* name, LStkRefNL& out);
// Under the state's lock: pins field name of the value on top of the stack. False when
// the state is gone.
bool refFieldOfTop(const LVPolicyHdl& policy, const char* name, LStkRef& out);
// Pins the global table "COL" (read through "_G"); the first form locks the state.
bool getColTable(const LVPolicyHdl& policy, LStkRef& out);
void getColTableNL(lua_State* L, LStkRefNL& out);

// Under ref's lock: sets field name of the pinned table (or of its keyed field) and puts
// the stack top back. Nothing happens when that value is not a table.
void setPinnedField(LStkRef& ref, const char* name, std::string_view value);
void setPinnedField(LStkRef& ref, const char* name, lua_Integer value);
void setPinnedField(LStkRef& ref, const char* name, bool value);

// With a table on top: t[key] = value.
void setIntKeyField(lua_State* L, lua_Integer key, lua_Integer value);
void setIntKeyField(lua_State* L, lua_Integer key, std::string_view value);
void setIntKeyField(lua_State* L, lua_Integer key, bool value);
// The table at index gets t[key] = value.
void setVarKeyField(lua_State* L, int index, const LuaVar& key, lua_Integer value);
void setVarKeyField(lua_State* L, int index, const LuaVar& key, std::string_view value);
void setVarKeyField(lua_State* L, int index, const LuaVar& key, bool value);
// Pushes t[key] of the table at index (metamethods apply).
void getIntKeyField(lua_State* L, int index, lua_Integer key);
