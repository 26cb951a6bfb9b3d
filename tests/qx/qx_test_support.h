// Shared set-up of the script-side tests: a memory manager and a counted test manager, a
// script manager whose states get the QX globals, a temporary folder that is both the
// mounted read source and the program's folder, and message boxes caught in a list.
#pragma once
#include <gtest/gtest.h>

#include <stdlib.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/utf.h"
#include "runtime/core/thread_ctx.h"
#include "runtime/fs/file_registry.h"
#include "runtime/fs/path_stack.h"
#include "runtime/mem/mem_mgr.h"
#include "runtime/res/resource_mgr.h"
#include "script/lua/script_files.h"
#include "script/lua/script_mgr.h"
#include "script/qx/qx_globals.h"
#include "script/qx/qx_log.h"
#include "script/qx/qx_msgbox.h"
#include "tests/lua/lua_chunks.h"

namespace qxtest {

struct Thing {
  static inline std::atomic<int> alive{0};
  int value = 0;
  Thing() { ++alive; }
  ~Thing() { --alive; }
};

class ThingMgr : public kesto::ResourceMgrNoName<ThingMgr, Thing> {
 public:
  const char* dataTypeName() const override { return "Thing"; }
};
using ThingHandle = ThingMgr::HandleType;

inline std::filesystem::path& tempDir() {
  static std::filesystem::path dir;
  return dir;
}

inline void putFile(const std::string& name, const std::string& bytes) {
  std::ofstream(tempDir() / name, std::ios::binary) << bytes;
}

inline std::string readHostFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Box {
  std::string text, caption;
};
inline std::vector<Box>& boxes() {
  static std::vector<Box> b;
  return b;
}

class Environment : public ::testing::Environment {
 public:
  void SetUp() override {
    attachThreadLane();
    char pattern[] = "/tmp/qx-test-XXXXXX";
    tempDir() = mkdtemp(pattern);
    programPath().set(qcore::utf8ToUtf16(tempDir().string()));
    files_ = std::make_unique<qx::FileRegistry>();
    files_->mountRead(qcore::utf8ToUtf16(tempDir().string()));
    attached_ = std::make_unique<AttachedFileSources>(*files_);
    mem_ = std::make_unique<MemMgr<kesto::MultiP>>();
    things_ = std::make_unique<ThingMgr>();
    scripts_ = std::make_unique<ScriptMgr>();
    ScriptMgr::setStateSetup(registerQXGlobals);
    setQXMessageBoxSink([](std::string_view text, std::string_view caption) {
      boxes().push_back(Box{std::string(text), std::string(caption)});
    });
  }
  void TearDown() override {
    closeQXLog();
    scripts_.reset();
    things_.reset();
    mem_.reset();
    attached_.reset();
    files_.reset();
    std::filesystem::remove_all(tempDir());
  }

 private:
  std::unique_ptr<qx::FileRegistry> files_;
  std::unique_ptr<AttachedFileSources> attached_;
  std::unique_ptr<MemMgr<kesto::MultiP>> mem_;
  std::unique_ptr<ThingMgr> things_;
  std::unique_ptr<ScriptMgr> scripts_;
};

// A fresh state with the QX globals, held locked for the test body.
class StateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    boxes().clear();
    state_ = ScriptMgr::instance()->createState();
    ASSERT_NE(state_.value, 0u);
    policy_ = std::make_unique<LVPolicyHdl>(state_);
    L = policy_->lock();
    ASSERT_NE(L, nullptr);
  }
  void TearDown() override {
    if (L) policy_->unlock();
    policy_.reset();
    state_.reset();
  }

  // Lua text run in the held state.
  std::string run(const std::string& code) { return luatest::run(L, code); }
  void eval(const std::string& expr) { luatest::eval(L, expr); }
  std::string evalString(const std::string& expr) { return luatest::evalString(L, expr); }
  double evalNumber(const std::string& expr) { return luatest::evalNumber(L, expr); }
  bool evalBool(const std::string& expr) { return luatest::evalBool(L, expr); }
  void fullGc() { lua_gc(L, LUA_GCCOLLECT, 0); }

  ScriptHdl state_;
  std::unique_ptr<LVPolicyHdl> policy_;
  lua_State* L = nullptr;
};

}  // namespace qxtest
