// The animator: frames, loops, queue, the events a game object hears, flips, hostile steps.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "scene/anim/animator.h"
#include "script/bind/bind_class.h"
#include "script/gobj/gobj_bind.h"
#include "script/lua/stack_readers.h"
#include "tests/anim/anim_fixture.h"

namespace animtest {
namespace {

// Ticks per frame: "four" 2, "fast" 1, "zero" 0 (one negative), "two" 1. Frames 32 wide.
constexpr const char* kPlay = R"({
  "texture": "sheet.png",
  "rect": {"rect": [0, 0, 256, 64], "nwidth": 8, "nheight": 2, "frame": 4},
  "hotspot": [4, 6],
  "delay": 2,
  "slot": {
    "four": {"tag": [2, "t2"]},
    "fast": {"delay": 1, "tag": [1, "f1", 2, "f2"]},
    "zero": {"delay": [0, -5, 0], "rect": [0, 0, 8, 8, 8, 0, 16, 8, 16, 0, 24, 8], "tag": [1, "z1"]},
    "two": {"delay": 1, "rect": {"rect": [0, 0, 64, 32], "nwidth": 2, "nheight": 1, "frame": 2}}
  }
})";

Animator* gCurrent = nullptr;

class AnimatorTest : public AnimTest {
 protected:
  void SetUp() override {
    AnimTest::SetUp();
    ASSERT_TRUE(qxbind::bindClass(L, gobjBinding()));
    anim_ = loadAnim("play.spr", kPlay);
    ASSERT_TRUE(anim_.value);
    gCurrent = &a_;
    lua_register(L, "clearAnimator", [](lua_State*) {
      gCurrent->clear();
      return 0;
    });
    lua_register(L, "updateAnimator", [](lua_State* L) {
      gCurrent->update(static_cast<float>(lua_tonumber(L, 1)));
      return 0;
    });
    ASSERT_EQ(run(R"(
      Recv = QXL.gobj_class()
      got = {}
      function Recv:recvmsg(zero, name, id, tag)
        got[#got + 1] = name .. ":" .. tostring(id) .. (tag and (":" .. tag) or "")
        if onmsg then onmsg(name, tag) end
      end
      obj = Recv.new(0)
    )"),
              "");
    eval("obj");
    gobj_ = getHandleAt(L, -1);
    lua_pop(L, 1);
    a_.init(anim_.value, 7);
    a_.setCallback(gobj_);
  }
  void TearDown() override {
    a_.init(0, 0);
    anim_.reset();
    AnimTest::TearDown();
  }
  std::string events() {
    std::string s = evalString("table.concat(got, ' ')");
    run("got = {}");
    return s;
  }
  void step(float dt = 1.0f / 60) { a_.update(dt); }
  // A fresh queue holding slot alone, started.
  void play(const char* slot, int32_t loops) {
    a_.clear();
    EXPECT_TRUE(a_.add(slot, loops)) << slot;
    a_.start();
  }

  AnimHdl anim_;
  uint32_t gobj_ = 0;
  Animator a_;
};

TEST_F(AnimatorTest, PlaysFramesByTicksAndEndsOnTheLastFrame) {
  ASSERT_TRUE(a_.add("four", 0));
  step();
  EXPECT_EQ(a_.frame(), 0);  // added but not started
  a_.start();
  std::vector<int32_t> frames;
  AnimFrameInfo f;
  for (int i = 0; i < 7; ++i) {
    step();
    frames.push_back(a_.frame());
    a_.getFrameRect(f);  // as the widget does when it is drawn
  }
  EXPECT_EQ(frames, (std::vector<int32_t>{0, 1, 1, 2, 2, 3, 3}));
  EXPECT_EQ(events(), "ANIM_TAG:7:t2");
  step();
  EXPECT_EQ(events(), "ANIM_END:7");
  EXPECT_FALSE(a_.isActive());
  EXPECT_EQ(a_.queued(), 0u);

  // Stopped on the last frame of "four": what the widget shows.
  ASSERT_TRUE(a_.getFrameRect(f));
  EXPECT_EQ(std::vector<float>({f.u0, f.u1, float(f.width), float(f.height), float(f.hotspotX), float(f.hotspotY)}),
            std::vector<float>({0.375f, 0.5f, 32, 32, 4, 6}));

  // A slot added after the run-out starts at frame 0.
  ASSERT_TRUE(a_.add("two", 0));
  EXPECT_EQ(a_.frame(), 0);
}

TEST_F(AnimatorTest, LoopsAndQueuedSlotsPlayInOrder) {
  ASSERT_TRUE(a_.add("fast", 1));  // twice
  ASSERT_TRUE(a_.add("two", 0));
  EXPECT_FALSE(a_.add("nothing", 0));
  EXPECT_EQ(a_.queued(), 2u);
  a_.start();
  for (int i = 0; i < 7; ++i) step();  // first pass done, second pass at frame 3
  EXPECT_EQ(events(), "ANIM_TAG:7:f1 ANIM_TAG:7:f2 ANIM_TAG:7:f1 ANIM_TAG:7:f2");
  EXPECT_EQ(a_.frame(), 3);
  step(2.0f / 60);  // ends the pass and runs into "two", frame 1, within the same update
  EXPECT_EQ(a_.queued(), 1u);
  EXPECT_EQ(a_.frame(), 1);
  AnimFrameInfo f;
  ASSERT_TRUE(a_.getFrameRect(f));
  EXPECT_FLOAT_EQ(f.u0, 0.125f);  // second cell of "two"
  step();
  EXPECT_EQ(events(), "ANIM_END:7");

  // Endless: never ends.
  play("two", -1);
  for (int i = 0; i < 50; ++i) step();
  EXPECT_TRUE(a_.isActive());
  EXPECT_EQ(events(), "");
  a_.stop();
  const int32_t at = a_.frame();
  step(1.0f);
  EXPECT_EQ(a_.frame(), at);
  a_.clear();
  a_.start();  // empty queue: stays stopped
  EXPECT_FALSE(a_.isActive());
}

TEST_F(AnimatorTest, ZeroDelaysAndHostileStepsStayBounded) {
  play("zero", -1);  // every frame 0 ticks, endless
  step();
  EXPECT_EQ(events(), "ANIM_TAG:7:z1");  // one pass per update
  for (float dt : {0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(), 1e30f}) {
    step(dt);
    EXPECT_EQ(events(), "ANIM_TAG:7:z1") << dt;
  }
  play("zero", 0);
  step(0);  // zero-tick frames pass even in a zero step
  EXPECT_EQ(events(), "ANIM_TAG:7:z1 ANIM_END:7");

  // A huge step over a slot with real delays ends in bounded time.
  play("four", -1);
  step(1e30f);
  EXPECT_TRUE(a_.isActive());
  EXPECT_LT(a_.frame(), 4);
}

// Rows a hostile file can hold: counts and delays at their limits, negative values.
constexpr const char* kHostile = R"({
  "texture": "sheet.png",
  "rect": {"rect": [0, 0, 256, 64], "nwidth": 8, "nheight": 2, "frame": 2147483647},
  "delay": 0,
  "slot": {
    "huge": {},
    "long": {"delay": 2147483647, "rect": {"rect": [0, 0, 64, 32], "nwidth": 2, "nheight": 1, "frame": 2}},
    "neg": {"delay": -7, "rect": {"rect": [0, 0, 64, 32], "nwidth": -2, "nheight": -1, "frame": -3}},
    "tagged": {"delay": [0, 0, 1], "rect": {"rect": [0, 0, 64, 32], "nwidth": 2, "nheight": 1, "frame": 3},
               "tag": [1, "z", 1, "shadowed"]}
  }
})";

