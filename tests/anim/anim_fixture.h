// Shared set-up of the animation tests: the binding tests' engine (scripts, game
// objects) with the animation manager in its catalogue place, and textures from a small
// test manager whose sizes the tests choose.
#pragma once
#include <map>
#include <memory>
#include <string>

#include "runtime/res/hdl_lock.h"
#include "scene/anim/anim_mgr.h"
#include "scene/anim/anim_texture.h"
#include "tests/bind/bind_test_support.h"

namespace animtest {

struct FakeTex {
  int32_t width = 0;
  int32_t height = 0;
};

class FakeTexMgr : public kesto::ResourceMgrNoName<FakeTexMgr, FakeTex> {
 public:
  const char* dataTypeName() const override { return "FakeTex"; }
};

// Textures by name, each created on first use with its size from sizes(); the table
// keeps one reference of its own.
std::map<std::u16string, FakeTexMgr::HandleType>& textures();
std::map<std::u16string, FakeTex>& sizes();
uint32_t textureRefs(const std::u16string& name);  // references besides the table's

inline AnimHdl loadAnim(const std::string& file, const std::string& text) {
  bindtest::putFile(file, text);
  return AnimMgr::instance()->acquireByName(qcore::utf8ToUtf16(file)).handle;
}

class AnimTest : public bindtest::StateTest {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void TearDown() override;
};

}  // namespace animtest
