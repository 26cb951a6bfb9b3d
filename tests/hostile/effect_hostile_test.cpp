// EffectMgr and FxData (bound only where a device exists, so no script runner has them)
// under the same hostile arguments and selves as hostile_test.lua gives the other classes.
#include "tests/bind/effect_bind_fixture.h"
#include "tests/support/lua_hostile_args.h"

namespace {

const auto* kEnv = ::testing::AddGlobalTestEnvironment(new bindtest::Environment([](kesto::ManagerCatalogue& c) {
  c.provide(kesto::ManagerKind::effect, [] { return std::make_unique<EffectMgr>(); });
}));

class EffectHostileTest : public bindtest::EffectStateTest {
 protected:
  int passCount() const override { return 1; }
};

TEST_F(EffectHostileTest, EveryMemberSurvivesHostileArgumentsAndSelves) {
  ASSERT_EQ(run(luahostile::script("{ EffectMgr = function() return EffectMgr end,"
                                   " FxData = function() return EffectMgr:create('bind_good.fx') end }",
                                   "EffectMgr:create('bind_good.fx')",
                                   "'T', 'missing', 'bind_good.fx', EffectMgr, FxData")),
            "");
  EXPECT_GT(evalNumber("hostile_calls"), 1000);
  ASSERT_EQ(run("fx = EffectMgr:create('bind_good.fx')"), "");
  EXPECT_EQ(evalNumber("fx:set_tech('T')"), 1);
  EXPECT_TRUE(evalBool("fx:pass(1) == fx"));
}

}  // namespace
