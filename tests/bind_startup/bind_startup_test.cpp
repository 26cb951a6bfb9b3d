// The program's start-up binds the engine classes in the order of the bind table: the
// main script (which runs before the binding) watches new globals and reports the order
// in which the class tables appeared.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "program/main/engine_singletons.h"
#include "program/main/script_setup.h"
#include "runtime/res/catalogue.h"
#include "script/bind/bind_order.h"
#include "tests/main/engine_fixture.h"

namespace {

using maintest::EngineTest;
using qxbind::BindOrder;

const char* kMain = R"(
require("QXL")
local seen = {}
setmetatable(_G, {__newindex = function(t, k, v) seen[#seen + 1] = k rawset(t, k, v) end})
function main()
  setmetatable(_G, nil)
  for _, k in ipairs(seen) do record('global', tostring(k)) end
  coroutine.yield(false)
end
)";

// The class each step binds, in table order, for the steps the program provides.
std::vector<std::string> providedClasses(int* missing) {
  BindOrder order;
  provideEngineBindings(order);
  std::vector<std::string> out;
  *missing = 0;
  for (int n = 1; n <= BindOrder::kStepCount; ++n) {
    if (order.isProvided(n)) {
      out.push_back(BindOrder::step(n).className);
    } else {
      ++*missing;
    }
  }
  return out;
}

TEST_F(EngineTest, StartUpBindsTheProvidedClassesInTableOrder) {
  int missing = 0;
  const std::vector<std::string> expected = providedClasses(&missing);
  writeMain(kMain);
  const EngineRunReport report = run();
  ASSERT_EQ(report.exitCode(), 0) << report.failureText;

  // First appearance of each step's class among the new globals.
  std::vector<std::string> bound;
  for (const maintest::Record& r : recordsOf("global")) {
    if (r.size() < 2) continue;
    const qxbind::BindStep* s = BindOrder::stepOf(r[1]);
    if (s && r[1] == s->className && std::find(bound.begin(), bound.end(), r[1]) == bound.end()) bound.push_back(r[1]);
  }
  EXPECT_EQ(bound, expected);
  EXPECT_EQ(missing, 0) << "every step of the bind table is provided by the program";
}

TEST(StartUpManagers, NoManagerIsAStandIn) {
  kesto::ManagerCatalogue managers;
  provideEngineManagers(managers);
  ASSERT_TRUE(managers.constructAll());
  for (size_t i = 0; i < kesto::ManagerCatalogue::kCount; ++i)
    EXPECT_FALSE(managers.isStandIn(static_cast<kesto::ManagerKind>(i))) << "manager id " << i;
  managers.destroyAll();
}

}  // namespace
