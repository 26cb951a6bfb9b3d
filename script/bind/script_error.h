// Errors raised by bound fields and methods, placed at the script's own line. A field is
// reached through the accessors of the generated class definition (and QXL's bridges), so
// Lua's own position would name those instead of the script that made the mistake.
#pragma once
#include "script/lua/lua_api.h"

namespace qxbind {

// The chunk name of generated class definitions.
inline constexpr const char* kClassChunkName = "=QX class definition";

// Raises "file:line: message" with the position of the nearest caller that is neither
// native, a generated class definition nor the QXL library. Does not return.
[[noreturn]] void raiseAtScript(lua_State* L, const char* fmt, ...);

}  // namespace qxbind
