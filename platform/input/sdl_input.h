// Feeds a window's SDL input events into an input hub. The events are taken on the UI
// thread as the pump dispatches them; the engine thread reads the hub.
//
//   auto link = qxinput::SdlInputLink::attach(*window, hub);  // any thread but the UI's
//   ...
//   link.reset();                                              // detaches
//
// Keys map to DIK scan codes by position (dikFromScancode). Keys that only a Japanese
// layout driver reports (0x91 at, 0x92 colon, 0x93 underline, 0x94 kanji) are never
// produced. Input that arrives while the window is in the background is not seen (SDL
// delivers none), so background access reads the keys as released.
#pragma once
#include <cstdint>
#include <memory>

#include "platform/input/input_hub.h"

union SDL_Event;

namespace qxplat {
class Window;
}

namespace qxinput {

// The DIK scan code of an SDL scancode, 0 for a key without one.
uint8_t dikFromScancode(int sdlScancode);

// Gives the hub what one SDL event says (UI thread). Pads are opened and closed here.
void feedSdlEvent(InputHub& hub, const SDL_Event& event);

class SdlInputLink {
 public:
  // Null when the UI thread's queue is closed.
  static std::unique_ptr<SdlInputLink> attach(qxplat::Window& window, std::shared_ptr<InputHub> hub);
  ~SdlInputLink();
  SdlInputLink(const SdlInputLink&) = delete;
  SdlInputLink& operator=(const SdlInputLink&) = delete;

  // The cursor to the middle of the client area (on the UI thread, without waiting).
  void centreCursor();

 private:
  SdlInputLink(qxplat::Window& window, std::shared_ptr<InputHub> hub) : window_(window), hub_(std::move(hub)) {}
  qxplat::Window& window_;
  std::shared_ptr<InputHub> hub_;
  int handler_ = 0;
};

}  // namespace qxinput
