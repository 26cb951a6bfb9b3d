// A fresh input manager per test over a hub the test feeds (no window), with a script
// state in which "input" and "RIData" are bound.
#pragma once
#include <string>

#include "app/input/input_bind.h"
#include "app/input/res_input.h"
#include "script/bind/bind_order.h"
#include "tests/bind/bind_test_support.h"

namespace inputtest {

// Scan codes used below.
constexpr uint8_t kA = 0x1E, kB = 0x30, kC = 0x2E, kX = 0x2D, kY = 0x15, kSpace = 0x39;
constexpr uint8_t kLShift = 0x2A, kLCtrl = 0x1D, kEnter = 0x1C, kEscape = 0x01, kPadEnter = 0x9C, kUp = 0xC8;

class InputTest : public bindtest::StateTest {
 protected:
  void SetUp() override {
    input = std::make_unique<ResInput>();
    bindtest::StateTest::SetUp();
    qxbind::BindOrder order;
    ASSERT_TRUE(order.provide(inputBinding()));
    policy_->unlock();
    EXPECT_EQ(order.run(state_), 1);
    L = policy_->lock();
  }
  void TearDown() override {
    lua_settop(L, 0);
    bindtest::StateTest::TearDown();
    input.reset();
  }

  qxinput::InputHub& hub() { return input->hub(); }
  void tick(int n = 1) {
    for (int i = 0; i < n; ++i) input->update(1.0f / 60.0f);
  }
  void key(uint8_t scan, bool down) { hub().keyEvent(scan, down); }
  void type(uint8_t scan) {
    key(scan, true);
    key(scan, false);
  }
  // Makes kb (keyboard) and ms (mouse) in the script, both polled every tick.
  void makeKeyboardAndMouse() {
    ASSERT_EQ(run("kb = input:create(input:enum('keyboard')[1].guid, false)\n"
                  "ms = input:create(input:enum('mouse')[1].guid, false)\n"
                  "input:entry_upd(kb):entry_upd(ms)"),
              "");
  }

  std::unique_ptr<ResInput> input;
};

}  // namespace inputtest
