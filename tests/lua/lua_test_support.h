// Script tests' set-up: one ScriptMgr, scripts from a temporary folder, a locked state per test.
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
#include "script/lua/lua_api.h"
#include "script/lua/script_files.h"
#include "script/lua/script_mgr.h"
#include "script/lua/stack_readers.h"

namespace luatest {

// Runs a chunk protected; "" on success, else the error text.
inline std::string run(lua_State* L, const std::string& code) {
  if (luaL_loadbuffer(L, code.data(), code.size(), "test") != 0 || lua_pcall(L, 0, 0, 0) != 0) {
    std::string e = lua_tostring(L, -1) ? lua_tostring(L, -1) : "?";
    lua_pop(L, 1);
    return e;
  }
  return "";
}

// Runs "return <expr>" and leaves its one value on the stack.
inline void eval(lua_State* L, const std::string& expr) {
  std::string code = "return " + expr;
  ASSERT_EQ(luaL_loadbuffer(L, code.data(), code.size(), "test"), 0) << lua_tostring(L, -1);
  ASSERT_EQ(lua_pcall(L, 0, 1, 0), 0) << lua_tostring(L, -1);
}

// The folder mounted as the read source of every test state.
inline std::filesystem::path& scriptDir() {
  static std::filesystem::path dir;
  return dir;
}

inline void putFile(const std::string& name, const std::string& text) {
  std::ofstream(scriptDir() / name, std::ios::binary) << text;
}

inline void clearFiles() {
  for (const auto& e : std::filesystem::directory_iterator(scriptDir())) std::filesystem::remove_all(e.path());
}

class Environment : public ::testing::Environment {
 public:
  void SetUp() override {
    attachThreadLane();
    char pattern[] = "/tmp/qxlua-test-XXXXXX";
    scriptDir() = mkdtemp(pattern);
    files_ = std::make_unique<qx::FileRegistry>();
    files_->mountRead(qcore::utf8ToUtf16(scriptDir().string()));
    attached_ = std::make_unique<AttachedFileSources>(*files_);
    mgr_ = std::make_unique<ScriptMgr>();
  }
  void TearDown() override {
    mgr_.reset();
    attached_.reset();
    files_.reset();
    std::filesystem::remove_all(scriptDir());
  }

 private:
  std::unique_ptr<qx::FileRegistry> files_;
  std::unique_ptr<AttachedFileSources> attached_;
  std::unique_ptr<ScriptMgr> mgr_;
};

// Holds a state locked for the test body.
class Locked {
 public:
  explicit Locked(const ScriptHdl& h) : policy_(h), L_(policy_.lock()) {}
  ~Locked() {
    if (L_) policy_.unlock();
  }
  lua_State* L() const { return L_; }
  operator lua_State*() const { return L_; }

 private:
  LVPolicyHdl policy_;
  lua_State* L_;
};

// A fresh state, held locked for the test body.
class StateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    state_ = ScriptMgr::instance()->createState();
    ASSERT_NE(state_.value, 0u);
    policy_ = std::make_unique<LVPolicyHdl>(state_);
    L = policy_->lock();
    ASSERT_NE(L, nullptr);
  }
  void TearDown() override {
    if (L) policy_->unlock();
  }

  std::string run(const std::string& code) { return luatest::run(L, code); }
  void eval(const std::string& expr) { luatest::eval(L, expr); }
  std::string evalString(const std::string& expr) {
    eval(expr);
    std::string s = lua_tostring(L, -1) ? lua_tostring(L, -1) : "<not a string>";
    lua_pop(L, 1);
    return s;
  }
  double evalNumber(const std::string& expr) {
    eval(expr);
    double d = lua_tonumber(L, -1);
    lua_pop(L, 1);
    return d;
  }
  bool evalBool(const std::string& expr) {
    eval(expr);
    bool b = lua_toboolean(L, -1);
    lua_pop(L, 1);
    return b;
  }
  uint32_t handleOf(const std::string& expr) {
    eval(expr);
    uint32_t h = getHandleAt(L, -1);
    lua_pop(L, 1);
    return h;
  }
  void fullGc() { lua_gc(L, LUA_GCCOLLECT, 0); }

  ScriptHdl state_;
  std::unique_ptr<LVPolicyHdl> policy_;
  lua_State* L = nullptr;
};

}  // namespace luatest
