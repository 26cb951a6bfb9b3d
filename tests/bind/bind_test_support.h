// Shared set-up of the binding and game-object tests: the engine's managers in their
// catalogue places (memory, game objects, scripts; stand-ins elsewhere) plus the test
// manager, states with the QX globals whose "QXMain.lua" loads the script library from
// resource/script, and a state held locked for each test body.
#pragma once
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "platform/core/utf.h"
#include "runtime/core/thread_ctx.h"
#include "runtime/fs/file_registry.h"
#include "runtime/mem/mem_mgr.h"
#include "runtime/res/catalogue.h"
#include "script/gobj/gobj_mgr.h"
#include "script/lua/script_files.h"
#include "script/lua/script_mgr.h"
#include "script/lua/script_report.h"
#include "script/qx/qx_globals.h"
#include "tests/bind/test_classes.h"
#include "tests/lua/lua_test_support.h"

namespace bindtest {

inline std::filesystem::path& tempDir() {
  static std::filesystem::path dir;
  return dir;
}

inline void putFile(const std::string& name, const std::string& text) {
  std::ofstream(tempDir() / name, std::ios::binary) << text;
}

inline std::vector<std::string>& logLines() {
  static std::vector<std::string> lines;
  return lines;
}

class Environment : public ::testing::Environment {
 public:
  using ExtraManagers = void (*)(kesto::ManagerCatalogue&);
  explicit Environment(ExtraManagers extra = nullptr) : extra_(extra) {}

  void SetUp() override {
    attachThreadLane();
    char pattern[] = "/tmp/qxbind-test-XXXXXX";
    tempDir() = mkdtemp(pattern);
    putFile("QXMain.lua", "require(\"QXL\") require(\"QXGobj\")\n");
    files_ = std::make_unique<qx::FileRegistry>();
    files_->mountRead(qcore::utf8ToUtf16(tempDir().string()));
    files_->mountRead(qcore::utf8ToUtf16(std::string(QX_SOURCE_DIR) + "/resource/script"));
    attached_ = std::make_unique<AttachedFileSources>(*files_);
    managers_ = std::make_unique<kesto::ManagerCatalogue>();
    managers_->provide(kesto::ManagerKind::memory, [] { return std::make_unique<MemMgr<kesto::MultiP>>(); });
    managers_->provide(kesto::ManagerKind::gameObject, [] { return std::make_unique<GobjMgr>(); });
    managers_->provide(kesto::ManagerKind::script, [] { return std::make_unique<ScriptMgr>(); });
    if (extra_) extra_(*managers_);
    ScriptMgr::setStateSetup(registerQXGlobals);
    ASSERT_TRUE(managers_->constructAll());
    things_ = std::make_unique<ThingMgr>();
    setScriptDebugLogSink([](std::string_view line) { logLines().emplace_back(line); });
  }
  void TearDown() override {
    setScriptDebugLogSink(nullptr);
    things_.reset();
    managers_.reset();
    attached_.reset();
    files_.reset();
    std::filesystem::remove_all(tempDir());
  }

 private:
  ExtraManagers extra_;
  std::unique_ptr<qx::FileRegistry> files_;
  std::unique_ptr<AttachedFileSources> attached_;
  std::unique_ptr<kesto::ManagerCatalogue> managers_;
  std::unique_ptr<ThingMgr> things_;
};

// A fresh state (QXL loaded), held locked for the test body and current on this thread, as
// it is inside a script call.
class StateTest : public luatest::StateTest {
 protected:
  void SetUp() override {
    logLines().clear();
    std::u16string error;
    state_ = ScriptMgr::instance()->createState(&error);
    ASSERT_NE(state_.value, 0u);
    ASSERT_TRUE(error.empty()) << qcore::utf16ToUtf8(error);
    policy_ = std::make_unique<LVPolicyHdl>(state_);
    L = policy_->lock();
    ASSERT_NE(L, nullptr);
    previous_ = ScriptMgr::instance()->exchangeThreadEntry(state_.value);
  }
  void TearDown() override {
    ScriptMgr::instance()->exchangeThreadEntry(previous_);
    luatest::StateTest::TearDown();
    policy_.reset();
    state_.reset();
  }

  uint32_t previous_ = 0;
};

}  // namespace bindtest
