// The UI thread under the offscreen video driver (events reaching handlers: tests/input).
#include <gtest/gtest.h>

#include <SDL.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/thread/thread.h"
#include "platform/window/clipboard.h"
#include "platform/window/request_queue.h"
#include "platform/window/ui_thread.h"
#include "window_test_env.h"

namespace {

using namespace qxplat;

class UiThreadTest : public testing::Test {
 protected:
  void SetUp() override { qxtest::useHeadlessVideo(); }
};

TEST(RequestQueue, ClosingReleasesPendingPostersAndDropsTheirTasks) {
  qxplat::RequestQueue q;
  q.open([] {});
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
  // A closed queue refuses at once and keeps nothing.
  EXPECT_FALSE(q.post([captured, &ran] { ran = true; }));
  EXPECT_EQ(captured.use_count(), 1);
}

TEST_F(UiThreadTest, MainThreadGetsTheUiThreadIdAndItsEndEndsThePump) {
  // A main thread ended by an exception still ends the run cleanly, and the next run works.
  testing::internal::CaptureStderr();
  EXPECT_EQ(runUiThread([](uint32_t) { throw std::runtime_error("engine failed"); }), 0);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("engine failed"), std::string::npos);
  const uint32_t self = currentThreadId();
  uint32_t given = 0, seen = 0, mainId = 0;
  int nested = 0;
  std::string told;
  EXPECT_EQ(runUiThread([&](uint32_t ui) {
              given = ui;
              seen = uiThreadId();
              mainId = currentThreadId();
              testing::internal::CaptureStderr();
              nested = runUiThread([](uint32_t) {});  // one UI thread at a time
              told = testing::internal::GetCapturedStderr();
            }),
            0);
  EXPECT_EQ(nested, 1);
  EXPECT_NE(told.find("already running"), std::string::npos) << told;
  EXPECT_EQ(std::make_pair(given, seen), std::make_pair(self, self));
  EXPECT_NE(mainId, self);
  EXPECT_TRUE(uiPumpEnded());
  EXPECT_EQ(uiThreadId(), 0u);
  // With no UI thread at all, requests answer at once.
  EXPECT_FALSE(uiRunWaiting([] {}));
  EXPECT_EQ(uiCreateWindow({640, 480, "x", {}}), nullptr);
}

