// The effect manager's script classes (bind step 12) over a recording device.
#include "platform/gfx/device.h"
#include "render/device/device_mgr.h"
#include "render/effect/effect_mgr.h"
#include "render/effect_bind/effect_bind.h"
#include "script/bind/bind_class.h"
#include "script/bind/bind_order.h"
#include "tests/bind/bind_test_support.h"

namespace {

const auto* kEnv = ::testing::AddGlobalTestEnvironment(new bindtest::Environment([](kesto::ManagerCatalogue& c) {
  c.provide(kesto::ManagerKind::effect, [] { return std::make_unique<EffectMgr>(); });
}));

class EffectBindTest : public bindtest::StateTest {
 protected:
  void SetUp() override {
    bindtest::StateTest::SetUp();
    rec = qxgfx::createRecordingDevice(16, 16);
    devices.adopt(rec);
    bindtest::putFile("bind_good.fx", R"fx(
vertex_shader v %{ void main() { gl_Position = vec4(0.0); } %}
fragment_shader f %{ void main() { qx_Color = vec4(1.0); } %}
technique T { pass { VertexShader = v; FragmentShader = f; } pass { VertexShader = v; FragmentShader = f; } }
)fx");
    qxbind::BindOrder order;
    ASSERT_TRUE(order.provide(effectBinding()));
    policy_->unlock();
    EXPECT_EQ(order.run(state_), 1);
    L = policy_->lock();
  }
  void TearDown() override {
    lua_settop(L, 0);
    ASSERT_EQ(run("fx = nil collectgarbage('collect')"), "");
    bindtest::StateTest::TearDown();
    devices.release();
  }
  DeviceMgr devices;
  qxgfx::Ref<qxgfx::RecordingDevice> rec;
};

TEST_F(EffectBindTest, EffectsAreCreatedOnTheClassAndDrivenAsInstances) {
  EXPECT_TRUE(evalBool("QXMGRMT[9] == FxData and EffectMgr.fvt_b.create == false"));
  ASSERT_EQ(run("fx = EffectMgr:create('bind_good.fx')"), "");
  EXPECT_TRUE(evalBool("getmetatable(fx) == FxData.mt"));
  EXPECT_EQ(evalNumber("fx:set_tech('T')"), 2);
  EXPECT_EQ(evalNumber("fx:set_tech('missing')"), 0);
  EXPECT_TRUE(evalBool("fx:pass(1) == fx"));
  EXPECT_TRUE(evalBool("EffectMgr:create('no_such.fx') == nil"));
}

}  // namespace
