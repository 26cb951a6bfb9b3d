// The QX global functions as scripts call them.
#include <sstream>
#include <thread>

#include "runtime/core/profiler.h"
#include "runtime/mem/thread_mem.h"
#include "runtime/res/hdl_lock.h"
#include "script/lua/stack_readers.h"
#include "script/qx/hdl_udata.h"
#include "script/qx/qxl_object.h"
#include "tests/qx/qx_test_support.h"

namespace {

using qxtest::StateTest;

// ---- memory-item classes for createAux -----------------------------------------------

struct Part {
  uint32_t self = MemMgrBase::threadCurrentHandle();
};

// Its constructor makes a Part of its own.
struct Whole {
  uint32_t self = MemMgrBase::threadCurrentHandle();
  MemMgr<kesto::MultiP>::HandleType part = MemMgr<kesto::MultiP>::instance()->createByName("QxTest.Part");
  uint32_t selfAfterPart = MemMgrBase::threadCurrentHandle();
};

class QXTest : public StateTest {
 protected:
  static void SetUpTestSuite() {
    registerClassDesc(LuaClassDesc::forType<Part>("QxTest.Part"));
    registerClassDesc(LuaClassDesc::forType<Whole>("QxTest.Whole"));
  }
  void SetUp() override {
    StateTest::SetUp();
    ASSERT_EQ(run("QXMEMMT = {}\n"
                  "for _, n in ipairs{'QxTest.Part', 'QxTest.Whole'} do\n"
                  "  QXMEMMT[n] = {mt = {__index = {class = n}, __gc = QX_Release}, mt_w = {__index = {weakclass = n}}}\n"
                  "end"),
              "");
  }
  MemMgr<kesto::MultiP>& mem() { return *MemMgr<kesto::MultiP>::instance(); }
  template <class T>
  T* objectOf(uint32_t h) {
    kesto::HdlLock<MemMgr<kesto::MultiP>::HandleType> lock(h);
    return lock ? static_cast<T*>(lock->data()) : nullptr;
  }
  uint32_t handleOf(const char* global) {
    lua_getglobal(L, global);
    uint32_t h = getHandleAt(L, -1);
    lua_pop(L, 1);
    return h;
  }
};

TEST_F(QXTest, CreateAuxBuildsTheObjectWithItsClassMetatables) {
  ASSERT_EQ(run("p = QX.createAux('QxTest.Part', false)"), "");
  EXPECT_EQ(evalString("p.class"), "QxTest.Part");
  EXPECT_EQ(evalString("QX.getWeak(p).weakclass"), "QxTest.Part");
  uint32_t h = handleOf("p");
  ASSERT_NE(h, 0u);
  EXPECT_EQ(mem().refCount(h), 1u);  // the userdata's reference only
  EXPECT_EQ(objectOf<Part>(h)->self, h);
  ASSERT_EQ(run("p2 = QX.getStrong(p)"), "");
  EXPECT_EQ(mem().refCount(h), 2u);
  ASSERT_EQ(run("p2 = nil"), "");
  fullGc();
  EXPECT_EQ(mem().refCount(h), 1u);
  ASSERT_EQ(run("p = nil"), "");
  fullGc();
  EXPECT_FALSE(mem().isValidHandle(h));
}

TEST_F(QXTest, AConstructorThatMakesAnotherObjectGetsBothHandlesRight) {
  ASSERT_EQ(run("w = QX.createAux('QxTest.Whole', false)"), "");
  uint32_t h = handleOf("w");
  ASSERT_NE(h, 0u);
  Whole* whole = objectOf<Whole>(h);
  ASSERT_NE(whole, nullptr);
  EXPECT_EQ(whole->self, h);
  EXPECT_EQ(whole->selfAfterPart, h);
  ASSERT_NE(whole->part.value, 0u);
  EXPECT_NE(whole->part.value, h);
  EXPECT_EQ(objectOf<Part>(whole->part.value)->self, whole->part.value);
  EXPECT_EQ(evalString("w.class"), "QxTest.Whole");
  lua_pushinteger(L, whole->part.value);
  lua_setglobal(L, "partHandle");
  EXPECT_EQ(mem().refCount(h), 1u);
  EXPECT_EQ(mem().refCount(whole->part.value), 1u);
}

TEST_F(QXTest, UnknownClassGivesNilAndLeavesNothingBehind) {
  uint32_t used = mem().usedCount();
  EXPECT_EQ(evalString("tostring(QX.createAux('QxTest.Nope', false))"), "nil");
  EXPECT_EQ(evalString("tostring(QX.createAux('QxTest.Nope', true))"), "nil");
  EXPECT_EQ(evalString("tostring(QX.createAux(nil))"), "nil");
  EXPECT_EQ(mem().usedCount(), used);
  EXPECT_EQ(MemMgrBase::threadCurrentHandle(), 0u);
}

TEST_F(QXTest, SingleThreadObjectsComeFromTheThreadsOwnManager) {
  ASSERT_EQ(run("s = QX.createAux('QxTest.Part', true)"), "");
  uint32_t h = handleOf("s");
  ASSERT_NE(h, 0u);
  EXPECT_EQ(kesto::HdlBase(h).mgrId(), getThreadMemMgr()->id());
  EXPECT_EQ(evalString("s.class"), "QxTest.Part");
  EXPECT_EQ(getThreadMemMgr()->refCount(h), 1u);
}

TEST_F(QXTest, CreateResGoesToTheManagerOfTheExtension) {
  class NamedThings : public kesto::ResourceMgr<NamedThings, qxtest::Thing> {
   public:
    NamedThings() { addExtension(u"thg"); }
    const char* dataTypeName() const override { return "NamedThing"; }
  };
  NamedThings named;
  qxtest::putFile("one.thg", "x");
  ASSERT_EQ(run("r = QX.createRes('ONE.THG')"), "");
  uint32_t h = handleOf("r");
  ASSERT_NE(h, 0u);
  EXPECT_EQ(kesto::HdlBase(h).mgrId(), named.id());
  EXPECT_EQ(named.refCount(h), 1u);
  EXPECT_EQ(evalString("tostring(QX.createRes('missing.thg'))"), "nil");
  EXPECT_EQ(evalString("tostring(QX.createRes('one.unknown'))"), "nil");
  EXPECT_EQ(evalString("tostring(QX.createRes())"), "nil");
  ASSERT_EQ(run("r = nil"), "");
  fullGc();
  EXPECT_EQ(named.nameCount(), 0u);
}

TEST_F(QXTest, TheDispatcherDoesNotTrustQXLS) {
  ASSERT_EQ(run("QXLS = 'nonsense'"), "");
  EXPECT_EQ(evalNumber("QX.Cmp64Num('1', '2')"), -1);
  ASSERT_EQ(run("QXLS = nil"), "");
  EXPECT_EQ(evalNumber("QX.GetHdlID(nil)"), 0);
}

TEST_F(QXTest, FunctionsWorkFromCoroutines) {
  EXPECT_EQ(evalNumber("select(2, coroutine.resume(coroutine.create(function() "
                       "coroutine.yield(QX.Cmp64Num('5', '3')) end)))"),
            1);
}

namespace {
void callsBackIntoLua(QXView& v, uint32_t reserved) {
  lua_State* L = v.state();
  lua_getglobal(L, "callback");
  lua_call(L, 0, 1);
  lua_pushinteger(L, static_cast<lua_Integer>(reserved));
  qxResult(v, 2);
}
void raisesAnError(QXView& v, uint32_t) { luaL_error(v.state(), "raised on purpose"); }
void throwsAnException(QXView&, uint32_t) { throw std::runtime_error("thrown on purpose"); }
}  // namespace

TEST_F(QXTest, RegisteredFunctionsMayReenterAndFailWithoutKeepingTheLock) {
  registerQXFunction(L, "Reenter", callsBackIntoLua);
  registerQXFunction(L, "Raise", raisesAnError);
  registerQXFunction(L, "Throw", throwsAnException);
  ASSERT_EQ(run("function callback() return QX.Cmp64Num('2', '1') end\n"
                "a, b = QX.Reenter()"),
            "");
  EXPECT_EQ(evalNumber("a"), 1);
  EXPECT_EQ(evalNumber("b"), 0);  // the reserved word
  EXPECT_NE(run("QX.Raise()").find("raised on purpose"), std::string::npos);
  EXPECT_NE(run("QX.Throw()").find("thrown on purpose"), std::string::npos);
  // Another thread gets through the dispatcher afterwards.
  ScriptHdl second = ScriptMgr::instance()->createState();
  double got = 0;
  std::thread t([&] {
    LVPolicyHdl policy(second);
    LVLockGuard<LVPolicyHdl> lock(policy);
    lua_State* S = lock.state();
    luaL_dostring(S, "return QX.Cmp64Num('7', '7') + 5");
    got = lua_tonumber(S, -1);
    lua_pop(S, 1);
  });
  t.join();
  EXPECT_EQ(got, 5);
}

namespace {
void countChara(QXView& v, uint32_t) {
  lua_pushinteger(v.state(), 99);
  qxResult(v);
}
}  // namespace

TEST_F(QXTest, FunctionsAddedByOtherSubsystemsReachNewStates) {
  EXPECT_EQ(evalString("type(QX.CountChara)"), "nil");
  addQXGlobalFunction("CountChara", countChara);
  ScriptHdl later = ScriptMgr::instance()->createState();
  LVPolicyHdl policy(later);
  LVLockGuard<LVPolicyHdl> lock(policy);
  lua_State* S = lock.state();
  ASSERT_EQ(luaL_dostring(S, "return QX.CountChara('abc')"), 0);
  EXPECT_EQ(lua_tointeger(S, -1), 99);
  lua_pop(S, 1);
}

TEST_F(QXTest, RTErrorComposesMessageStackAndTag) {
  std::string text = evalString("QX.RTError('boom')");
  EXPECT_EQ(text.rfind("boom\n<stack stace>\n", 0), 0u) << text;
  EXPECT_NE(text.find("[1:string] boom"), std::string::npos) << text;
  EXPECT_EQ(text.substr(text.size() - 25), "Runtime Error(QX_RTError)");
}

TEST_F(QXTest, PrintAndDumpShowMessageBoxes) {
  ASSERT_EQ(run("QX.Print('hello', 0)"), "");
  ASSERT_EQ(qxtest::boxes().size(), 1u);
  EXPECT_EQ(qxtest::boxes()[0].caption, "QX_Printout");
  EXPECT_EQ(qxtest::boxes()[0].text, "hello\r\n[2:number] 0 (0x0)\n[1:string] hello\n");
  ASSERT_EQ(run("QX.dump(1, {a = {b = 1}})"), "");
  ASSERT_EQ(qxtest::boxes().size(), 2u);
  EXPECT_EQ(qxtest::boxes()[1].caption, "QX_Dump");
  EXPECT_NE(qxtest::boxes()[1].text.find("{"), std::string::npos);
  // A table that holds itself printed at any requested depth still ends.
  ASSERT_EQ(run("local t = {} t.a = t t.b = t QX.dump(1000000, t)"), "");
  EXPECT_EQ(qxtest::boxes().size(), 3u);
}

// The messages of the lines "[<milliseconds>]: <message>" that start text; a line of
// another shape is given as "?<line>".
std::vector<std::string> logMessages(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    size_t close = line.find("]: ");
    bool stamped = line.size() > 1 && line[0] == '[' && close != std::string::npos && close > 1 &&
                   line.find_first_not_of("0123456789", 1) == close;
    out.push_back(stamped ? line.substr(close + 3) : "?" + line);
  }
  return out;
}

