// Helpers around pinned references and table fields.
#include "script/qx/qx_support.h"
#include "tests/qx/qx_test_support.h"

namespace {

using qxtest::StateTest;

class QXSupportTest : public StateTest {};

TEST_F(QXSupportTest, FieldsOfPinnedValuesArePinnedOnTheirOwn) {
  ASSERT_EQ(run("COL = {shape = {r = 2}}"), "");
  int top = lua_gettop(L);
  LStkRef col;
  ASSERT_TRUE(getColTable(*policy_, col));
  EXPECT_EQ(col.type(), LUA_TTABLE);
  LStkRefNL shape;
  refField(L, col, "shape", shape);
  EXPECT_EQ(shape.type(), LUA_TTABLE);
  EXPECT_EQ(lua_gettop(L), top);
  ASSERT_EQ(run("COL.shape = nil"), "");
  shape.push();
  lua_getfield(L, -1, "r");
  EXPECT_EQ(lua_tointeger(L, -1), 2);  // the pin keeps the table alive
  lua_pop(L, 2);

  lua_newtable(L);
  lua_pushinteger(L, 9);
  lua_setfield(L, -2, "inner");
  LStkRef inner;
  ASSERT_TRUE(refFieldOfTop(*policy_, "inner", inner));
  EXPECT_EQ(lua_gettop(L), top + 1);
  lua_pop(L, 1);
  EXPECT_EQ(inner.type(), LUA_TNUMBER);

  LStkRefNL missing;
  getColTableNL(L, missing);
  EXPECT_EQ(missing.type(), LUA_TTABLE);
  ASSERT_EQ(run("COL = nil"), "");
  getColTableNL(L, missing);
  EXPECT_EQ(missing.type(), LUA_TNIL);
  EXPECT_EQ(lua_gettop(L), top);
}

TEST_F(QXSupportTest, PinnedFieldSettersWriteIntoTheTableOnly) {
  int top = lua_gettop(L);
  LStkRef t;
  t.newTable(*policy_);
  setPinnedField(t, "s", std::string_view("text"));
  setPinnedField(t, "i", lua_Integer{42});
  setPinnedField(t, "b", true);
  ASSERT_TRUE(t.push());
  lua_setglobal(L, "pinned");
  EXPECT_EQ(evalString("pinned.s"), "text");
  EXPECT_EQ(evalNumber("pinned.i"), 42);
  EXPECT_TRUE(evalBool("pinned.b"));
  LStkRef number;
  lua_pushinteger(L, 3);
  ASSERT_TRUE(number.pin(*policy_, 1, -1));
  setPinnedField(number, "x", true);  // not a table: nothing happens
  EXPECT_EQ(lua_gettop(L), top);
}

TEST_F(QXSupportTest, MetamethodsThatRaiseNeverEscapeTheHelpers) {
  // Strict globals and guarded tables, read and written by engine code outside any call.
  ASSERT_EQ(run(R"(
    guarded = setmetatable({}, { __index = function(t, k) error("read " .. k) end,
                                 __newindex = function(t, k) error("write " .. k) end })
    setmetatable(_G, { __index = function(t, k) error("undefined global " .. k) end })
  )"),
            "");
  int top = lua_gettop(L);
  LStkRef col;
  ASSERT_TRUE(getColTable(*policy_, col));
  EXPECT_EQ(col.type(), LUA_TNIL);
  lua_getglobal(L, "guarded");
  LStkRef g;
  ASSERT_TRUE(g.pin(*policy_, 0, -1));
  LStkRef field;
  ASSERT_TRUE(refFieldOfTop(*policy_, "missing", field));
  EXPECT_EQ(field.type(), LUA_TNIL);
  lua_pop(L, 1);
  LStkRefNL viaRef;
  refField(L, g, "missing", viaRef);
  EXPECT_EQ(viaRef.type(), LUA_TNIL);
  setPinnedField(g, "x", true);
  EXPECT_EQ(lua_gettop(L), top);
  ASSERT_TRUE(g.push());
  lua_pushstring(L, "x");
  lua_rawget(L, -2);
  EXPECT_TRUE(lua_isnil(L, -1));
  lua_settop(L, top);
  ASSERT_EQ(run("setmetatable(_G, nil)"), "");
}

TEST_F(QXSupportTest, TableSetters) {
  lua_newtable(L);
  setIntKeyField(L, 1, lua_Integer{10});
  setIntKeyField(L, 2, std::string_view("two"));
  setIntKeyField(L, 3, false);
  setVarKeyField(L, -1, LuaVar("name"), std::string_view("qx"));
  LuaVar nilKey;
  setVarKeyField(L, -1, nilKey, lua_Integer{1});  // ignored
  lua_setglobal(L, "t");
  EXPECT_EQ(evalNumber("t[1]"), 10);
  EXPECT_EQ(evalString("t[2]"), "two");
  EXPECT_FALSE(evalBool("t[3]"));
  EXPECT_EQ(evalString("t.name"), "qx");
  lua_getglobal(L, "t");
  getIntKeyField(L, -1, 2);
  EXPECT_STREQ(lua_tostring(L, -1), "two");
  lua_pop(L, 2);
}

}  // namespace
