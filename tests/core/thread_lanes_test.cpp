// Lock lanes handed out per thread.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "runtime/core/thread_ctx.h"

namespace {

// Each test runs its lane work on fresh threads so the gtest thread's lane stays out of it.
template <class F>
void onThread(F f) {
  std::thread(f).join();
}

TEST(ThreadLanes, StackOrderAndReuseAfterDetach) {
  int before = freeThreadLaneCount();
  int first = 0, again = 0;
  uint64_t unit = 0;
  onThread([&] {
    attachThreadLane();
    first = threadCtx().laneIndex;
    unit = threadCtx().laneUnit;
    detachThreadLane();
  });
  onThread([&] {
    attachThreadLane();
    again = threadCtx().laneIndex;
    detachThreadLane();
  });
  EXPECT_EQ(first, before);  // the top of the stack
  EXPECT_EQ(unit, uint64_t(1) << (8 * (first - 1)));
  EXPECT_EQ(again, first);
  EXPECT_EQ(freeThreadLaneCount(), before);
}

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
  onThread([&] {
    EXPECT_EQ(ensureThreadLane(), ensureThreadLane());  // idempotent
    detachThreadLane();
    EXPECT_EQ(threadCtx().laneIndex, -1);
  });
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
