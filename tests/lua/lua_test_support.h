// Shared set-up of the script tests: one ScriptMgr for the process, scripts served from
// an in-memory map, and a scoped lock on a state.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "platform/core/utf.h"
#include "runtime/core/thread_ctx.h"
#include "script/lua/script_files_seam.h"
#include "script/lua/script_mgr.h"

namespace luatest {

inline std::map<std::u16string, std::string>& files() {
  static std::map<std::u16string, std::string> f;
  return f;
}

inline void putFile(const std::string& name, const std::string& text) { files()[qcore::utf8ToUtf16(name)] = text; }
inline void clearFiles() { files().clear(); }

class Environment : public ::testing::Environment {
 public:
  void SetUp() override {
    attachThreadLane();
    mgr_ = new ScriptMgr;
    setScriptFileReader([](const std::u16string& name, uint32_t) {
      auto it = files().find(name);
      if (it == files().end()) return FileData();
      auto* bytes = new uint8_t[it->second.size() + 2]();
      std::memcpy(bytes, it->second.data(), it->second.size());
      return FileData(bytes, static_cast<uint32_t>(it->second.size()), true);
    });
  }
  void TearDown() override {
    delete mgr_;
    setScriptFileReader(nullptr);
  }

 private:
  ScriptMgr* mgr_ = nullptr;
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

// Runs a chunk protected; "" on success, else the error text.
inline std::string run(lua_State* L, const std::string& code) {
  if (luaL_loadbuffer(L, code.data(), code.size(), "test") != 0 || lua_pcall(L, 0, 0, 0) != 0) {
    std::string e = lua_tostring(L, -1) ? lua_tostring(L, -1) : "?";
    lua_pop(L, 1);
    return e;
  }
  return "";
}

}  // namespace luatest
