// The frame loop as the script sees it: what each resume passes, the rate of update steps,
// draws dropped but never updates, and how the loop ends.
#include <gtest/gtest.h>

#include <string>

#include "tests/main/engine_fixture.h"
#include "tests/support/alloc_count.h"

namespace {

using maintest::EngineTest;
using maintest::Record;

// Update records between the n-th draw record and the next one.
int updatesAfterDraw(const std::vector<Record>& records, size_t drawIndex) {
  size_t draws = 0;
  int updates = 0;
  for (const Record& r : records) {
    if (r[0] == "2") {
      if (draws++ == drawIndex + 1) return updates;
      continue;
    }
    if (r[0] == "1" && draws == drawIndex + 1) ++updates;
  }
  return -1;
}

TEST_F(EngineTest, UpdatesAndDrawsCarryTheirArgumentsAtSixtyStepsASecond) {
  writeMain(maintest::kRecordingMain);
  options_.stopRequested = [this] { return clock_.seconds() >= 2.0; };
  EngineRunReport report = run();

  const auto updates = recordsOf("1");
  const auto draws = recordsOf("2");
  // Two seconds of clock time: 120 steps, give or take the edges.
  EXPECT_GE(updates.size(), 118u);
  EXPECT_LE(updates.size(), 122u);
  EXPECT_GT(draws.size(), 100u);
  EXPECT_EQ(report.updateSteps, updates.size());
  EXPECT_EQ(report.draws, draws.size());
  EXPECT_TRUE(report.stopRequested);

  ASSERT_EQ(updates[0].size(), 5u);
  // The first step knows of no earlier update, draw or second.
  EXPECT_EQ(updates[0][2], "0");
  EXPECT_EQ(updates[0][3], "0");
  EXPECT_EQ(updates[0][4], "0");
  int lastFps = 0;
  for (const Record& u : updates) {
    ASSERT_EQ(u.size(), 5u);
    EXPECT_FLOAT_EQ(std::stof(u[1]), 1.0f / 60.0f);
    lastFps = std::stoi(u[4]);
  }
  // After the first whole second the count of draws in it is handed on.
  EXPECT_GE(lastFps, 50);
  EXPECT_LE(lastFps, 61);
  for (const Record& d : draws) EXPECT_EQ(d, (Record{"2", "0"}));
  // The pacer paces this loop: each frame has one update step and room for its draw.
  EXPECT_EQ(updatesAfterDraw(records_, 10), 1);

  expectEverythingEnded();
}

// Past warm-up, a frame of a script that makes no garbage allocates nothing on the
// engine's thread: the profiler's report (here with nested, shared and long-named
// sections) and the script calls' bookkeeping keep what they hold between frames.
TEST_F(EngineTest, SteadyFramesAllocateNothing) {
  writeMain(R"(
require("QXL")
function main()
  local draws = 0
  while true do
    if coroutine.yield(true) == 2 then
      draws = draws + 1
      if draws == 10 then record(QX.profStr()) end
      QX.profBegin("the script's own drawing")
      QX.profBegin("inner") QX.profEnd("inner")
      QX.profEnd("the script's own drawing")
      QX.profBegin("other") QX.profBegin("inner") QX.profEnd("inner") QX.profEnd("other")
    end
  end
end
)");
  int frames = 0;
  uint64_t allocations = 0;
  options_.stopRequested = [&] {
    if (++frames == 30) qxtest::startCountingAllocations();
    if (frames < 90) return false;
    allocations = qxtest::stopCountingAllocations();
    return true;
  };
  const EngineRunReport report = run();
  EXPECT_EQ(allocations, 0u);
  EXPECT_GE(report.draws, 80u) << "the counted frames drew";
  ASSERT_EQ(records_.size(), 1u);
  const std::string& text = records_[0][0];
  EXPECT_NE(text.find(" :       the script's own drawing\n"), std::string::npos) << text;
  EXPECT_NE(text.find("inner", text.find("-----------\n")), std::string::npos) << text;
}

TEST_F(EngineTest, ALoopBehindScheduleCatchesUpOnUpdatesAndForcesTheDraw) {
  // The tenth update stalls for 110 ms: the next frame owes six steps and draws after
  // them; a stall of seconds owes a single step.
  writeMain(R"(
function main()
  local n = 0
  local phase = coroutine.yield(true)
  while true do
    record(phase)
    if phase == 1 then
      n = n + 1
      if n == 10 then stall(110) record("stalled") end
      if n == 40 then stall(5000) record("stalled") end
    end
    phase = coroutine.yield(n < 60)
  end
end
)");
  run();
  // Find the frames that follow each stall.
  std::vector<int> after;
  for (size_t i = 0; i < records_.size(); ++i) {
    if (records_[i][0] != "stalled") continue;
    size_t j = i + 1;
    while (j < records_.size() && records_[j][0] != "2") ++j;  // the stalled frame's draw
    int updates = 0;
    for (++j; j < records_.size() && records_[j][0] != "2"; ++j) updates += records_[j][0] == "1";
    after.push_back(updates);
  }
  ASSERT_EQ(after.size(), 2u);
  EXPECT_EQ(after[0], 6);
  EXPECT_EQ(after[1], 1);
}

// How a run ends: what `main` did, the frames run, the last call's status and what is shown.
struct EndCase {
  const char* name;
  const char* main;  // nullptr: no main script at all
  int status;        // the last call's; kFailed: any Lua error
  int exitCode;
  uint64_t frames;
  size_t updates;       // "1" records
  const char* last;     // the last record's first value
  const char* caption;  // failureCaption
  const char* text;     // in failureText
};
constexpr int kFailed = -2;

// Records each resume's phase; fails or stops as the case's line says.
std::string endingMain(const char* line) {
  return std::string(R"(
function main()
  record("start")
  local phase = coroutine.yield(true)
  local n = 0
  while true do
    record(phase)
    if phase == 1 then n = n + 1 end
    )") + line + R"(
    phase = coroutine.yield(n < 3)
  end
end
)";
}

const std::string kUpdateStops = endingMain("");
const std::string kUpdateFails = endingMain("if n == 3 then local t = nil; t.field = 1 end");
const std::string kDrawFails = endingMain("if phase == 2 then error('draw failed') end");

const EndCase kEndCases[] = {
    {"FirstYieldOfFalse", R"(function main() record("start") coroutine.yield(false) record("resumed") end)",
     LUA_YIELD, 0, 0, 0, "start", "", ""},
    {"MainReturnsAtOnce", R"(function main() record("start") return true end)", 0, 0, 0, 0, "start", "", ""},
    // Neither a draw nor another step follows the update that said stop.
    {"UpdateYieldsFalse", kUpdateStops.c_str(), LUA_YIELD, 0, 3, 3, "1", "", ""},
    {"UpdateFails", kUpdateFails.c_str(), LUA_ERRRUN, 1, 3, 3, "1", "update", "QXMain.lua:9: attempt to index"},
    {"DrawFails", kDrawFails.c_str(), LUA_ERRRUN, 1, 1, 1, "2", "draw", "draw failed"},
    {"NoMainScript", nullptr, kFailed, 1, 0, 0, nullptr, "main", ""},
};

void PrintTo(const EndCase& c, std::ostream* os) { *os << c.name; }

class EngineEnd : public EngineTest, public ::testing::WithParamInterface<EndCase> {};

TEST_P(EngineEnd, EndsCleanlyAsMainSays) {
  const EndCase& c = GetParam();
  if (c.main) writeMain(c.main);
  ::testing::internal::CaptureStderr();
  const EngineRunReport report = run();
  ::testing::internal::GetCapturedStderr();
  if (c.status == kFailed) {
    EXPECT_NE(report.lastStatus, 0);
    EXPECT_NE(report.lastStatus, LUA_YIELD);
  } else {
    EXPECT_EQ(report.lastStatus, c.status);
  }
  EXPECT_EQ(report.exitCode(), c.exitCode);
  EXPECT_EQ(report.keepRunning, c.status == 0);  // only main returning true leaves it set
  EXPECT_FALSE(report.caughtException);
  EXPECT_EQ(report.frames, c.frames);
  EXPECT_EQ(recordsOf("1").size(), c.updates);
  if (c.last) {
    ASSERT_FALSE(records_.empty());
    EXPECT_EQ(records_.back()[0], c.last);
  } else {
    EXPECT_TRUE(records_.empty());
  }
  EXPECT_EQ(report.failureCaption, c.caption);
  EXPECT_NE(report.failureText.find(c.text), std::string::npos) << report.failureText;
  if (report.lastStatus == LUA_ERRRUN) {
    EXPECT_NE(report.failureText.find("stack traceback:"), std::string::npos);
  }
  expectEverythingEnded();
}

INSTANTIATE_TEST_SUITE_P(Cases, EngineEnd, ::testing::ValuesIn(kEndCases),
                         [](const ::testing::TestParamInfo<EndCase>& i) { return std::string(i.param.name); });

}  // namespace
