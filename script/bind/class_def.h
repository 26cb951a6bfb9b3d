// The generated class definitions that make engine classes visible to scripts.
//
// For each bound class the engine writes a short Lua chunk that builds the class table
// (constructors, method lookup, the metatable "mt" of strong handles, "mt_w" of weak
// ones, the weak twin <name>_W), runs it on the main state, and then fills the class's
// method tables:
//
//   fvt_hdl  name -> glue, for objects reached through a handle (methods and fields)
//   fvt_ptr  name -> glue, for the class's own engine object in `pointer`
//   fvt_b    name -> true for a field (its getter runs on access), false for a method
//
// The chunk relies on the script library: QXL.join, and derived_fromC for classes with
// a script base (resource/script/QXL.lua).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "script/lua/lua_api.h"

namespace qxbind {

// Class names are injected into Lua text: a plain identifier of at most 62 bytes.
bool isBindableClassName(std::string_view name);
// Script bases are module names inside a string literal: printable, no quote or backslash.
bool isBindableModuleName(std::string_view name);

// The definition chunk of a class; base is the script base's module name (UTF-8), empty
// for none.
std::string classDefinitionText(std::string_view name, uint32_t size, std::string_view base);

// Loads and runs the definition of a class in a state the caller holds, and stores
// `pointer` (a light userdata) when object is given. False, with the reason in the
// debug log and nothing else done, when a name is not bindable or the chunk fails to
// load or run (no "QXL", a failing require); the stack is left as it was.
bool defineLuaClass(lua_State* L, std::string_view name, uint32_t size, std::string_view base, void* object);

// QXMGRMT[managerId] = the global class table of that name (QXMGRMT made on first use).
void setManagerMetatable(lua_State* L, uint32_t managerId, const char* className);
// QXMEMMT[className] = the global class table of that name.
void setMemItemMetatable(lua_State* L, const char* className);
// derived.fvt_hdl and derived.fvt_b fall back on the base's tables of the same name
// (fvt_ptr is not chained). False when either class table is missing.
bool inheritMethodTables(lua_State* L, const char* derived, const char* base);

// With the class table on top: stores fn under name in its method table `table`
// ("fvt_hdl" or "fvt_ptr") as a closure over the nup values on top of the class table
// (they are popped), and marks fvt_b[name] (true for a field). The class table stays
// on top.
void storeGlue(lua_State* L, const char* table, const char* name, lua_CFunction fn, int nup, bool isField);

}  // namespace qxbind
