// The program's window. Created and destroyed on the UI thread; its SDL handle may be
// used by the engine thread (the GL context is made there) from creation until the UI
// thread's run ends, which is after the engine thread has ended.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

struct SDL_Window;
union SDL_Event;

namespace qxplat {

// What the window gets from the events the UI thread pumps: every SDL event (input, text,
// window), on the UI thread.
using WindowEventHandler = std::function<void(const SDL_Event&)>;

struct WindowSpec {
  uint32_t clientWidth = 0;
  uint32_t clientHeight = 0;
  std::string title;           // UTF-8; cut to what a 128-unit UTF-16 field holds
  WindowEventHandler onEvent;  // may be empty
};

// Where the window opens on the screen.
constexpr int kWindowX = 512;
constexpr int kWindowY = 128;
// Longest title in UTF-16 units (the field holds 128 with its terminator).
constexpr size_t kMaxTitleUnits = 127;

// "<title>:QX v0.03[<year>: <Mon><day>]" for the given local date (month 1..12).
std::string makeWindowTitle(std::string_view scriptTitle, int year, int month, int day);
// The same with today's local date.
std::string makeWindowTitle(std::string_view scriptTitle);
// Cuts a UTF-8 title to kMaxTitleUnits UTF-16 units without splitting a character.
std::string clampWindowTitle(std::string_view title);

// The SDL id of the window an event belongs to (keys, text, mouse, window events); 0 for
// events of no window (pads, quit, the keymap).
uint32_t eventWindowId(const SDL_Event& event);

class Window {
 public:
  // UI thread only. Null when SDL cannot make the window.
  static std::unique_ptr<Window> create(const WindowSpec& spec);
  ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // The SDL window, made with SDL_WINDOW_OPENGL: the engine thread creates its GL context
  // for it. Valid until the UI thread's run returns.
  SDL_Window* sdlWindow() const { return window_; }
  uint32_t sdlWindowId() const { return id_; }
  uint32_t clientWidth() const { return width_; }
  uint32_t clientHeight() const { return height_; }
  // False once the user closed it (the window itself lives on until the run ends).
  bool isOpen() const { return open_.load(std::memory_order_acquire); }

  // UI thread only (post them through the request queue): more receivers of the pumped
  // events, called after the WindowSpec's own handler in the order added. The id removes one.
  int addEventHandler(WindowEventHandler handler);
  void removeEventHandler(int id);

  // UI thread: hands an event to every handler, unless it belongs to another window.
  void dispatch(const SDL_Event& event);
  void markClosed() { open_.store(false, std::memory_order_release); }

 private:
  Window(SDL_Window* window, const WindowSpec& spec);

  SDL_Window* window_;
  uint32_t id_;
  uint32_t width_;
  uint32_t height_;
  std::atomic<bool> open_{true};
  int nextHandlerId_ = 1;
  std::vector<std::pair<int, std::shared_ptr<WindowEventHandler>>> handlers_;
};

}  // namespace qxplat
