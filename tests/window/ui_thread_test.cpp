// The UI thread under the offscreen video driver: requests, the window, and how the pump
// ends.
#include <gtest/gtest.h>

#include <SDL.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/thread/thread.h"
#include "platform/window/ui_thread.h"
#include "window_test_env.h"

namespace {

using namespace qxplat;

class UiThreadTest : public testing::Test {
 protected:
  void SetUp() override { qxtest::useHeadlessVideo(); }
};

// Polls until `done` holds, at most five seconds.
template <class F>
bool eventually(F done) {
  for (int i = 0; i < 5000; ++i) {
    if (done()) return true;
    sleepMs(1);
  }
  return done();
}

void pushCloseOf(const Window* w) {
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.event = SDL_WINDOWEVENT_CLOSE;
  e.window.windowID = w->sdlWindowId();
  SDL_PushEvent(&e);
}

TEST_F(UiThreadTest, MainThreadGetsTheUiThreadIdAndItsEndEndsThePump) {
  const uint32_t self = currentThreadId();
  uint32_t given = 0, seen = 0, mainId = 0;
  EXPECT_EQ(runUiThread([&](uint32_t ui) {
              given = ui;
              seen = uiThreadId();
              mainId = currentThreadId();
            }),
            0);
  EXPECT_EQ(given, self);
  EXPECT_EQ(seen, self);
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
  const std::string longTitle(300, 't');
  runUiThread([&](uint32_t) {
    Window* w = uiCreateWindow({640, 480, makeWindowTitle("Demo", 2024, 5, 9), {}});
    ASSERT_NE(w, nullptr);
    ASSERT_NE(w->sdlWindow(), nullptr);
    EXPECT_TRUE(w->isOpen());
    EXPECT_EQ(w->clientWidth(), 640u);
    EXPECT_EQ(w->clientHeight(), 480u);
    uiRunWaiting([&] {
      const Uint32 flags = SDL_GetWindowFlags(w->sdlWindow());
      EXPECT_TRUE(flags & SDL_WINDOW_OPENGL);
      EXPECT_FALSE(flags & SDL_WINDOW_RESIZABLE);
      int x = 0, y = 0, width = 0, height = 0;
      SDL_GetWindowPosition(w->sdlWindow(), &x, &y);
      SDL_GetWindowSize(w->sdlWindow(), &width, &height);
      EXPECT_EQ(x, 512);
      EXPECT_EQ(y, 128);
      EXPECT_EQ(width, 640);
      EXPECT_EQ(height, 480);
      EXPECT_STREQ(SDL_GetWindowTitle(w->sdlWindow()), "Demo:QX v0.03[2024: May9]");
    });
    Window* second = uiCreateWindow({32, 32, longTitle, {}});
    ASSERT_NE(second, nullptr);
    uiRunWaiting([&] { EXPECT_EQ(std::string(SDL_GetWindowTitle(second->sdlWindow())), longTitle.substr(0, 127)); });
  });
}

TEST_F(UiThreadTest, EventsReachTheWindowHandlersOnTheUiThread) {
  const uint32_t self = currentThreadId();
  std::vector<SDL_Keycode> keys;  // written on the UI thread only
  std::vector<uint32_t> threads;
  runUiThread([&](uint32_t) {
    WindowSpec spec{320, 240, "events", [&](const SDL_Event& e) {
                      if (e.type != SDL_KEYDOWN) return;
                      keys.push_back(e.key.keysym.sym);
                      threads.push_back(currentThreadId());
                    }};
    Window* w = uiCreateWindow(spec);
    ASSERT_NE(w, nullptr);
    int extra = 0;
    std::vector<SDL_Keycode> extraKeys;
    uiRunWaiting([&] { extra = w->addEventHandler([&](const SDL_Event& e) {
                         if (e.type == SDL_KEYDOWN) extraKeys.push_back(e.key.keysym.sym);
                       }); });
    SDL_Event key{};
    key.type = SDL_KEYDOWN;
    key.key.windowID = w->sdlWindowId();
    key.key.keysym.sym = SDLK_a;
    SDL_PushEvent(&key);
    // The request's wake-up queues behind the key, so the key has been handled when it runs.
    uiRunWaiting([&] {
      EXPECT_EQ(keys, std::vector<SDL_Keycode>{SDLK_a});
      EXPECT_EQ(extraKeys, std::vector<SDL_Keycode>{SDLK_a});
      w->removeEventHandler(extra);
    });
    key.key.keysym.sym = SDLK_b;
    SDL_PushEvent(&key);
    uiRunWaiting([&] {
      EXPECT_EQ(keys, (std::vector<SDL_Keycode>{SDLK_a, SDLK_b}));
      EXPECT_EQ(extraKeys.size(), 1u);
    });
  });
  EXPECT_EQ(threads, (std::vector<uint32_t>{self, self}));
}

TEST_F(UiThreadTest, ClosingTheWindowEndsThePumpAndLaterRequestsAnswerAtOnce) {
  std::atomic<bool> mainStillRan{false};
  runUiThread([&](uint32_t) {
    Window* w = uiCreateWindow({320, 240, "closing", {}});
    ASSERT_NE(w, nullptr);
    pushCloseOf(w);
    ASSERT_TRUE(eventually([] { return uiPumpEnded(); }));
    EXPECT_FALSE(w->isOpen());
    // The window itself stays until the main thread has ended (its GL context may live).
    EXPECT_EQ(SDL_GetWindowID(w->sdlWindow()), w->sdlWindowId());
    bool ran = false;
    const uint64_t start = monotonicNs();
    EXPECT_FALSE(uiRunWaiting([&] { ran = true; }));
    EXPECT_EQ(uiCreateWindow({320, 240, "late", {}}), nullptr);
    EXPECT_FALSE(uiPost([&] { ran = true; }));
    EXPECT_FALSE(uiOpenUrl("https://example.com/"));
    EXPECT_LT(monotonicNs() - start, 1000000000ull);
    EXPECT_FALSE(ran);
    mainStillRan = true;
  });
  EXPECT_TRUE(mainStillRan.load());
}

TEST_F(UiThreadTest, RequestsPendingWhenThePumpEndsCompleteWithNothing) {
  auto captured = std::make_shared<int>(0);
  std::atomic<bool> droppedRan{false}, lateRan{false};
  bool lateResult = true;
  runUiThread([&](uint32_t) {
    // Runs on the UI thread: asks to quit, and queues one more request behind the quit.
    ASSERT_TRUE(uiRunWaiting([&] {
      SDL_Event quit{};
      quit.type = SDL_QUIT;
      SDL_PushEvent(&quit);
      uiPost([captured, &droppedRan] { droppedRan = true; });
    }));
    // Queued behind the quit, or refused after it: either way it never runs or hangs.
    lateResult = uiRunWaiting([&] { lateRan = true; });
  });
  EXPECT_FALSE(lateResult);
  EXPECT_FALSE(lateRan.load());
  EXPECT_FALSE(droppedRan.load());
  EXPECT_EQ(captured.use_count(), 1);
}

TEST_F(UiThreadTest, MainThreadExceptionStillEndsTheRunCleanly) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(runUiThread([](uint32_t) { throw std::runtime_error("engine failed"); }), 0);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("engine failed"), std::string::npos);
  // And the next run works.
  bool ran = false;
  EXPECT_EQ(runUiThread([&](uint32_t) { ran = uiRunWaiting([] {}); }), 0);
  EXPECT_TRUE(ran);
}

TEST_F(UiThreadTest, WithoutADisplayTheRunIsHeadless) {
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
  // The fallback was for that run only.
  EXPECT_EQ(SDL_GetHint(SDL_HINT_VIDEODRIVER), nullptr);
}

TEST_F(UiThreadTest, NoVideoMeansAMessageAndNoMainThread) {
  setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
  bool ran = false;
  testing::internal::CaptureStderr();
  EXPECT_EQ(runUiThread([&](uint32_t) { ran = true; }), 1);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("SDL: "), std::string::npos);
  EXPECT_FALSE(ran);
  EXPECT_EQ(uiThreadId(), 0u);
  EXPECT_FALSE(uiRunWaiting([] {}));
}

}  // namespace