TEST_F(QXTest, LogErrorAndRptWriteTimestampedLines) {
  ASSERT_TRUE(openQXLog());
  ASSERT_EQ(run("QX.log('first line') QX.log('second') QX.rpt(1, 'two', true) QX.Error('bad thing')"), "");
  std::string text = qxtest::readHostFile(qxtest::tempDir() / "log.txt");
  ASSERT_EQ(text.back(), '\n');
  std::vector<std::string> lines = logMessages(text);
  ASSERT_GE(lines.size(), 4u) << text;
  EXPECT_EQ(lines[0], "first line");
  EXPECT_EQ(lines[1], "second");
  EXPECT_EQ(lines[2], "1, two, true");
  EXPECT_EQ(lines[3], "bad thing");
  EXPECT_NE(text.find("ランタイムエラー(QX_Error)"), std::string::npos) << text;
  // Opening again empties the file.
  ASSERT_TRUE(openQXLog());
  ASSERT_EQ(run("QX.log('fresh')"), "");
  text = qxtest::readHostFile(qxtest::tempDir() / "log.txt");
  EXPECT_EQ(logMessages(text), std::vector<std::string>{"fresh"}) << text;
  EXPECT_EQ(text.back(), '\n');
}

TEST_F(QXTest, UniqueIdsAreConsecutiveAndReturnedIdsComeBackFirst) {
  ASSERT_EQ(run("a = QX.GetUID('pool') b = QX.GetUID('pool')"), "");
  EXPECT_EQ(evalString("type(a)"), "userdata");
  EXPECT_TRUE(evalBool("QXInteger.num(b - a) == 1"));
  ASSERT_EQ(run("QX.RetUID('pool', a) QX.RetUID('pool', b)"), "");
  EXPECT_TRUE(evalBool("QX.GetUID('pool') == a"));
  EXPECT_TRUE(evalBool("QX.GetUID('pool') == b"));
  EXPECT_TRUE(evalBool("QXInteger.num(QX.GetUID('pool') - b) == 1"));
  ASSERT_EQ(run("QX.RetUID('never used', a)"), "");
  EXPECT_FALSE(evalBool("QX.GetUID('never used') == a and QX.GetUID('never used') == a"));
}

