// The binding tests' engine with texture and animation managers; sheets "sheet.png" 256x64, "other.png" 128x32.
#pragma once
#include <string>

#include "runtime/res/hdl_lock.h"
#include "scene/anim/anim_mgr.h"
#include "scene/anim/anim_texture.h"
#include "tests/bind/bind_test_support.h"

namespace animtest {

// References to the named texture (0 when it is not loaded).
uint32_t textureRefs(const std::u16string& name);

inline AnimHdl loadAnim(const std::string& file, const std::string& text) {
  bindtest::putFile(file, text);
  return AnimMgr::instance()->acquireByName(qcore::utf8ToUtf16(file)).handle;
}

class AnimTest : public bindtest::StateTest {
 protected:
  static void SetUpTestSuite();
};

}  // namespace animtest
