// The bind order: its table, how subsystems fill in their steps, and a run.
#include "script/bind/bind_order.h"
#include "script/gobj/gobj_bind.h"
#include "tests/bind/bind_test_support.h"

namespace {

using bindtest::StateTest;
using qxbind::BindKind;
using qxbind::BindOrder;

TEST(BindOrderProvide, AcceptsOnlyTheClassesAndKindsOfItsSteps) {
  BindOrder order;
  EXPECT_FALSE(order.provide(bindtest::widgetBinding()));  // no step binds it
  EXPECT_TRUE(order.provide(gobjBinding()));
  EXPECT_TRUE(order.isProvided(9));
  EXPECT_FALSE(order.isProvided(10));
  // Right name, wrong kind.
  EXPECT_FALSE(order.provide(qxbind::objectBinding(qxbind::objectClass<bindtest::Panel>("HUDText3D", nullptr))));
  // Right derived class over the wrong base.
  EXPECT_FALSE(order.provide(qxbind::derivedBinding<bindtest::FancyWidget, bindtest::Widget>(
      qxbind::objectClass<bindtest::FancyWidget>("HUDText3D", nullptr),
      qxbind::objectClass<bindtest::Widget>("NotHUDText", nullptr))));
  EXPECT_FALSE(order.isProvided(21));
}

class BindOrderRun : public StateTest {
 protected:
  void runOrder(const BindOrder& order, int expected) {
    // Steps take the state's lock themselves, as at start-up.
    policy_->unlock();
    EXPECT_EQ(order.run(state_), expected);
    L = policy_->lock();
  }
};

TEST_F(BindOrderRun, ScriptBaseOfTheTableIsRequiredAndAFailingStepDoesNotStopTheRest) {
  BindOrder order;
  // A stand-in for the service client class, bound over a test type.
  ASSERT_TRUE(order.provide(qxbind::objectBinding(qxbind::objectClass<bindtest::Panel>(
      "TwiAPI", [](qxbind::ClassTable& t) { t.field<&bindtest::Panel::width>("width"); }))));
  ASSERT_TRUE(order.provide(gobjBinding()));
  // The script library ships a module "TwiAPI"; one that fails to load skips the step.
  bindtest::putFile("TwiAPI.lua", "error('no client module')\n");
  runOrder(order, 1);
  EXPECT_TRUE(evalBool("QXMGRMT[7] == Gobj and GobjMgr.fvt_b.newGobj == false"));
  EXPECT_TRUE(evalBool("QXMEMMT == nil or QXMEMMT.TwiAPI == nil"));

  ASSERT_EQ(run("package.loaded.TwiAPI = nil"), "");  // require keeps its mark of the failed load
  bindtest::putFile("TwiAPI.lua", "TwiAPI = { kind = function(self) return 'client' end }\n");
  runOrder(order, 2);
  EXPECT_TRUE(evalBool("QXMEMMT.TwiAPI == TwiAPI"));
  ASSERT_EQ(run("c = TwiAPI.new() c.width = 4"), "");
  EXPECT_EQ(evalString("c:kind()"), "client");
  EXPECT_EQ(evalNumber("c.width"), 4);
  std::filesystem::remove(bindtest::tempDir() / "TwiAPI.lua");
}

}  // namespace
