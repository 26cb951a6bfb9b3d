// The program's start-up binds the engine classes in the order of the bind table: the
// main script (which runs before the binding) watches new globals and reports the order
// in which the class tables appeared.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "program/main/engine_singletons.h"
#include "program/main/script_setup.h"
#include "runtime/res/catalogue.h"
#include "script/bind/bind_order.h"
#include "tests/main/engine_fixture.h"
#include "tools/script_api/api_model.h"

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

// Every class table's own (not inherited) entries, and which class each manager id's
// objects get.
const char* kTablesMain = R"(
require("QXL")
function main()
  for k, v in pairs(_G) do
    if type(k) == 'string' and type(v) == 'table' and rawget(v, 'fvt_b') then
      for _, t in ipairs({'fvt_hdl', 'fvt_ptr'}) do
        for name in pairs(rawget(v, t)) do
          record('entry', k, t, name, tostring(rawget(rawget(v, 'fvt_b'), name)))
        end
      end
    end
  end
  for id, cls in pairs(QXMGRMT or {}) do record('manager', tostring(id), tostring(cls.name)) end
  coroutine.yield(false)
end
)";

using Entries = std::map<std::string, std::set<std::string>>;  // "class fvt_x" -> "name field?"

TEST_F(EngineTest, EveryBoundClassHasTheEntriesAndManagerIdTheGeneratorKnows) {
  Entries expected;
  std::map<std::string, std::string> expectedManagers;
  for (const scriptapi::StepApi& s : scriptapi::apiModel()) {
    ASSERT_TRUE(s.provided) << s.className;
    for (const scriptapi::ClassApi& c : s.classes) {
      std::set<std::string> names;
      for (const qxbind::EntryDesc& e : c.entries) {
        const std::string line = e.name + (e.field ? " true" : " false");
        // A name registered twice would be documented twice but bound once.
        EXPECT_TRUE(names.insert(line).second) << c.name << "." << e.name << " registered twice";
      }
      // A base bound again for a second derived class binds the same entries.
      auto [at, fresh] = expected.emplace(c.name + (c.pointer ? " fvt_ptr" : " fvt_hdl"), names);
      if (!fresh) {
        EXPECT_EQ(at->second, names) << c.name;
      }
      if (c.role == "resource") expectedManagers[std::to_string(c.managerId)] = c.name;
    }
  }
  writeMain(kTablesMain);
  const EngineRunReport report = run();
  ASSERT_EQ(report.exitCode(), 0) << report.failureText;

  Entries live;
  for (const maintest::Record& r : recordsOf("entry")) {
    ASSERT_EQ(r.size(), 5u);
    live[r[1] + " " + r[2]].insert(r[3] + " " + r[4]);
  }
  // Each documented class, with exactly its documented entries in the table they are in;
  // classes the program binds beyond the generator's steps do not count.
  for (const auto& [table, names] : expected) EXPECT_EQ(live[table], names) << table;
  for (const auto& [table, names] : live) {
    const std::string cls = table.substr(0, table.find(' '));
    const bool known = expected.count(cls + " fvt_ptr") || expected.count(cls + " fvt_hdl");
    if (known && !expected.count(table)) {
      EXPECT_TRUE(names.empty()) << table << " holds entries the generator misses";
    }
  }

  std::map<std::string, std::string> managers;
  for (const maintest::Record& r : recordsOf("manager")) {
    ASSERT_EQ(r.size(), 3u);
    managers[r[1]] = r[2];
  }
  for (const auto& [id, cls] : expectedManagers) EXPECT_EQ(managers[id], cls) << "manager id " << id;
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
