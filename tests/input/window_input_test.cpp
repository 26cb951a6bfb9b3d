// Input through the UI thread's pump: what a dialog's window gets is never the main
// window's input, and pads with background access make SDL report them in the background.
#include <SDL.h>

#include "platform/window/dialog_box.h"
#include "platform/window/ui_thread.h"
#include "platform/window/window.h"
#include "tests/input/input_fixture.h"
#include "../window/window_test_env.h"

namespace {

using namespace inputtest;

void noProc(qxplat::DialogId, uint32_t, uintptr_t, intptr_t) {}

// Pushes the events and returns once the pump handled them.
void pump(std::vector<SDL_Event> events) {
  for (SDL_Event& e : events) SDL_PushEvent(&e);
  do {
    qxplat::uiRunWaiting([] {});
  } while (SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0);
  qxplat::uiRunWaiting([] {});
}

// Everything a person does on one window: a click, motion, the wheel, a key, text.
std::vector<SDL_Event> handling(uint32_t window, int x, int y) {
  std::vector<SDL_Event> out(8);
  out[0].type = SDL_MOUSEBUTTONDOWN;
  out[1].type = SDL_MOUSEBUTTONUP;
  for (int i : {0, 1}) {
    out[i].button.windowID = window;
    out[i].button.button = SDL_BUTTON_LEFT;
    out[i].button.x = x;
    out[i].button.y = y;
  }
  out[2].type = SDL_MOUSEMOTION;
  out[2].motion = {SDL_MOUSEMOTION, 0, window, 0, 0, x, y, 30, 0};
  out[3].type = SDL_MOUSEWHEEL;
  out[3].wheel.windowID = window;
  out[3].wheel.y = 1;
  for (int i : {4, 5}) {
    out[i].type = i == 4 ? SDL_KEYDOWN : SDL_KEYUP;
    out[i].key.windowID = window;
    out[i].key.keysym.scancode = SDL_SCANCODE_SPACE;
  }
  out[6].type = SDL_TEXTINPUT;
  out[6].text.windowID = window;
  out[6].text.text[0] = 'a';
  out[7].type = SDL_MOUSEBUTTONDOWN;
  out[7].button.windowID = window;
  out[7].button.button = SDL_BUTTON_RIGHT;
  return out;
}

class WindowInputTest : public InputTest {
 protected:
  void SetUp() override {
    qxtest::useHeadlessVideo();
    InputTest::SetUp();
  }
  ResInput::Hdl device(qxinput::DeviceClass cls, bool background, size_t i = 0) {
    return input->createDevice(std::string(reinterpret_cast<const char*>(hub().enumDevices(cls).at(i).id.data()), 16),
                               background);
  }
};

TEST_F(WindowInputTest, ADialogsEventsNeverReachTheMainWindowAndTheNextPressThereCounts) {
  qxplat::runUiThread([this](uint32_t) {
    qxplat::Window* main = qxplat::uiCreateWindow({320, 240, "main", {}});
    ASSERT_NE(main, nullptr);
    input->init(main);
    const ResInput::Hdl kb = device(qxinput::DeviceClass::keyboard, false);
    const ResInput::Hdl ms = device(qxinput::DeviceClass::mouse, false);
    input->entry_upd({kb.value});
    input->entry_upd({ms.value});
    input->registerName("click");
    input->bind("click", {ms.value}, 6);
    input->registerName("space");
    input->bind("space", {kb.value}, kSpace);
    input->settrace(1, {ms.value});
    const int32_t tracker = input->reg_mpos();
    qxplat::DialogId dialog = 0;
    uint32_t dialogWindow = 0;
    qxplat::uiRunWaiting([&] {
      dialog = qxplat::createDialog(u"IDD_PSEUDOMB", 0, 0, &noProc, 0);
      qxplat::showDialog(dialog);
      dialogWindow = qxplat::dialogWindowId(dialog);
    });
    ASSERT_NE(dialogWindow, 0u);

    pump(handling(dialogWindow, 120, 80));
    tick();
    EXPECT_FALSE(input->pressing("click") || input->clicked("click") || input->pressing("space"));
    EXPECT_EQ(input->get_mposbtn(tracker, 0), (std::tuple<bool, int32_t>{false, 0}));
    EXPECT_EQ(input->get_mposaxis(tracker), (std::tuple<int32_t, int32_t, int32_t>{0, 0, 0}));

    // The main window's own first press is a press.
    pump({handling(main->sdlWindowId(), 10, 10)[0]});
    tick();
    EXPECT_TRUE(input->pressed("click"));
    EXPECT_EQ(input->get_mposbtn(tracker, 0), (std::tuple<bool, int32_t>{true, 1}));
    pump({handling(main->sdlWindowId(), 10, 10)[4]});
    tick();
    EXPECT_TRUE(input->pressed("space"));
    qxplat::uiRunWaiting([&] { qxplat::destroyDialog(dialog); });
    input.reset();  // its link goes while the pump still runs
  });
}

TEST_F(WindowInputTest, APadWithBackgroundAccessMakesSdlReportPadsInTheBackground) {
  hub().padAdded(u"Pad", true);
  qxplat::runUiThread([this](uint32_t) {
    qxplat::Window* main = qxplat::uiCreateWindow({64, 64, "main", {}});
    ASSERT_NE(main, nullptr);
    input->init(main);
    auto hint = [] {
      std::string value;
      qxplat::uiRunWaiting([&] {
        const char* v = SDL_GetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS);
        value = v ? v : "";
      });
      return value;
    };
    const std::string before = hint();
    EXPECT_NE(before, "1");
    ASSERT_NE(device(qxinput::DeviceClass::gamepad, false).value, 0u);
    ASSERT_NE(device(qxinput::DeviceClass::keyboard, true).value, 0u);
    EXPECT_EQ(hint(), before);
    ASSERT_NE(device(qxinput::DeviceClass::gamepad, true).value, 0u);
    EXPECT_EQ(hint(), "1");
    input.reset();
    EXPECT_EQ(hint(), before);
  });
}

}  // namespace
