// Game objects: creation and fields from scripts, the message queue and its delivery to
// recvmsg, and the script's word when a game object dies.
#include <atomic>
#include <thread>
#include <vector>

#include "runtime/res/hdl_lock.h"
#include "script/bind/bind_class.h"
#include "script/gobj/gobj_bind.h"
#include "script/lua/script_report.h"
#include "script/lua/stack_readers.h"
#include "tests/bind/bind_test_support.h"

namespace {

using bindtest::StateTest;

GobjMgr& gobjs() { return *GobjMgr::instance(); }

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
  }
  void TearDown() override {
    gobjs().deliverMsgs();  // nothing left over for the next test
    StateTest::TearDown();
  }
  uint32_t handleOf(const std::string& expr) {
    eval(expr);
    uint32_t h = getHandleAt(L, -1);
    lua_pop(L, 1);
    return h;
  }
};

TEST_F(GobjTest, NewGobjGivesAStrongHandleOrTheScriptsOwnObject) {
  ASSERT_EQ(run("g = GobjMgr:newGobj(3)"), "");
  eval("g");
  EXPECT_EQ(lua_type(L, -1), LUA_TUSERDATA);
  EXPECT_EQ(lua_objlen(L, -1), 16u);
  lua_pop(L, 1);
  EXPECT_TRUE(evalBool("getmetatable(g) == Gobj.mt"));
  ASSERT_EQ(run("local keep = {} ref_gobj = function(w) return keep end  t = GobjMgr:newGobj(1) "
                "isKeep = (t == keep)"),
            "");
  EXPECT_TRUE(evalBool("isKeep"));
}

TEST_F(GobjTest, ScriptFieldsAreTheGameObjectsData) {
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
  EXPECT_EQ(evalNumber("g.upriority"), 3);
  EXPECT_TRUE(evalBool("type(g._pos) == 'userdata' and getmetatable(g._pos) == nil"));
  EXPECT_NE(run("g._pos = 1"), "");
  EXPECT_NE(run("g._dir = 'abc'"), "");
  // Script objects of game objects reach the same fields.
  ASSERT_EQ(run("r = Recv.new(2)  r._upd_level = 9"), "");
  EXPECT_EQ(evalNumber("r._upd_level"), 9);
  EXPECT_EQ(evalNumber("r.upriority"), 2);
}

TEST_F(GobjTest, MessagesFromAWorkerThreadArriveInOrderWithSelfZeroNameAndValues) {
  ASSERT_EQ(run(R"(
    obj = Recv.new(0)
    postFromThread(obj, "first")
    postFromThread(obj, "second", 7)
    postFromThread(obj, "third", QXL.vec3(1, 2, 3), "x")
    postFromThread(obj, "fourth", "text", true, 2.5)
  )"),
            "");
  EXPECT_EQ(gobjs().queuedCount(), 4u);
  EXPECT_EQ(evalNumber("#got"), 0);
  gobjs().deliverMsgs();
  EXPECT_EQ(gobjs().queuedCount(), 0u);
  EXPECT_EQ(evalNumber("#got"), 4);
  EXPECT_TRUE(evalBool("got[1].self == obj and got[1].zero == 0 and got[1].name == 'first' and got[1].n == 0"));
  EXPECT_TRUE(evalBool("got[2].name == 'second' and got[2].n == 1 and got[2][1] == 7"));
  EXPECT_TRUE(evalBool("got[3].name == 'third' and getmetatable(got[3][1]) == QXL.vec3 and got[3][1].z == 3 "
                       "and got[3][2] == 'x'"));
  EXPECT_TRUE(evalBool("got[4].n == 3 and got[4][1] == 'text' and got[4][2] == true and got[4][3] == 2.5"));
}

TEST_F(GobjTest, TablesBuiltOnAnotherThreadArriveAsTables) {
  ASSERT_EQ(run("obj = Recv.new(0)"), "");
  const uint32_t h = handleOf("obj");
  std::thread t([h] {
    LuaVar body;
    body.field("user").field("name") = LuaVar("alice");
    body.field("count").setInt(3);
    LuaVar id;
    id.setInt(42);
    gobjs().postMsg2(h, "rest_home_tl", std::move(body), std::move(id));
  });
  t.join();
  gobjs().deliverMsgs();
  EXPECT_TRUE(evalBool("got[1].name == 'rest_home_tl' and got[1][1].user.name == 'alice' and "
                       "got[1][1].count == 3 and got[1][2] == 42"));
}

