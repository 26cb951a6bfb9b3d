// Running Lua text in a state the test holds, for the C++ tests of every script area.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "script/lua/lua_api.h"

namespace luatest {

// Runs a chunk protected; "" on success, else the error text.
inline std::string run(lua_State* L, const std::string& code) {
  if (luaL_loadbuffer(L, code.data(), code.size(), "test") != 0 || lua_pcall(L, 0, 0, 0) != 0) {
    std::string e = lua_tostring(L, -1) ? lua_tostring(L, -1) : "?";
    lua_pop(L, 1);
    return e;
  }
  return "";
}

// Runs "return <expr>" and leaves its one value on the stack.
inline void eval(lua_State* L, const std::string& expr) {
  std::string code = "return " + expr;
  ASSERT_EQ(luaL_loadbuffer(L, code.data(), code.size(), "test"), 0) << lua_tostring(L, -1);
  ASSERT_EQ(lua_pcall(L, 0, 1, 0), 0) << lua_tostring(L, -1);
}

inline std::string evalString(lua_State* L, const std::string& expr) {
  eval(L, expr);
  std::string s = lua_tostring(L, -1) ? lua_tostring(L, -1) : "<not a string>";
  lua_pop(L, 1);
  return s;
}

inline double evalNumber(lua_State* L, const std::string& expr) {
  eval(L, expr);
  double d = lua_tonumber(L, -1);
  lua_pop(L, 1);
  return d;
}

inline bool evalBool(lua_State* L, const std::string& expr) {
  eval(L, expr);
  bool b = lua_toboolean(L, -1);
  lua_pop(L, 1);
  return b;
}

}  // namespace luatest
