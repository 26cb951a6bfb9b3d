// A handler the engine starts (recvmsg of a queued reply, delete_gobj) runs while main is
// suspended; a yield inside it must end that handler with a shown error and leave main
// running as before.
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

// post_reply(obj): a worker posts what a reply posts: the request's name, id and body.
int luaPostReply(lua_State* L) {
  const uint32_t target = getHandleAt(L, 1);
  std::thread([&] {
    LuaVar id;
    id.setInt(7);
    GobjMgr::instance()->postMsg2(target, "rest_home_tl", std::move(id), LuaVar("body"));
  }).join();
  return 0;
}

struct YieldCase {
  const char* name;
  const char* main;  // runs after QXL and QXGobj are loaded
  friend void PrintTo(const YieldCase& c, std::ostream* os) { *os << c.name; }
  const char* handler;
};

class HandlerYieldTest : public EngineTest, public ::testing::WithParamInterface<YieldCase> {};

TEST_P(HandlerYieldTest, EndsTheHandlerWithAShownErrorAndMainGoesOn) {
  writeMain(std::string("require(\"QXL\")\nrequire(\"QXGobj\")\n") + GetParam().main + R"(
function main()
  setup()
  local updates = 0
  while true do
    local phase = coroutine.yield(true)
    if phase == 1 then
      updates = updates + 1
      record("update", updates)
      step(updates)
      if updates == 6 then coroutine.yield(false) end
    end
  end
end
)");
  onScriptReady = [](lua_State* L) { lua_register(L, "post_reply", luaPostReply); };
  std::vector<std::string> boxes;
  setScriptMessageBoxSink([&](std::string_view text, std::string_view) { boxes.emplace_back(text); });
  EngineRunReport report = run();
  setScriptMessageBoxSink(nullptr);

  EXPECT_EQ(report.exitCode(), 0) << report.failureCaption << ": " << report.failureText;
  const auto updates = recordsOf("update");
  ASSERT_EQ(updates.size(), 6u);
  for (size_t i = 0; i < updates.size(); ++i) EXPECT_EQ(updates[i][1], std::to_string(i + 1));
  EXPECT_EQ(recordsOf("entered").size(), 1u);
  EXPECT_TRUE(recordsOf("resumed").empty());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find(std::string("attempt to yield from ") + GetParam().handler), std::string::npos) << boxes[0];
  expectEverythingEnded();
}

INSTANTIATE_TEST_SUITE_P(Handlers, HandlerYieldTest,
                         ::testing::Values(YieldCase{"recvmsg", R"(
local obj
function setup()
  -- The engine classes are bound once this file has run.
  local T = QXL.gobj_class()
  function T:recvmsg(zero, name, id, body)
    record("entered", name, id, body)
    coroutine.yield("not for main")
    record("resumed")
  end
  obj = T.new(0)
end
function step(n) if n == 2 then post_reply(obj) end end
)",
                                                           "recvmsg"},
                                           YieldCase{"delete_gobj", R"(
local plain = delete_gobj
function delete_gobj(w)
  record("entered")
  coroutine.yield("not for main")
  record("resumed")
  plain(w)
end
local obj
function setup()
  local T = QXL.gobj_class()
  -- The delivery's own reference is then the last: it goes once recvmsg has returned,
  -- with main suspended.
  function T:recvmsg()
    rawset(self, "udata", nil)
    obj = nil
    collectgarbage("collect")
  end
  obj = T.new(0)
end
function step(n) if n == 2 then post_reply(obj) end end
)",
                                                           "delete_gobj"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
