// Game objects from C++ (script-level cases: tests/bind/scripts/gobj_messages_test.lua).
#include <atomic>
#include <thread>
#include <vector>

#include "runtime/res/hdl_lock.h"
#include "script/bind/bind_class.h"
#include "script/gobj/gobj_bind.h"
#include "script/lua/stack_readers.h"
#include "tests/bind/bind_test_support.h"

namespace {

using bindtest::StateTest;

GobjMgr& gobjs() { return *GobjMgr::instance(); }

// The handles listed as lost since the previous call.
std::vector<uint32_t> lostSinceLastCall() {
  std::vector<uint32_t> lost;
  gobjs().flipLostList();
  gobjs().copyLostList(lost);
  return lost;
}

class GobjTest : public StateTest {
 protected:
  void SetUp() override {
    StateTest::SetUp();
    ASSERT_TRUE(qxbind::bindClass(L, gobjBinding()));
    lua_register(L, "post", bindtest::postMsgHere);
    lua_register(L, "postFromThread", bindtest::postMsgFromThread);
    ASSERT_EQ(run(R"(
      Recv = QXL.gobj_class()
      got = {}
      function Recv:recvmsg(zero, name, ...)
        got[#got + 1] = { self = self, zero = zero, name = name, n = select('#', ...), ... }
      end
      deaths = 0
      local engineDelete = delete_gobj
      function delete_gobj(w)
        deaths = deaths + 1
        lastDeathValid = QX.validHdl(w)
        engineDelete(w)
      end
    )"),
              "");
    lostSinceLastCall();
  }
  void TearDown() override {
    gobjs().deliverMsgs();  // nothing left over for the next test
    StateTest::TearDown();
  }
  // The names of the messages received so far, in order.
  std::string gotNames() {
    return evalString(
        "(function() local s = {} for i, g in ipairs(got) do s[i] = g.name end "
        "return table.concat(s, ' ') end)()");
  }
  // Drops the global g and collects until its game object is gone.
  void dropGlobal(const char* g) {
    lua_pushnil(L);
    lua_setglobal(L, g);
    fullGc();
    fullGc();
  }
};

TEST_F(GobjTest, NewGobjGivesAStrongHandleWhoseFieldsAreTheGameObjectsData) {
  ASSERT_EQ(run("g = GobjMgr:newGobj(3)"), "");
  const uint32_t h = handleOf("g");
  ASSERT_EQ(run("g._pos = QXL.vec3(1, 2, 3) g._upd_level = 4 g._dir = g._pos"), "");
  {
    kesto::HdlLock<GobjHdl> lock(h, kesto::HdlLock<GobjHdl>::kShared);
    ASSERT_TRUE(lock);
    EXPECT_EQ(lock->upriority, 3);
    EXPECT_EQ(lock->self, h);
    EXPECT_EQ(lock->scriptState, state_.value);
    EXPECT_EQ(lock->_pos, Vec3(1, 2, 3));
    EXPECT_EQ(lock->_dir, Vec3(1, 2, 3));
    EXPECT_EQ(lock->_upd_level, 4);
  }
  // ref_gobj may give the script's own object.
  ASSERT_EQ(run("local keep = {} ref_gobj = function(w) return keep end  isKeep = GobjMgr:newGobj(1) == keep"), "");
  EXPECT_TRUE(evalBool("isKeep"));
}

TEST_F(GobjTest, MessagesArriveByHandleThenInPostingOrderWithSelfZeroNameAndValues) {
  ASSERT_EQ(run("a = Recv.new(0) b = Recv.new(0) postFromThread(b, 'b1') postFromThread(a, 'a1', 7) "
                "post(a, string.rep('n', 100))"),
            "");
  const uint32_t a = handleOf("a"), b = handleOf("b");
  std::thread t([b] {
    LuaVar body;
    body.field("user").field("name") = LuaVar("alice");
    LuaVar v2;
    const float c[2] = {1, 2};
    v2.setVec(2, c);
    gobjs().postMsg3(b, "b2", std::move(body), std::move(v2), LuaVar("after"));
  });
  t.join();
  gobjs().deliverMsgs();
  const std::string longName(63, 'n');  // names are cut to 63 characters
  EXPECT_EQ(gotNames(), a < b ? "a1 " + longName + " b1 b2" : "b1 b2 a1 " + longName);
  ASSERT_EQ(run("byName = {} for _, g in ipairs(got) do byName[g.name] = g end"), "");
  // A table built on another thread arrives as a table; a value that pushes nothing
  // keeps the following values in place.
  EXPECT_TRUE(
      evalBool("byName.b2.n == 3 and byName.b2[1].user.name == 'alice' and byName.b2[2] == nil "
               "and byName.b2[3] == 'after'"));
}

TEST_F(GobjTest, PostsDuringDeliveryWaitForTheNextOneAndOneTargetCanBeServedAlone) {
  lua_register(L, "postDuring", [](lua_State* S) -> int {
    // Another thread posts while this handler runs, and the handler waits for it.
    uint32_t target = getHandleAt(S, 1);
    std::thread t([target] { gobjs().postMsg0(target, "during"); });
    t.join();
    return 0;
  });
  ASSERT_EQ(run(R"(
    a = Recv.new(0)
    b = Recv.new(0)
    function a:recvmsg(_, name)
      got[#got + 1] = { name = 'a:' .. name }
      if name == 'ping' then post(self, 'again') postDuring(self) end
    end
    post(a, 'ping') post(b, 'x') post(b, 'y')
  )"),
            "");
  gobjs().deliverMsgs(handleOf("a"));
  EXPECT_EQ(gotNames(), "a:ping");
  EXPECT_EQ(gobjs().queuedCount(), 4u);
  gobjs().deliverMsgs(handleOf("a"));
  EXPECT_EQ(gotNames(), "a:ping a:again a:during");
  gobjs().deliverMsgs();
  EXPECT_EQ(gotNames(), "a:ping a:again a:during x y");
}

TEST_F(GobjTest, MessagesThatCannotBeHandledAreDroppedAlone) {
  ASSERT_EQ(run(R"(
    bad = Recv.new(0)
    function bad:recvmsg() error('handler broke') end
    mute = QXL.attach_gobj({}, 0)          -- no recvmsg at all
    unknown = GobjMgr:newGobj(0)           -- ref_gobj knows nothing of it
    good = Recv.new(0)
    post(bad, 'a') post(mute, 'b') post(unknown, 'c') post(good, 'd')
  )"),
            "");
  // Values posted to a handle that names nothing are taken over and dropped.
  LuaVar values[2] = {LuaVar("a"), LuaVar("b")};
  gobjs().postMsg(0x7FFFF, "nowhere", values, 2);
  EXPECT_FALSE(values[0].isSet() || values[1].isSet());
  gobjs().deliverMsgs();
  EXPECT_EQ(gotNames(), "d");
  bool logged = false;
  for (const std::string& line : bindtest::logLines()) logged |= line.find("handler broke") != std::string::npos;
  EXPECT_TRUE(logged);
  // A ref_gobj that raises drops the message and gives no object.
  ASSERT_EQ(run("post(good, 'x') ref_gobj = function() error('lookup broke') end"), "");
  gobjs().deliverMsgs();
  EXPECT_EQ(evalNumber("#got"), 1);
  EXPECT_TRUE(evalBool("GobjMgr:newGobj(0) == nil"));
}

TEST_F(GobjTest, LastReleaseCallsDeleteGobjOnceEvenWhenItRaisesAndListsTheHandle) {
  ASSERT_EQ(run("g = Recv.new(0)"), "");
  const uint32_t h = handleOf("g");
  GobjHdl held = gobjs().copyIfValid(h);
  dropGlobal("g");
  EXPECT_EQ(evalNumber("deaths"), 0);  // the engine still holds it
  held.reset();
  EXPECT_EQ(evalNumber("deaths"), 1);
  EXPECT_TRUE(evalBool("lastDeathValid"));  // told before the object goes

  ASSERT_EQ(run("g = GobjMgr:newGobj(0) function delete_gobj() error('refused') end"), "");
  const uint32_t h2 = handleOf("g");
  dropGlobal("g");
  EXPECT_FALSE(gobjs().isValidHandle(h2));
  bool logged = false;
  for (const std::string& line : bindtest::logLines()) {
    logged |= line.rfind("delete_gobj failed:", 0) == 0 && line.find("refused") != std::string::npos;
  }
  EXPECT_TRUE(logged);
}

TEST_F(GobjTest, AnObjectRevivedInDeleteGobjIsNotLostAndItsLaterDeathIsHeard) {
  ASSERT_EQ(run(R"(
    g = GobjMgr:newGobj(0)
    local heard = delete_gobj
    function delete_gobj(w)
      heard(w)
      if deaths == 1 then revived = QX.getStrong(w) end
    end
  )"),
            "");
  const uint32_t h = handleOf("g");
  dropGlobal("g");
  EXPECT_EQ(evalNumber("deaths"), 1);
  EXPECT_TRUE(gobjs().isValidHandle(h));
  EXPECT_TRUE(lostSinceLastCall().empty());  // alive again: not lost
  dropGlobal("revived");
  EXPECT_EQ(evalNumber("deaths"), 2);
  EXPECT_FALSE(gobjs().isValidHandle(h));
  EXPECT_EQ(lostSinceLastCall(), std::vector<uint32_t>{h});
}

TEST_F(GobjTest, CountedHandleFieldLetsItsOldObjectGoOutsideTheOwnersLock) {
  ASSERT_TRUE(qxbind::bindClass(L, bindtest::thingBinding()));
  // locksOn(obj): slot locks held on the page of obj's slot.
  lua_register(L, "locksOn", [](lua_State* S) -> int {
    const uint32_t h = getHandleAt(S, 1);
    lua_pushnumber(S, bindtest::ThingMgr::instance()->pageLockCount(kesto::HdlBase(h).index()));
    return 1;
  });
  ASSERT_EQ(run(R"(
    owner = ThingMgr:make(1)
    g = Recv.new(0)
    owner.keeper = g
    g = nil
    collectgarbage('collect') collectgarbage('collect')
    local engineDelete = delete_gobj
    function delete_gobj(w)
      locksDuringDelete = locksOn(owner)
      engineDelete(w)
    end
  )"),
            "");
  ASSERT_EQ(run("owner.keeper = nil"), "");
  EXPECT_EQ(evalNumber("deaths"), 1);
  EXPECT_EQ(evalNumber("locksDuringDelete"), 0);
  // A game object that is gone is stored as no object, not as a stale value.
  ASSERT_EQ(run("dead = Recv.new(0) weak = QX.getWeak(dead.udata)"), "");
  dropGlobal("dead");
  ASSERT_EQ(run("owner.keeper = weak"), "");
  kesto::HdlLock<bindtest::ThingMgr::HandleType> lock(handleOf("owner"),
                                                      kesto::HdlLock<bindtest::ThingMgr::HandleType>::kShared);
  ASSERT_TRUE(lock);
  EXPECT_EQ(lock->keeper.value, 0u);
}

TEST_F(GobjTest, ConcurrentReleasesTellTheScriptExactlyOnce) {
  for (int round = 0; round < 20; ++round) {
    GobjHdl h = gobjs().newGobj(0);
    std::vector<GobjHdl> copies(4, h);
    h.reset();
    // The state is free while the workers release, so the one that tells can lock it.
    policy_->unlock();
    std::atomic<bool> go{false};
    std::vector<std::thread> workers;
    for (GobjHdl& c : copies) {
      workers.emplace_back([&go, &c] {
        while (!go.load()) {
        }
        c.reset();
      });
    }
    go = true;
    for (std::thread& t : workers) t.join();
    L = policy_->lock();
    ASSERT_NE(L, nullptr);
    EXPECT_EQ(evalNumber("deaths"), round + 1);
  }
}

TEST_F(GobjTest, StateThatClosesDoesNotHearOfItsObjectsDeaths) {
  ScriptHdl other = ScriptMgr::instance()->createState();
  ASSERT_TRUE(qxbind::bindClass(other, gobjBinding()));
  uint32_t h = 0;
  {
    LVPolicyHdl p(other);
    lua_State* O = p.lock();
    ASSERT_NE(O, nullptr);
    uint32_t previous = ScriptMgr::instance()->exchangeThreadEntry(other.value);
    ASSERT_EQ(luaL_dostring(O, "delete_gobj = function() error('must not run') end return GobjMgr:newGobj(0)"), 0);
    ScriptMgr::instance()->exchangeThreadEntry(previous);
    h = getHandleAt(O, -1);
    lua_setglobal(O, "held");
    p.unlock();
  }
  ASSERT_TRUE(gobjs().isValidHandle(h));
  other.reset();  // closes the state; its collector releases the game object
  EXPECT_FALSE(gobjs().isValidHandle(h));
  for (const std::string& line : bindtest::logLines()) EXPECT_EQ(line.find("must not run"), std::string::npos);
  EXPECT_EQ(lostSinceLastCall(), std::vector<uint32_t>{h});
}

}  // namespace
