// Stack readers, value text and the allocator sizing.
#include <gtest/gtest.h>

#include <string>

#include "lua_test_support.h"
#include "script/lua/lua_format.h"
#include "script/lua/script_alloc.h"
#include "script/lua/stack_readers.h"

namespace {

using luatest::Locked;
using luatest::run;

class Readers : public ::testing::Test {
 protected:
  void SetUp() override {
    state_ = ScriptMgr::instance()->createState();
    lock_ = std::make_unique<Locked>(state_);
    L = lock_->L();
  }
  void TearDown() override {
    lua_settop(L, 0);
    lock_.reset();
  }
  std::string text(int index, int depth) {
    std::u16string out;
    formatLuaValue(L, index, out, depth, 0);
    return qcore::utf16ToUtf8(out);
  }

  ScriptHdl state_;
  std::unique_ptr<Locked> lock_;
  lua_State* L = nullptr;
};

TEST_F(Readers, NumbersAndIntegers) {
  lua_pushnumber(L, -1.5);
  EXPECT_EQ(toIntOrPtrAt(L, -1), -1);
  EXPECT_FLOAT_EQ(toFloatAt(L, -1), -1.5f);
  EXPECT_EQ(toIntOrPtrAt(nullptr, 1), 0);
  EXPECT_TRUE(toWStringAt(nullptr, 1).empty());
  lua_pushnumber(L, 4294967296.0 + 7);  // through int64, low 32 bits
  EXPECT_EQ(getQXIntAt(L, -1), 7u);
  lua_pushnumber(L, 0.0 / 0.0);
  EXPECT_EQ(getQXIntAt(L, -1), 0u);
  lua_pushlightuserdata(L, reinterpret_cast<void*>(0x1234));
  EXPECT_EQ(toIntOrPtrAt(L, -1), 0x1234);
  EXPECT_EQ(getQXIntAt(L, -1), 0x1234u);
}

TEST_F(Readers, QXIntegerTextIsHexadecimalAndSaturates) {
  auto hex = [&](const char* s) {
    lua_pushstring(L, s);
    uint32_t v = getQXIntAt(L, -1);
    lua_pop(L, 1);
    return v;
  };
  EXPECT_EQ(hex("ff"), 255u);
  EXPECT_EQ(hex("0xFF"), 255u);
  EXPECT_EQ(hex("  1a zz"), 0x1au);
  EXPECT_EQ(hex("zz"), 0u);
  EXPECT_EQ(hex("123456789abc"), 0xFFFFFFFFu);
  EXPECT_EQ(hex("0x"), 0u);
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
}

TEST_F(Readers, VectorsStringsAndBooleans) {
  ASSERT_EQ(run(L, "v = { 1, 2, 3, 4 }"), "");
  lua_getglobal(L, "v");
  float v4[4];
  getVec4At(L, -1, v4);
  EXPECT_FLOAT_EQ(v4[3], 4);
  float v3[3];
  getVec3Top(L, v3);
  EXPECT_FLOAT_EQ(v3[2], 3);
  lua_pushstring(L, "日本");
  EXPECT_EQ(toWStringAt(L, -1), u"日本");
  EXPECT_STREQ(toCStringAt(L, -1), "日本");
  lua_pushnil(L);
  EXPECT_EQ(toBoolAt(L, -1), 0);
  std::string s;
  lua_pushboolean(L, 1);
  tostringAt(L, -1, s);
  EXPECT_EQ(s, "true");
}

TEST_F(Readers, ValueTextFollowsTheEngineFormat) {
  lua_pushnumber(L, 255);
  EXPECT_EQ(text(1, 1), "[1:number] 255 (0xff)\n");
  lua_settop(L, 0);
  lua_createtable(L, 0, 0);
  EXPECT_EQ(text(-1, 0), "(table){}\n");
  lua_pushinteger(L, 1);
  lua_rawseti(L, -2, 1);
  EXPECT_EQ(text(-1, 0), "(table){...}\n");
  ASSERT_EQ(run(L, "t = { name = 'x' }"), "");
  lua_getglobal(L, "t");
  EXPECT_EQ(text(-1, 1), "(table){\t(string)\"name\"=(string)x\n}\n");
}

TEST_F(Readers, TablesThatHoldThemselvesPrintABoundedText) {
  // Ten pairs a level, sixteen levels deep: without a bound the text would never end.
  ASSERT_EQ(run(L, "t = {} for i = 1, 10 do t[i] = t end"), "");
  lua_getglobal(L, "t");
  lua_pushstring(L, "after");
  std::u16string s = luaStackToWString(L, 16);
  EXPECT_LT(s.size(), size_t{2} << 20);
  EXPECT_NE(s.find(u"..."), std::u16string::npos);
  EXPECT_EQ(s.rfind(u"[2:string] after\n", 0), 0u);  // the topmost value still comes first
  EXPECT_EQ(lua_gettop(L), 2);
  lua_settop(L, 0);
}

TEST_F(Readers, StacksPrintFromTheTop) {
  lua_pushstring(L, "one");
  lua_pushboolean(L, 0);
  lua_pushnil(L);
  std::string s = qcore::utf16ToUtf8(luaStackToWString(L, 1));
  EXPECT_EQ(s, "[3:nil] unknown value\n[2:boolean] false\n[1:string] one\n");
}

TEST_F(Readers, UserdataTextComesFromTheScriptOrFallsBack) {
  lua_newuserdata(L, 4);
  EXPECT_EQ(text(-1, 1).rfind("(userdata)0x", 0), 0u);
  ASSERT_EQ(run(L, "function UsrToString(u) return 'mine' end"), "");
  EXPECT_EQ(text(-1, 1), "(userdata)mine\n");
  ASSERT_EQ(run(L, "function UsrToString(u) error('bad') end"), "");
  EXPECT_EQ(text(-1, 1).rfind("(userdata)0x", 0), 0u);
  EXPECT_EQ(lua_gettop(L), 1);
}

TEST(ScriptAlloc, SizingAdvice) {
  EXPECT_EQ(scriptBlocksPerPage(32), 255u);
  EXPECT_EQ(scriptBlocksPerPage(33), 128u);
  EXPECT_EQ(scriptBlocksPerPage(128), 32u);
  EXPECT_EQ(scriptBlocksPerPage(256), 16u);
  EXPECT_EQ(scriptBlocksPerPage(257), 8u);
  EXPECT_EQ(scriptPageCount(1000), 512u);
  EXPECT_EQ(scriptSizeClass(1), 4u);
  EXPECT_EQ(scriptSizeClass(5), 8u);
  EXPECT_EQ(scriptSizeClass(9), 16u);
  EXPECT_EQ(scriptSizeClass(17), 32u);
  EXPECT_EQ(scriptSizeClass(33), 48u);
}

}  // namespace
