#include "platform/input/sdl_input.h"

#include <SDL.h>

#include <cstring>
#include <map>

#include "platform/core/utf.h"
#include "platform/input/x11_desktop.h"
#include "platform/window/ui_thread.h"
#include "platform/window/window.h"

namespace qxinput {

namespace {

// Pads opened on the UI thread, by SDL instance id; UI thread only.
struct OpenPad {
  uint32_t number = 0;
  SDL_GameController* controller = nullptr;  // mapped pads
  SDL_Joystick* joystick = nullptr;          // raw ones
};
std::map<SDL_JoystickID, OpenPad>& openPads() {
  static std::map<SDL_JoystickID, OpenPad> pads;
  return pads;
}

int32_t scaleAxis(int32_t v) {
  const int32_t s = v * kAxisRange / 32767;
  return s < -kAxisRange ? -kAxisRange : s;
}

void addPad(InputHub& hub, int deviceIndex) {
  OpenPad p;
  const char* name = nullptr;
  if (SDL_IsGameController(deviceIndex)) {
    p.controller = SDL_GameControllerOpen(deviceIndex);
    if (!p.controller) return;
    p.joystick = SDL_GameControllerGetJoystick(p.controller);
    name = SDL_GameControllerName(p.controller);
  } else {
    p.joystick = SDL_JoystickOpen(deviceIndex);
    if (!p.joystick) return;
    name = SDL_JoystickName(p.joystick);
  }
  const SDL_JoystickID id = SDL_JoystickInstanceID(p.joystick);
  if (openPads().count(id)) {
    if (p.controller) SDL_GameControllerClose(p.controller);
    else SDL_JoystickClose(p.joystick);
    return;
  }
  p.number = hub.padAdded(qcore::utf8ToUtf16(name ? name : "Joypad"), p.controller != nullptr);
  openPads()[id] = p;
}

void closePad(const OpenPad& p) {
  if (p.controller) SDL_GameControllerClose(p.controller);
  else SDL_JoystickClose(p.joystick);
}

void removePad(InputHub& hub, SDL_JoystickID id) {
  auto it = openPads().find(id);
  if (it == openPads().end()) return;
  hub.padRemoved(it->second.number);
  closePad(it->second);
  openPads().erase(it);
}

// The pad of an event: mapped ones answer controller events, raw ones joystick events.
const OpenPad* padOf(SDL_JoystickID id, bool controllerEvent) {
  auto it = openPads().find(id);
  if (it == openPads().end() || (it->second.controller != nullptr) != controllerEvent) return nullptr;
  return &it->second;
}

// Left stick X/Y, right stick as Z/Rz; raw axes 0..3 the same way.
int axisSlot(int axis) {
  static const int kSlots[4] = {0, 1, 2, 5};
  return axis >= 0 && axis < 4 ? kSlots[axis] : -1;
}

int32_t layoutKey(int scancode) { return SDL_GetKeyFromScancode(static_cast<SDL_Scancode>(scancode)); }

// Drivers whose global cursor position is the screen's; others (Wayland, offscreen) give
// none, or only the position inside the window.
bool hasGlobalCursor() {
  const char* driver = SDL_GetCurrentVideoDriver();
  return driver != nullptr && (std::strcmp(driver, "x11") == 0 || std::strcmp(driver, "windows") == 0 ||
                               std::strcmp(driver, "cocoa") == 0);
}

int mouseButtonOf(uint8_t sdlButton) {
  switch (sdlButton) {
    case SDL_BUTTON_LEFT: return 0;
    case SDL_BUTTON_RIGHT: return 1;
    case SDL_BUTTON_MIDDLE: return 2;
    case SDL_BUTTON_X1: return 3;
    case SDL_BUTTON_X2: return 4;
    default: return -1;
  }
}

}  // namespace

KeyLayout KeyLayout::read(const std::function<int32_t(int)>& keyOf) {
  KeyLayout layout;
  layout.jis_ = keyOf(SDL_SCANCODE_LEFTBRACKET) == SDLK_AT && keyOf(SDL_SCANCODE_APOSTROPHE) == SDLK_COLON;
  return layout;
}

uint8_t KeyLayout::dik(int sdlScancode) const { return relabel(dikFromScancode(sdlScancode)); }

uint8_t KeyLayout::relabel(uint8_t positionalDik) const {
  if (jis_) {
    switch (positionalDik) {
      case 0x1A: return 0x91;  // right of P
      case 0x28: return 0x92;  // right of ;
      case 0x29: return 0x94;  // left of 1
      default: break;
    }
  }
  return positionalDik;
}

void feedSdlEvent(InputHub& hub, const SDL_Event& e, const KeyLayout& layout) {
  switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      if (e.key.repeat) return;
      if (uint8_t dik = layout.dik(e.key.keysym.scancode)) hub.keyEvent(dik, e.type == SDL_KEYDOWN);
      return;
    case SDL_MOUSEMOTION:
      hub.cursorAt(e.motion.x, e.motion.y);
      hub.mouseMotion(e.motion.xrel, e.motion.yrel);
      return;
    case SDL_MOUSEWHEEL:
      hub.mouseWheel(e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y);
      return;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      hub.mouseButton(mouseButtonOf(e.button.button), e.type == SDL_MOUSEBUTTONDOWN);
      return;
    case SDL_WINDOWEVENT:
      if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) hub.focus(true);
      if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) hub.focus(false);
      return;
    case SDL_JOYDEVICEADDED:
      addPad(hub, e.jdevice.which);
      return;
    case SDL_JOYDEVICEREMOVED:
      removePad(hub, e.jdevice.which);
      return;
    case SDL_CONTROLLERAXISMOTION:
      if (const OpenPad* p = padOf(e.caxis.which, true)) {
        hub.padAxis(p->number, axisSlot(e.caxis.axis), scaleAxis(e.caxis.value));
      }
      return;
    case SDL_JOYAXISMOTION:
      if (const OpenPad* p = padOf(e.jaxis.which, false)) {
        hub.padAxis(p->number, axisSlot(e.jaxis.axis), scaleAxis(e.jaxis.value));
      }
      return;
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP:
      if (const OpenPad* p = padOf(e.cbutton.which, true); p && e.cbutton.button < kPadButtons) {
        hub.padButton(p->number, e.cbutton.button, e.type == SDL_CONTROLLERBUTTONDOWN);
      }
      return;
    case SDL_JOYBUTTONDOWN:
    case SDL_JOYBUTTONUP:
      if (const OpenPad* p = padOf(e.jbutton.which, false); p && e.jbutton.button < kPadButtons) {
        hub.padButton(p->number, e.jbutton.button, e.type == SDL_JOYBUTTONDOWN);
      }
      return;
    default:
      return;
  }
}