TEST_F(QXTest, Cmp64NumComparesFull64BitValues) {
  EXPECT_EQ(evalNumber("QX.Cmp64Num('-1', '0')"), -1);
  EXPECT_EQ(evalNumber("QX.Cmp64Num('42', '42')"), 0);
  EXPECT_EQ(evalNumber("QX.Cmp64Num('9223372036854775807', '9223372036854775806')"), 1);
  EXPECT_EQ(evalNumber("QX.Cmp64Num('1234567890123456789', '1234567890123456788')"), 1);
  EXPECT_EQ(evalNumber("QX.Cmp64Num('-9223372036854775808', '9223372036854775807')"), -1);
  EXPECT_EQ(evalNumber("QX.Cmp64Num()"), 0);
}

TEST_F(QXTest, IsLightData) {
  EXPECT_TRUE(evalBool("QX.IsLightData(QXLS)"));
  EXPECT_TRUE(evalBool("QX.IsLightData(nil)"));
  EXPECT_TRUE(evalBool("QX.IsLightData({})"));
  EXPECT_FALSE(evalBool("QX.IsLightData('x')"));
  EXPECT_FALSE(evalBool("QX.IsLightData(5)"));
}

TEST_F(QXTest, LoadJsonReadsThroughTheMountedSources) {
  qxtest::putFile("data.json", "\xEF\xBB\xBF{\"name\": \"qx\", \"list\": [1, 2, {\"deep\": true}], \"n\": 1.5}");
  ASSERT_EQ(run("j = QX.LoadJson('data.json')"), "");
  EXPECT_EQ(evalString("j.name"), "qx");
  EXPECT_EQ(evalNumber("#j.list"), 3);
  EXPECT_TRUE(evalBool("j.list[3].deep"));
  EXPECT_EQ(evalNumber("j.n"), 1.5);
  qxtest::putFile("wide.json", std::string("\xFF\xFE{\0}\0", 6));
  qxtest::putFile("broken.json", "{\"a\": [1, 2");
  qxtest::putFile("empty.json", "");
  EXPECT_EQ(evalNumber("select('#', QX.LoadJson('wide.json'))"), 0);
  EXPECT_EQ(evalNumber("select('#', QX.LoadJson('broken.json'))"), 0);
  EXPECT_EQ(evalNumber("select('#', QX.LoadJson('empty.json'))"), 0);
  EXPECT_EQ(evalNumber("select('#', QX.LoadJson('missing.json'))"), 0);
  EXPECT_EQ(evalNumber("select('#', QX.LoadJson(5))"), 0);
  EXPECT_EQ(evalNumber("select('#', QX.LoadJson())"), 0);
  std::string deep(100000, '[');
  qxtest::putFile("deep.json", deep);
  EXPECT_EQ(evalNumber("select('#', QX.LoadJson('deep.json'))"), 0);
}

