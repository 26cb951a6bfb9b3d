// Runs the engine without a window against a program folder of the test's own, with a
// pacer clock the test drives, and records what the script reports through record(...).
//
// Manager ids are never handed out twice in a process, so each case may run the engine
// once: ctest runs every case in a process of its own.
#pragma once
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "program/main/engine_run.h"
#include "platform/core/utf.h"
#include "runtime/core/thread_ctx.h"
#include "runtime/fs/path_stack.h"
#include "runtime/res/catalogue.h"
#include "runtime/res/hdl_lock.h"
#include "runtime/res/res_registry.h"
#include "script/lua/lua_api.h"
#include "script/lua/script_mgr.h"

namespace maintest {

// Time moves by `perRead` on every reading (so spins end), by exactly what the pacer asks
// to sleep, and when a script calls stall(ms).
class FakeClock final : public PacerClock {
 public:
  static constexpr int64_t kFrequency = 1000000000;
  explicit FakeClock(int64_t perRead = 20000) : perRead_(perRead) {}
  int64_t frequency() const override { return kFrequency; }
  int64_t now() override {
    t_ += perRead_;
    return t_;
  }
  void sleepMs(uint32_t ms) override { t_ += static_cast<int64_t>(ms) * kFrequency / 1000; }
  void advanceMs(double ms) { t_ += static_cast<int64_t>(ms * kFrequency / 1000); }
  double seconds() const { return static_cast<double>(t_ - kStart) / kFrequency; }

 private:
  static constexpr int64_t kStart = 5 * kFrequency;
  int64_t t_ = kStart;
  int64_t perRead_;
};

// One record(...) call: its arguments as Lua's tostring gives them.
using Record = std::vector<std::string>;

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (ResRegistry::instance().managerCount() != 0) {
      GTEST_SKIP() << "one engine run per process: run this case on its own (ctest does)";
    }
    char pattern[] = "/tmp/qxmain-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    std::filesystem::create_directories(root_ / "resource" / "script");
    // The base library modules the program's scripts require.
    const auto shipped = std::filesystem::path(QX_SOURCE_DIR) / "resource" / "script";
    if (std::filesystem::is_directory(shipped)) {
      for (const auto& e : std::filesystem::directory_iterator(shipped)) {
        if (e.path().extension() == ".lua" && e.path().filename() != "QXMain.lua") {
          std::filesystem::copy_file(e.path(), root_ / "resource" / "script" / e.path().filename());
        }
      }
    }
    programPath().set(qcore::utf8ToUtf16(root_.string()));
    current() = this;
    options_.clock = &clock_;
    options_.scriptReady = [this](const ScriptHdl& state) {
      kesto::HdlLock<ScriptHdl> record(state);
      ASSERT_TRUE(record);
      lua_State* L = record->state();
      lua_register(L, "record", &EngineTest::luaRecord);
      lua_register(L, "stall", &EngineTest::luaStall);
      if (onScriptReady) onScriptReady(L);
    };
  }
  void TearDown() override {
    current() = nullptr;
    if (!root_.empty()) std::filesystem::remove_all(root_);
  }

  void writeMain(const std::string& text) {
    std::ofstream(root_ / "resource" / "script" / "QXMain.lua", std::ios::binary) << text;
  }

  EngineRunReport run() { return runEngine(options_); }

  // Records whose first value is `what`.
  std::vector<Record> recordsOf(const std::string& what) const {
    std::vector<Record> out;
    for (const Record& r : records_) {
      if (!r.empty() && r[0] == what) out.push_back(r);
    }
    return out;
  }

  // Everything start-up built is gone again and the thread holds no lane.
  void expectEverythingEnded() {
    EXPECT_EQ(ScriptMgr::instance(), nullptr);
    for (uint32_t id = 0; id < kesto::ManagerCatalogue::kCount; ++id) {
      EXPECT_EQ(ResRegistry::instance().managerById(id), nullptr) << id;
    }
    EXPECT_EQ(ResRegistry::instance().fileSources(), nullptr);
    EXPECT_EQ(getUIThreadId(), 0u);
    EXPECT_EQ(freeThreadLaneCount(), kesto::kLaneCount);
    EXPECT_EQ(getThreadProfiler(), nullptr);
  }

  static EngineTest*& current() {
    static EngineTest* test = nullptr;
    return test;
  }

  static int luaRecord(lua_State* L) {
    Record r;
    const int n = lua_gettop(L);
    lua_getglobal(L, "tostring");
    for (int i = 1; i <= n; ++i) {
      lua_pushvalue(L, -1);
      lua_pushvalue(L, i);
      lua_call(L, 1, 1);
      r.emplace_back(lua_tostring(L, -1));
      lua_pop(L, 1);
    }
    lua_pop(L, 1);
    current()->records_.push_back(std::move(r));
    return 0;
  }
  static int luaStall(lua_State* L) {
    current()->clock_.advanceMs(luaL_checknumber(L, 1));
    return 0;
  }

  std::function<void(lua_State*)> onScriptReady;
  std::filesystem::path root_;
  FakeClock clock_;
  EngineRunOptions options_;
  std::vector<Record> records_;
};

// A main that records its start and every resume, and yields true for ever.
inline const char* kRecordingMain = R"(
function main(...)
  record("start", select("#", ...))
  local args = { coroutine.yield(true) }
  while true do
    record(unpack(args))
    args = { coroutine.yield(true) }
  end
end
)";

}  // namespace maintest
