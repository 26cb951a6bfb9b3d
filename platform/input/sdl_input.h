// Feeds a window's SDL input events into an input hub. The events are taken on the UI
// thread as the pump dispatches them; the engine thread reads the hub.
//
//   auto link = qxinput::SdlInputLink::attach(*window, hub);  // any thread but the UI's
//   ...
//   link.reset();                                              // detaches
//
// Keys map to DIK scan codes by position (dikFromScancode), except the keys a Japanese
// (JIS) layout gives codes of their own (KeyLayout). Keys and mouse input that arrive
// while the window is in the background are not seen (SDL delivers none to a window
// without the focus); keyboards with background access read the keys down from the X
// server instead (X11Desktop), and elsewhere read every key as released there. Pads with
// background access keep reporting (SDL's background-events hint).
#pragma once
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/input/input_hub.h"

union SDL_Event;

namespace qxplat {
class Window;
}

namespace qxinput {

class X11Desktop;

// The DIK scan code of an SDL scancode, 0 for a key without one.
uint8_t dikFromScancode(int sdlScancode);
// The same for a Linux input key code, 0 for a key without one.
uint8_t dikFromLinuxKey(int code);

// Scan codes that depend on the keyboard layout. On a JIS layout (the key right of P
// gives "@" and the key right of ";" gives ":") those two keys are 0x91 (at) and 0x92
// (colon), and the key left of 1 (半角/全角) is 0x94 (kanji). JIS has no key of its own
// for 0x93 (underline): its "_" shares the "\" key (0x73).
class KeyLayout {
 public:
  // keyOf gives the layout's unshifted keycode of an SDL scancode (SDL_GetKeyFromScancode).
  static KeyLayout read(const std::function<int32_t(int)>& keyOf);
  bool isJis() const { return jis_; }
  uint8_t dik(int sdlScancode) const;
  // The layout's code of a key given by the code of its position.
  uint8_t relabel(uint8_t positionalDik) const;

 private:
  bool jis_ = false;
};

// What the desktop tells where no window is yet: the X server SDL's x11 driver talks to,
// over a connection of its own; null under any other driver. Any thread but the UI's.
std::shared_ptr<DesktopSource> openServerDesktop();

// Gives the hub what one SDL event says (UI thread). Pads are opened and closed here.
void feedSdlEvent(InputHub& hub, const SDL_Event& event, const KeyLayout& layout = KeyLayout());

class SdlInputLink {
 public:
  // Null when the UI thread's queue is closed.
  static std::unique_ptr<SdlInputLink> attach(qxplat::Window& window, std::shared_ptr<InputHub> hub);
  ~SdlInputLink();
  SdlInputLink(const SdlInputLink&) = delete;
  SdlInputLink& operator=(const SdlInputLink&) = delete;

  // The cursor to the middle of the client area (on the UI thread, without waiting).
  void centreCursor();
  // Reads the cursor where the system tells it also outside the window, so the hub holds
  // where it is now. Where no global position exists (Wayland, the offscreen driver) the
  // hub keeps the last position inside the window.
  void sampleCursor();

 private:
  SdlInputLink(qxplat::Window& window, std::shared_ptr<InputHub> hub) : window_(window), hub_(std::move(hub)) {}
  qxplat::Window& window_;
  std::shared_ptr<InputHub> hub_;
  int handler_ = 0;
  std::shared_ptr<X11Desktop> desktop_;  // on X11 only
};

}  // namespace qxinput
