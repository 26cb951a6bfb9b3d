// Frame pacer against a clock the test drives.
#include <gtest/gtest.h>

#include <vector>

#include "app/pacer/frame_pacer.h"
#include "platform/thread/thread.h"

namespace {

// Time moves only when the test advances it, when the pacer sleeps (exactly the time
// asked), and by `perRead` on every reading so that spins end.
class FakeClock final : public PacerClock {
 public:
  explicit FakeClock(int64_t frequency, int64_t start = 1000, int64_t perRead = 0)
      : frequency_(frequency), t_(start), perRead_(perRead) {}
  int64_t frequency() const override { return frequency_; }
  int64_t now() override {
    const int64_t v = t_;
    t_ += perRead_;
    return v;
  }
  void sleepMs(uint32_t ms) override {
    sleeps.push_back(ms);
    t_ += static_cast<int64_t>(ms) * frequency_ / 1000 + oversleep;
    oversleep = 0;
  }
  void advance(int64_t ticks) { t_ += ticks; }
  int64_t time() const { return t_; }

  std::vector<uint32_t> sleeps;
  int64_t oversleep = 0;  // added to the next sleep only

 private:
  int64_t frequency_;
  int64_t t_;
  int64_t perRead_;
};

constexpr int64_t kNs = 1000000000;
constexpr int64_t kStepNs = 16666667;  // 1/60 s rounded up, so each advance owes a step

TEST(FramePacer, ScaleKeepsTheStepExact) {
  FakeClock ns(kNs), tenMHz(10000000), threeMHz(3000000);
  FramePacer a(ns), b(tenMHz), c(threeMHz);
  EXPECT_EQ(a.scale(), 60u);
  EXPECT_EQ(a.stepLength(), 1000000000u);
  EXPECT_EQ(b.scale(), 60u);
  EXPECT_EQ(b.stepLength(), 10000000u);
  EXPECT_EQ(c.scale(), 1u);
  EXPECT_EQ(c.stepLength(), 50000u);
}

TEST(FramePacer, EarlyWaitSleepsOneMsShortThenSpinsToTheStep) {
  FakeClock clock(kNs, 5000, 1000);  // 1 us per reading
  const int64_t start = clock.time();
  FramePacer pacer(clock);
  const PacerWait w = pacer.wait();
  EXPECT_EQ(w.steps, 1u);
  EXPECT_FALSE(w.drawForced);
  // 16.67 ms remain: sleep 15 ms, spin the rest.
  ASSERT_EQ(clock.sleeps, std::vector<uint32_t>{15});
  EXPECT_GE(clock.time() - start, kNs / 60);
  EXPECT_LT(clock.time() - start, kNs / 60 + 10000);
  EXPECT_EQ(pacer.remainingMs(), 16);

  // Under 2 ms to go: spun, not slept.
  clock.advance(kNs / 60 - 1500000);
  clock.sleeps.clear();
  EXPECT_EQ(pacer.wait().steps, 1u);
  EXPECT_TRUE(clock.sleeps.empty());
}

TEST(FramePacer, LongStallCountsOneStep) {
  FakeClock clock(kNs, 0, 1000);
  FramePacer pacer(clock);
  pacer.wait();
  clock.advance(5 * kNs);
  const PacerWait w = pacer.wait();
  EXPECT_EQ(w.steps, 1u);
  EXPECT_FALSE(w.drawForced);
  // Just under a second is still owed in full.
  clock.advance(kNs - 2000000);
  EXPECT_EQ(pacer.wait().steps, 59u);
}

TEST(FramePacer, AStallDuringTheSleepAlsoCountsOneStep) {
  FakeClock clock(kNs, 0, 1000);
  FramePacer pacer(clock);
  clock.oversleep = 5 * kNs;  // the process was stopped while it slept
  const PacerWait w = pacer.wait();
  EXPECT_EQ(w.steps, 1u);
  ASSERT_EQ(clock.sleeps.size(), 1u);
  // The stall is not owed afterwards: the next wait sleeps again instead of a burst.
  const PacerWait next = pacer.wait();
  EXPECT_EQ(next.steps, 1u);
  EXPECT_FALSE(next.drawForced);
  EXPECT_EQ(clock.sleeps.size(), 2u);
  EXPECT_EQ(pacer.remainingMs(), 16);
}

TEST(FramePacer, OwedStepsForceEveryFourthDraw) {
  FakeClock clock(kNs, 0, 1000);
  FramePacer pacer(clock);
  pacer.wait();
  std::vector<bool> forced;
  for (int i = 0; i < 8; ++i) {
    clock.advance(kStepNs);
    const PacerWait w = pacer.wait();
    EXPECT_EQ(w.steps, 1u);
    forced.push_back(w.drawForced);
  }
  EXPECT_EQ(forced, (std::vector<bool>{false, false, false, true, false, false, false, true}));

  // Two steps a frame reach four every second frame.
  forced.clear();
  for (int i = 0; i < 4; ++i) {
    clock.advance(2 * kStepNs);
    const PacerWait w = pacer.wait();
    EXPECT_EQ(w.steps, 2u);
    forced.push_back(w.drawForced);
  }
  EXPECT_EQ(forced, (std::vector<bool>{false, true, false, true}));
}

TEST(FramePacer, WaitThatSleepsRestartsTheCatchUpCount) {
  FakeClock clock(kNs, 0, 1000);
  FramePacer pacer(clock);
  pacer.wait();
  for (int i = 0; i < 3; ++i) {
    clock.advance(kStepNs);
    EXPECT_FALSE(pacer.wait().drawForced);
  }
  clock.sleeps.clear();
  EXPECT_FALSE(pacer.wait().drawForced);  // on time: it sleeps
  EXPECT_FALSE(clock.sleeps.empty());
  for (int i = 0; i < 3; ++i) {
    clock.advance(kStepNs);
    EXPECT_FALSE(pacer.wait().drawForced) << i;
  }
  clock.advance(kStepNs);
  EXPECT_TRUE(pacer.wait().drawForced);
}

TEST(FramePacer, RemainingMsIsTheTruncatedTimeToTheNextStep) {
  // Unscaled: 3 MHz, a step is 50000 ticks.
  FakeClock three(3000000);
  FramePacer a(three);
  three.advance(75000);  // a step and a half
  EXPECT_EQ(a.wait().steps, 1u);
  EXPECT_EQ(a.remainingMs(), 8);  // 25000 ticks = 8.33 ms
  three.advance(25000 + 49999);  // backlog: two steps less one tick
  EXPECT_EQ(a.wait().steps, 1u);
  EXPECT_EQ(a.remainingMs(), 0);  // one tick left
  EXPECT_TRUE(three.sleeps.empty());

  // Scaled: 10 MHz counts in sixtieths of a tick.
  FakeClock ten(10000000);
  FramePacer b(ten);
  ten.advance(208334);  // 1.25 steps
  EXPECT_EQ(b.wait().steps, 1u);
  EXPECT_EQ(b.remainingMs(), 12);  // 12.49 ms
}

TEST(FramePacer, SecondElapsedTicksOncePerWholeSecond) {
  FakeClock clock(kNs);
  FramePacer pacer(clock);
  EXPECT_FALSE(pacer.secondElapsed(true));
  clock.advance(kNs / 2);
  EXPECT_FALSE(pacer.secondElapsed(false));
  clock.advance(kNs / 2);
  EXPECT_TRUE(pacer.secondElapsed(false));
  EXPECT_FALSE(pacer.secondElapsed(false));
  clock.advance(2 * kNs + kNs / 2);  // at 3.5 s: one tick, the mark moves to 3 s
  EXPECT_TRUE(pacer.secondElapsed(false));
  EXPECT_FALSE(pacer.secondElapsed(false));
  clock.advance(kNs / 2);
  EXPECT_TRUE(pacer.secondElapsed(false));
  // A reset restarts the mark at now.
  clock.advance(kNs / 2);
  EXPECT_FALSE(pacer.secondElapsed(true));
  clock.advance(kNs / 2);
  EXPECT_FALSE(pacer.secondElapsed(false));
}

TEST(FramePacer, CountsFromItsOwnStartSoHugeClockValuesDoNotOverflow) {
  // Times sixty, this start would overflow 64 bits.
  FakeClock clock(kNs, 1000000000000000000, 1000);
  FramePacer pacer(clock);
  const PacerWait w = pacer.wait();
  EXPECT_EQ(w.steps, 1u);
  EXPECT_EQ(clock.sleeps, std::vector<uint32_t>{15});
  EXPECT_EQ(pacer.remainingMs(), 16);
  clock.advance(3 * kStepNs);
  EXPECT_EQ(pacer.wait().steps, 3u);
  clock.advance(kNs);
  EXPECT_TRUE(pacer.secondElapsed(false));
}

TEST(FramePacer, RealClockNeverHandsOutAStepEarly) {
  const uint64_t start = qxplat::monotonicNs();
  FramePacer pacer;
  uint32_t steps = 0;
  for (int i = 0; i < 5; ++i) {
    const PacerWait w = pacer.wait();
    EXPECT_GE(w.steps, 1u);
    steps += w.steps;
  }
  const uint64_t elapsed = qxplat::monotonicNs() - start;
  EXPECT_GE(elapsed, steps * 1000000000ull / 60);
}

}  // namespace
