// Game-object messages posted from other threads reach recvmsg once per frame, after the
// frame's update steps and before its draw.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/thread/thread.h"
#include "script/gobj/gobj_mgr.h"
#include "script/lua/lua_var.h"
#include "script/lua/stack_readers.h"
#include "tests/main/engine_fixture.h"

namespace {

using maintest::EngineTest;
using maintest::Record;

constexpr int kThreadMessages = 20;

std::atomic<uint32_t> gTarget{0};
std::atomic<int> gDelivered{0};

// post_now(obj, name): posts from a new thread and waits for it.
int luaPostNow(lua_State* L) {
  const uint32_t target = getHandleAt(L, 1);
  std::string name = luaL_checkstring(L, 2);
  std::thread([&] { GobjMgr::instance()->postMsg1(target, name.c_str(), LuaVar("now")); }).join();
  return 0;
}

// start_posting(obj): a worker posts "worker" messages one by one, each once the last
// has been delivered, so they arrive over many frames.
int luaStartPosting(lua_State* L) {
  gTarget = getHandleAt(L, 1);
  return 0;
}

int luaDelivered(lua_State*) {
  ++gDelivered;
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
    if name == "worker" then got = got + 1; delivered() end
  end
  target = Target.new(0)
  start_posting(target)
  local phase = coroutine.yield(true)
  local updates = 0
  while true do
    record(phase)
    if phase == 1 then
      updates = updates + 1
      if updates == 5 then post_now(target, "inline") end
    end
    phase = coroutine.yield(got < )" + std::to_string(kThreadMessages) + R"()
  end
end
)");
  onScriptReady = [](lua_State* L) {
    lua_register(L, "post_now", luaPostNow);
    lua_register(L, "start_posting", luaStartPosting);
    lua_register(L, "delivered", luaDelivered);
  };
  std::atomic<bool> done{false};
  std::thread worker([&] {
    while (gTarget == 0 && !done) qxplat::sleepMs(1);
    for (int i = 1; i <= kThreadMessages && !done; ++i) {
      LuaVar value(std::to_string(i));
      GobjMgr::instance()->postMsg1(gTarget, "worker", std::move(value));
      while (gDelivered < i && !done) qxplat::yieldThread();
    }
  });
  const uint64_t begin = qxplat::monotonicMs();
  options_.stopRequested = [&] { return qxplat::monotonicMs() - begin > 20000; };
  EngineRunReport report = run();
  done = true;
  worker.join();

  EXPECT_FALSE(report.stopRequested) << "the messages did not all arrive";
  const auto messages = recordsOf("msg");
  ASSERT_EQ(messages.size(), static_cast<size_t>(kThreadMessages) + 1);
  int workerSeen = 0;
  for (const Record& m : messages) {
    ASSERT_EQ(m.size(), 5u);
    EXPECT_EQ(m[1], "true");  // self is the script's own object
    EXPECT_EQ(m[2], "0");
    if (m[3] == "worker") {
      EXPECT_EQ(m[4], std::to_string(++workerSeen));
    } else {
      EXPECT_EQ(m[3], "inline");
      EXPECT_EQ(m[4], "now");
    }
  }
  EXPECT_EQ(workerSeen, kThreadMessages);

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
  EXPECT_EQ(GobjMgr::instance(), nullptr);
}

}  // namespace
