// Binding one class into a script state: its generated definition, its registration
// function, and its entries in the directories that handle pushes use (QXMGRMT for a
// manager's resource class, QXMEMMT and the class descriptor for memory-item classes).
// A class whose definition cannot be built (see defineLuaClass) is skipped with a line
// in the debug log; binding goes on with the next class.
#pragma once
#include <string_view>

#include "script/bind/class_binding.h"
#include "script/lua/script_fwd.h"

namespace qxbind {

// In a state the caller holds; scriptBase is the module the definition requires first
// (object classes only). True when every class of the binding was bound.
bool bindClass(lua_State* L, const ClassBinding& binding, std::string_view scriptBase = {});
// The same under the state's lock.
bool bindClass(const ScriptHdl& state, const ClassBinding& binding, std::u16string_view scriptBase = {});

}  // namespace qxbind
