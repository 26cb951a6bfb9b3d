// 3D positions as the listener hears them, top vectors, and following game objects.
#include <cmath>

#include "runtime/res/hdl_lock.h"
#include "scene/sound/ifs_dim.h"
#include "scene/sound/sound_mgr.h"
#include "script/gobj/gobj_mgr.h"
#include "tests/sound/sound_test_support.h"

namespace {

const qxaudio::Positioner& positioner() {
  static const qxaudio::Positioner p(qxaudio::kSpeakerStereo, qxaudio::kSpeedOfSound);
  return p;
}

// The levels of a 3D sound placed at pos, from channels source channels.
std::vector<float> levelsAt(Vec3 pos, uint32_t channels = 1, Vec3 dir = {0, 0, 1}) {
  IFSound3D d;
  d.set_pos(pos);
  d.set_dir(dir);
  d.update(nullptr, channels, qxaudio::kOutputChannels, positioner(), qxaudio::Listener());
  return d.matrix();
}

TEST(Positioning, LevelsAreFiniteAndLouderOnTheNearSide) {
  const std::vector<float> right = levelsAt({5, 0, 0});
  const std::vector<float> left = levelsAt({-5, 0, 0});
  ASSERT_EQ(right.size(), 2u);
  EXPECT_GT(right[1], right[0]);
  EXPECT_GT(left[0], left[1]);
  EXPECT_GT(levelsAt({0, 0, 2})[0], levelsAt({0, 0, 20})[0]);
  struct Case {
    const char* name;
    Vec3 pos;
    uint32_t channels;
    Vec3 dir;
  } cases[] = {{"at the listener", {0, 0, 0}, 1, {0, 0, 1}},
               {"six channels", {0, 0, 4}, 6, {1, 0, 0}},
               {"zero direction", {1, 0, 1}, 2, {0, 0, 0}},
               {"direction not finite", {1, 0, 1}, 1, {NAN, 0, 0}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<float> m = levelsAt(c.pos, c.channels, c.dir);
    EXPECT_EQ(m.size(), c.channels * qxaudio::kOutputChannels);
    for (float v : m) EXPECT_TRUE(std::isfinite(v));
  }
}

TEST(Positioning, ChannelCountsOutsideTheMixersRangeAreRefused) {
  struct Case {
    uint32_t channels, outputs;
    bool ok;
  } cases[] = {{0, 2, false}, {8, 2, true}, {9, 2, false}, {1, 1, false}, {1, 3, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.channels) + " to " + std::to_string(c.outputs));
    qxaudio::Emitter e;
    e.channelCount = c.channels;
    std::vector<float> m(32, -1.0f);
    float doppler = -1.0f;
    EXPECT_EQ(positioner().calculate(qxaudio::Listener(), e, qxaudio::kCalculateMatrix, c.outputs, m.data(), &doppler),
              c.ok);
    EXPECT_EQ(doppler == -1.0f, !c.ok);
  }
}

class FollowTest : public bindtest::StateTest {};

TEST_F(FollowTest, EmittersAndTheListenerFollowGameObjects) {
  GobjHdl g = GobjMgr::instance()->newGobj(0);
  ASSERT_FALSE(g.isNull());
  {
    kesto::HdlLock<GobjHdl> o(g);
    o->_pos = {3, 0, 0};
    o->vel = {0, 0, 1};
  }
  IFSound3D d;
  d.set_gobj(g.value);
  d.update(nullptr, 1, qxaudio::kOutputChannels, positioner(), qxaudio::Listener());
  EXPECT_EQ(d.emitter().position.x, 3.0f);
  EXPECT_EQ(d.emitter().velocity.z, 1.0f);
  EXPECT_GT(d.matrix()[1], d.matrix()[0]);

  SoundMgr& m = *SoundMgr::instance();
  {
    kesto::HdlLock<GobjHdl> o(g);
    o->_pos = {0, 2, 0};
    o->_dir = {0, 0, 5};
  }
  m.setListenerGobj(g.value);
  m.update(1.0f / 60);
  EXPECT_EQ(m.listener().top.x, 1.0f);
  d.update(nullptr, 1, qxaudio::kOutputChannels, positioner(), qxaudio::Listener());
  g.reset();  // the game object goes: the emitter keeps its last place
  d.update(nullptr, 1, qxaudio::kOutputChannels, positioner(), qxaudio::Listener());
  EXPECT_EQ(d.emitter().position.y, 2.0f);
  m.setListenerGobj(0);
}

}  // namespace
