// Table reads and writes that engine code makes on its own, outside any script call: a
// metamethod that raises must not escape into engine frames, so these run protected when
// a metatable could take part, and raw otherwise.
#pragma once
#include "script/lua/lua_api.h"

// With a value and a key on top: replaces the key by value[key], keeping the value below
// it. A failing lookup, or a value that cannot be indexed, gives nil.
void indexTopSafe(lua_State* L);
// With a table, a key and a value on top: table[key] = value; pops the key and the value.
// A failing store, a nil or NaN key, or a value that is no table stores nothing.
void storeTopSafe(lua_State* L);
// Pushes the state's one closure of fn, kept in the registry under key (the address of a
// private object) and made on first use: a closure pushed afresh for every call is one
// more allocation for the collector. Needs three free stack slots.
void pushCachedCFunction(lua_State* L, const void* key, lua_CFunction fn);
// Whether two threads belong to one Lua universe, so that values may move between them.
bool sameLuaUniverse(lua_State* a, lua_State* b);
