// Game-object messages posted from other threads reach recvmsg once per frame, after the
// frame's update steps and before its draw.
#include <gtest/gtest.h>

#include <thread>

#include "platform/thread/thread.h"
#include "script/gobj/gobj_mgr.h"
#include "script/lua/lua_var.h"
#include "script/lua/stack_readers.h"
#include "tests/main/engine_fixture.h"

namespace {

using maintest::EngineTest;
using maintest::Record;

constexpr int kMessages = 20;

// post_now(obj, value): posts from a new thread and waits for it.
int luaPostNow(lua_State* L) {
  const uint32_t target = getHandleAt(L, 1);
  std::string value = luaL_checkstring(L, 2);
  std::thread([&] { GobjMgr::instance()->postMsg1(target, "posted", LuaVar(value)); }).join();
  return 0;
}

TEST_F(EngineTest, MessagesFromOtherThreadsArriveBetweenTheUpdatesAndTheDrawOfAFrame) {
  writeMain(R"(
require("QXL")
require("QXGobj")
local got = 0
function main()
  -- The engine classes are bound once this file has run: build on them here.
  local Target = QXL.gobj_class()
  function Target:recvmsg(zero, name, value)
    record("msg", self == target, zero, name, value)
    got = got + 1
  end
  target = Target.new(0)
  local phase = coroutine.yield(true)
  local posted = 0
  while true do
    record(phase)
    if phase == 1 and posted < )" + std::to_string(kMessages) + R"( then
      posted = posted + 1
      post_now(target, tostring(posted))
    end
    phase = coroutine.yield(got < )" + std::to_string(kMessages) + R"()
  end
end
)");
  onScriptReady = [](lua_State* L) { lua_register(L, "post_now", luaPostNow); };
  const uint64_t begin = qxplat::monotonicMs();
  options_.stopRequested = [&] { return qxplat::monotonicMs() - begin > 20000; };
  EngineRunReport report = run();

  EXPECT_FALSE(report.stopRequested) << "the messages did not all arrive";
  const auto messages = recordsOf("msg");
  ASSERT_EQ(messages.size(), static_cast<size_t>(kMessages));
  for (size_t i = 0; i < messages.size(); ++i) {
    EXPECT_EQ(messages[i], (Record{"msg", "true", "0", "posted", std::to_string(i + 1)})) << i;
  }

  // Every delivery follows an update step (or another message) of its frame, and the
  // frame's draw comes next: no update step between a message and that draw.
  for (size_t i = 0; i < records_.size(); ++i) {
    if (records_[i][0] != "msg") continue;
    ASSERT_GT(i, 0u);
    EXPECT_TRUE(records_[i - 1][0] == "1" || records_[i - 1][0] == "msg") << i;
    size_t j = i + 1;
    while (j < records_.size() && records_[j][0] == "msg") ++j;
    if (j < records_.size()) {
      EXPECT_EQ(records_[j][0], "2") << i;
    }
  }
  expectEverythingEnded();
}

}  // namespace
