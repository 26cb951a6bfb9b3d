// Strong and weak handle userdata: references, metatables, lock depth and release.
#include "script/qx/hdl_udata.h"

#include <thread>

#include "tests/qx/qx_test_support.h"

namespace {

using qxtest::StateTest;
using qxtest::ThingHandle;
using qxtest::ThingMgr;

class HdlUdataTest : public StateTest {
 protected:
  ThingMgr& things() { return *ThingMgr::instance(); }
  // Pushes a strong userdata of h and stores it as global name.
  void setStrong(const char* name, uint32_t h, uint32_t word = 0) {
    ASSERT_TRUE(things().pushStrong(L, h, word));
    lua_setglobal(L, name);
  }
  // Whether another thread can lock h exclusively now.
  bool otherLaneCanLock(uint32_t h) {
    bool got = false;
    std::thread t([&] {
      kesto::SlotLockResult why;
      got = things().tryLockSlot(h, true, why) != nullptr;
      if (got) things().unlockSlot(h, true);
    });
    t.join();
    return got;
  }
};

TEST_F(HdlUdataTest, StrongUserdataHoldsOneReferenceWeakOnesNone) {
  ThingHandle h = things().create().handle;
  ASSERT_EQ(things().refCount(h.value), 1u);
  ASSERT_TRUE(things().pushStrong(L, h.value, 0x1234));
  const auto* r = static_cast<const HdlRef*>(lua_touserdata(L, -1));
  EXPECT_EQ(r->handle, h.value);
  EXPECT_EQ(r->word, 0x1234u);
  EXPECT_EQ(r->mgrId, things().id());
  EXPECT_EQ(things().refCount(h.value), 2u);
  lua_pop(L, 1);
  fullGc();
  EXPECT_EQ(things().refCount(h.value), 1u);

  uint32_t v = h.value;
  ASSERT_TRUE(things().pushWeak(L, v));
  EXPECT_EQ(things().refCount(v), 1u);
  lua_setglobal(L, "w");
  h.reset();
  EXPECT_EQ(qxtest::Thing::alive, 0);
  EXPECT_EQ(evalNumber("QX.GetHdlID(w)"), static_cast<double>(kesto::HdlBase(v).index()));
  EXPECT_FALSE(evalBool("QX.validHdl(w)"));
  EXPECT_EQ(evalString("tostring(QX.getStrong(w))"), "nil");

  // Null and dead handles push nil.
  int top = lua_gettop(L);
  EXPECT_FALSE(pushHandleUdata(L, 0, 0));
  EXPECT_FALSE(pushWeakHandleUdata(L, 0));
  EXPECT_FALSE(things().pushStrong(L, v, 0));
  EXPECT_FALSE(things().pushStrong(L, 0, 0));
  EXPECT_FALSE(things().pushWeak(L, 0));
  EXPECT_EQ(lua_gettop(L), top + 5);
  for (int i = 1; i <= 5; ++i) EXPECT_TRUE(lua_isnil(L, -i));
}

TEST_F(HdlUdataTest, ClassMetatablesComeFromQXMGRMTAndAttachedTablesExtendThem) {
  ASSERT_EQ(run("QXMGRMT = {[" + std::to_string(things().id()) +
                "] = {mt = {__index = {kind = 'strong'}, __gc = QX_Release}, mt_w = {__index = {kind = 'weak'}}}}"),
            "");
  ThingHandle h = things().create().handle;
  setStrong("s", h.value);
  ASSERT_TRUE(things().pushWeak(L, h.value));
  lua_setglobal(L, "w");
  EXPECT_EQ(evalString("s.kind"), "strong");
  EXPECT_EQ(evalString("w.kind"), "weak");
  EXPECT_EQ(evalString("QX.getWeak(s).kind"), "weak");
  ASSERT_EQ(run("t = QX.AttatchTbl(s); s.extra = 7; QX.AttatchTbl(w).x = 1"), "");
  EXPECT_EQ(evalNumber("s.extra"), 7);
  EXPECT_EQ(evalString("s.kind"), "strong");                      // the old lookup still answers
  EXPECT_EQ(evalString("tostring(QX.AttatchTbl(QXLS))"), "nil");  // light userdata refused
  ASSERT_EQ(run("s = nil; t = nil; w = nil"), "");
  fullGc();
  EXPECT_EQ(things().refCount(h.value), 1u);
}

TEST_F(HdlUdataTest, ReferencesAreGivenBackWithABrokenDirectoryAndStrictGlobals) {
  ASSERT_EQ(run("QXMGRMT = 5 setmetatable(_G, { __index = function(t, k) error('undefined global ' .. k) end })"), "");
  ThingHandle h = things().create().handle;
  int top = lua_gettop(L);
  // No protected call runs here: a raising lookup would end in the panic handler.
  ASSERT_TRUE(things().pushStrong(L, h.value, 0));
  ASSERT_TRUE(things().pushWeak(L, h.value));
  EXPECT_EQ(lua_gettop(L), top + 2);
  EXPECT_EQ(things().refCount(h.value), 2u);
  lua_settop(L, top);
  fullGc();
  EXPECT_EQ(things().refCount(h.value), 1u);
  ASSERT_EQ(run("setmetatable(_G, nil)"), "");
}

TEST_F(HdlUdataTest, NestedLocksCountDepthUnlockOneUndoesOneLevelAndReleaseAll) {
  ThingHandle h = things().create().handle;
  ASSERT_TRUE(pushHandleUdata(L, h.value, 0));
  HdlRef* r = toHdlRef(L, -1);
  ASSERT_NE(r, nullptr);
  ASSERT_NE(r->lockExclusive(), nullptr);
  ASSERT_NE(r->lockExclusive(), nullptr);
  EXPECT_EQ(r->depth, 2);
  EXPECT_FALSE(otherLaneCanLock(h.value));
  r->unlockOne();
  r->unlockOne();
  EXPECT_EQ(r->depth, 0);
  EXPECT_TRUE(otherLaneCanLock(h.value));
  r->unlockOne();
  EXPECT_EQ(r->depth, 0);

  // Shared holds count down; an exclusive lock over this lane's own shared hold gives up.
  for (int i = 0; i < 4; ++i) ASSERT_NE(r->lockShared(), nullptr);
  EXPECT_EQ(r->depth, -4);
  EXPECT_EQ(r->lockExclusive(), nullptr);
  EXPECT_EQ(r->depth, -4);
  r->unlockOne();
  EXPECT_EQ(r->depth, -3);
  // Releasing (as the collector does) undoes the locks first.
  lua_pushcfunction(L, QX_Release);
  lua_pushvalue(L, -2);
  ASSERT_EQ(lua_pcall(L, 1, 0, 0), 0);
  EXPECT_EQ(r->handle, 0u);
  EXPECT_EQ(r->depth, 0);
  EXPECT_EQ(things().refCount(h.value), 1u);
  EXPECT_TRUE(otherLaneCanLock(h.value));
  lua_pop(L, 1);
}

TEST_F(HdlUdataTest, ReleaseActsOnceAndOnlyOnGenuineStrongRecords) {
  ThingHandle h = things().create().handle;
  setStrong("s", h.value);
  ASSERT_TRUE(things().pushWeak(L, h.value));
  lua_setglobal(L, "w");
  EXPECT_EQ(things().refCount(h.value), 2u);
  ASSERT_EQ(run("QX_Release(w); QX_Release(42); QX_Release({udata = w}); QX_Release()"), "");
  EXPECT_EQ(things().refCount(h.value), 2u);
  // A 16-byte userdata that merely looks like a record: its first word names the object.
  auto* forged = static_cast<HdlRef*>(lua_newuserdata(L, sizeof(HdlRef)));
  *forged = HdlRef{h.value, 0, 0, things().id()};
  lua_setglobal(L, "forged");
  ASSERT_EQ(run("QX_Release(forged)"), "");
  EXPECT_EQ(things().refCount(h.value), 2u);
  ASSERT_EQ(run("QX_Release(s); QX_Release(s)"), "");
  EXPECT_EQ(things().refCount(h.value), 1u);
  ASSERT_EQ(run("s = nil"), "");
  fullGc();
  EXPECT_EQ(things().refCount(h.value), 1u);
}

TEST_F(HdlUdataTest, SelfArgumentIsTheUserdataOrTheTablesUdataField) {
  ThingHandle h = things().create().handle;
  setStrong("s", h.value);
  ASSERT_TRUE(things().pushWeak(L, h.value));
  lua_setglobal(L, "w");
  auto selfOf = [&](const char* expr) {
    eval(expr);
    lua_insert(L, 1);
    HdlRef* r = getUdataArg1(L);
    lua_remove(L, 1);
    return r;
  };
  ASSERT_NE(selfOf("s"), nullptr);
  EXPECT_EQ(selfOf("s")->handle, h.value);
  EXPECT_EQ(selfOf("{udata = s}"), selfOf("s"));
  EXPECT_EQ(selfOf("w"), nullptr);
  EXPECT_EQ(selfOf("{udata = w}"), nullptr);
  EXPECT_EQ(selfOf("setmetatable({}, {__index = {udata = s}})"), nullptr);  // raw field only
}

TEST_F(HdlUdataTest, HandleQueriesFromScripts) {
  // Index, magic and manager id apart, so that no two fields can be mistaken.
  std::vector<ThingHandle> spare;
  ThingHandle h = things().create().handle;
  kesto::HdlBase b(h.value);
  while (b.index() == b.magic() || b.index() == b.mgrId() || b.magic() == b.mgrId()) {
    spare.push_back(std::move(h));
    h = things().create().handle;
    b = kesto::HdlBase(h.value);
  }
  setStrong("s", h.value);
  EXPECT_EQ(evalNumber("QX.GetHdlID(s)"), b.index());
  EXPECT_EQ(evalNumber("QX.GetHdlID('text')"), 0);
  EXPECT_EQ(evalNumber("QX.GetRefCount(s)"), 2);
  EXPECT_TRUE(evalBool("QX.validHdl(s)"));
  ASSERT_EQ(run("info = QX.HdlInfo(s)"), "");
  EXPECT_EQ(evalNumber("info.r_index"), b.mgrId());
  EXPECT_EQ(evalNumber("info.index"), b.index());
  EXPECT_EQ(evalNumber("info.magic"), b.magic());
  EXPECT_TRUE(evalBool("info.valid"));
  EXPECT_FALSE(evalBool("QX.HdlInfo(nil).valid"));
}

}  // namespace
