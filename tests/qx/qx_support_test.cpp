// Helpers around pinned references and table fields.
#include "script/qx/qx_support.h"

#include "tests/qx/qx_test_support.h"

namespace {

using QXSupportTest = qxtest::StateTest;

TEST_F(QXSupportTest, FieldsOfPinnedValuesArePinnedOnTheirOwnAndSettersWriteIntoTablesOnly) {
  ASSERT_EQ(run("COL = {shape = {r = 2}}"), "");
  int top = lua_gettop(L);
  LStkRef col;
  ASSERT_TRUE(getColTable(*policy_, col));
  LStkRefNL shape;
  refField(L, col, "shape", shape);
  EXPECT_EQ(shape.type(), LUA_TTABLE);
  ASSERT_EQ(run("COL.shape = nil"), "");
  shape.push();
  lua_getfield(L, -1, "r");
  EXPECT_EQ(lua_tointeger(L, -1), 2);  // the pin keeps the table alive
  lua_pop(L, 2);
  eval("{inner = 9}");
  LStkRef inner;
  ASSERT_TRUE(refFieldOfTop(*policy_, "inner", inner));
  EXPECT_EQ(lua_gettop(L), top + 1);
  EXPECT_EQ(inner.type(), LUA_TNUMBER);
  LStkRefNL nl;
  getColTableNL(L, nl);
  EXPECT_EQ(nl.type(), LUA_TTABLE);
  lua_settop(L, top);

  LStkRef t;
  t.newTable(*policy_);
  setPinnedField(t, "s", std::string_view("text"));
  setPinnedField(t, "i", lua_Integer{42});
  setPinnedField(t, "b", true);
  ASSERT_TRUE(t.push());
  lua_setglobal(L, "pinned");
  setPinnedField(inner, "x", true);  // not a table: nothing happens
  lua_newtable(L);
  setIntKeyField(L, 1, lua_Integer{10});
  setIntKeyField(L, 2, std::string_view("two"));
  setIntKeyField(L, 3, false);
  setVarKeyField(L, -1, LuaVar("name"), std::string_view("qx"));
  setVarKeyField(L, -1, LuaVar(), lua_Integer{1});  // a nil key is ignored
  getIntKeyField(L, -1, 2);
  EXPECT_STREQ(lua_tostring(L, -1), "two");
  lua_pop(L, 1);
  lua_setglobal(L, "t");
  EXPECT_EQ(lua_gettop(L), top);
  EXPECT_EQ(run("assert(pinned.s == 'text' and pinned.i == 42 and pinned.b == true)\n"
                "assert(t[1] == 10 and t[2] == 'two' and t[3] == false and t.name == 'qx')"),
            "");
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
  LStkRefNL nl;
  getColTableNL(L, nl);
  EXPECT_EQ(nl.type(), LUA_TNIL);
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
  ASSERT_EQ(run("setmetatable(_G, nil) assert(rawget(guarded, 'x') == nil)"), "");
  // A state that is gone gives nothing.
  uint32_t value = ScriptMgr::instance()->createState().value;  // released at once
  EXPECT_FALSE(getColTable(LVPolicyHdl(value), col));
  EXPECT_FALSE(refFieldOfTop(LVPolicyHdl(value), "missing", field));
}

}  // namespace