TEST_F(AnimatorTest, HostileRowsEnterAtMostTheCapPerUpdate) {
  AnimHdl hostile = loadAnim("hostile.spr", kHostile);
  ASSERT_TRUE(hostile.value);
  a_.init(hostile.value, 7);
  a_.setCallback(gobj_);
  constexpr int32_t cap = Animator::kMaxInstantFrames;
  struct Case {
    const char* slot;
    int32_t loops;
    float dt;
    int32_t frame1, frame2;  // after the first and the second update
    int32_t entered;         // frames the first update entered
    int32_t instant;         // of them without time passing
    const char* events;      // of the first update
  } cases[] = {
      {"huge", 0, 1.0f / 60, cap, 2 * cap, cap, cap, ""},
      {"huge", -1, 0.0f, cap, 2 * cap, cap, cap, ""},  // never returned once
      {"long", -1, 1e30f, 0, 0, 0, 0, ""},
      {"neg", 0, 1.0f / 60, 0, 0, 0, 1, "ANIM_END:7"},
      {"tagged", -1, 1.0f / 60, 2, 2, 5, 4, "ANIM_TAG:7:z ANIM_TAG:7:z"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.slot) + " loops " + std::to_string(c.loops));
    play(c.slot, c.loops);
    events();
    step(c.dt);
    EXPECT_EQ(a_.frame(), c.frame1);
    EXPECT_EQ(a_.instantFrames(), c.instant);
    EXPECT_EQ(a_.enteredFrames(), c.entered);
    EXPECT_EQ(events(), c.events);
    step(c.dt);
    EXPECT_EQ(a_.frame(), c.frame2);
  }
}

