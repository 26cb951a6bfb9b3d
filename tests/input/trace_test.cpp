// The typed-key buffer and the mouse trackers, fed from the traced keyboard and mouse.
#include "app/input/key_trace.h"
#include "tests/input/input_fixture.h"

namespace {

using namespace inputtest;

class InputTraceTest : public InputTest {
 protected:
  void SetUp() override {
    InputTest::SetUp();
    makeKeyboardAndMouse();
    ASSERT_EQ(run("input:settrace(0, kb):settrace(1, ms)\n"
                  "function str(...) local t = {...} for i = 1, select('#', ...) do t[i] = tostring(t[i]) end "
                  "return table.concat(t, ',') end"),
              "");
    // Refused: a controller of the wrong kind, a kind other than 0 and 1, and nil. The
    // tests below see kb and ms still traced.
    ASSERT_EQ(run("input:settrace(0, ms):settrace(1, kb):settrace(2, kb):settrace(0, nil)"), "");
  }
  // getkeybuff as "text|code".
  std::string take() { return evalString("(function() local t, c = input:getkeybuff() return t .. '|' .. c end)()"); }
};

TEST_F(InputTraceTest, TypedKeysCarryModifiersAndStopAtStopsAndSpecialKeys) {
  type(kA);  // before the buffer is on: not collected
  EXPECT_FALSE(evalBool("input:keybuff(true)"));
  type(kA);
  key(kLShift, true);
  type(kB);
  key(kLShift, false);
  tick();
  EXPECT_EQ(input->keyBuffer().keys(), (std::vector<uint16_t>{0x61, 0x242}));
  EXPECT_EQ(take(), "aB|0");

  ASSERT_EQ(run("input:setkeystop('_c%UP')"), "");
  type(kX);
  key(kLCtrl, true);
  type(kC);
  key(kLCtrl, false);
  type(kY);
  type(kUp);
  tick();
  EXPECT_EQ(take(), "x|1");
  EXPECT_EQ(take(), "y|2");
  EXPECT_EQ(take(), "|0");

  ASSERT_EQ(run("input:setkeystop('')"), "");
  constexpr uint8_t kEnd = 0xCF, kBack = 0x0E, kDelete = 0xD3, kTab = 0x0F;
  for (uint8_t k : {kEnter, kEscape, kPadEnter, kUp, kEnd, kBack, kDelete, kTab}) type(k);
  tick();
  for (const char* want : {"|136", "|139", "|136", "|128", "|135", "|137", "|138", "\t|0"}) EXPECT_EQ(take(), want);

  // Held modifiers are read back when the buffer is switched on.
  key(kLShift, true);
  tick();
  EXPECT_TRUE(evalBool("input:keybuff(true)"));
  type(kA);
  key(kLShift, false);
  type(kA);
  tick();
  EXPECT_EQ(take(), "Aa|0");
  EXPECT_TRUE(evalBool("input:keybuff(false)"));
  type(kA);
  tick();
  EXPECT_EQ(take(), "|0");
}

TEST(InputKeyStops, SpecificationsParse) {
  struct Case {
    const char* spec;
    std::vector<int32_t> stops;
  };
  const Case cases[] = {
      {"@A|_x", {0x241, 0x578}},
      {"%PAGEUP%PAGEDOWN%LEFT%RIGHT%DOWN", {0x86, 0x87, 0x82, 0x83, 0x81}},
      {"%NOPE%", {-1, -1}},
      {"%UP9_x", {-1, 0x178}},
      {"%UPZ%UPz", {-1, -1}},  // names run over every letter and digit
      {"\xE9", {-23}},
  };
  for (const Case& c : cases) {
    qxin::KeyBuffer b;
    b.setStops(c.spec);
    EXPECT_EQ(b.stops(), c.stops) << c.spec;
  }
}

TEST_F(InputTraceTest, TrackersCountFromTheirOwnRegistrationAndWrap) {
  hub().mouseButton(1, true);
  tick();
  EXPECT_EQ(evalNumber("input:reg_mpos()"), 0);
  EXPECT_EQ(evalString("tostring(input:get_mposbtn(0, 1))"), "true");
  hub().mouseButton(1, false);
  hub().mouseButton(0, true);
  hub().mouseButton(0, false);
  tick();
  EXPECT_EQ(evalNumber("input:reg_mpos()"), 1);
  hub().mouseButton(0, true);
  hub().mouseMotion(100, -3);
  hub().mouseMotion(100, 0);
  hub().mouseWheel(-1);
  tick();
  EXPECT_EQ(evalString("str(input:get_mposbtn(0, 0))"), "true,2");
  EXPECT_EQ(evalString("str(input:get_mposbtn(0, 0))"), "true,0");
  EXPECT_EQ(evalString("str(input:get_mposbtn(1, 0))"), "true,1");
  EXPECT_EQ(evalString("str(input:get_mposaxis(1))"), "-56,-3,-120");
  EXPECT_EQ(evalString("str(input:get_mposaxis(1))"), "0,0,0");
  EXPECT_EQ(evalString("str(input:get_mposbtn(0, 8))"), "false,0");

  // Losing the mouse marks every button up; counts stay.
  hub().mouseButton(2, true);
  tick();
  hub().focus(false);
  tick();
  EXPECT_EQ(evalString("str(input:get_mposbtn(1, 2))"), "false,1");
  hub().focus(true);

  ASSERT_EQ(run("input:rem_mpos(0):rem_mpos(7)"), "");
  EXPECT_EQ(evalNumber("input:reg_mpos()"), 1);
}

}  // namespace
