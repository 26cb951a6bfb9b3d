// QX tests' set-up: the script tests' one (its folder is the program's), managers, QX globals, boxes.
#pragma once
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "runtime/fs/path_stack.h"
#include "runtime/mem/mem_mgr.h"
#include "runtime/res/resource_mgr.h"
#include "script/qx/qx_globals.h"
#include "script/qx/qx_log.h"
#include "script/qx/qx_msgbox.h"
#include "tests/lua/lua_test_support.h"

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

class Environment : public luatest::Environment {
 public:
  void SetUp() override {
    luatest::Environment::SetUp();
    programPath().set(qcore::utf8ToUtf16(luatest::scriptDir().string()));
    mem_ = std::make_unique<MemMgr<kesto::MultiP>>();
    things_ = std::make_unique<ThingMgr>();
    ScriptMgr::setStateSetup(registerQXGlobals);
    setQXMessageBoxSink([](std::string_view text, std::string_view caption) {
      boxes().push_back(Box{std::string(text), std::string(caption)});
    });
  }
  void TearDown() override {
    closeQXLog();
    luatest::Environment::TearDown();
    things_.reset();
    mem_.reset();
  }

 private:
  std::unique_ptr<MemMgr<kesto::MultiP>> mem_;
  std::unique_ptr<ThingMgr> things_;
};

class StateTest : public luatest::StateTest {
 protected:
  void SetUp() override {
    boxes().clear();
    luatest::StateTest::SetUp();
  }
};

}  // namespace qxtest