std::shared_ptr<DesktopSource> openServerDesktop() { return X11Desktop::openServer(); }

std::unique_ptr<SdlInputLink> SdlInputLink::attach(qxplat::Window& window, std::shared_ptr<InputHub> hub) {
  std::unique_ptr<SdlInputLink> link(new SdlInputLink(window, hub));
  hub->setClientSize(static_cast<int32_t>(window.clientWidth()), static_cast<int32_t>(window.clientHeight()));
  SdlInputLink* l = link.get();
  const bool ran = qxplat::uiRunWaiting([l, &window, hub] {
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
      SDL_Log("input: no game controllers: %s", SDL_GetError());
    }
    // The layout is read here and again whenever the system changes it.
    auto layout = std::make_shared<std::atomic<KeyLayout>>(KeyLayout::read(layoutKey));
    l->handler_ = window.addEventHandler([hub, layout](const SDL_Event& e) {
      if (e.type == SDL_KEYMAPCHANGED) layout->store(KeyLayout::read(layoutKey));
      feedSdlEvent(*hub, e, layout->load());
    });
    l->desktop_ = X11Desktop::open(window.sdlWindow(), layout);
  });
  if (!ran) return nullptr;
  hub->setDesktop(l->desktop_);
  hub->setBackgroundPadObserver([] {
    qxplat::uiPost([] { SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1"); });
  });
  return link;
}

SdlInputLink::~SdlInputLink() {
  hub_->setBackgroundPadObserver(nullptr);
  hub_->setDesktop(nullptr);
  qxplat::uiRunWaiting([this] {
    SDL_ResetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS);
    window_.removeEventHandler(handler_);
    for (const auto& [id, pad] : openPads()) closePad(pad);
    openPads().clear();
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
  });
}

void SdlInputLink::sampleCursor() {
  // SDL's positions lag behind pointer moves that come without raw device events (XTEST,
  // remote desktops): the server is asked where the pointer is now.
  if (desktop_) {
    int32_t x = 0, y = 0;
    if (desktop_->pointer(x, y)) hub_->cursorAt(x, y);
    return;
  }
  SDL_Window* w = window_.sdlWindow();
  std::shared_ptr<InputHub> hub = hub_;
  qxplat::uiRunWaiting([w, hub] {
    if (!hasGlobalCursor()) return;
    int gx = 0, gy = 0, wx = 0, wy = 0;
    SDL_GetGlobalMouseState(&gx, &gy);
    SDL_GetWindowPosition(w, &wx, &wy);
    hub->cursorAt(gx - wx, gy - wy);
  });
}

void SdlInputLink::centreCursor() {
  // Arithmetic halving of the client size, as the cursor's home.
  const int32_t x = static_cast<int32_t>(window_.clientWidth()) / 2;
  const int32_t y = static_cast<int32_t>(window_.clientHeight()) / 2;
  hub_->cursorAt(x, y);
  SDL_Window* w = window_.sdlWindow();
  qxplat::uiPost([w, x, y] { SDL_WarpMouseInWindow(w, x, y); });
}

}  // namespace qxinput
