// The X server's answers about the desktop a window shows on, asked without the window's
// focus or a grab: the keys down whatever window has the focus, the pointer, and the
// keyboard's auto-repeat. They go over a connection of our own: SDL's carries the
// window's events, which a reply read on another thread would leave waiting unseen.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/input/input_hub.h"
#include "platform/input/sdl_input.h"

struct SDL_Window;
struct _XDisplay;

namespace qxinput {

class X11Desktop final : public DesktopSource {
 public:
  // Null unless the window is shown through SDL's X11 driver and its server answers.
  // The layout is read on every call to keys.
  static std::shared_ptr<X11Desktop> open(SDL_Window* window, std::shared_ptr<const std::atomic<KeyLayout>> layout);
  // Without a window: the server SDL's x11 driver talks to (DISPLAY), its keys read by
  // their positions; null under any other driver. Any thread but the UI thread's.
  static std::shared_ptr<X11Desktop> openServer();
  ~X11Desktop() override;
  X11Desktop(const X11Desktop&) = delete;
  X11Desktop& operator=(const X11Desktop&) = delete;

  bool keys(uint8_t (&down)[256]) override;
  bool keyRepeat(int32_t& delayMs, int32_t& intervalMs) override;
  // Where the pointer is, relative to the window's client area; false when it is on
  // another screen, or without a window.
  bool pointer(int32_t& x, int32_t& y);

 private:
  X11Desktop(_XDisplay* display, unsigned long window, std::shared_ptr<const std::atomic<KeyLayout>> layout)
      : display_(display), window_(window), layout_(std::move(layout)) {}

  std::mutex mutex_;  // one request and its reply at a time
  _XDisplay* display_;
  unsigned long window_;
  std::shared_ptr<const std::atomic<KeyLayout>> layout_;
};

}  // namespace qxinput
