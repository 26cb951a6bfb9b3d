// The request queue on its own: order, wake-ups, waiting posters and closing.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/thread/thread.h"
#include "platform/window/request_queue.h"

namespace {

using qxplat::RequestQueue;

TEST(RequestQueue, RunsInPostingOrderAndWakesOncePerBatch) {
  RequestQueue q;
  int wakes = 0;
  q.open([&] { ++wakes; });
  std::vector<int> ran;
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(q.post([&ran, i] { ran.push_back(i); }));
  EXPECT_EQ(wakes, 1);
  EXPECT_EQ(q.drain(), 3u);
  EXPECT_EQ(ran, (std::vector<int>{0, 1, 2}));

  // A request posted by a running request waits for the next drain, and wakes again.
  EXPECT_TRUE(q.post([&] { q.post([&] { ran.push_back(9); }); }));
  EXPECT_EQ(wakes, 2);
  EXPECT_EQ(q.drain(), 1u);
  EXPECT_EQ(ran.size(), 3u);
  EXPECT_EQ(wakes, 3);
  EXPECT_EQ(q.drain(), 1u);
  EXPECT_EQ(ran.back(), 9);
}

TEST(RequestQueue, WaitingPosterReturnsAfterItsRequestRan) {
  RequestQueue q;
  qxplat::Event woken;
  q.open([&] { woken.set(); });
  std::atomic<int> value{0};
  std::atomic<bool> result{false}, returned{false};
  std::thread poster([&] {
    result = q.runWaiting([&] { value = 42; });
    returned = true;
  });
  woken.wait();
  EXPECT_FALSE(returned.load());
  q.drain();
  poster.join();
  EXPECT_TRUE(result.load());
  EXPECT_EQ(value.load(), 42);
}

TEST(RequestQueue, ClosingReleasesPendingPostersAndDropsTheirTasks) {
  RequestQueue q;
  qxplat::Event woken;
  q.open([&] { woken.set(); });
  auto captured = std::make_shared<int>(0);
  std::atomic<bool> ran{false};
  std::atomic<int> result{-1};
  EXPECT_TRUE(q.post([captured, &ran] { ran = true; }));
  std::thread poster([&] { result = q.runWaiting([captured, &ran] { ran = true; }) ? 1 : 0; });
  while (captured.use_count() < 3) qxplat::yieldThread();  // both requests are queued
  q.close();
  poster.join();
  EXPECT_EQ(result.load(), 0);
  EXPECT_FALSE(ran.load());
  EXPECT_EQ(captured.use_count(), 1);  // the dropped closures are gone
}

TEST(RequestQueue, ClosedQueueAnswersAtOnce) {
  RequestQueue q;
  int wakes = 0;
  auto captured = std::make_shared<int>(0);
  bool ran = false;
  // Never opened, then opened and closed: both refuse.
  EXPECT_FALSE(q.runWaiting([&] { ran = true; }));
  q.open([&] { ++wakes; });
  q.close();
  EXPECT_FALSE(q.isOpen());
  EXPECT_FALSE(q.runWaiting([&] { ran = true; }));
  EXPECT_FALSE(q.post([captured, &ran] { ran = true; }));
  EXPECT_EQ(captured.use_count(), 1);
  EXPECT_EQ(q.drain(), 0u);
  EXPECT_FALSE(ran);
  EXPECT_EQ(wakes, 0);
}

TEST(RequestQueue, ExceptionGoesToTheWaitingPosterAndTheQueueGoesOn) {
  RequestQueue q;
  qxplat::Event woken(true);
  q.open([&] { woken.set(); });
  std::exception_ptr caught;
  std::thread poster([&] {
    try {
      q.runWaiting([] { throw std::runtime_error("boom"); });
    } catch (...) {
      caught = std::current_exception();
    }
  });
  woken.wait();
  bool later = false;
  while (q.drain() == 0) qxplat::yieldThread();
  poster.join();
  ASSERT_TRUE(caught);
  EXPECT_THROW(std::rethrow_exception(caught), std::runtime_error);

  testing::internal::CaptureStderr();
  q.post([] { throw std::runtime_error("lost"); });
  q.post([&] { later = true; });
  q.drain();
  testing::internal::GetCapturedStderr();
  EXPECT_TRUE(later);
}

}  // namespace