TEST_F(UiThreadTest, RequestsRunOnTheUiThreadInPostingOrder) {
  const uint32_t self = currentThreadId();
  std::vector<std::string> order;
  uint32_t ranOn = 0;
  bool nested = false;
  runUiThread([&](uint32_t) {
    EXPECT_TRUE(uiPost([&] { order.push_back("a"); }));
    EXPECT_TRUE(uiPost([&] { order.push_back("b"); }));
    EXPECT_TRUE(uiRunWaiting([&] {
      order.push_back("c");
      ranOn = currentThreadId();
      // A waiting request from the UI thread itself runs in place instead of deadlocking.
      nested = uiRunWaiting([&] { order.push_back("d"); });
    }));
    EXPECT_THROW(uiRunWaiting([] { throw std::runtime_error("x"); }), std::runtime_error);
  });
  EXPECT_EQ(order, (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(ranOn, self);
  EXPECT_TRUE(nested);
}

TEST_F(UiThreadTest, WindowIsAFixedGlWindowAtItsPlace) {
  runUiThread([&](uint32_t) {
    Window* w = uiCreateWindow({640, 480, makeWindowTitle("Demo", 2024, 5, 9), {}});
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isOpen());
    EXPECT_EQ(std::make_pair(w->clientWidth(), w->clientHeight()), std::make_pair(640u, 480u));
    uiRunWaiting([&] {
      const Uint32 flags = SDL_GetWindowFlags(w->sdlWindow());
      EXPECT_TRUE(flags & SDL_WINDOW_OPENGL);
      EXPECT_FALSE(flags & SDL_WINDOW_RESIZABLE);
      int x = 0, y = 0, width = 0, height = 0;
      SDL_GetWindowPosition(w->sdlWindow(), &x, &y);
      SDL_GetWindowSize(w->sdlWindow(), &width, &height);
      EXPECT_EQ(std::make_tuple(x, y, width, height), std::make_tuple(512, 128, 640, 480));
      EXPECT_STREQ(SDL_GetWindowTitle(w->sdlWindow()), "Demo:QX v0.03[2024: May9]");
      EXPECT_TRUE(uiIsProgramWindow(w->sdlWindowId()));
      EXPECT_FALSE(uiIsProgramWindow(0));
    });
  });
}

TEST_F(UiThreadTest, ClosingTheWindowEndsThePumpAndLaterRequestsAnswerAtOnce) {
  std::atomic<bool> mainStillRan{false};
  runUiThread([&](uint32_t) {
    Window* w = uiCreateWindow({320, 240, "closing", {}});
    ASSERT_NE(w, nullptr);
    SDL_Event close{};
    close.window = {SDL_WINDOWEVENT, 0, w->sdlWindowId(), SDL_WINDOWEVENT_CLOSE, 0, 0, 0, 0, 0};
    SDL_PushEvent(&close);
    for (int i = 0; i < 5000 && !uiPumpEnded(); ++i) sleepMs(1);
    ASSERT_TRUE(uiPumpEnded());
    EXPECT_FALSE(w->isOpen());
    EXPECT_EQ(SDL_GetWindowID(w->sdlWindow()), w->sdlWindowId());  // kept for its GL context
    bool ran = false;
    EXPECT_FALSE(uiRunWaiting([&] { ran = true; }));
    EXPECT_FALSE(uiPost([&] { ran = true; }));
    EXPECT_FALSE(ran);
    mainStillRan = true;
  });
  EXPECT_TRUE(mainStillRan.load());
}

// SIGTERM and SIGINT end the pump even while the main thread keeps it busy with requests
// (a script that asks the UI thread every step leaves it no quiet moment).
TEST_F(UiThreadTest, QuitSignalsEndThePumpWhileRequestsKeepComing) {
  for (const int sig : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(sig);
    uint32_t signalledAt = 0, endedAt = 0;
    EXPECT_EQ(runUiThread([&](uint32_t) {
                const uint32_t start = monotonicMs();
                while (!uiPumpEnded() && monotonicMs() - start < 5000) {
                  uiRunWaiting([] {});
                  if (signalledAt == 0 && monotonicMs() - start >= 100) {
                    signalledAt = monotonicMs();
                    kill(getpid(), sig);
                  }
                  sleepMs(5);
                }
                endedAt = monotonicMs();
              }),
              0);
    ASSERT_NE(signalledAt, 0u);
    EXPECT_LT(endedAt - signalledAt, 3000u);
  }
}

// The system clipboard goes through the UI thread; only a failure is told.
TEST_F(UiThreadTest, SystemClipboardTellsOnlyAFailure) {
  bool placed = false;
  std::string told;
  std::optional<std::string> back;
  runUiThread([&](uint32_t) {
    testing::internal::CaptureStderr();
    placed = clipboard().setText("qx clipboard");
    told = testing::internal::GetCapturedStderr();
    back = clipboard().getText();
  });
  EXPECT_EQ(told.empty(), placed) << told;
  if (placed) {
    EXPECT_EQ(back, std::optional<std::string>("qx clipboard"));
  }
  testing::internal::CaptureStderr();
  EXPECT_FALSE(clipboard().setText("x"));  // no UI thread
  EXPECT_NE(testing::internal::GetCapturedStderr().find("no window system is running"), std::string::npos);
}

TEST_F(UiThreadTest, WithoutADisplayTheRunIsHeadlessAndWithoutVideoItDoesNotStart) {
  {
    qxtest::ClearedEnv env{"SDL_VIDEODRIVER", "DISPLAY", "WAYLAND_DISPLAY"};
    std::string driver;
    bool windowMade = false;
    EXPECT_EQ(runUiThread([&](uint32_t) {
                uiRunWaiting([&] { driver = SDL_GetCurrentVideoDriver(); });
                windowMade = uiCreateWindow({64, 64, "headless", {}}) != nullptr;
              }),
              0);
    EXPECT_EQ(driver, "offscreen");
    EXPECT_TRUE(windowMade);
    EXPECT_EQ(SDL_GetHint(SDL_HINT_VIDEODRIVER), nullptr);  // the choice was for that run only
  }
  setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
  bool ran = false;
  std::string why;
  testing::internal::CaptureStderr();
  EXPECT_EQ(runUiThread([&](uint32_t) { ran = true; }, [&](const std::string& reason) { why = reason; }), 1);
  EXPECT_EQ(why, "SDL video cannot start: no-such-driver not available");
  EXPECT_NE(testing::internal::GetCapturedStderr().find("qx: " + why), std::string::npos);
  EXPECT_FALSE(ran);
  EXPECT_EQ(uiThreadId(), 0u);
}

}  // namespace
