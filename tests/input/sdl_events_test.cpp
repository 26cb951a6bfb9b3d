// SDL events as the UI thread hands them to the hub.
#include <SDL.h>
#include <gtest/gtest.h>

#include <tuple>

#include "platform/input/sdl_input.h"

// Events are built with designated initializers: the fields left out are zero.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

using qxinput::DeviceClass;

TEST(InputSdl, ScancodesAndLinuxKeyCodesMapToScanCodesByKeyPosition) {
  // Main block, the function-key jump, extended keys and the Japanese keys.
  const std::pair<SDL_Scancode, int> cases[] = {
      {SDL_SCANCODE_ESCAPE, 0x01}, {SDL_SCANCODE_0, 0x0B},      {SDL_SCANCODE_A, 0x1E},
      {SDL_SCANCODE_F10, 0x44},    {SDL_SCANCODE_F11, 0x57},    {SDL_SCANCODE_KP_ENTER, 0x9C},
      {SDL_SCANCODE_RALT, 0xB8},   {SDL_SCANCODE_UP, 0xC8},     {SDL_SCANCODE_DELETE, 0xD3},
      {SDL_SCANCODE_INTERNATIONAL1, 0x73}, {SDL_SCANCODE_INTERNATIONAL3, 0x7D}, {SDL_SCANCODE_UNKNOWN, 0},
  };
  for (const auto& [sdl, dik] : cases) EXPECT_EQ(qxinput::dikFromScancode(sdl), dik) << sdl;
  EXPECT_EQ(qxinput::dikFromScancode(-1), 0);
  EXPECT_EQ(qxinput::dikFromScancode(SDL_NUM_SCANCODES), 0);
  // Linux input codes (X keycodes less 8) give the code of the same key; holes give none.
  const std::pair<int, int> linux[] = {
      {1, 0x01},   {30, 0x1E},  {43, 0x2B},  {83, 0x53},  {84, 0},     {85, 0},     {86, 0x56},
      {88, 0x58},  {89, 0x73},  {96, 0x9C},  {100, 0xB8}, {101, 0},    {103, 0xC8}, {111, 0xD3},
      {113, 0xA0}, {124, 0x7D}, {125, 0xDB}, {226, 0xED}, {0, 0},      {-1, 0},     {255, 0},
  };
  for (const auto& [code, dik] : linux) EXPECT_EQ(qxinput::dikFromLinuxKey(code), dik) << code;
}

// The layout's unshifted keycodes as SDL_GetKeyFromScancode gives them.
int32_t usKey(int scancode) {
  switch (scancode) {
    case SDL_SCANCODE_LEFTBRACKET: return '[';
    case SDL_SCANCODE_APOSTROPHE: return '\'';
    case SDL_SCANCODE_GRAVE: return '`';
    case SDL_SCANCODE_SEMICOLON: return ';';
    default: return SDL_SCANCODE_TO_KEYCODE(scancode);
  }
}
int32_t jisKey(int scancode) {
  switch (scancode) {
    case SDL_SCANCODE_LEFTBRACKET: return '@';
    case SDL_SCANCODE_APOSTROPHE: return ':';
    case SDL_SCANCODE_SEMICOLON: return ';';
    case SDL_SCANCODE_RIGHTBRACKET: return '[';
    default: return SDL_SCANCODE_TO_KEYCODE(scancode);
  }
}
// A layout with "@" where JIS has it but no ":" beside ";" is not JIS.
int32_t atOnlyKey(int scancode) { return scancode == SDL_SCANCODE_LEFTBRACKET ? '@' : usKey(scancode); }

