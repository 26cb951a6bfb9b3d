// The QX global functions as scripts call them.
#include <atomic>
#include <sstream>
#include <thread>

#include "platform/thread/thread.h"
#include "runtime/mem/thread_mem.h"
#include "tests/qx/qx_test_support.h"

namespace {

using qxtest::StateTest;

struct Part {
  int value = 0;
};

class QXTest : public StateTest {
 protected:
  static void SetUpTestSuite() { registerClassDesc(LuaClassDesc::forType<Part>("QxTest.Part")); }
  void SetUp() override {
    StateTest::SetUp();
    ASSERT_EQ(run("QXMEMMT = {['QxTest.Part'] = {mt = {__index = {class = 'part'}, __gc = QX_Release},\n"
                  "                              mt_w = {__index = {weakclass = 'part'}}}}"),
              "");
  }
  MemMgr<kesto::MultiP>& mem() { return *MemMgr<kesto::MultiP>::instance(); }
};

TEST_F(QXTest, CreateAuxBuildsTheObjectWithItsClassMetatables) {
  ASSERT_EQ(run("p = QX.createAux('QxTest.Part', false)"), "");
  EXPECT_EQ(evalString("p.class"), "part");
  EXPECT_EQ(evalString("QX.getWeak(p).weakclass"), "part");
  uint32_t h = handleOf("p");
  ASSERT_NE(h, 0u);
  EXPECT_EQ(mem().refCount(h), 1u);  // the userdata's reference only
  ASSERT_EQ(run("p = nil"), "");
  fullGc();
  EXPECT_FALSE(mem().isValidHandle(h));

  // Single-thread objects come from the thread's own manager.
  ASSERT_EQ(run("s = QX.createAux('QxTest.Part', true)"), "");
  h = handleOf("s");
  EXPECT_EQ(kesto::HdlBase(h).mgrId(), getThreadMemMgr()->id());
  EXPECT_EQ(getThreadMemMgr()->refCount(h), 1u);
}

TEST_F(QXTest, UnknownClassGivesNilAndLeavesNothingBehind) {
  uint32_t used = mem().usedCount();
  for (const char* call : {"QX.createAux('QxTest.Nope', false)", "QX.createAux('QxTest.Nope', true)",
                           "QX.createAux(nil)", "QX.createRes('nothing.takes.this')", "QX.createRes()"}) {
    EXPECT_EQ(evalString("tostring(" + std::string(call) + ")"), "nil") << call;
  }
  int top = lua_gettop(L);
  EXPECT_FALSE(mem().pushByName(L, u"QxTest.Nope"));
  EXPECT_TRUE(lua_isnil(L, -1));
  EXPECT_FALSE(mem().pushStrong(L, 0, 0));
  EXPECT_TRUE(lua_isnil(L, -1));
  EXPECT_TRUE(mem().pushByName(L, u"QxTest.Part"));
  lua_settop(L, top);
  fullGc();
  EXPECT_EQ(mem().usedCount(), used);
  EXPECT_EQ(MemMgrBase::threadCurrentHandle(), 0u);
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

std::atomic<int> gInside{0}, gOverlaps{0};
void occupies(QXView&, uint32_t) {
  if (++gInside > 1) ++gOverlaps;
  qxplat::sleepMs(2);
  --gInside;
}
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
  // The dispatcher does not trust "QXLS", and works from coroutines.
  ASSERT_EQ(run("QXLS = 'nonsense'"), "");
  EXPECT_EQ(evalNumber("select(2, coroutine.resume(coroutine.create(function() "
                       "coroutine.yield(QX.Cmp64Num('5', '3')) end)))"),
            1);
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

TEST_F(QXTest, QXFunctionsOfEveryStateRunOneAtATime) {
  // The functions share engine state without locks of their own.
  EXPECT_EQ(evalString("type(QX.Occupy)"), "nil");
  addQXGlobalFunction("Occupy", occupies);
  std::vector<std::thread> workers;
  for (int i = 0; i < 3; ++i) {
    workers.emplace_back([] {
      ScriptHdl state = ScriptMgr::instance()->createState();
      LVPolicyHdl policy(state);
      LVLockGuard<LVPolicyHdl> lock(policy);
      EXPECT_EQ(luaL_dostring(lock.state(), "for i = 1, 10 do QX.Occupy() end"), 0);
    });
  }
  for (std::thread& t : workers) t.join();
  EXPECT_EQ(gOverlaps.load(), 0);
}

TEST_F(QXTest, RTErrorPrintAndDumpShowTheStack) {
  std::string text = evalString("QX.RTError('boom')");
  EXPECT_EQ(text.rfind("boom\n<stack stace>\n", 0), 0u) << text;

  ASSERT_EQ(run("QX.Print('hello', 0)"), "");
  ASSERT_EQ(qxtest::boxes().size(), 1u);
  EXPECT_EQ(qxtest::boxes()[0].text, "hello\r\n[2:number] 0 (0x0)\n[1:string] hello\n");
  // A table that holds itself printed at any requested depth still ends.
  ASSERT_EQ(run("local t = {} t.a = t t.b = t QX.dump(1000000, t)"), "");
  EXPECT_EQ(qxtest::boxes().size(), 2u);
}

// The log text without the "[<milliseconds>]: " stamps that start its lines.
std::string unstamped(const std::string& text) {
  std::string out, line;
  std::istringstream in(text);
  while (std::getline(in, line)) {
    const size_t close = line.find("]: ");
    const bool stamped = line.size() > 1 && line[0] == '[' && close != std::string::npos && close > 1 &&
                         line.find_first_not_of("0123456789", 1) == close;
    out += (stamped ? line.substr(close + 3) : line) + "\n";
  }
  return out;
}

TEST_F(QXTest, LogErrorAndRptWriteTimestampedLinesInTheProgramFolder) {
  ASSERT_TRUE(openQXLog());
  ASSERT_EQ(run("QX.log('first line') QX.log('second') QX.rpt(1, 'two', true) QX.Error('bad thing')"), "");
  std::string text = qxtest::readHostFile(luatest::scriptDir() / "log.txt");
  EXPECT_EQ(unstamped(text).rfind("first line\nsecond\n1, two, true\nbad thing\n", 0), 0u) << text;
  // Opening again empties the file.
  ASSERT_TRUE(openQXLog());
  ASSERT_EQ(run("QX.log('fresh')"), "");
  text = qxtest::readHostFile(luatest::scriptDir() / "log.txt");
  EXPECT_EQ(unstamped(text), "fresh\n") << text;
}

TEST_F(QXTest, UniqueIdsAreConsecutiveAndReturnedIdsComeBackFirst) {
  ASSERT_EQ(run("a = QX.GetUID('pool') b = QX.GetUID('pool')"), "");
  EXPECT_TRUE(evalBool("QXInteger.num(b - a) == 1"));
  ASSERT_EQ(run("QX.RetUID('pool', a) QX.RetUID('pool', b)"), "");
  EXPECT_TRUE(evalBool("QX.GetUID('pool') == a"));
  EXPECT_TRUE(evalBool("QX.GetUID('pool') == b"));
  EXPECT_TRUE(evalBool("QXInteger.num(QX.GetUID('pool') - b) == 1"));
  ASSERT_EQ(run("QX.RetUID('never used', a)"), "");
  EXPECT_FALSE(evalBool("QX.GetUID('never used') == a and QX.GetUID('never used') == a"));
}

TEST_F(QXTest, ValueQueries) {
  const struct {
    const char* expr;
    double want;
  } kCases[] = {
      {"QX.Cmp64Num('-1', '0')", -1},
      {"QX.Cmp64Num('0', '-1')", 1},
      // Both round to the same double; only a 64-bit comparison tells them apart.
      {"QX.Cmp64Num('9007199254740993', '9007199254740992')", 1},
      {"QX.Cmp64Num('9223372036854775807', '9223372036854775806')", 1},
      {"QX.Cmp64Num('-9223372036854775808', '9223372036854775807')", -1},
      {"QX.Cmp64Num()", 0},
      {"QX.IsLightData(QXLS) and 1 or 0", 1},
      {"QX.IsLightData({}) and 1 or 0", 1},
      {"QX.IsLightData('x') and 1 or 0", 0},
  };
  for (const auto& c : kCases) EXPECT_EQ(evalNumber(c.expr), c.want) << c.expr;
}

TEST_F(QXTest, LoadJsonReadsThroughTheMountedSourcesAndGivesNothingForBadFiles) {
  luatest::putFile("data.json", "\xEF\xBB\xBF{\"name\": \"qx\", \"list\": [1, 2, {\"deep\": true}], \"n\": 1.5}");
  ASSERT_EQ(run("j = QX.LoadJson('data.json')"), "");
  EXPECT_TRUE(evalBool("j.name == 'qx' and #j.list == 3 and j.list[3].deep and j.n == 1.5"));
  luatest::putFile("broken.json", "{\"a\": [1, 2");
  for (const char* arg : {"'broken.json'", "'missing.json'", "5", ""}) {
    EXPECT_EQ(evalNumber("select('#', QX.LoadJson(" + std::string(arg) + "))"), 0) << arg;
  }
}

}  // namespace
