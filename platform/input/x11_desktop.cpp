#include "platform/input/x11_desktop.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <cstring>

#include "platform/window/ui_thread.h"

namespace qxinput {

namespace {

// Keycodes below this are never given to keys.
constexpr int kFirstKeycode = 8;

}  // namespace

std::shared_ptr<X11Desktop> X11Desktop::open(SDL_Window* window,
                                             std::shared_ptr<const std::atomic<KeyLayout>> layout) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return nullptr;
  Display* own = XOpenDisplay(DisplayString(info.info.x11.display));
  if (!own) return nullptr;
  return std::shared_ptr<X11Desktop>(new X11Desktop(own, info.info.x11.window, std::move(layout)));
}

std::shared_ptr<X11Desktop> X11Desktop::openServer() {
  bool x11 = false;
  qxplat::uiRunWaiting([&] {
    const char* driver = SDL_GetCurrentVideoDriver();
    x11 = driver != nullptr && std::strcmp(driver, "x11") == 0;
  });
  if (!x11) return nullptr;
  // SDL's driver opens the display DISPLAY names, as this does.
  Display* own = XOpenDisplay(nullptr);
  if (!own) return nullptr;
  return std::shared_ptr<X11Desktop>(new X11Desktop(own, 0, std::make_shared<std::atomic<KeyLayout>>()));
}

X11Desktop::~X11Desktop() { XCloseDisplay(display_); }

bool X11Desktop::keys(uint8_t (&down)[256]) {
  char map[32] = {};
  {
    std::lock_guard<std::mutex> g(mutex_);
    XQueryKeymap(display_, map);
  }
  std::memset(down, 0, sizeof down);
  const KeyLayout layout = layout_->load();
  for (int keycode = kFirstKeycode; keycode < 256; ++keycode) {
    if (!(static_cast<unsigned char>(map[keycode / 8]) & (1u << (keycode % 8)))) continue;
    // evdev and libinput servers number keys by their Linux input codes, plus 8.
    if (const uint8_t dik = layout.relabel(dikFromLinuxKey(keycode - kFirstKeycode))) down[dik] = 0x80;
  }
  return true;
}

bool X11Desktop::keyRepeat(int32_t& delayMs, int32_t& intervalMs) {
  unsigned int delay = 0, interval = 0;
  {
    std::lock_guard<std::mutex> g(mutex_);
    if (!XkbGetAutoRepeatRate(display_, XkbUseCoreKbd, &delay, &interval)) return false;
  }
  delayMs = static_cast<int32_t>(delay);
  intervalMs = static_cast<int32_t>(interval);
  return true;
}

bool X11Desktop::pointer(int32_t& x, int32_t& y) {
  if (window_ == 0) return false;
  Window root = 0, child = 0;
  int rootX = 0, rootY = 0, windowX = 0, windowY = 0;
  unsigned int buttons = 0;
  std::lock_guard<std::mutex> g(mutex_);
  if (!XQueryPointer(display_, window_, &root, &child, &rootX, &rootY, &windowX, &windowY, &buttons)) return false;
  x = windowX;
  y = windowY;
  return true;
}

}  // namespace qxinput
