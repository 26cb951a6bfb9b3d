// Helpers around pinned references and table fields (no engine caller yet: hostile tables only).
#include "script/qx/qx_support.h"

#include "tests/qx/qx_test_support.h"

namespace {

using QXSupportTest = qxtest::StateTest;

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
