// Method and field glue of the four kinds of bound class: argument and result kinds,
// self checks, locks, derived classes and sub-objects.
#include <atomic>
#include <chrono>
#include <thread>

#include "runtime/mem/mem_mgr.h"
#include "script/bind/bind_class.h"
#include "script/lua/stack_readers.h"
#include "tests/bind/bind_test_support.h"

namespace {

using bindtest::StateTest;

class GlueTest : public StateTest {
 protected:
  void SetUp() override {
    StateTest::SetUp();
    ASSERT_TRUE(qxbind::bindClass(L, bindtest::panelBinding()));
    ASSERT_TRUE(qxbind::bindClass(L, bindtest::widgetBinding()));
    ASSERT_EQ(run("w = Widget.new()"), "");
  }
  uint32_t handleOf(const char* global) {
    lua_getglobal(L, global);
    uint32_t h = getHandleAt(L, -1);
    lua_pop(L, 1);
    return h;
  }
  // Whether another thread could lock the object behind the handle exclusively now.
  bool lockableElsewhere(uint32_t h) {
    bool ok = false;
    std::thread t([&] {
      kesto::SlotLockResult why;
      auto* m = MemMgr<kesto::MultiP>::instance();
      if (m->tryLock(h, true, why)) {
        ok = true;
        m->unlockExclusive(h);
      }
    });
    t.join();
    return ok;
  }
};

TEST_F(GlueTest, FieldsAreReadWithOneArgumentAndWrittenWithTwoAndChangingMethodsReturnSelf) {
  EXPECT_TRUE(evalBool("Widget.fvt_b.alpha == true and Widget.fvt_b.setAlpha == false"));
  EXPECT_TRUE(evalBool("w:setAlpha(0.25):setLabel('x') == w"));
  EXPECT_EQ(evalString("w:getLabel()"), "x");
  ASSERT_EQ(run("w.alpha = 0.75 w.count = 9 w.flag = true"), "");
  EXPECT_EQ(evalNumber("w:getAlpha()"), 0.75);
  EXPECT_EQ(evalNumber("w.count"), 9);
  EXPECT_TRUE(evalBool("w.flag"));
  // Direct calls of the accessor: one argument reads, two write and give nothing.
  EXPECT_EQ(evalNumber("Widget.fvt_hdl.count(w)"), 9);
  EXPECT_EQ(evalNumber("select('#', Widget.fvt_hdl.count(w, 4))"), 0);
  EXPECT_EQ(evalNumber("w.count"), 4);
  // A method name gives the native closure itself.
  EXPECT_TRUE(evalBool("w.setAlpha == Widget.fvt_hdl.setAlpha and type(w.setAlpha) == 'function'"));
}

TEST_F(GlueTest, IntegerBooleanAndQXIntegerArguments) {
  EXPECT_EQ(evalNumber("w:add(2, QXInteger(3))"), 5);
  EXPECT_EQ(evalNumber("w:add(2.9, -1.9)"), 1);  // truncated toward zero
  EXPECT_EQ(evalNumber("w:add(2)"), 2);          // missing arguments read 0
  EXPECT_EQ(evalNumber("w:mask('ff', 0x0f):num()"), 15);
  EXPECT_TRUE(evalBool("w:both(true, 1)"));
  EXPECT_FALSE(evalBool("w:both(true, nil)"));
  EXPECT_FALSE(evalBool("w:both(true)"));
  // Index 0 is no value at all.
  lua_pushboolean(L, 1);
  EXPECT_EQ(toBoolAt(L, 0), 0);
  EXPECT_EQ(toBoolAt(L, -1), 1);
  lua_pop(L, 1);
}

TEST_F(GlueTest, ObjectTableAndWideTextArguments) {
  // An object argument is a strong or weak handle or a table's "udata"; it comes back strong.
  EXPECT_TRUE(evalBool("getmetatable(w:pass(w)) == Widget.mt and w:pass(w):getAlpha() == 1"));
  EXPECT_TRUE(evalBool("getmetatable(w:pass(QX.getWeak(w))) == Widget.mt"));
  EXPECT_TRUE(evalBool("getmetatable(w:pass({ udata = w })) == Widget.mt"));
  EXPECT_TRUE(evalBool("w:pass(5) == nil and w:pass() == nil"));
  // A raw stack argument is what the method reads itself.
  EXPECT_EQ(evalNumber("w:length({ 1, 2, 3 })"), 3);
  EXPECT_EQ(evalNumber("w:length('abc')"), -1);
  EXPECT_EQ(evalNumber("w:length()"), -1);
  // Wide text crosses as UTF-8 both ways.
  EXPECT_EQ(evalString("w:wideEcho('\xE6\x97\xA5\xE6\x9C\xAC')"), "\xE6\x97\xA5\xE6\x9C\xAC\xC3\xA9");
  EXPECT_EQ(evalString("w:wideEcho()"), "\xC3\xA9");
}

TEST_F(GlueTest, VectorAndColourFields) {
  ASSERT_EQ(run("v = w:scaled(QXL.vec3(1, 2, 3), 2)"), "");
  EXPECT_TRUE(evalBool("getmetatable(v) == QXL.vec3 and v.x == 2 and v.y == 4 and v.z == 6 and v.dim == 3"));
  EXPECT_NE(run("w:scaled(nil, 1)").find("vec3 expected"), std::string::npos);
  // Vector fields give bare float userdata, which goes back in where a vector is wanted.
  ASSERT_EQ(run("w.pos = QXL.vec3(1, 2, 3) u = w.pos"), "");
  EXPECT_TRUE(evalBool("type(u) == 'userdata' and getmetatable(u) == nil"));
  ASSERT_EQ(run("w.pos = QXL.vec3(0, 0, 0) w:move(u) v = w:scaled(w.pos, 1)"), "");
  EXPECT_TRUE(evalBool("v.x == 1 and v.y == 2 and v.z == 3"));
  EXPECT_NE(run("w.pos = 5").find("vec3"), std::string::npos);
  EXPECT_NE(run("w.pos = QX.getWeak(w)").find("vec3"), std::string::npos);  // 4 bytes: too short
  EXPECT_NE(run("w.pos = {1, 2, 3}").find("dim"), std::string::npos);     // not a vector table
  ASSERT_EQ(run("w.pos = setmetatable({7, 8, 9}, {__index = {dim = 3}})"), "");
  EXPECT_TRUE(evalBool("w:scaled(w.pos, 1).x == 7"));
  // Colours take text, a number or QXInteger.
  ASSERT_EQ(run("w.color = 'ff00ff00'"), "");
  EXPECT_TRUE(evalBool("w.color == QXInteger('ff00ff00')"));
  ASSERT_EQ(run("w.color = 4278190335"), "");  // 0xFF0000FF as a number
  EXPECT_TRUE(evalBool("w.color == QXInteger('ff0000ff')"));
}

TEST_F(GlueTest, SeveralResultsAnyValuesAndRawPushes) {
  ASSERT_EQ(run("w.count = 7 w:setLabel('lbl') a, b = w:pair()"), "");
  EXPECT_EQ(evalNumber("a"), 7);
  EXPECT_EQ(evalString("b"), "lbl");
  EXPECT_EQ(evalString("w:echo('text')"), "text");
  EXPECT_TRUE(evalBool("w:echo(QXL.vec3(1, 2, 3)).z == 3"));
  // A table without "dim" is pinned, which pushes nothing: the result is nil.
  EXPECT_EQ(evalNumber("select('#', w:echo({1, 2}))"), 1);
  ASSERT_EQ(run("x, y = w:setAlpha(0.5):pushTwo()"), "");
  EXPECT_EQ(evalNumber("x"), 0.5);
  EXPECT_EQ(evalString("y"), "two");
}

TEST_F(GlueTest, EngineExceptionBecomesALuaErrorAndLeavesTheObjectUnlocked) {
  EXPECT_NE(run("w:fail()").find("widget failed"), std::string::npos);
  EXPECT_TRUE(lockableElsewhere(handleOf("w")));
  EXPECT_TRUE(evalBool("w:setAlpha(1) == w"));
}

TEST_F(GlueTest, AnotherThreadsSharedHoldLetsFieldsBeReadWhileMethodsWaitForIt) {
  const uint32_t h = handleOf("w");
  std::atomic<int> held{0};  // 1 held shared, -1 could not lock
  std::atomic<bool> read{false}, released{false};
  std::thread holder([&] {
    auto* m = MemMgr<kesto::MultiP>::instance();
    kesto::SlotLockResult why;
    held = m->tryLock(h, false, why) ? 1 : -1;
    if (held < 0) return;
    for (int i = 0; i < 2000 && !read; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the write below starts meanwhile
    released = true;
    m->unlockShared(h);
  });
  while (held == 0) std::this_thread::yield();
  EXPECT_EQ(held, 1);
  EXPECT_EQ(evalNumber("w.alpha"), 1);
  EXPECT_FALSE(released) << "a field read shares the lock";
  read = true;
  EXPECT_TRUE(evalBool("w:setAlpha(0.5) == w"));
  EXPECT_TRUE(released);
  holder.join();
  EXPECT_EQ(evalNumber("w.alpha"), 0.5);
}

TEST_F(GlueTest, WrongSelfRaisesInsteadOfCrashing) {
  EXPECT_NE(run("Widget.fvt_hdl.setAlpha(5, 1)").find("self"), std::string::npos);
  EXPECT_NE(run("w.setAlpha(1)").find("self"), std::string::npos);
  EXPECT_NE(run("Widget.fvt_hdl.setAlpha(QX.getWeak(w), 1)").find("self"), std::string::npos);
  EXPECT_NE(run("Panel.fvt_hdl.grow(w, 1)").find("another class"), std::string::npos);
  EXPECT_NE(run("Widget.fvt_hdl.setAlpha(Panel.new(), 1)").find("another class"), std::string::npos);
  // A forged 16-byte userdata is not a strong handle.
  EXPECT_NE(run("Widget.fvt_hdl.setAlpha(QXL.vec4(1,2,3,4), 1)").find("self"), std::string::npos);
  EXPECT_TRUE(lockableElsewhere(handleOf("w")));
}

TEST_F(GlueTest, TableWithUdataIsSelfAndAReleasedObjectRaises) {
  ASSERT_EQ(run("t = { udata = QX.getStrong(w) }"), "");
  EXPECT_TRUE(evalBool("Widget.fvt_hdl.setAlpha(t, 0.125) == t"));
  EXPECT_EQ(evalNumber("w.alpha"), 0.125);
  ASSERT_EQ(run("w:release()"), "");
  EXPECT_NE(run("w:setAlpha(1)").find("self"), std::string::npos);
  // The table's own reference keeps the object alive; dropping it frees the object.
  EXPECT_TRUE(evalBool("Widget.fvt_hdl.setAlpha(t, 0.5) == t"));
  const uint32_t h = handleOf("t");
  ASSERT_EQ(run("t.udata:release()"), "");
  EXPECT_FALSE(MemMgr<kesto::MultiP>::instance()->isValidHandle(h));
  EXPECT_NE(run("Widget.fvt_hdl.setAlpha(t, 1)").find("self"), std::string::npos);
}

TEST_F(GlueTest, MethodThatRunsScriptCodeKeepsItsObjectAliveThroughIt) {
  const int before = bindtest::Widget::alive;
  ASSERT_EQ(run("lived = w:survives(function() w:release() collectgarbage('collect') end)"), "");
  EXPECT_TRUE(evalBool("lived"));
  EXPECT_EQ(bindtest::Widget::alive, before - 1);  // it went once the call ended
}

TEST_F(GlueTest, SubObjectFieldGivesAProxyOnTheOwnersPart) {
  ASSERT_EQ(run("r = w.rect"), "");
  EXPECT_TRUE(evalBool("Widget.fvt_b.rect == true and rawget(r, '_sub') == 'rect'"));
  ASSERT_EQ(run("r.width = 3 r.height = 1"), "");
  EXPECT_TRUE(evalBool("r:grow(1) == r"));
  EXPECT_EQ(evalNumber("w.rect.width"), 4);
  EXPECT_EQ(evalNumber("w.rect:area()"), 8);
  EXPECT_NE(run("w.rect = r").find("cannot be assigned"), std::string::npos);
  EXPECT_NE(run("Panel.fvt_hdl.grow({ udata = w, _sub = 'nope' }, 1)").find("another class"), std::string::npos);
}

TEST_F(StateTest, DerivedClassBindsItsBaseFirstOnceAndFindsItsMethods) {
  ASSERT_TRUE(qxbind::bindClass(L, bindtest::panelBinding()));
  ASSERT_TRUE(qxbind::bindClass(L, bindtest::fancyBinding()));
  EXPECT_TRUE(evalBool("QXMEMMT.Widget == Widget and QXMEMMT.FancyWidget == FancyWidget"));
  EXPECT_TRUE(evalBool("getmetatable(FancyWidget.fvt_hdl).__index == Widget.fvt_hdl"));
  EXPECT_TRUE(evalBool("getmetatable(FancyWidget.fvt_b).__index == Widget.fvt_b"));
  EXPECT_TRUE(evalBool("getmetatable(FancyWidget.fvt_ptr) == nil"));
  ASSERT_EQ(run("baseTable = Widget"), "");
  ASSERT_TRUE(qxbind::bindClass(L, bindtest::fancyBinding()));
  EXPECT_TRUE(evalBool("Widget == baseTable"));

  ASSERT_EQ(run("f = FancyWidget.new()"), "");
  EXPECT_TRUE(evalBool("f:setAlpha(1) == f"));
  EXPECT_EQ(evalNumber("f:getAlpha()"), 2);  // its own setAlpha won
  EXPECT_EQ(evalNumber("f:extra()"), 1);
  ASSERT_EQ(run("f.count = 5"), "");  // a base field
  EXPECT_EQ(evalNumber("f.count"), 5);
  EXPECT_EQ(evalNumber("f.extras"), 1);
  ASSERT_EQ(run("f.rect.width = 2"), "");  // a base's sub-object
  EXPECT_EQ(evalNumber("f.rect.width"), 2);
  // The base's own glue works on the derived object through its base part.
  EXPECT_TRUE(evalBool("Widget.fvt_hdl.setAlpha(f, 0.5) == f"));
  EXPECT_EQ(evalNumber("f.alpha"), 0.5);
  // ...but not the other way round.
  EXPECT_NE(run("FancyWidget.fvt_hdl.extra(Widget.new())").find("another class"), std::string::npos);
}

// A manager class whose manager is never made.
class GhostMgr : public kesto::ResourceMgrNoName<GhostMgr, bindtest::Thing> {
 public:
  const char* dataTypeName() const override { return "Ghost"; }
};

TEST_F(StateTest, ManagerMethodsRunOnTheClassAndResourcesAreInstances) {
  EXPECT_FALSE(qxbind::bindClass(L, qxbind::managerBinding<GhostMgr>("GhostMgr", nullptr, "Ghost", nullptr)));
  ASSERT_FALSE(bindtest::logLines().empty());
  EXPECT_NE(bindtest::logLines().back().find("GhostMgr"), std::string::npos);
  ASSERT_TRUE(qxbind::bindClass(L, bindtest::thingBinding()));
  const uint32_t id = bindtest::ThingMgr::instance()->id();
  EXPECT_TRUE(evalBool("QXMGRMT[" + std::to_string(id) + "] == Thing"));
  EXPECT_TRUE(evalBool("ThingMgr.fvt_b.make == false and ThingMgr.fvt_ptr.make ~= nil"));
  EXPECT_TRUE(evalBool("type(rawget(ThingMgr, 'pointer')) == 'userdata' and "
                       "rawget(ThingMgr, 'pointer') == rawget(Thing, 'pointer')"));
  ASSERT_EQ(run("t = ThingMgr:make(21)"), "");
  EXPECT_TRUE(evalBool("getmetatable(t) == Thing.mt"));
  EXPECT_EQ(evalNumber("t:twice()"), 42);
  ASSERT_EQ(run("t.value = 5"), "");
  EXPECT_EQ(evalNumber("t:twice()"), 10);
  EXPECT_GE(evalNumber("ThingMgr:live()"), 1);
  EXPECT_NE(run("ThingMgr.make(5, 1)").find("self"), std::string::npos);
  EXPECT_NE(run("ThingMgr.make({ pointer = QXLS }, 1)").find("self"), std::string::npos);
  // Handle fields hold objects; anything else clears them.
  ASSERT_EQ(run("a = ThingMgr:make(1) b = ThingMgr:make(2) a.friend = b"), "");
  EXPECT_EQ(evalNumber("a.friend.value"), 2);
  ASSERT_EQ(run("a.friend = 5"), "");
  EXPECT_TRUE(evalBool("a.friend == nil"));
}

TEST_F(StateTest, PointerClassMethodsAndFieldsUseItsObject) {
  ASSERT_TRUE(qxbind::bindClass(L, bindtest::serviceBinding()));
  bindtest::service().calls = 0;
  EXPECT_EQ(evalNumber("Service:ping(4)"), 5);
  EXPECT_EQ(evalNumber("Service.calls"), 1);
  ASSERT_EQ(run("Service.calls = 10"), "");
  EXPECT_EQ(bindtest::service().calls, 10);
  EXPECT_TRUE(evalBool("(QXMEMMT == nil or QXMEMMT.Service == nil)"));
  EXPECT_NE(run("Service.ping(Widget_W, 1)").find("self"), std::string::npos);
}

}  // namespace
