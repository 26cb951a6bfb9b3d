// Stack readers and value text.
#include <gtest/gtest.h>

#include <string>

#include "lua_test_support.h"
#include "script/lua/lua_format.h"
#include "script/lua/stack_readers.h"

namespace {

class Readers : public luatest::StateTest {
 protected:
  std::string text(int index, int depth) {
    std::u16string out;
    formatLuaValue(L, index, out, depth, 0);
    return qcore::utf16ToUtf8(out);
  }
  uint32_t qxInt(const char* expr) {
    eval(expr);
    uint32_t v = getQXIntAt(L, -1);
    lua_pop(L, 1);
    return v;
  }
};

TEST_F(Readers, NumbersIntegersAndQXIntegerText) {
  lua_pushlightuserdata(L, reinterpret_cast<void*>(0x1234));
  EXPECT_EQ(getQXIntAt(L, -1), 0x1234u);
  lua_settop(L, 0);
  const struct {
    const char* expr;
    uint32_t want;
  } kCases[] = {
      {"4294967296 + 7", 7u},  // through int64, low 32 bits
      {"0 / 0", 0u},
      {"'  1a zz'", 0x1au},
      {"'0x'", 0u},
      {"'123456789abc'", 0xFFFFFFFFu},  // text saturates
  };
  for (const auto& c : kCases) EXPECT_EQ(qxInt(c.expr), c.want) << c.expr;
}

TEST_F(Readers, HandlesComeFromHandleUserdataOrAUdataField) {
  auto* weak = static_cast<uint32_t*>(lua_newuserdata(L, 4));
  *weak = 0x1234;
  EXPECT_EQ(getHandleAt(L, -1), 0x1234u);
  auto* strong = static_cast<uint32_t*>(lua_newuserdata(L, 16));
  strong[0] = 0x5678;
  lua_createtable(L, 0, 1);
  lua_pushvalue(L, -2);
  lua_setfield(L, -2, "udata");
  EXPECT_EQ(getHandleAt(L, -1), 0x5678u);
  lua_newuserdata(L, 8);  // neither size
  EXPECT_EQ(getHandleAt(L, -1), 0u);
  lua_pushnumber(L, 5);
  EXPECT_EQ(getHandleAt(L, -1), 0u);
  lua_settop(L, 0);
}

TEST_F(Readers, ValueAndStackTextFollowTheEngineFormat) {
  lua_pushnumber(L, 255);
  EXPECT_EQ(text(1, 1), "[1:number] 255 (0xff)\n");
  lua_settop(L, 0);
  lua_createtable(L, 0, 0);
  EXPECT_EQ(text(-1, 0), "(table){}\n");
  lua_pushinteger(L, 1);
  lua_rawseti(L, -2, 1);
  EXPECT_EQ(text(-1, 0), "(table){...}\n");
  eval("{ name = 'x' }");
  EXPECT_EQ(text(-1, 1), "(table){\t(string)\"name\"=(string)x\n}\n");
  lua_settop(L, 0);
  lua_pushstring(L, "one");
  lua_pushboolean(L, 0);
  lua_pushnil(L);
  EXPECT_EQ(qcore::utf16ToUtf8(luaStackToWString(L, 1)), "[3:nil] unknown value\n[2:boolean] false\n[1:string] one\n");
  lua_settop(L, 0);
}

TEST_F(Readers, TablesThatHoldThemselvesPrintABoundedText) {
  // Ten pairs a level, sixteen levels deep: without a bound the text would never end.
  ASSERT_EQ(run("t = {} for i = 1, 10 do t[i] = t end"), "");
  lua_getglobal(L, "t");
  lua_pushstring(L, "after");
  std::u16string s = luaStackToWString(L, 16);
  EXPECT_LT(s.size(), size_t{2} << 20);
  EXPECT_NE(s.find(u"..."), std::u16string::npos);
  EXPECT_EQ(s.rfind(u"[2:string] after\n", 0), 0u);  // the topmost value still comes first
  EXPECT_EQ(lua_gettop(L), 2);
  lua_settop(L, 0);
}

TEST_F(Readers, UserdataTextComesFromTheScriptOrFallsBack) {
  lua_newuserdata(L, 4);
  EXPECT_EQ(text(-1, 1).rfind("(userdata)0x", 0), 0u);
  ASSERT_EQ(run("function UsrToString(u) return 'mine' end"), "");
  EXPECT_EQ(text(-1, 1), "(userdata)mine\n");
  ASSERT_EQ(run("function UsrToString(u) error('bad') end"), "");
  EXPECT_EQ(text(-1, 1).rfind("(userdata)0x", 0), 0u);
  EXPECT_EQ(lua_gettop(L), 1);
  lua_settop(L, 0);
}

}  // namespace
