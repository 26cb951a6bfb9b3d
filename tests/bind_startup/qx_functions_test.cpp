// Each "QX" function, called in the running program with arguments of the kinds its
// declaration gives, runs without a script error and gives results of the declared kinds;
// the live "QX" table holds exactly the declared functions.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "tests/main/engine_fixture.h"
#include "tools/script_api/api_model.h"

namespace {

using maintest::EngineTest;

// A Lua value of the kind, as an expression over the prepared locals.
std::string valueOf(const std::string& kind) {
  if (kind == "string") return "'x'";
  if (kind == "integer" || kind == "number") return "1";
  if (kind == "boolean") return "true";
  if (kind == "table") return "{}";
  if (kind == "QXInteger") return "uid";
  if (kind == "object" || kind == "userdata") return "obj";
  return "";
}

// Lua quoting for the declaration texts.
std::string quoted(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += (c == '\'' || c == '\\') ? std::string("\\") + c : std::string(1, c);
  return out + "'";
}

// Checks a call's results against "a or b, c or d" ("nothing": no result there).
const char* kChecker = R"(
local luaType = {string = 'string', integer = 'number', number = 'number', boolean = 'boolean',
  table = 'table', object = 'userdata', QXInteger = 'userdata', ['nil'] = 'nil'}
local function split(text, sep)
  local out = {}
  for part in (text .. sep):gmatch('(.-)' .. sep) do out[#out + 1] = part:match('^%s*(.-)%s*$') end
  return out
end
function checkResults(name, declared, ok, ...)
  if not ok then record('qx', name, 'error: ' .. tostring((...))) return end
  local n = select('#', ...)
  local slots = declared == 'nothing' and {} or split(declared, ',')
  if n > #slots then record('qx', name, n .. ' results for ' .. #slots) return end
  for i = 1, #slots do
    local allowed, absentOk = {}, false
    for _, alt in ipairs(split(slots[i], ' or ')) do
      if alt == 'nothing' then absentOk = true end
      allowed[luaType[alt] or alt] = true
    end
    if i > n then
      if not absentOk then record('qx', name, 'result ' .. i .. ' missing') return end
    elseif not allowed[type((select(i, ...)))] then
      record('qx', name, 'result ' .. i .. ' is a ' .. type((select(i, ...)))) return
    end
  end
  record('qx', name, 'ok')
end
)";

TEST_F(EngineTest, EveryQXFunctionTakesItsDeclaredKindsAndGivesItsDeclaredResults) {
  std::vector<std::string> problems;
  const std::vector<scriptapi::FunctionApi> functions = scriptapi::qxFunctions(problems);
  EXPECT_TRUE(problems.empty()) << problems.front();
  ASSERT_FALSE(functions.empty());

  std::string main = std::string("require('QXL')\n") + kChecker +
                     "function main()\n"
                     "  local obj = QX.createAux('RectInfo', false)\n"
                     "  local uid = QX.GetUID('qx_functions_test')\n"
                     "  for k, v in pairs(QX) do if type(v) == 'function' then record('live', k) end end\n";
  for (const scriptapi::FunctionApi& f : functions) {
    std::string args;
    for (const scriptapi::ArgDoc& a : f.args) {
      const std::string v = valueOf(a.kind);
      ASSERT_FALSE(v.empty()) << "QX." << f.name << ": no test value for kind " << a.kind;
      args += (args.empty() ? "" : ", ") + v;
    }
    main += "  checkResults(" + quoted(f.name) + ", " + quoted(f.results) + ", pcall(QX." + f.name + ", " +
            (args.empty() ? "nil" : args) + "))\n";
  }
  main += "  coroutine.yield(false)\nend\n";
  writeMain(main);
  const EngineRunReport report = run();
  ASSERT_EQ(report.exitCode(), 0) << report.failureText;

  std::set<std::string> declared, live, called;
  for (const scriptapi::FunctionApi& f : functions) declared.insert(f.name);
  for (const maintest::Record& r : recordsOf("live")) live.insert(r.at(1));
  EXPECT_EQ(live, declared);
  for (const maintest::Record& r : recordsOf("qx")) {
    ASSERT_EQ(r.size(), 3u);
    called.insert(r[1]);
    EXPECT_EQ(r[2], "ok") << "QX." << r[1];
  }
  EXPECT_EQ(called, declared);
}

}  // namespace
