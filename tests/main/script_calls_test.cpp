// The calls into `main`: what reaches the coroutine and how its yields are read.
#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <memory>
#include <string>

#include "program/main/script_calls.h"
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

TEST_F(MainCalls, ResumesPassTheirPhaseAndValuesAndTheFirstYieldedValueSaysKeepRunning) {
  define(R"(
    seen = {}
    function main(...)
      seen[#seen + 1] = select("#", ...)
      local a, b, c, d, e = coroutine.yield(true, "extra", 7)
      seen[#seen + 1] = table.concat({ a, b, c, d, e }, " ")
      local p, v = coroutine.yield(1)        -- any true value keeps running
      seen[#seen + 1] = p .. " " .. v
      coroutine.yield(nil)
      coroutine.yield()
    end
    function broken() error("no") end
  )");
  const LuaFuncPath resume("", 1);
  struct Step {
    std::function<LuaCallRes()> call;
    int status;
    bool keep;
    int rest;  // values after the first
  };
  const Step steps[] = {
      {[&] { return callGlobal0(wrap(), LuaFuncPath("main", 1)); }, LUA_YIELD, true, 2},
      {[&] { return callFrameUpdate(wrap(), resume, 0.25f, 1.5f, 2.5f, 59); }, LUA_YIELD, true, 0},
      {[&] { return callFrameDraw(wrap(), resume, 0); }, LUA_YIELD, false, 0},  // nil reads as false
      {[&] { return callGlobal0(wrap(), resume); }, LUA_YIELD, false, 0},       // a yield without values
      {[&] { return callGlobal0(wrap(), resume); }, 0, false, 0},               // main returned
      {[&] { return callGlobal0(wrap(), LuaFuncPath("broken", 1)); }, LUA_ERRRUN, false, 0},
  };
  for (size_t i = 0; i < std::size(steps); ++i) {
    SCOPED_TRACE(i);
    bool keep = !steps[i].keep;
    LuaCallRes r = steps[i].call();
    LuaCallRes rest = readMainResults(r, keep);
    EXPECT_EQ(r.status(), steps[i].status);
    EXPECT_EQ(rest.status(), steps[i].status);
    EXPECT_EQ(keep, steps[i].keep);
    ASSERT_EQ(rest.count(), steps[i].rest);
    if (i == 0) {
      EXPECT_STREQ(lua_tostring(rest.state(), rest.indexOf(0)), "extra");
      EXPECT_EQ(lua_tointeger(rest.state(), rest.indexOf(1)), 7);
    }
  }
  lua_State* L = wrap().state();
  ASSERT_EQ(luaL_dostring(L, "return table.concat(seen, '|')"), 0);
  EXPECT_STREQ(lua_tostring(L, -1), "0|1 0.25 1.5 2.5 59|2 0");
  lua_pop(L, 1);
}

}  // namespace