TEST(InputSdl, AJisLayoutGivesAtColonAndKanjiTheirOwnScanCodes) {
  const struct {
    SDL_Scancode key;
    int us, jis;
  } cases[] = {
      {SDL_SCANCODE_LEFTBRACKET, 0x1A, 0x91}, {SDL_SCANCODE_APOSTROPHE, 0x28, 0x92}, {SDL_SCANCODE_GRAVE, 0x29, 0x94},
      {SDL_SCANCODE_SEMICOLON, 0x27, 0x27},   {SDL_SCANCODE_RIGHTBRACKET, 0x1B, 0x1B}, {SDL_SCANCODE_A, 0x1E, 0x1E},
      {SDL_SCANCODE_INTERNATIONAL3, 0x7D, 0x7D},
  };
  const auto us = qxinput::KeyLayout::read(usKey), jis = qxinput::KeyLayout::read(jisKey),
             atOnly = qxinput::KeyLayout::read(atOnlyKey);
  EXPECT_FALSE(us.isJis());
  EXPECT_TRUE(jis.isJis());
  EXPECT_FALSE(atOnly.isJis());
  for (const auto& c : cases) {
    EXPECT_EQ(us.dik(c.key), c.us) << c.key;
    EXPECT_EQ(atOnly.dik(c.key), c.us) << c.key;
    EXPECT_EQ(jis.dik(c.key), c.jis) << c.key;
    EXPECT_EQ(jis.relabel(uint8_t(c.us)), c.jis) << c.key;  // a key by its position
  }
  // The events of a JIS keyboard reach the hub under those codes.
  qxinput::InputHub hub;
  auto kb = hub.createDevice(hub.enumDevices(DeviceClass::keyboard)[0].id);
  kb->acquire();
  qxinput::feedSdlEvent(hub, {.key = {.type = SDL_KEYDOWN, .keysym = {.scancode = SDL_SCANCODE_GRAVE}}}, jis);
  qxinput::KeyboardState ks;
  ASSERT_EQ(kb->keyboardState(ks), qxinput::Result::ok);
  EXPECT_EQ(ks.keys[0x94], 0x80);
  EXPECT_EQ(ks.keys[0x29], 0);
}

TEST(InputSdl, EventsReachTheDevicesOfTheirClass) {
  qxinput::InputHub hub;
  auto kb = hub.createDevice(hub.enumDevices(DeviceClass::keyboard)[0].id);
  auto ms = hub.createDevice(hub.enumDevices(DeviceClass::mouse)[0].id);
  kb->setBuffered(true);
  ms->setBuffered(true);
  kb->acquire();
  ms->acquire();

  const auto feed = [&](const SDL_Event& e) { qxinput::feedSdlEvent(hub, e); };
  feed({.key = {.type = SDL_KEYDOWN, .keysym = {.scancode = SDL_SCANCODE_SPACE}}});
  feed({.key = {.type = SDL_KEYDOWN, .repeat = 1, .keysym = {.scancode = SDL_SCANCODE_SPACE}}});  // no new press
  feed({.motion = {.type = SDL_MOUSEMOTION, .x = 5, .y = 6, .xrel = -3, .yrel = 4}});
  feed({.wheel = {.type = SDL_MOUSEWHEEL, .y = 2}});
  feed({.wheel = {.type = SDL_MOUSEWHEEL, .y = 2, .direction = SDL_MOUSEWHEEL_FLIPPED}});
  feed({.button = {.type = SDL_MOUSEBUTTONDOWN, .button = SDL_BUTTON_RIGHT}});
  feed({.button = {.type = SDL_MOUSEBUTTONDOWN, .button = SDL_BUTTON_X2}});

  qxinput::KeyboardState ks;
  ASSERT_EQ(kb->keyboardState(ks), qxinput::Result::ok);
  EXPECT_EQ(ks.keys[0x39], 0x80);
  qxinput::DeviceEvent ev[64];
  uint32_t n = 0;
  kb->getData(ev, 64, n);
  ASSERT_EQ(n, 1u);
  EXPECT_EQ(ev[0].offset, 0x39u);
  EXPECT_EQ(ev[0].data, 0x80u);
  // The buffer holds 32 events and drops later ones.
  for (uint8_t k = 0x10; k < 0x24; ++k) {
    hub.keyEvent(k, true);
    hub.keyEvent(k, false);
  }
  kb->getData(ev, 64, n);
  ASSERT_EQ(n, 32u);
  EXPECT_EQ(ev[31].offset, 0x1Fu);
  kb->getData(ev, 64, n);
  EXPECT_EQ(n, 0u);

  qxinput::MouseState m;
  ASSERT_EQ(ms->mouseState(m), qxinput::Result::ok);
  EXPECT_EQ(m.x, -3);
  EXPECT_EQ(m.y, 4);
  EXPECT_EQ(m.z, 0);  // two notches up, then two flipped
  EXPECT_EQ(m.buttons[1], 0x80);
  EXPECT_EQ(m.buttons[4], 0x80);
  EXPECT_EQ(m.buttons[0], 0);
  ms->getData(ev, 4, n);
  ASSERT_EQ(n, 4u);
  EXPECT_EQ(ev[2].offset, qxinput::kMouseOffsetZ);
  EXPECT_EQ(static_cast<int32_t>(ev[2].data), 240);
  int32_t x, y, w, h;
  hub.cursor(x, y, w, h);
  EXPECT_EQ((std::pair{x, y}), (std::pair{5, 6}));

  kb->setCooperative(true);
  feed({.window = {.type = SDL_WINDOWEVENT, .event = SDL_WINDOWEVENT_FOCUS_LOST}});
  EXPECT_EQ(kb->poll(), qxinput::Result::notAcquired);
  EXPECT_EQ(kb->acquire(), qxinput::Result::otherError);
  feed({.window = {.type = SDL_WINDOWEVENT, .event = SDL_WINDOWEVENT_FOCUS_GAINED}});
  EXPECT_EQ(kb->acquire(), qxinput::Result::ok);
  EXPECT_EQ(hub.createDevice(qxinput::DeviceId{}), nullptr);
}

