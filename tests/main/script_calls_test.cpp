// The calls into `main`: what reaches the coroutine and how its yields are read.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/main/script_calls.h"
#include "runtime/core/thread_ctx.h"
#include "runtime/res/hdl_lock.h"
#include "script/lua/script_mgr.h"

namespace {

class MainCalls : public ::testing::Test {
 protected:
  void SetUp() override {
    attachThreadLane();
    mgr_ = std::make_unique<ScriptMgr>();
    state_ = mgr_->createState();
    ASSERT_TRUE(state_.value);
    lock_.lock(state_.value);
    ASSERT_TRUE(lock_);
  }
  void TearDown() override {
    lock_.unlock();
    state_.reset();
    mgr_.reset();
    detachThreadLane();
  }
  void define(const char* code) {
    lua_State* L = lock_->state();
    ASSERT_EQ(luaL_dostring(L, code), 0) << lua_tostring(L, -1);
  }
  LuaWrap<LVPolicyHdl>& wrap() { return *lock_; }

  std::unique_ptr<ScriptMgr> mgr_;
  ScriptHdl state_;
  kesto::HdlLock<ScriptHdl> lock_;
};

TEST_F(MainCalls, ResumesPassTheirPhaseAndValuesAndYieldsAreRead) {
  define(R"(
    seen = {}
    function main(...)
      seen[#seen + 1] = select("#", ...)
      local a, b, c, d, e = coroutine.yield(true, "extra", 7)
      seen[#seen + 1] = table.concat({ a, b, c, d, e }, " ")
      local p, v = coroutine.yield(1)        -- any true value keeps running
      seen[#seen + 1] = p .. " " .. v
      coroutine.yield(nil)
    end
  )");
  const LuaFuncPath start("main", 1), resume("", 1);
  bool keep = false;
  {
    LuaCallRes r = callGlobal0(wrap(), start);
    LuaCallRes rest = readMainResults(r, keep);
    EXPECT_EQ(r.status(), LUA_YIELD);
    EXPECT_TRUE(keep);
    ASSERT_EQ(rest.count(), 2);
    EXPECT_STREQ(lua_tostring(rest.state(), rest.indexOf(0)), "extra");
    EXPECT_EQ(lua_tointeger(rest.state(), rest.indexOf(1)), 7);
    EXPECT_EQ(rest.status(), LUA_YIELD);
  }
  {
    LuaCallRes r = callFrameUpdate(wrap(), resume, 0.25f, 1.5f, 2.5f, 59);
    LuaCallRes rest = readMainResults(r, keep);
    EXPECT_TRUE(keep);
    EXPECT_EQ(rest.count(), 0);
  }
  {
    LuaCallRes r = callFrameDraw(wrap(), resume, 0);
    LuaCallRes rest = readMainResults(r, keep);
    EXPECT_EQ(r.status(), LUA_YIELD);
    EXPECT_FALSE(keep);  // nil reads as false
  }
  lua_State* L = wrap().state();
  lua_getglobal(L, "seen");
  const char* expected[] = {"0", "1 0.25 1.5 2.5 59", "2 0"};
  for (int i = 0; i < 3; ++i) {
    lua_rawgeti(L, -1, i + 1);
    EXPECT_STREQ(lua_tostring(L, -1), expected[i]) << i;
    lua_pop(L, 1);
  }
  lua_pop(L, 1);
}

TEST_F(MainCalls, AMainThatEndsOrFailsGivesNoKeepRunning) {
  define(R"(
    function main() coroutine.yield() end
    function broken() error("no") end
  )");
  bool keep = true;
  {
    LuaCallRes r = callGlobal0(wrap(), LuaFuncPath("main", 1));
    LuaCallRes rest = readMainResults(r, keep);
    EXPECT_EQ(r.status(), LUA_YIELD);
    EXPECT_FALSE(keep);  // a yield without values
    EXPECT_EQ(rest.count(), 0);
  }
  keep = true;
  {
    LuaCallRes r = callGlobal0(wrap(), LuaFuncPath("", 1));
    LuaCallRes rest = readMainResults(r, keep);
    EXPECT_EQ(r.status(), 0);  // main returned
    EXPECT_FALSE(keep);
    EXPECT_EQ(rest.count(), 0);
  }
  keep = true;
  {
    LuaCallRes r = callGlobal0(wrap(), LuaFuncPath("broken", 1));
    LuaCallRes rest = readMainResults(r, keep);
    EXPECT_EQ(r.status(), LUA_ERRRUN);
    EXPECT_FALSE(keep);
    EXPECT_EQ(rest.count(), 0);
    EXPECT_EQ(rest.status(), LUA_ERRRUN);
  }
}

}  // namespace
