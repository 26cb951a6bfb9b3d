// Without an audio device the sound manager is still built and every method answers silently.
#include "runtime/res/res_registry.h"
#include "scene/sound/sound_mgr.h"
#include "scene/sound/wav_cache.h"
#include "scene/sound_bind/sound_bind.h"
#include "script/bind/bind_order.h"
#include "tests/sound/sound_test_support.h"

namespace {

using namespace soundtest;

class NoDeviceTest : public SoundStateTest {
 protected:
  void TearDown() override {
    EXPECT_EQ(run("s, s3 = nil, nil collectgarbage('collect')"), "");
    SoundStateTest::TearDown();
  }
};

TEST_F(NoDeviceTest, SoundsAreMadeButStaySilent) {
  SoundMgr* m = SoundMgr::instance();
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(ResRegistry::instance().managerById(0), m);
  bindtest::putFile("t.ogg", encodeOgg(2, 22050, 3000));
  bindtest::putFile("t.wav", riff(chunk("fmt ", fmtBody(1, 1, 22050, 16)) + chunk("data", pcm16(50))));
  ASSERT_EQ(run("s = sound:load('t.ogg', true) s3 = sound:load('t.wav', false)"), "");
  EXPECT_EQ(evalNumber("s:get_nchannel()"), 2);
  EXPECT_EQ(wavCacheRefs(u"t.wav"), 1);
  ASSERT_EQ(run("s:play(2, 1.0):set_pos(QXL.vec3.new(1, 0, 0)):resume():stop()"
                " s3:play(0, 1.0):set_pan(-1) s3:alone()"),
            "");
  EXPECT_FALSE(evalBool("s:is_playing() or s3:is_playing()"));
  m->update(1.0f / 60);
  EXPECT_EQ(m->aloneCount(), 0u);
  ASSERT_EQ(run("s3 = nil collectgarbage('collect')"), "");
  EXPECT_EQ(wavCacheRefs(u"t.wav"), -1);
}

}  // namespace
