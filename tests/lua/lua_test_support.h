// Shared set-up of the script tests: one ScriptMgr for the process, scripts served from
// an in-memory map, and a scoped lock on a state.
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
#include "script/lua/script_files.h"
#include "script/lua/script_mgr.h"
#include "tests/lua/lua_chunks.h"

namespace luatest {

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

}  // namespace luatest
