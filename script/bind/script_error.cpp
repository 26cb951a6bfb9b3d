#include "script/bind/script_error.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace qxbind {

namespace {

bool isAccessorSource(const char* source) {
  return std::strcmp(source, kClassChunkName) == 0 || std::strcmp(source, "@QXL.lua") == 0;
}

// Pushes "file:line: " of the first script frame from level 1 on ("" when there is none).
void pushScriptWhere(lua_State* L) {
  lua_Debug ar;
  for (int level = 1; lua_getstack(L, level, &ar); ++level) {
    lua_getinfo(L, "Sl", &ar);
    if (ar.currentline <= 0 || isAccessorSource(ar.source)) continue;
    lua_pushfstring(L, "%s:%d: ", ar.short_src, ar.currentline);
    return;
  }
  lua_pushliteral(L, "");
}

}  // namespace

void raiseAtScript(lua_State* L, const char* fmt, ...) {
  pushScriptWhere(L);
  va_list args;
  va_start(args, fmt);
  lua_pushvfstring(L, fmt, args);
  va_end(args);
  lua_concat(L, 2);
  lua_error(L);
  std::abort();  // lua_error does not return (it unwinds)
}

}  // namespace qxbind
