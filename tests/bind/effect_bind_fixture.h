// A script state with the effect classes bound (bind step 12) over a recording device,
// and "bind_good.fx" in the mounted folder. Tests that need it register the effect
// manager through bindtest::Environment.
#pragma once
#include "platform/gfx/device.h"
#include "render/device/device_mgr.h"
#include "render/effect/effect_mgr.h"
#include "render/effect_bind/effect_bind.h"
#include "script/bind/bind_order.h"
#include "tests/bind/bind_test_support.h"

namespace bindtest {

class EffectStateTest : public StateTest {
 protected:
  // The passes of technique "T" in "bind_good.fx".
  virtual int passCount() const { return 2; }

  void SetUp() override {
    StateTest::SetUp();
    rec = qxgfx::createRecordingDevice(16, 16);
    devices.adopt(rec);
    std::string fx = R"fx(
vertex_shader v %{ void main() { gl_Position = vec4(0.0); } %}
fragment_shader f %{ void main() { qx_Color = vec4(1.0); } %}
technique T {)fx";
    for (int i = 0; i < passCount(); ++i) fx += " pass { VertexShader = v; FragmentShader = f; }";
    fx += " }\n";
    putFile("bind_good.fx", fx);
    qxbind::BindOrder order;
    ASSERT_TRUE(order.provide(effectBinding()));
    policy_->unlock();
    EXPECT_EQ(order.run(state_), 1);
    L = policy_->lock();
  }
  void TearDown() override {
    lua_settop(L, 0);
    ASSERT_EQ(run("fx = nil collectgarbage('collect')"), "");
    StateTest::TearDown();
    devices.release();
  }

  DeviceMgr devices;
  qxgfx::Ref<qxgfx::RecordingDevice> rec;
};

}  // namespace bindtest
