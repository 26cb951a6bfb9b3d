// SDL's message box on an X server runs an event loop of its own, on a connection of its
// own, deaf to all but its window: while it waits for a click, nothing the program does
// reaches it. So that SIGINT and SIGTERM still end the program, a watcher on another
// connection notes the top-level windows made while a box is open and, once the program
// is asked to end, closes the one that is the box (a dialog of the box's title) as a
// window manager's close button would.
#pragma once
#include <memory>
#include <string>

namespace qxplat {

class BoxCloser {
 public:
  // Starts watching before the box of that title is made; null when no X server answers
  // on DISPLAY (nothing then closes the box).
  static std::unique_ptr<BoxCloser> watch(std::string title);
  // Stops watching (the box is gone).
  ~BoxCloser();
  BoxCloser(const BoxCloser&) = delete;
  BoxCloser& operator=(const BoxCloser&) = delete;

  struct State;

 private:
  explicit BoxCloser(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace qxplat
