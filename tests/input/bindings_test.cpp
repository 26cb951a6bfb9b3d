// Named bindings and the controller class as scripts use them.
#include "tests/input/input_fixture.h"

namespace {

using inputtest::InputTest;
using namespace inputtest;

// The engine's managers with a stand-in in the input manager's place: each test makes
// its own ResInput.
const auto* kEnv = ::testing::AddGlobalTestEnvironment(new bindtest::Environment());

TEST_F(InputTest, ABindingTakesTheLargestLevelOfUpToThreeChannels) {
  makeKeyboardAndMouse();
  ASSERT_EQ(run("input:register('fire'):bind('fire', kb, 0x39):bind('fire', kb, 0x1E):bind('fire', ms, 6)"
                ":bind('fire', kb, 0x30)"),
            "");
  key(kSpace, true);
  tick();
  EXPECT_TRUE(evalBool("input:pressed('fire') and input:pressing('fire')"));
  // The second channel going down while the first is held does not restart the counter.
  key(kA, true);
  key(kSpace, false);
  tick();
  EXPECT_TRUE(evalBool("not input:pressed('fire') and input:pressing('fire') and not input:clicked('fire')"));
  key(kA, false);
  hub().mouseButton(0, true);  // the third pair
  tick();
  EXPECT_TRUE(evalBool("input:pressing('fire')"));
  hub().mouseButton(0, false);
  key(kB, true);  // a fourth bind was ignored
  tick();
  EXPECT_TRUE(evalBool("input:clicked('fire')"));
  tick();
  EXPECT_TRUE(evalBool("not input:clicked('fire') and not input:pressing('fire')"));
  EXPECT_FALSE(evalBool("input:pressed('nothing') or input:clicked('nothing')"));
}

TEST_F(InputTest, RepeatResetAndRemovalFromTheUpdateList) {
  makeKeyboardAndMouse();
  ASSERT_EQ(run("input:register('a'):bind('a', kb, 0x1E):bind('a', kb, 0x1E):register('b'):bind('b', kb, 0x1E):rbind('b', 20, 3)"
                ":rbind('ghost', 1, 1)"),
            "");
  EXPECT_EQ(input->binding("ghost"), nullptr);
  key(kA, true);
  std::vector<int> repA, repB;
  for (int t = 1; t <= 33; ++t) {
    tick();
    if (evalBool("input:repeated('a')")) repA.push_back(t);
    if (evalBool("input:repeated('b')")) repB.push_back(t);
  }
  EXPECT_EQ(repA, std::vector<int>{1});
  EXPECT_EQ(repB, (std::vector<int>{25, 29, 33}));
  // reset: clicked now, and a new press on the next tick while the key is down.
  ASSERT_EQ(run("input:reset('a')"), "");
  EXPECT_TRUE(evalBool("input:clicked('a') and not input:pressing('a')"));
  tick();
  EXPECT_TRUE(evalBool("input:pressed('a')"));
  // Out of the update list the keyboard keeps its last level; each binding loses only
  // its first pair naming it.
  ASSERT_EQ(run("input:bind('b', ms, 6):bind('b', kb, 0x30):remove_upd(kb)"), "");
  ASSERT_EQ(input->binding("b")->count, 2);
  EXPECT_EQ(input->binding("a")->count, 1);
  EXPECT_EQ(input->binding("b")->pairs[0].channel, 6);
  EXPECT_EQ(input->binding("b")->pairs[1].channel, 0x30);
  key(kA, false);
  tick();
  EXPECT_TRUE(evalBool("input:pressing('a') and kb:get_value(0x1E) == 100"));
  ASSERT_EQ(run("input:clear('a')"), "");
  EXPECT_EQ(input->binding("a"), nullptr);
}

TEST_F(InputTest, ControllerMethodsForwardAndCheckTheirChannels) {
  makeKeyboardAndMouse();
  key(kSpace, true);
  ASSERT_EQ(run("kb:scan():set_repeat(0, 0)"), "");
  EXPECT_TRUE(evalBool("kb:pressed(0x39) and kb:pressing(0x39) and not kb:clicked(0x39) and not kb:repeated(0x39)"));
  ASSERT_EQ(run("kb:scan()"), "");
  EXPECT_TRUE(evalBool("kb:repeated(0x39)"));
  EXPECT_EQ(evalNumber("kb:get_value(0x39)"), 100);
  EXPECT_EQ(evalNumber("kb:get_value(256) + kb:get_value(-1) + kb:get_value(1e12)"), 0);
  hub().mouseMotion(-70, 0);
  ASSERT_EQ(run("ms:scan()"), "");
  EXPECT_EQ(evalNumber("ms:get_axis(0)"), -70);
  // Inactive: the device is let go and its polls read nothing.
  ASSERT_EQ(run("kb:active(false):scan()"), "");
  EXPECT_TRUE(evalBool("kb:clicked(0x39)"));
  ASSERT_EQ(run("kb:active(true):scan()"), "");
  EXPECT_TRUE(evalBool("kb:pressed(0x39)"));
}

}  // namespace

namespace {

// The cursor outside the window reads as the nearest edge; the system values' defaults.
TEST_F(InputTest, CursorPositionsClampToTheWindowOnEverySideAndSystemValuesDefault) {
  hub().setClientSize(320, 240);
  const struct {
    int32_t x, y, wantX, wantY;
  } cases[] = {
      {100, 50, 100, 50}, {-40, 50, 0, 50}, {400, 50, 320, 50}, {100, -7, 100, 0}, {100, 900, 100, 240},
      {-1, -1, 0, 0},     {321, 241, 320, 240},
  };
  for (const auto& c : cases) {
    hub().cursorAt(c.x, c.y);
    EXPECT_EQ(run("x, y = input:get_cspos()"), "");
    EXPECT_EQ(evalNumber("x"), c.wantX) << c.x << "," << c.y;
    EXPECT_EQ(evalNumber("y"), c.wantY) << c.x << "," << c.y;
  }
  // Without a desktop to ask, the system values are the defaults, in 16 ms frames.
  EXPECT_EQ(run("d, s, c = input:getkeybddelay(), input:getkeybdspeed(), input:getcaretblink()"), "");
  EXPECT_EQ(evalNumber("d * 10000 + s * 100 + c"), 31 * 10000 + 2 * 100 + 33);
}

}  // namespace