TEST_F(GobjTest, HandlerPostsArriveOnTheNextDeliveryNotStranded) {
  ASSERT_EQ(run(R"(
    a = Recv.new(0)
    b = Recv.new(0)
    function a:recvmsg(_, name)
      got[#got + 1] = { name = 'a:' .. name }
      if name == 'ping' then post(self, 'again') post(b, 'fromA') end
    end
    post(a, 'ping')
  )"),
            "");
  gobjs().deliverMsgs();
  EXPECT_EQ(evalNumber("#got"), 1);
  EXPECT_EQ(gobjs().queuedCount(), 2u);
  gobjs().deliverMsgs();
  EXPECT_EQ(evalNumber("#got"), 3);
  // Objects are served in handle order, so either may come first.
  EXPECT_TRUE(evalBool("(got[2].name == 'a:again' and got[3].name == 'fromA') or "
                       "(got[2].name == 'fromA' and got[3].name == 'a:again')"));
  gobjs().deliverMsgs();
  EXPECT_EQ(evalNumber("#got"), 3);
}

TEST_F(GobjTest, DeliveryOfOneTargetLeavesTheOthersQueued) {
  ASSERT_EQ(run("a = Recv.new(0) b = Recv.new(0) post(a, 'x') post(b, 'y') post(a, 'z')"), "");
  gobjs().deliverMsgs(handleOf("b"));
  EXPECT_TRUE(evalBool("#got == 1 and got[1].name == 'y'"));
  EXPECT_EQ(gobjs().queuedCount(), 2u);
  gobjs().deliverMsgs(handleOf("b"));  // nothing queued for it now
  EXPECT_EQ(evalNumber("#got"), 1);
  gobjs().deliverMsgs();
  EXPECT_TRUE(evalBool("#got == 3 and got[2].name == 'x' and got[3].name == 'z'"));
  gobjs().deliverMsgs();  // empty queue: nothing happens
  EXPECT_EQ(evalNumber("#got"), 3);
}

TEST_F(GobjTest, MessageToAReleasedObjectIsDropped) {
  ASSERT_EQ(run("gone = Recv.new(0) post(gone, 'late') keep = Recv.new(0) post(keep, 'kept') gone = nil"), "");
  fullGc();
  fullGc();
  gobjs().deliverMsgs();
  EXPECT_TRUE(evalBool("#got == 1 and got[1].name == 'kept'"));
  EXPECT_EQ(gobjs().queuedCount(), 0u);
}

TEST_F(GobjTest, LongNamesAreCutTo63Characters) {
  ASSERT_EQ(run("obj = Recv.new(0) post(obj, string.rep('n', 100))"), "");
  gobjs().deliverMsgs();
  EXPECT_EQ(evalNumber("#got[1].name"), 63);
}

TEST_F(GobjTest, FailingOrMissingHandlersDropOnlyTheirOwnMessages) {
  ASSERT_EQ(run(R"(
    bad = Recv.new(0)
    function bad:recvmsg() error('handler broke') end
    mute = QXL.attach_gobj({}, 0)          -- no recvmsg at all
    unknown = GobjMgr:newGobj(0)           -- ref_gobj knows nothing of it
    good = Recv.new(0)
    post(bad, 'a') post(mute, 'b') post(unknown, 'c') post(good, 'd')
  )"),
            "");
  gobjs().deliverMsgs();
  EXPECT_TRUE(evalBool("#got == 1 and got[1].name == 'd'"));
  bool logged = false;
  for (const std::string& line : bindtest::logLines()) logged |= line.find("handler broke") != std::string::npos;
  EXPECT_TRUE(logged);
}

TEST_F(GobjTest, RefGobjThatRaisesDropsTheMessageAndGivesNil) {
  ASSERT_EQ(run("obj = Recv.new(0) post(obj, 'x') ref_gobj = function() error('lookup broke') end"), "");
  gobjs().deliverMsgs();
  EXPECT_EQ(evalNumber("#got"), 0);
  ASSERT_EQ(run("n = GobjMgr:newGobj(0)"), "");
  EXPECT_TRUE(evalBool("n == nil"));
}

TEST_F(GobjTest, ValuesThatPushNothingKeepTheFollowingValuesInPlace) {
  ASSERT_EQ(run("obj = Recv.new(0)"), "");
  LuaVar v2;
  const float c[2] = {1, 2};
  v2.setVec(2, c);
  gobjs().postMsg2(handleOf("obj"), "pair", std::move(v2), LuaVar("after"));
  gobjs().deliverMsgs();
  EXPECT_TRUE(evalBool("got[1].n == 2 and got[1][1] == nil and got[1][2] == 'after'"));
}

TEST_F(GobjTest, PostedValuesAreTakenOver) {
  LuaVar text("payload");
  gobjs().postMsg1(0x7FFFF, "nowhere", std::move(text));
  EXPECT_FALSE(text.isSet());
  LuaVar values[2] = {LuaVar("a"), LuaVar("b")};
  gobjs().postMsg(0x7FFFF, "nowhere", values, 2);
  EXPECT_FALSE(values[0].isSet());
  EXPECT_FALSE(values[1].isSet());
  gobjs().deliverMsgs();  // a target that names nothing: dropped
  EXPECT_EQ(gobjs().queuedCount(), 0u);
}

TEST_F(GobjTest, WorkerPostingWhileRecvmsgRunsNeverWaitsForIt) {
  lua_pushcfunction(L, [](lua_State* S) -> int {
    // Another thread posts while this handler runs, and the handler waits for it.
    uint32_t target = getHandleAt(S, 1);
    std::thread t([target] { gobjs().postMsg0(target, "during"); });
    t.join();
    return 0;
  });
  lua_setglobal(L, "postDuring");
  ASSERT_EQ(run(R"(
    obj = Recv.new(0)
    function obj:recvmsg(_, name)
      got[#got + 1] = { name = name }
      if name == 'start' then postDuring(self) end
    end
    post(obj, 'start')
  )"),
            "");
  gobjs().deliverMsgs();
  EXPECT_TRUE(evalBool("#got == 1"));
  EXPECT_EQ(gobjs().queuedCount(), 1u);
  gobjs().deliverMsgs();
  EXPECT_TRUE(evalBool("#got == 2 and got[2].name == 'during'"));
}

TEST_F(GobjTest, LastReleaseCallsDeleteGobjOnceAndListsTheHandle) {
  ASSERT_EQ(run("g = Recv.new(0)"), "");
  const uint32_t h = handleOf("g");
  GobjHdl held = gobjs().copyIfValid(h);
  ASSERT_EQ(run("g = nil"), "");
  fullGc();
  fullGc();
  EXPECT_EQ(evalNumber("deaths"), 0);  // the engine still holds it
  gobjs().flipLostList();
  held.reset();
  EXPECT_EQ(evalNumber("deaths"), 1);
  EXPECT_TRUE(evalBool("lastDeathValid"));  // told before the object goes
  EXPECT_FALSE(gobjs().isValidHandle(h));
  EXPECT_TRUE(evalBool("ref_gobj(QX.getWeak(QX.getStrong(nil))) == nil"));
  gobjs().flipLostList();
  std::vector<uint32_t> lost;
  gobjs().copyLostList(lost);
  EXPECT_EQ(lost, std::vector<uint32_t>{h});
  gobjs().flipLostList();
  gobjs().copyLostList(lost);
  EXPECT_TRUE(lost.empty());
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
  std::vector<uint32_t> lost;
  gobjs().flipLostList();
  ASSERT_EQ(run("g = nil"), "");
  fullGc();
  EXPECT_EQ(evalNumber("deaths"), 1);
  EXPECT_TRUE(gobjs().isValidHandle(h));
  gobjs().flipLostList();
  gobjs().copyLostList(lost);
  EXPECT_TRUE(lost.empty());  // alive again: not lost

  ASSERT_EQ(run("revived = nil"), "");
  fullGc();
  fullGc();
  EXPECT_EQ(evalNumber("deaths"), 2);
  EXPECT_FALSE(gobjs().isValidHandle(h));
  gobjs().flipLostList();
  gobjs().copyLostList(lost);
  EXPECT_EQ(lost, std::vector<uint32_t>{h});
  EXPECT_FALSE(gobjs().release(h));  // a dead handle releases nothing
}

TEST_F(GobjTest, ADeleteGobjThatRaisesIsLoggedAndTheObjectStillGoes) {
  std::vector<std::string> logged;
  setScriptDebugLogSink([&](std::string_view line) { logged.emplace_back(line); });
  ASSERT_EQ(run("g = GobjMgr:newGobj(0) function delete_gobj() error('refused') end"), "");
  const uint32_t h = handleOf("g");
  ASSERT_EQ(run("g = nil"), "");
  fullGc();
  fullGc();
  setScriptDebugLogSink(nullptr);
  EXPECT_FALSE(gobjs().isValidHandle(h));
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_NE(logged[0].find("delete_gobj failed:"), std::string::npos) << logged[0];
  EXPECT_NE(logged[0].find("refused"), std::string::npos) << logged[0];
}

TEST_F(GobjTest, CountedHandleFieldLetsItsOldObjectGoOutsideTheOwnersLock) {
  ASSERT_TRUE(qxbind::bindClass(L, bindtest::thingBinding()));
  // locksOn(obj): slot locks held on the page of obj's slot.
  lua_pushcfunction(L, [](lua_State* S) -> int {
    const uint32_t h = getHandleAt(S, 1);
    lua_pushnumber(S, bindtest::ThingMgr::instance()->pageLockCount(kesto::HdlBase(h).index()));
    return 1;
  });
  lua_setglobal(L, "locksOn");
  ASSERT_EQ(run(R"(
    owner = ThingMgr:make(1)
    g = Recv.new(0)
    owner.keeper = g
    sameObject = rawequal(owner.keeper, g)
    g = nil
    collectgarbage('collect') collectgarbage('collect')
    local engineDelete = delete_gobj
    function delete_gobj(w)
      locksDuringDelete = locksOn(owner)
      engineDelete(w)
    end
  )"),
            "");
  EXPECT_TRUE(evalBool("sameObject"));
  EXPECT_EQ(evalNumber("deaths"), 0);  // the field still holds it
  ASSERT_EQ(run("owner.keeper = nil"), "");
  EXPECT_EQ(evalNumber("locksDuringDelete"), 0);
  EXPECT_TRUE(evalBool("owner.keeper == nil"));
  // A game object that is gone is stored as no object, not as a stale value.
  ASSERT_EQ(run("dead = Recv.new(0) weak = QX.getWeak(dead.udata) dead = nil"), "");
  fullGc();
  fullGc();
  ASSERT_EQ(run("owner.keeper = weak"), "");
  lua_getglobal(L, "owner");
  const uint32_t owner = getHandleAt(L, -1);
  lua_pop(L, 1);
  kesto::HdlLock<bindtest::ThingMgr::HandleType> lock(owner, kesto::HdlLock<bindtest::ThingMgr::HandleType>::kShared);
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
  ASSERT_NE(other.value, 0u);
  ASSERT_TRUE(qxbind::bindClass(other, gobjBinding()));
  uint32_t h = 0;
  {
    LVPolicyHdl p(other);
    lua_State* O = p.lock();
    ASSERT_NE(O, nullptr);
    uint32_t previous = ScriptMgr::instance()->exchangeThreadEntry(other.value);
    ASSERT_EQ(luaL_dostring(O, "held = GobjMgr:newGobj(0) delete_gobj = function() error('must not run') end"), 0);
    ScriptMgr::instance()->exchangeThreadEntry(previous);
    lua_getglobal(O, "held");
    h = getHandleAt(O, -1);
    lua_pop(O, 1);
    p.unlock();
  }
  ASSERT_TRUE(gobjs().isValidHandle(h));
  gobjs().flipLostList();
  other.reset();  // closes the state; its collector releases the game object
  EXPECT_FALSE(gobjs().isValidHandle(h));
  for (const std::string& line : bindtest::logLines()) EXPECT_EQ(line.find("must not run"), std::string::npos);
  gobjs().flipLostList();
  std::vector<uint32_t> lost;
  gobjs().copyLostList(lost);
  EXPECT_EQ(lost, std::vector<uint32_t>{h});
}

}  // namespace
