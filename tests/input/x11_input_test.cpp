// The input manager on a real X server (tests/support/with_xvfb.sh), driven the way
// xdotool, remote desktops and accessibility tools drive it: through XTEST.
#include <SDL.h>

#include <cstdlib>
#include <string>

#include "platform/window/ui_thread.h"
#include "platform/window/window.h"
#include "tests/input/input_fixture.h"

namespace {

using namespace inputtest;

const auto* kEnv = ::testing::AddGlobalTestEnvironment(new bindtest::Environment());

// The window's client area on the screen: no window manager moves it.
constexpr int kLeft = qxplat::kWindowX, kTop = qxplat::kWindowY, kWidth = 320, kHeight = 240;

int sh(const std::string& command) { return std::system(command.c_str()); }

// Hands the focus to the window and waits until SDL says it has it.
bool focus(SDL_Window* w) {
  for (int i = 0; i < 200; ++i) {
    bool has = false;
    qxplat::uiRunWaiting([&] {
      if (i % 50 == 0) SDL_SetWindowInputFocus(w);
      has = (SDL_GetWindowFlags(w) & SDL_WINDOW_INPUT_FOCUS) != 0;
    });
    if (has) return true;
    SDL_Delay(10);
  }
  return false;
}

class X11InputTest : public InputTest {};

TEST_F(X11InputTest, CursorBackgroundKeysAndKeyRepeatComeFromTheServer) {
  qxplat::runUiThread([this](uint32_t) {
    // Before there is a window the server is asked too.
    ASSERT_EQ(sh("xset r rate 250 10"), 0);
    EXPECT_EQ(input->getkeybddelay(), 250 / 16);
    EXPECT_EQ(input->getkeybdspeed(), 100 / 16);

    qxplat::Window* main = qxplat::uiCreateWindow({kWidth, kHeight, "main", {}});
    ASSERT_NE(main, nullptr);
    input->init(main);

    // Pointer moves injected through XTEST, inside the window and beyond its edge.
    ASSERT_EQ(sh("xdotool mousemove --sync " + std::to_string(kLeft + 100) + " " + std::to_string(kTop + 100)), 0);
    EXPECT_EQ(input->get_cspos(), (std::tuple<int32_t, int32_t>{100, 100}));
    ASSERT_EQ(sh("xdotool mousemove --sync " + std::to_string(kLeft + 288) + " " + std::to_string(kTop + 72)), 0);
    EXPECT_EQ(input->get_cspos(), (std::tuple<int32_t, int32_t>{288, 72}));
    ASSERT_EQ(sh("xdotool mousemove --sync " + std::to_string(kLeft + 400) + " " + std::to_string(kTop + 50)), 0);
    EXPECT_EQ(input->get_cspos(), (std::tuple<int32_t, int32_t>{kWidth, 50}));

    // A key typed into another window: only the keyboard with background access sees it.
    ASSERT_EQ(run("local guid = input:enum('keyboard')[1].guid\n"
                  "input:entry_upd(input:create(guid, true)):entry_upd(input:create(guid, false))"),
              "");
    const auto& list = input->updateList();
    ASSERT_EQ(list.size(), 2u);
    input->registerName("background");
    input->bind("background", {list[0].value}, kA);
    input->registerName("foreground");
    input->bind("foreground", {list[1].value}, kA);
    SDL_Window* other = nullptr;
    qxplat::uiRunWaiting([&] { other = SDL_CreateWindow("other", 0, 0, 100, 100, SDL_WINDOW_SHOWN); });
    ASSERT_NE(other, nullptr);
    ASSERT_TRUE(focus(main->sdlWindow()));
    ASSERT_TRUE(focus(other));
    ASSERT_EQ(sh("xdotool keydown a"), 0);
    tick();
    EXPECT_TRUE(input->pressed("background"));
    EXPECT_FALSE(input->pressing("foreground"));
    ASSERT_EQ(sh("xdotool keyup a"), 0);
    tick();
    EXPECT_TRUE(input->clicked("background"));

    // The keyboard's auto-repeat as the desktop sets it, in 16 ms frames; no caret blink.
    ASSERT_EQ(sh("xset r rate 300 20"), 0);
    EXPECT_EQ(input->getkeybddelay(), 300 / 16);
    EXPECT_EQ(input->getkeybdspeed(), 50 / 16);
    ASSERT_EQ(sh("xset r rate 660 25"), 0);
    EXPECT_EQ(input->getkeybddelay(), 660 / 16);
    EXPECT_EQ(input->getkeybdspeed(), 40 / 16);
    EXPECT_EQ(input->getcaretblink(), 530 / 16);

    qxplat::uiRunWaiting([&] { SDL_DestroyWindow(other); });
    input.reset();  // its link goes while the pump still runs
  });
}

}  // namespace
