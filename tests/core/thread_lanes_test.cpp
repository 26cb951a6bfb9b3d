// Lock lanes handed out per thread.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "runtime/core/thread_ctx.h"

namespace {

TEST(ThreadLanes, ConcurrentThreadsGetDistinctLanesAndExitReturnsThem) {
  int before = freeThreadLaneCount();
  int a = 0, b = 0;
  std::atomic<int> attached{0};
  std::atomic<bool> release{false};
  auto body = [&](int& out) {
    out = ensureThreadLane();
    ++attached;
    while (!release) std::this_thread::yield();
    // No explicit detach: thread exit gives the lane back.
  };
  std::thread t1(body, std::ref(a)), t2(body, std::ref(b));
  while (attached < 2) std::this_thread::yield();
  EXPECT_NE(a, b);
  // Lanes are handed out from the top of the free stack; a detached lane is the next one given.
  std::thread([&] {
    const int lane = ensureThreadLane();
    EXPECT_EQ(lane, before - 2);
    EXPECT_EQ(threadCtx().laneUnit, uint64_t(1) << (8 * (lane - 1)));
    EXPECT_EQ(ensureThreadLane(), lane);  // idempotent
    detachThreadLane();
    EXPECT_EQ(threadCtx().laneIndex, -1);
    attachThreadLane();
    EXPECT_EQ(threadCtx().laneIndex, lane);
    detachThreadLane();
  }).join();
  EXPECT_EQ(freeThreadLaneCount(), before - 2);
  release = true;
  t1.join();
  t2.join();
  EXPECT_EQ(freeThreadLaneCount(), before);
}

TEST(ThreadLanesDeathTest, RunningOutOfLanesAbortsWithAMessage) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        // Every free lane is taken by a thread that keeps it; one more attach has none left.
        const int free = freeThreadLaneCount();
        std::atomic<int> holding{0};
        for (int i = 0; i < free; ++i) {
          std::thread([&holding] {
            attachThreadLane();
            ++holding;
            for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
          }).detach();
        }
        while (holding < free) std::this_thread::yield();
        attachThreadLane();
      },
      "all 8 lock lanes are taken");
}

}  // namespace
