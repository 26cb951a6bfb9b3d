// The 4097th game object a script makes through QXGobj.lua: a clear script error at the
// script's own line and one log line, and the first object keeps its messages.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "script/gobj/gobj_mgr.h"
#include "script/lua/lua_var.h"
#include "script/lua/script_report.h"
#include "script/lua/stack_readers.h"
#include "tests/main/engine_fixture.h"

namespace {

using maintest::EngineTest;

int luaPostTo(lua_State* L) {
  const uint32_t target = getHandleAt(L, 1);
  std::thread([&] { GobjMgr::instance()->postMsg1(target, "hello", LuaVar("x")); }).join();
  return 0;
}

TEST_F(EngineTest, TheGameObjectPastTheLimitIsAScriptErrorAndTakesNothingOver) {
  writeMain(R"(require("QXL")
require("QXGobj")
function main()
  local T = QXL.gobj_class()
  function T:recvmsg(_, name) record("got", self.n, name) end
  local keep = {}
  for i = 1, 4096 do
    local o = T.new(0)
    o.n = i
    keep[i] = o
  end
  local ok, err = pcall(T.new, 0)
  record("new", ok, err)
  ok, err = pcall(function() local o = QXL.attach_gobj({}, 0); return o end)
  record("attach", ok, err)
  keep[4096] = nil
  collectgarbage("collect")
  local again = T.new(0)
  again.n = "again"
  post_to(keep[1])
  post_to(again)
  for _ = 1, 5 do coroutine.yield(true) end
  coroutine.yield(false)
end
)");
  onScriptReady = [](lua_State* L) { lua_register(L, "post_to", luaPostTo); };
  std::vector<std::string> log;
  setScriptDebugLogSink([&](std::string_view m) { log.emplace_back(m); });
  EngineRunReport report = run();
  setScriptDebugLogSink(nullptr);

  EXPECT_EQ(report.exitCode(), 0) << report.failureText;
  const auto made = recordsOf("new");
  ASSERT_EQ(made.size(), 1u);
  EXPECT_EQ(made[0][1], "false");
  EXPECT_NE(made[0][2].find("no game object could be made"), std::string::npos) << made[0][2];
  const auto attached = recordsOf("attach");
  ASSERT_EQ(attached.size(), 1u);
  EXPECT_EQ(attached[0][1], "false");
  // The error points at the script's call, not inside QXGobj.lua.
  EXPECT_EQ(attached[0][2].rfind("QXMain.lua:14:", 0), 0u) << attached[0][2];
  int full = 0;
  for (const std::string& line : log) full += line.find("game objects full") != std::string::npos;
  EXPECT_EQ(full, 1);
  const auto got = recordsOf("got");
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0][1], "1");
  EXPECT_EQ(got[1][1], "again");
}

}  // namespace