// Virtual SDL joysticks stand in for pads: a mapped one as a game controller, a flight
// stick through its raw axes.
TEST(InputSdl, PadsArriveReportScaledAxesAndGoAway) {
  ASSERT_EQ(SDL_Init(SDL_INIT_GAMECONTROLLER), 0) << SDL_GetError();
  qxinput::InputHub hub;
  auto pump = [&] {
    SDL_Event e;
    SDL_PumpEvents();
    while (SDL_PollEvent(&e)) qxinput::feedSdlEvent(hub, e);
  };
  const int mapped = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 6, 15, 0);
  const int raw = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_FLIGHT_STICK, 4, 2, 0);
  ASSERT_GE(raw, 0) << SDL_GetError();
  SDL_Joystick* js[2] = {SDL_JoystickOpen(mapped), SDL_JoystickOpen(raw)};
  pump();
  const auto pads = hub.enumDevices(DeviceClass::gamepad);
  ASSERT_EQ(pads.size(), 2u);
  EXPECT_EQ(pads[0].type, qxinput::kTypeGamepad);
  EXPECT_EQ(pads[1].type, qxinput::kTypeJoystick);
  std::unique_ptr<qxinput::Device> dev[2] = {hub.createDevice(pads[0].id), hub.createDevice(pads[1].id)};
  for (int i = 0; i < 2; ++i) {
    ASSERT_NE(dev[i], nullptr);
    dev[i]->acquire();
    SDL_JoystickSetVirtualAxis(js[i], 0, 32767);
    SDL_JoystickSetVirtualAxis(js[i], 3, -32768);
    SDL_JoystickSetVirtualButton(js[i], 1, 1);
  }
  pump();
  for (int i = 0; i < 2; ++i) {
    qxinput::JoyState s;
    ASSERT_EQ(dev[i]->joyState(s), qxinput::Result::ok);
    EXPECT_EQ(s.x, 1000) << i;
    EXPECT_EQ(s.rz, -1000) << i;
    EXPECT_EQ(s.buttons[1], 0x80) << i;
  }
  // A raw stick's button events press and release.
  SDL_Event e{};
  e.jbutton.which = SDL_JoystickInstanceID(js[1]);
  for (const auto& [type, button, want] : {std::tuple{SDL_JOYBUTTONUP, 1, 0}, {SDL_JOYBUTTONDOWN, 2, 0x80}}) {
    e.type = type;
    e.jbutton.button = uint8_t(button);
    qxinput::feedSdlEvent(hub, e);
    qxinput::JoyState s;
    ASSERT_EQ(dev[1]->joyState(s), qxinput::Result::ok);
    EXPECT_EQ(s.buttons[button], want) << button;
  }
  for (SDL_Joystick* j : js) SDL_JoystickClose(j);
  SDL_JoystickDetachVirtual(raw);
  SDL_JoystickDetachVirtual(mapped);
  pump();
  EXPECT_TRUE(hub.enumDevices(DeviceClass::gamepad).empty());
  EXPECT_EQ(dev[0]->poll(), qxinput::Result::inputLost);
  SDL_Quit();
}

}  // namespace