TEST_F(AnimatorTest, FlipsMirrorTheRectangleAndHotspot) {
  ASSERT_TRUE(a_.add("four", 0));
  AnimFrameInfo plain, flipped;
  ASSERT_TRUE(a_.getFrameRect(plain));
  a_.setFlip(true, false);
  ASSERT_TRUE(a_.getFrameRect(flipped));
  EXPECT_EQ(flipped.hotspotX, 28);
  EXPECT_EQ(flipped.hotspotY, 6);
  EXPECT_FLOAT_EQ(flipped.u0, plain.u1);
  EXPECT_FLOAT_EQ(flipped.v0, plain.v0);
  a_.setFlip(false, true);
  ASSERT_TRUE(a_.getFrameRect(flipped));
  EXPECT_EQ(flipped.hotspotY, 26);
  EXPECT_FLOAT_EQ(flipped.v1, plain.v0);
  EXPECT_EQ(flipped.texture.value, plain.texture.value);
}

TEST_F(AnimatorTest, HandlersThatChangeTheAnimatorEndTheUpdate) {
  play("fast", -1);
  ASSERT_EQ(run("onmsg = function(name, tag) if tag == 'f1' then clearAnimator() end end"), "");
  step(0.05f);
  EXPECT_EQ(events(), "ANIM_TAG:7:f1");  // f2 never entered
  EXPECT_FALSE(a_.isActive());

  // A handler that steps the animator itself: the outer update stops where that one left.
  play("fast", 0);
  ASSERT_EQ(run("onmsg = function(name, tag) if tag == 'f1' then updateAnimator(0.05) end end"), "");
  step(0.05f);
  EXPECT_EQ(events(), "ANIM_TAG:7:f1 ANIM_TAG:7:f2 ANIM_END:7");
  EXPECT_EQ(a_.frame(), 3);

  // A failing handler ends only itself.
  play("two", 0);
  ASSERT_EQ(run("onmsg = function() error('handler broke') end"), "");
  step(0.05f);
  EXPECT_EQ(events(), "ANIM_END:7");
  EXPECT_FALSE(a_.isActive());
}

TEST_F(AnimatorTest, WithoutALoadedAnimationItShowsNothing) {
  AnimHdl broken = loadAnim("empty.spr", "not json");
  for (uint32_t h : {0u, broken.value, gobj_}) {
    Animator a;
    a.init(h, 1);
    EXPECT_FALSE(a.add("four", 0));
    a.start();
    a.update(1);
    AnimFrameInfo f;
    EXPECT_FALSE(a.getFrameRect(f));
    float w = 1, hgt = 1;
    a.getSize(w, hgt);
    EXPECT_EQ(w + hgt, 0.0f);
  }
}

}  // namespace
}  // namespace animtest
