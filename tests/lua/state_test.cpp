// The state: globals, collector settings, the module loader and "QXMain.lua".
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lua_test_support.h"
#include "script/lua/gc_pause.h"
#include "script/lua/script_report.h"

namespace {

using luatest::Locked;
using luatest::putFile;
using luatest::run;

class ScriptState : public ::testing::Test {
 protected:
  void SetUp() override {
    luatest::clearFiles();
    setScriptMessageBoxSink([this](std::string_view text, std::string_view caption) {
      boxes.push_back({std::string(caption), std::string(text)});
    });
    setScriptDebugLogSink([this](std::string_view line) { log.emplace_back(line); });
  }
  void TearDown() override {
    setScriptMessageBoxSink(nullptr);
    setScriptDebugLogSink(nullptr);
    luatest::clearFiles();
  }

  std::vector<std::pair<std::string, std::string>> boxes;
  std::vector<std::string> log;
};

// The engine's pushes hold the collector, and leave it as the script had it.
TEST_F(ScriptState, APauseHoldsTheCollectorAndLeavesItAsTheScriptHadIt) {
  ScriptHdl h = ScriptMgr::instance()->createState();
  Locked L(h);
  // Whether the collector freed any of this garbage while it was made.
  auto freesGarbage = [&] {
    EXPECT_EQ(run(L, "freed = false local last = collectgarbage('count') for i = 1, 20000 do local t = {i} "
                     "local now = collectgarbage('count') if now < last then freed = true end last = now end"),
              "");
    lua_getglobal(L, "freed");
    const bool freed = lua_toboolean(L, -1) != 0;
    lua_pop(L, 1);
    return freed;
  };
  for (const std::string mode : {"restart", "stop", "step", "collect"}) {
    SCOPED_TRACE(mode);
    ASSERT_EQ(run(L, "collectgarbage('stop') collectgarbage('" + mode + "')"), "");
    {
      GcPause pause(L);
      EXPECT_FALSE(freesGarbage());
    }
    EXPECT_EQ(freesGarbage(), mode != "stop");
  }
  EXPECT_NE(run(L, "collectgarbage('bogus')").find("bad argument #1 to 'collectgarbage'"), std::string::npos);
  EXPECT_EQ(run(L, "collectgarbage('restart')"), "");
}

TEST_F(ScriptState, ANewStateHasTheEngineGlobalsAndClosesWithItsLastHandle) {
  ScriptMgr* m = ScriptMgr::instance();
  uint32_t before = m->usedCount();
  std::u16string err;
  lua_State* raw = nullptr;
  {
    ScriptHdl h = m->createState(&err);
    ASSERT_TRUE(h.value);
    EXPECT_TRUE(err.empty());  // no QXMain.lua: nothing ran, nothing failed
    EXPECT_EQ(m->usedCount(), before + 1);
    Locked L(h);
    raw = L.L();
    lua_getglobal(L, "QXLS");
    EXPECT_EQ(lua_touserdata(L, -1), static_cast<void*>(raw));
    lua_getglobal(L, "QX_LStk");
    EXPECT_TRUE(lua_istable(L, -1));
    lua_pop(L, 2);
    EXPECT_EQ(lua_gc(L, LUA_GCSETPAUSE, 80), 80);  // gives back the pause in force
    EXPECT_EQ(run(L, R"(
      assert(package.path == "" and package.cpath == "")
      assert(#package.loaders == 5, #package.loaders)
    )"),
              "");
    EXPECT_EQ(m->handleOfMainState(L), h.value);
  }
  EXPECT_EQ(m->usedCount(), before);
  EXPECT_EQ(m->handleOfMainState(raw), 0u);
}

TEST_F(ScriptState, RequireSkipsByteOrderMarksAndFailsCleanlyWithABoxForSyntaxErrors) {
  putFile("ui.button.lua", "return { name = 'button' }");
  putFile("bom.lua", "\xEF\xBB\xBFreturn 'bom'");
  putFile("wide.lua", std::string("\xFF\xFEr\0e\0t\0", 8));
  putFile("broken.lua", "local x = = 1");
  ScriptHdl h = ScriptMgr::instance()->createState();
  Locked L(h);
  EXPECT_EQ(run(L, R"(
    assert(require("ui.button").name == "button")
    assert(require("bom") == "bom")
    for name, text in pairs { wide = "wide", missing = "missing.lua", broken = "broken" } do
      local ok, err = pcall(require, name)
      assert(not ok and err:find(text, 1, true), err)
    end
  )"),
            "");
  EXPECT_EQ(lua_gettop(L), 0);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].first, "lua構文エラー");
  EXPECT_NE(boxes[0].second.find("broken.lua"), std::string::npos);
}

TEST_F(ScriptState, AFailingQXMainIsReportedAndTheStateStillComes) {
  putFile("QXMain.lua", "ran_main = 42 error('main broke')");
  std::u16string err;
  ScriptHdl failed = ScriptMgr::instance()->createState(&err);
  ASSERT_TRUE(failed.value);
  EXPECT_NE(qcore::utf16ToUtf8(err).find("main broke"), std::string::npos);
  ASSERT_FALSE(log.empty());
  EXPECT_NE(log.back().find("main broke"), std::string::npos);
  EXPECT_TRUE(boxes.empty());  // no message box for QXMain.lua
  Locked L(failed);
  EXPECT_EQ(lua_gettop(L), 0);  // the error value does not stay behind
  EXPECT_EQ(run(L, "assert(ran_main == 42)"), "");
}

TEST_F(ScriptState, AnErrorOutsideEveryProtectedCallThrowsInsteadOfEndingTheProcess) {
  ScriptHdl h = ScriptMgr::instance()->createState();
  Locked L(h);
  lua_pushstring(L, "stray");
  EXPECT_THROW(lua_error(L), std::runtime_error);
}

}  // namespace
