#include "tools/qxlua/test_api.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "script/lua/lua_var.h"
#include "script/lua/stack_readers.h"

namespace {

TestTally* tallyOf(lua_State* L) {
  return static_cast<TestTally*>(lua_touserdata(L, lua_upvalueindex(1)));
}

std::string textOf(lua_State* L, int index) {
  index = absIndex(L, index);
  lua_getglobal(L, "tostring");
  lua_pushvalue(L, index);
  lua_call(L, 1, 1);
  std::string s = lua_tostring(L, -1) ? lua_tostring(L, -1) : "?";
  lua_pop(L, 1);
  if (lua_type(L, index) == LUA_TSTRING) s = "\"" + s + "\"";
  return s;
}

// Adds the traceback to an error message.
int traceback(lua_State* L) {
  lua_getglobal(L, "debug");
  lua_getfield(L, -1, "traceback");
  lua_pushvalue(L, 1);
  lua_pushinteger(L, 2);
  lua_call(L, 2, 1);
  return 1;
}

// test(name, fn): runs fn; an error fails the case.
int luaTest(lua_State* L) {
  const char* name = luaL_checkstring(L, 1);
  luaL_checktype(L, 2, LUA_TFUNCTION);
  TestTally* tally = tallyOf(L);
  lua_pushcfunction(L, traceback);
  lua_pushvalue(L, 2);
  if (lua_pcall(L, 0, 0, -2) == 0) {
    ++tally->passed;
  } else {
    ++tally->failed;
    std::printf("FAIL %s\n  %s\n", name, lua_tostring(L, -1) ? lua_tostring(L, -1) : "(error object)");
  }
  lua_settop(L, 2);
  return 0;
}

int fail(lua_State* L, const std::string& what, int messageIndex) {
  std::string msg = what;
  if (lua_gettop(L) >= messageIndex && !lua_isnil(L, messageIndex)) {
    msg = std::string(luaL_checkstring(L, messageIndex)) + ": " + what;
  }
  luaL_where(L, 1);
  lua_pushlstring(L, msg.data(), msg.size());
  lua_concat(L, 2);
  return lua_error(L);
}

// check(cond [, message])
int luaCheck(lua_State* L) {
  if (lua_toboolean(L, 1)) return 0;
  return fail(L, "check failed", 2);
}

// check_eq(actual, expected [, message]): primitive equality.
int luaCheckEq(lua_State* L) {
  lua_settop(L, lua_gettop(L) < 2 ? 2 : lua_gettop(L));
  if (lua_equal(L, 1, 2)) return 0;
  return fail(L, "expected " + textOf(L, 2) + ", got " + textOf(L, 1), 3);
}

// check_near(actual, expected [, tolerance [, message]])
int luaCheckNear(lua_State* L) {
  double a = luaL_checknumber(L, 1), e = luaL_checknumber(L, 2);
  double tol = luaL_optnumber(L, 3, 1e-6);
  if (std::fabs(a - e) <= tol) return 0;
  return fail(L, "expected " + textOf(L, 2) + " within " + std::to_string(tol) + ", got " + textOf(L, 1), 4);
}

// check_error(fn [, text]): fn must raise, with text in its message when given.
int luaCheckError(lua_State* L) {
  luaL_checktype(L, 1, LUA_TFUNCTION);
  lua_pushvalue(L, 1);
  if (lua_pcall(L, 0, 0, 0) == 0) return fail(L, "expected an error", 3);
  if (lua_isstring(L, 2)) {
    std::string msg = lua_tostring(L, -1) ? lua_tostring(L, -1) : "";
    if (msg.find(lua_tostring(L, 2)) == std::string::npos) {
      return fail(L, "error \"" + msg + "\" does not mention \"" + lua_tostring(L, 2) + "\"", 3);
    }
  }
  lua_pop(L, 1);
  return 0;
}

// qxtest.luavar(value): the value carried through a LuaVar and pushed back.
int luaVarRoundTrip(lua_State* L) {
  lua_settop(L, 1);
  LuaVar v;
  LuaVar::fromLua(L, 1, v);
  return v.push(L);
}

// qxtest.luavar_kind(value): the LuaVar kind number the value converts to.
int luaVarKind(lua_State* L) {
  lua_settop(L, 1);
  LuaVar v;
  LuaVar::fromLua(L, 1, v);
  lua_pushinteger(L, v.kind());
  return 1;
}

void setClosure(lua_State* L, const char* name, lua_CFunction f, TestTally* tally) {
  lua_pushlightuserdata(L, tally);
  lua_pushcclosure(L, f, 1);
  lua_setglobal(L, name);
}

}  // namespace

void registerTestApi(lua_State* L, TestTally* tally) {
  setClosure(L, "test", luaTest, tally);
  setClosure(L, "check", luaCheck, tally);
  setClosure(L, "check_eq", luaCheckEq, tally);
  setClosure(L, "check_near", luaCheckNear, tally);
  setClosure(L, "check_error", luaCheckError, tally);
  lua_createtable(L, 0, 2);
  lua_pushcfunction(L, luaVarRoundTrip);
  lua_setfield(L, -2, "luavar");
  lua_pushcfunction(L, luaVarKind);
  lua_setfield(L, -2, "luavar_kind");
  lua_setglobal(L, "qxtest");
}
