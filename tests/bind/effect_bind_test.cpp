// The effect manager's script classes (bind step 12) over a recording device.
#include "script/bind/bind_class.h"
#include "tests/bind/effect_bind_fixture.h"

namespace {

const auto* kEnv = ::testing::AddGlobalTestEnvironment(new bindtest::Environment([](kesto::ManagerCatalogue& c) {
  c.provide(kesto::ManagerKind::effect, [] { return std::make_unique<EffectMgr>(); });
}));

using EffectBindTest = bindtest::EffectStateTest;

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