TEST_F(QXTest, TheProfilerIsReachableFromScripts) {
  EXPECT_EQ(evalString("QX.profStr()"), "");
  ASSERT_EQ(run("QX.profBegin('nothing') QX.profEnd('nothing') QX.profTable({})"), "");
  Profiler* p = createThreadProfiler();
  p->beginFrame();
  ASSERT_EQ(run("QX.profBegin('scripted') QX.profEnd('scripted')"), "");
  p->endFrame();
  EXPECT_EQ(p->samples().size(), 1u);
  EXPECT_STREQ(p->samples()[0].name, "scripted");
  p->buildReport(*getThreadProfileReport());
  EXPECT_EQ(evalString("QX.profStr()"), *getThreadProfileReport());
  EXPECT_NE(evalString("QX.profStr()").find("scripted"), std::string::npos);
  destroyThreadProfiler();
}

TEST_F(QXTest, NewQXLObjectCallsTheLibraryConstructor) {
  ASSERT_EQ(run("QXL = {vec3 = {new = function(...) return {n = select('#', ...), ...} end}}"), "");
  const float xyz[3] = {1.5f, 2.0f, -3.0f};
  int top = lua_gettop(L);
  ASSERT_TRUE(newQXLObject(L, "vec3", xyz, 3));
  ASSERT_EQ(lua_gettop(L), top + 1);
  lua_setglobal(L, "v");
  EXPECT_EQ(evalNumber("v.n"), 3);
  EXPECT_EQ(evalNumber("v[1]"), 1.5);
  EXPECT_EQ(evalNumber("v[3]"), -3);
  ASSERT_TRUE(newQXLObject(L, "vec3", nullptr, 0));
  lua_setglobal(L, "e");
  EXPECT_EQ(evalNumber("e.n"), 0);
  EXPECT_FALSE(newQXLObject(L, "quat", xyz, 3));
  EXPECT_TRUE(lua_isnil(L, -1));
  lua_pop(L, 1);
  EXPECT_EQ(lua_gettop(L), top);
}

}  // namespace

namespace {

TEST_F(QXTest, WithoutAProgramFolderTheLogIsDropped) {
  std::u16string saved = programPath().str();
  programPath().reset();
  EXPECT_FALSE(openQXLog());
  EXPECT_EQ(run("QX.log('nowhere')"), "");
  EXPECT_EQ(qxLogPath(), "");
  programPath().set(saved);
  EXPECT_TRUE(openQXLog());
  EXPECT_EQ(qxLogPath(), (qxtest::tempDir() / "log.txt").string());
}

}  // namespace
