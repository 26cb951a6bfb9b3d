#include <gtest/gtest.h>

#include <vector>

#include "app/pacer/frame_pacer.h"

namespace {

// Time moves only when the test advances it, when the pacer sleeps (exactly the time
// asked, plus `oversleep` once), and by `perRead` on every reading so that spins end.
class FakeClock final : public PacerClock {
 public:
  explicit FakeClock(int64_t frequency, int64_t start = 0, int64_t perRead = 1000)
      : frequency_(frequency), t_(start), perRead_(perRead) {}
  int64_t frequency() const override { return frequency_; }
  int64_t now() override { return (t_ += perRead_) - perRead_; }
  void sleepMs(uint32_t ms) override {
    sleeps.push_back(ms);
    t_ += static_cast<int64_t>(ms) * frequency_ / 1000 + oversleep;
    oversleep = 0;
  }
  void advance(int64_t ticks) { t_ += ticks; }
  int64_t time() const { return t_; }

  std::vector<uint32_t> sleeps;
  int64_t oversleep = 0;

 private:
  int64_t frequency_, t_, perRead_;
};

constexpr int64_t kNs = 1000000000;
constexpr int64_t kStepNs = 16666667;  // 1/60 s rounded up, so each advance owes a step

// Times sixty, the second start would overflow 64 bits: the pacer counts from its own start.
TEST(FramePacer, EarlyWaitSleepsOneMsShortThenSpinsToTheStep) {
  for (int64_t start : {int64_t(5000), int64_t(1000000000000000000)}) {
    SCOPED_TRACE(start);
    FakeClock clock(kNs, start);
    FramePacer pacer(clock);
    EXPECT_EQ(std::make_pair(pacer.scale(), pacer.stepLength()), std::make_pair(60u, 1000000000u));
    const PacerWait w = pacer.wait();
    EXPECT_EQ(w.steps, 1u);
    EXPECT_FALSE(w.drawForced);
    // 16.67 ms remain: sleep 15 ms, spin the rest.
    EXPECT_EQ(clock.sleeps, std::vector<uint32_t>{15});
    EXPECT_GE(clock.time() - start, kNs / 60);
    EXPECT_LT(clock.time() - start, kNs / 60 + 10000);
    EXPECT_EQ(pacer.remainingMs(), 16);
    clock.advance(3 * kStepNs);
    EXPECT_EQ(pacer.wait().steps, 3u);
    clock.advance(kNs);
    EXPECT_TRUE(pacer.secondElapsed(false));
  }
  // Under 2 ms to go: spun, not slept.
  FakeClock clock(kNs);
  FramePacer pacer(clock);
  clock.advance(kNs / 60 - 1500000);
  EXPECT_EQ(pacer.wait().steps, 1u);
  EXPECT_TRUE(clock.sleeps.empty());
}

TEST(FramePacer, AStallBeforeOrDuringTheWaitCountsOneStep) {
  FakeClock clock(kNs);
  FramePacer pacer(clock);
  clock.oversleep = 5 * kNs;  // the process was stopped while it slept
  EXPECT_EQ(pacer.wait().steps, 1u);
  EXPECT_EQ(pacer.wait().steps, 1u);  // not owed afterwards: it sleeps again, no burst
  EXPECT_EQ(clock.sleeps.size(), 2u);
  clock.advance(5 * kNs);
  const PacerWait w = pacer.wait();
  EXPECT_EQ(w.steps, 1u);
  EXPECT_FALSE(w.drawForced);
  // Just under a second is still owed in full.
  clock.advance(kNs - 2000000);
  EXPECT_EQ(pacer.wait().steps, 59u);
}

// Owed steps force every fourth draw; a wait that sleeps restarts the count.
TEST(FramePacer, OwedStepsForceEveryFourthDraw) {
  FakeClock clock(kNs);
  FramePacer pacer(clock);
  pacer.wait();
  auto run = [&](int frames, int64_t stepsEach) {
    std::vector<bool> forced;
    for (int i = 0; i < frames; ++i) {
      clock.advance(stepsEach * kStepNs);
      const PacerWait w = pacer.wait();
      EXPECT_EQ(w.steps, uint32_t(stepsEach));
      forced.push_back(w.drawForced);
    }
    return forced;
  };
  EXPECT_EQ(run(8, 1), (std::vector<bool>{false, false, false, true, false, false, false, true}));
  EXPECT_EQ(run(4, 2), (std::vector<bool>{false, true, false, true}));
  EXPECT_EQ(run(3, 1), (std::vector<bool>{false, false, false}));
  clock.sleeps.clear();
  EXPECT_FALSE(pacer.wait().drawForced);  // on time: it sleeps
  EXPECT_FALSE(clock.sleeps.empty());
  EXPECT_EQ(run(4, 1), (std::vector<bool>{false, false, false, true}));
}

// A step must be exactly 1/60 s in whole units: a frequency that does not divide by 60
// counts in sixtieths of a tick.
TEST(FramePacer, RemainingMsIsTheTruncatedTimeToTheNextStep) {
  FakeClock three(3000000, 0, 0);
  FramePacer a(three);
  EXPECT_EQ(std::make_pair(a.scale(), a.stepLength()), std::make_pair(1u, 50000u));
  three.advance(75000);  // a step and a half
  EXPECT_EQ(a.wait().steps, 1u);
  EXPECT_EQ(a.remainingMs(), 8);  // 25000 ticks = 8.33 ms
  three.advance(25000 + 49999);   // backlog: two steps less one tick
  EXPECT_EQ(a.wait().steps, 1u);
  EXPECT_EQ(a.remainingMs(), 0);  // one tick left
  EXPECT_TRUE(three.sleeps.empty());
}

}  // namespace
