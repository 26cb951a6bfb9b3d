// Script calls: protected calls, resumes of the main coroutine, failures and results.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "lua_test_support.h"
#include "runtime/res/hdl_lock.h"
#include "script/lua/lua_func_path.h"
#include "script/lua/lua_glue.h"

namespace {

using luatest::run;

class ScriptCall : public ::testing::Test {
 protected:
  void SetUp() override {
    state_ = ScriptMgr::instance()->createState();
    ASSERT_TRUE(state_.value);
    lock_.lock(state_.value);
    ASSERT_TRUE(lock_);
    lua_register(L(), "probe", [](lua_State*) -> int {
      seen = ScriptMgr::instance()->lookupThreadEntry();
      return 0;
    });
    ASSERT_EQ(run(L(), R"(
      function three() probe() return 1, 2, 3 end
      function fails() local x = nil; return x.field end
      function main(a)
        local b, c = coroutine.yield("first", a)
        coroutine.yield("second", b + c)
        return "done"
      end
    )"),
              "");
  }
  void TearDown() override { lock_.unlock(); }

  LuaWrap<LVPolicyHdl>& wrap() { return *lock_; }
  lua_State* L() { return lock_->state(); }

  // Pushes the global function name and calls it with the integers given.
  LuaCallRes callGlobal(const char* name, std::initializer_list<int> args, bool resume = false) {
    wrap().dropResults();
    int base = lua_gettop(L());
    LuaFuncPath(name, resume ? 1 : 0).push(L(), wrap().yieldFlag());
    for (int a : args) lua_pushinteger(L(), a);
    return wrap().call(base, static_cast<int>(args.size()), resume);
  }

  static inline uint32_t seen = 0;  // the state current while probe() ran
  ScriptHdl state_;
  kesto::HdlLock<ScriptHdl> lock_;
};

TEST_F(ScriptCall, AProtectedCallRunsWithTheStateCurrentAndKeepsItsResultsUntilDropped) {
  const uint32_t before = ScriptMgr::instance()->lookupThreadEntry();
  {
    LuaCallRes r = callGlobal("three", {});
    EXPECT_EQ(seen, state_.value);
    EXPECT_EQ(ScriptMgr::instance()->lookupThreadEntry(), before);
    EXPECT_EQ(r.status(), 0);
    EXPECT_EQ(r.first(), -3);
    EXPECT_EQ(lua_tointeger(L(), r.indexOf(0)), 1);
    LuaCallRes rest = r.part();
    EXPECT_EQ(lua_tointeger(L(), rest.first()), 2);
  }
  int base = lua_gettop(L());
  lua_getglobal(L(), "three");
  { LuaCallRes r = wrap().call(base, 0, false); }
  EXPECT_EQ(lua_gettop(L()), 6);
  EXPECT_EQ(wrap().pendingResults(), 3);
  wrap().dropResults();
  EXPECT_EQ(lua_gettop(L()), 3);
  lua_settop(L(), 0);
}

TEST_F(ScriptCall, AFailingCallLeavesTheStackAsItFoundIt) {
  lua_pushstring(L(), "below");
  int top = lua_gettop(L());
  for (int i = 0; i < 30; ++i) {
    LuaCallRes r = callGlobal("fails", {});
    EXPECT_NE(r.status(), 0);
    EXPECT_EQ(r.first(), 0);
    EXPECT_NE(r.errorText().find("attempt to index"), std::string::npos);
  }
  EXPECT_EQ(lua_gettop(L()), top);
  EXPECT_NE(qcore::utf16ToUtf8(wrap().errorText()).find("attempt to index"), std::string::npos);
  lua_settop(L(), 0);
}

TEST_F(ScriptCall, ResumingMainYieldsValuesUntilItFinishes) {
  {
    LuaCallRes r = callGlobal("main", {7}, true);
    EXPECT_EQ(r.status(), LUA_YIELD);
    EXPECT_EQ(r.first(), -2);
    EXPECT_EQ(wrap().yieldFlag(), 1);
    EXPECT_STREQ(lua_tostring(L(), -2), "first");
    EXPECT_EQ(lua_tointeger(L(), -1), 7);
  }
  // While main is suspended, other calls run on the same state.
  { EXPECT_EQ(callGlobal("three", {}).first(), -3); }
  {
    // A resumable path pushes nothing while suspended: the arguments resume main.
    LuaCallRes r = callGlobal("", {2, 3}, true);
    EXPECT_EQ(r.status(), LUA_YIELD);
    EXPECT_EQ(lua_tointeger(L(), -1), 5);
  }
  {
    LuaCallRes r = callGlobal("", {}, true);
    EXPECT_EQ(r.status(), 0);
    EXPECT_EQ(wrap().yieldFlag(), 0);
    EXPECT_EQ(r.first(), -1);
    EXPECT_STREQ(lua_tostring(L(), -1), "done");
  }
  // A resume that fails ends main as well.
  { EXPECT_EQ(callGlobal("main", {1}, true).status(), LUA_YIELD); }
  {
    LuaCallRes r = callGlobal("", {}, true);  // b + c of nil values
    EXPECT_EQ(r.status(), LUA_ERRRUN);
    EXPECT_EQ(wrap().yieldFlag(), 0);
    EXPECT_NE(r.errorText().find("arithmetic"), std::string::npos) << r.errorText();
  }
}

int throwsStd(lua_State*) { throw std::runtime_error("engine fault"); }
int throwsQX(lua_State*) { throw QXExcept{u"caption", u"qx fault"}; }

TEST_F(ScriptCall, EngineExceptionsBecomeLuaErrors) {
  lua_register(L(), "throws_std", luaGuarded<throwsStd>);
  lua_register(L(), "throws_qx", luaGuarded<throwsQX>);
  EXPECT_EQ(run(L(), R"(
    local ok, err = pcall(throws_std)
    assert(not ok and err == "engine fault", err)
    ok, err = pcall(throws_qx)
    assert(not ok and err == "qx fault", err)
  )"),
            "");
}

TEST(LuaFuncPathTest, WalksDottedPathsAndGivesNilForMissingStepsOrRaisingLookups) {
  ScriptHdl h = ScriptMgr::instance()->createState();
  luatest::Locked L(h);
  // Strict globals, a common script idiom: reading an undefined global raises. No
  // protected call is running here: an escaping error would end in the panic handler.
  ASSERT_EQ(run(L, R"(
    QXL = { vec3 = { new = 'found' }, vec4 = setmetatable({}, { __index = function(t, k) error("no " .. k) end }) }
    plain = 5
    found = setmetatable({}, { __index = function(t, k) return k .. "!" end })
    setmetatable(_G, { __index = function(t, k) error("undefined global " .. k) end })
  )"),
            "");
  const struct {
    const char* path;
    const char* want;  // nullptr: nil
  } kCases[] = {
      {"QXL.vec3.new", "found"}, {"", nullptr},       {"nothing.here.at.all", nullptr}, {"plain.field", nullptr},
      {"QXL.vec4.new", nullptr}, {"found.it", "it!"},
  };
  for (const auto& c : kCases) {
    LuaFuncPath(c.path, 0).push(L, 0);
    EXPECT_EQ(lua_gettop(L), 1) << c.path;
    if (c.want) {
      EXPECT_STREQ(lua_tostring(L, -1), c.want) << c.path;
    } else {
      EXPECT_TRUE(lua_isnil(L, -1)) << c.path;
    }
    lua_settop(L, 0);
  }
  LuaFuncPath("main", 1).push(L, 1);  // suspended: nothing
  EXPECT_EQ(lua_gettop(L), 0);
}

}  // namespace
