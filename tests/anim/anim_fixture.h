// Shared set-up of the animation tests: the binding tests' engine (scripts, game
// objects) with the texture and animation managers in their catalogue places, and two
// sprite sheets: "sheet.png" 256 x 64 and "other.png" 128 x 32.
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
