// Pinned values in "QX_LStk": slots, keys, copies, release and use from other threads.
#include <gtest/gtest.h>

#include <thread>

#include "lua_test_support.h"
#include "script/lua/lstk_ref.h"

namespace {

// Number of entries in the anchor table.
int anchorCount(lua_State* L) {
  pushAnchorTable(L);
  int n = 0;
  lua_pushnil(L);
  while (lua_next(L, -2)) {
    ++n;
    lua_pop(L, 1);
  }
  lua_pop(L, 1);
  return n;
}

class Pins : public luatest::StateTest {
 protected:
  void SetUp() override {
    StateTest::SetUp();
    ASSERT_EQ(run("obj = { name = 'obj', inner = { v = 1 } }"), "");
  }

  LStkRef pinGlobal(const char* g, const LuaVar* key = nullptr) {
    lua_getglobal(L, g);
    LStkRef r;
    EXPECT_TRUE(r.pin(LVPolicyHdl(state_), 1, -1, key));
    return r;
  }
};

TEST_F(Pins, SlotsAdvanceByTwoAndReleaseClearsBoth) {
  int top = lua_gettop(L);
  LStkRef a = pinGlobal("obj");
  LStkRef b = pinGlobal("obj");
  EXPECT_EQ(lua_gettop(L), top);
  EXPECT_EQ(b.slot(), a.slot() + 2);
  EXPECT_EQ(anchorCount(L), 2);
  // Something a script stored in the companion slot goes too.
  pushAnchorTable(L);
  lua_pushinteger(L, static_cast<lua_Integer>(a.slot() + 1));
  lua_pushboolean(L, 1);
  lua_rawset(L, -3);
  lua_pop(L, 1);
  a.release();
  EXPECT_EQ(anchorCount(L), 1);
  b.release();
  EXPECT_EQ(anchorCount(L), 0);
}

TEST_F(Pins, AKeyedReferenceDesignatesALiveField) {
  LuaVar key("name");
  LStkRef name = pinGlobal("obj", &key);
  int top = lua_gettop(L);
  ASSERT_TRUE(name.push());
  EXPECT_STREQ(lua_tostring(L, -1), "obj");
  lua_pop(L, 1);
  EXPECT_EQ(lua_gettop(L), top);
  ASSERT_EQ(run("obj.name = 42"), "");
  EXPECT_EQ(name.type(), LUA_TNUMBER);  // read live

  // Assigning to a keyed reference writes into the field.
  ASSERT_EQ(run("replacement = { 'r' }"), "");
  LStkRef repl = pinGlobal("replacement");
  name.assign(repl);
  ASSERT_EQ(run("assert(obj.name == replacement)"), "");
}

TEST_F(Pins, CopiesPinAgainAndEveryPinIsReleased) {
  {
    LStkRef a = pinGlobal("obj");
    LStkRef b(a);
    EXPECT_NE(a.slot(), b.slot());
    LuaVar holder;
    holder.adoptRef(new LStkRef(a));
    LuaVar copy(holder);
    EXPECT_EQ(anchorCount(L), 4);
  }
  EXPECT_EQ(anchorCount(L), 0);
  // Assigning an empty reference empties the destination and drops its pin.
  LStkRef a = pinGlobal("obj");
  a.assign(LStkRef());
  EXPECT_EQ(a.getState(), 0u);
  EXPECT_EQ(anchorCount(L), 0);
}

TEST_F(Pins, ValuesNeverMoveBetweenLuaUniverses) {
  ScriptHdl other = ScriptMgr::instance()->createState();
  luatest::Locked O(other);
  LStkRef a = pinGlobal("obj");
  int top = lua_gettop(O);
  EXPECT_FALSE(a.push(O));
  EXPECT_EQ(lua_gettop(O), top);
  EXPECT_EQ(lua_gettop(L), 0);
  // A value of the other universe cannot be pinned into this reference's state.
  lua_pushstring(O, "foreign");
  EXPECT_FALSE(xmoveValueToThread(a, O, -1));
  EXPECT_EQ(lua_gettop(L), 0);
  lua_pop(O, 1);
  // Within one universe a coroutine's value moves over.
  ASSERT_EQ(run("co = coroutine.create(function() end)"), "");
  lua_getglobal(L, "co");
  lua_State* co = lua_tothread(L, -1);
  lua_pushstring(co, "from the coroutine");
  LStkRef moved;
  moved.pin(LVPolicyHdl(state_), 0, 1);  // bind it to this state first
  ASSERT_TRUE(xmoveValueToThread(moved, co, -1));
  ASSERT_TRUE(moved.push());
  EXPECT_STREQ(lua_tostring(L, -1), "from the coroutine");
  lua_settop(L, 0);
  EXPECT_EQ(anchorCount(L), 2);  // a's pin and the moved value's, not the thread's
}

TEST_F(Pins, AReferenceIsPushedAndReleasedFromAnotherThread) {
  LStkRef a = pinGlobal("obj");
  policy_->unlock();  // let the other thread in
  std::thread worker([&a] {
    LStkRef copy(a);
    LVPolicyHdl p(copy.getState());
    lua_State* wl = p.lock();
    copy.push();
    lua_getfield(wl, -1, "name");
    lua_setglobal(wl, "seen_by_worker");
    lua_pop(wl, 1);
    p.unlock();
  });
  worker.join();
  L = policy_->lock();
  ASSERT_EQ(run("assert(seen_by_worker == 'obj')"), "");
  EXPECT_EQ(anchorCount(L), 1);
}

}  // namespace
