// The profiler's statistics and report text, on a fake clock.
#include <gtest/gtest.h>

#include "runtime/core/profiler.h"
#include "tests/core/comma_locale.h"

namespace {

struct FakeClock {
  int64_t t = 0;
  ProfClock clock() {
    return ProfClock{[this] { return t; }, 1000.0};  // counts are milliseconds
  }
};

// One 20 ms frame: MAIN for 10 ms with draw inside it for 5.
std::string nestedFrameReport() {
  FakeClock fc;
  Profiler p(fc.clock());
  p.beginFrame();
  p.beginSample("MAIN");
  fc.t += 2;
  p.beginSample("draw");
  fc.t += 5;
  p.endSample("draw");
  fc.t += 3;
  p.endSample("MAIN");
  fc.t += 10;
  p.endFrame();
  std::string report;
  p.buildReport(report);
  return report;
}

// MAIN own time 5 ms of 20 (25 %), draw 5 ms (25 %), the rest 10 ms (50 %); the first fold
// moves each average 4 % of the way and sets the maximum.
const char kNestedFrameReport[] =
    "   Ave :   Min :   Max :   # : Profile Name\n"
    "--------------------------------------------\n"
    "1.0 :   0.0 :  25.0 :   1 :    MAIN\n"
    "1.0 :   0.0 :  25.0 :   1 :       draw\n"
    "-----------\n"
    "2";

TEST(Profiler, NestedSampleReportIgnoresTheProcessLocale) {
  EXPECT_EQ(nestedFrameReport(), kNestedFrameReport);
  CommaDecimalLocale comma;
  ASSERT_TRUE(comma.active()) << "could not build a comma-decimal locale";
  EXPECT_EQ(nestedFrameReport(), kNestedFrameReport);
}

TEST(Profiler, ReportListsThisFrameOnlyAndSharedSamplesAfterTheRule) {
  FakeClock fc;
  Profiler p(fc.clock());
  p.beginFrame();
  p.beginSample("once");
  fc.t += 5;
  p.endSample("once");
  fc.t += 5;
  p.endFrame();
  // Next frame "once" is folded but not listed; "shared" closes inside two parents.
  p.beginFrame();
  for (const char* parent : {"a", "b"}) {
    p.beginSample(parent);
    p.beginSample("shared");
    fc.t += 1;
    p.endSample("shared");
    p.endSample(parent);
  }
  fc.t += 8;
  p.endFrame();
  EXPECT_EQ(p.samples()[0].framesFolded, 2u);
  EXPECT_FLOAT_EQ(p.samples()[0].active.maxShare, 50.0f);
  std::string report;
  p.buildReport(report);
  EXPECT_EQ(report.find("once"), std::string::npos);
  const auto rule = report.find("-----------\n");
  ASSERT_NE(rule, std::string::npos);
  EXPECT_NE(report.find("shared", rule), std::string::npos);
  EXPECT_EQ(report.find("shared"), report.find("shared", rule));
}

TEST(Profiler, ShareTooWideForItsColumnIsLeftBlank) {
  FakeClock fc;
  Profiler p(fc.clock());
  p.beginFrame();
  p.beginSample("long");
  fc.t += 5000000;  // 5000 s, in a frame the clock stepped back over: a share near 5e13 %
  p.endSample("long");
  fc.t = 0;
  p.endFrame();
  std::string report;
  p.buildReport(report);
  EXPECT_NE(report.find("long"), std::string::npos);
  EXPECT_EQ(report.find("50000000"), std::string::npos) << report;
}

TEST(Profiler, DepthBeyondSixteenAndStrayEndsAreIgnored) {
  FakeClock fc;
  Profiler p(fc.clock());
  p.beginFrame();
  p.endSample("nothing open");
  EXPECT_EQ(p.depth(), 0u);
  for (int i = 0; i < 20; ++i) p.beginSample(("s" + std::to_string(i)).c_str());
  EXPECT_EQ(p.depth(), 16u);
  for (int i = 19; i >= 0; --i) p.endSample(("s" + std::to_string(i)).c_str());
  EXPECT_EQ(p.depth(), 0u);
  EXPECT_EQ(p.samples().size(), 16u);  // the four beyond the limit were never created
  p.endFrame();
}

}  // namespace
