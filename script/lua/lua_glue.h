// Native functions and C++ exceptions. With the C++ build of Lua, an exception escaping a
// native function is swallowed by the protected call around it and leaves no message;
// wrapping the function turns engine exceptions into ordinary Lua errors instead.
#pragma once
#include <exception>
#include <string>

#include "platform/core/utf.h"
#include "script/lua/lua_api.h"
#include "script/lua/lua_call_res.h"

template <lua_CFunction F>
int luaGuarded(lua_State* L) {
  std::string message;
  try {
    return F(L);
  } catch (const QXExcept& e) {
    message = qcore::utf16ToUtf8(e.message);
  } catch (const std::exception& e) {
    message = e.what();
  }
  // Lua's own errors are not std::exceptions, so they pass through untouched.
  lua_pushlstring(L, message.data(), message.size());
  return lua_error(L);
}
