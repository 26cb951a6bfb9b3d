// MLDialog on a headless UI thread: its dialog records, message dialogs and their records.
#include <gtest/gtest.h>

#include <SDL.h>

#include <atomic>
#include <string>

#include "app/dialog/ml_dialog.h"
#include "platform/window/ui_thread.h"
#include "../window/window_test_env.h"

namespace {

using namespace qxplat;

class MLDialogTest : public testing::Test {
 protected:
  void SetUp() override { qxtest::useHeadlessVideo(); }
};

size_t liveDialogs() {
  size_t n = 0;
  uiRunWaiting([&] { n = dialogCount(); });
  return n;
}

bool exists(DialogId d) {
  bool yes = false;
  uiRunWaiting([&] { yes = dialogExists(d); });
  return yes;
}

// What a click on one of the dialog's buttons sends.
void press(DialogId d, uintptr_t button) {
  uiRunWaiting([&] { sendDialogMessage(d, kWmCommand, button, 0); });
}

// The message dialogs are made after the init dialog: their ids follow it.
TEST_F(MLDialogTest, DialogsMessageDialogsAndTheirRecords) {
  runUiThread([](uint32_t) {
    MLDialog d;
    d.init(7, 0, u"IDD_NOSUCH");
    EXPECT_EQ(d.window(), 0u);
    EXPECT_EQ(d.msgbox("t", "c", 0, true), 0);
    d.msgbox("lost", "c", 0, false);  // no dialog: the record is freed (leak check)
    d.close();
    EXPECT_EQ(liveDialogs(), 0u);

    d.init(7, 12345, u"IDD_ASKVALID");
    const DialogId w = d.window();
    ASSERT_NE(w, 0u);
    uintptr_t user = 0;
    uint32_t parent = 1;
    uiRunWaiting([&] {
      user = dialogUserData(w);
      parent = dialogParentWindow(w);
    });
    EXPECT_EQ(user, 7u);
    EXPECT_EQ(parent, 0u);  // not one of the program's windows

    testing::internal::CaptureStderr();
    EXPECT_EQ(d.msgbox("modal text", "Modal", 0x30, true), 0);
    d.msgbox("first", "One", 0, false);
    d.msgbox("second", "Two", 0, false);
    EXPECT_EQ(liveDialogs(), 3u);
    const std::string shown = testing::internal::GetCapturedStderr();
    EXPECT_NE(shown.find("Modal: modal text\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find("One: first\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find("Two: second\n"), std::string::npos) << shown;

    std::string text;
    uiRunWaiting([&] { text = dialogItemText(w + 2, kDialogTextItem); });
    EXPECT_EQ(text, "second");
    press(w + 1, kIdCancel);  // Escape and the close box leave it open
    EXPECT_TRUE(exists(w + 1));
    press(w + 1, kIdOk);
    EXPECT_FALSE(exists(w + 1));
    EXPECT_TRUE(exists(w + 2));

    // A second init keeps the first dialog open; close closes the kept one with what it owns.
    MLDialog other;
    other.init(0, 0, u"IDD_PSEUDOMB");
    other.msgbox("owned", "O", 0, false);
    EXPECT_EQ(liveDialogs(), 4u);
    d.init(0, 0, u"IDD_PSEUDOMB");
    EXPECT_TRUE(exists(w));
    const DialogId second = d.window();
    d.close();
    EXPECT_EQ(d.window(), 0u);
    EXPECT_FALSE(exists(second));
    EXPECT_TRUE(exists(w));
    other.close();
    EXPECT_EQ(liveDialogs(), 2u);  // w and its message dialog, ended with the pump
  });
  EXPECT_EQ(dialogCount(), 0u);
}

TEST_F(MLDialogTest, CloseOfAGoneWindowKeepsTheHandleAndParentsAreTheProgramsWindows) {
  runUiThread([](uint32_t) {
    Window* main = uiCreateWindow({64, 64, "main", {}});
    ASSERT_NE(main, nullptr);
    {
      MLDialog d;
      d.init(0, main->sdlWindowId(), u"IDD_PSEUDOMB");
      uint32_t parent = 0;
      uiRunWaiting([&] { parent = dialogParentWindow(d.window()); });
      EXPECT_EQ(parent, main->sdlWindowId());
      const DialogId w = d.window();
      press(w, kIdOk);  // the helper dialog does not close on OK
      EXPECT_TRUE(exists(w));
      uiRunWaiting([&] { destroyDialog(w); });
      d.close();
      EXPECT_EQ(d.window(), w);
      // Destroying the object closes its dialog.
      MLDialog* owned = new MLDialog;
      owned->init(0, 0, u"IDD_PSEUDOMB");
      EXPECT_EQ(liveDialogs(), 1u);
      delete owned;
      EXPECT_EQ(liveDialogs(), 0u);
    }
  });
}

// SDL events reach the pump in order, before the wake of the waiting request after them.
void pushClick(uint32_t window, uint8_t button, int x, int y) {
  SDL_Event e{};
  e.type = SDL_MOUSEBUTTONUP;
  e.button.windowID = window;
  e.button.button = button;
  e.button.x = x;
  e.button.y = y;
  SDL_PushEvent(&e);
}

void pushWindowEvent(uint32_t window, uint8_t event) {
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.windowID = window;
  e.window.event = event;
  SDL_PushEvent(&e);
}

// The OK button of the message dialog lies at (100, 76) and is 75 x 22 pixels. Dialog
// events stay with the dialogs; the program window gets its own.
TEST_F(MLDialogTest, OnlyALeftClickOnOkClosesTheMessageDialog) {
  std::atomic<int> mainEvents{0};
  runUiThread([&mainEvents](uint32_t) {
    Window* main = uiCreateWindow({64, 64, "main", [&mainEvents](const SDL_Event& e) {
                                     if (e.type == SDL_MOUSEBUTTONUP || e.type == SDL_KEYDOWN) ++mainEvents;
                                   }});
    ASSERT_NE(main, nullptr);
    MLDialog d;
    d.init(0, 0, u"IDD_PSEUDOMB");
    d.msgbox("text", "caption", 0, false);
    const DialogId box = d.window() + 1;
    uint32_t window = 0;
    std::string title;
    uiRunWaiting([&] {
      window = dialogWindowId(box);
      if (SDL_Window* w = SDL_GetWindowFromID(window)) title = SDL_GetWindowTitle(w);
    });
    ASSERT_NE(window, 0u);
    EXPECT_EQ(title, "caption: text");
    const struct {
      uint8_t button;
      int x, y;
    } misses[] = {{SDL_BUTTON_LEFT, 99, 80}, {SDL_BUTTON_LEFT, 175, 80}, {SDL_BUTTON_LEFT, 110, 75},
                  {SDL_BUTTON_LEFT, 110, 98}, {SDL_BUTTON_RIGHT, 120, 80}};
    for (const auto& m : misses) {
      pushClick(window, m.button, m.x, m.y);
      EXPECT_TRUE(exists(box)) << m.x << "," << m.y;
    }
    pushWindowEvent(window, SDL_WINDOWEVENT_CLOSE);  // IDCANCEL: it stays
    pushWindowEvent(window, SDL_WINDOWEVENT_EXPOSED);
    EXPECT_TRUE(exists(box));
    EXPECT_FALSE(uiPumpEnded());
    pushClick(window, SDL_BUTTON_LEFT, 174, 97);
    EXPECT_FALSE(exists(box));
    EXPECT_TRUE(exists(d.window()));
    EXPECT_EQ(mainEvents.load(), 0);
    SDL_Event key{};
    key.type = SDL_KEYDOWN;
    key.key.windowID = main->sdlWindowId();
    SDL_PushEvent(&key);
    EXPECT_TRUE(exists(d.window()));
    EXPECT_EQ(mainEvents.load(), 1);
    // The program window's close box still ends the pump.
    pushWindowEvent(main->sdlWindowId(), SDL_WINDOWEVENT_CLOSE);
    uiRunWaiting([] {});
    EXPECT_TRUE(uiPumpEnded());
  });
}

TEST_F(MLDialogTest, NoUiThreadGivesNoDialog) {
  MLDialog d;
  d.init(1, 0, u"IDD_PSEUDOMB");
  EXPECT_EQ(d.window(), 0u);
  EXPECT_EQ(d.msgbox("t", "c", 0, false), 0);
}

}  // namespace
