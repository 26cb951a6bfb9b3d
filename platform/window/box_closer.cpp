#include "platform/window/box_closer.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/window/quit_signal.h"

namespace qxplat {

namespace {

// How often the watcher looks at the quit flag.
constexpr int kQuitPollMs = 100;
// Longest title compared, in 32-bit units of a property.
constexpr uint32_t kTitleMaxUnits = 1024;

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
  xcb_intern_atom_reply_t* r =
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
  const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
  std::free(r);
  return a;
}

// SDL shows its X11 box from a child process it forks. The fork must not catch the
// watcher halfway through work that holds a lock (an allocator's, notably) which the
// child's copy of it would then wait on for good: the watcher works only while it holds
// this guard, and a fork takes it first.
std::mutex& forkGuard() {
  static std::mutex m;
  return m;
}

void guardForks() {
  static std::once_flag once;
  std::call_once(once, [] {
    pthread_atfork([] { forkGuard().lock(); }, [] { forkGuard().unlock(); }, [] { forkGuard().unlock(); });
  });
}

// A property's bytes; none when the window is gone (xcb hands the error back here, where
// Xlib would call the process's error handler).
std::optional<std::string> property(xcb_connection_t* c, xcb_window_t w, xcb_atom_t name) {
  xcb_get_property_reply_t* r =
      xcb_get_property_reply(c, xcb_get_property(c, 0, w, name, XCB_GET_PROPERTY_TYPE_ANY, 0, kTitleMaxUnits), nullptr);
  if (!r) return std::nullopt;
  std::string bytes(static_cast<const char*>(xcb_get_property_value(r)), size_t(xcb_get_property_value_length(r)));
  std::free(r);
  return bytes;
}

}  // namespace

struct BoxCloser::State {
  xcb_connection_t* connection = nullptr;
  std::string title;
  int done = -1;  // an eventfd: the box is gone
  xcb_atom_t protocols = 0, deleteWindow = 0, netName = 0, windowType = 0, dialogType = 0;
  std::vector<xcb_window_t> made;  // top-level windows made since the watch began
  std::thread thread;

  ~State() {
    if (done >= 0) ::close(done);
    if (connection) xcb_disconnect(connection);
  }

  bool isTheBox(xcb_window_t w) {
    const std::optional<std::string> type = property(connection, w, windowType);
    if (!type || type->size() < 4) return false;
    bool dialog = false;
    for (size_t i = 0; i + 4 <= type->size(); i += 4) {
      xcb_atom_t a;
      std::memcpy(&a, type->data() + i, 4);
      dialog = dialog || a == dialogType;
    }
    return dialog && (property(connection, w, netName) == title || property(connection, w, XCB_ATOM_WM_NAME) == title);
  }

  // Asks the box to close as a window manager would; true when it was found.
  bool closeBox() {
    for (const xcb_window_t w : made) {
      if (!isTheBox(w)) continue;
      xcb_client_message_event_t e{};
      e.response_type = XCB_CLIENT_MESSAGE;
      e.format = 32;
      e.window = w;
      e.type = protocols;
      e.data.data32[0] = deleteWindow;
      e.data.data32[1] = XCB_CURRENT_TIME;
      xcb_send_event(connection, 0, w, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&e));
      xcb_flush(connection);
      return true;
    }
    return false;
  }

  void run(std::promise<void>& ready) {
    std::unique_lock<std::mutex> working(forkGuard());
    ready.set_value();
    const int fd = xcb_get_file_descriptor(connection);
    bool closed = false;
    for (;;) {
      while (xcb_generic_event_t* e = xcb_poll_for_event(connection)) {
        if ((e->response_type & 0x7F) == XCB_CREATE_NOTIFY) {
          const auto* created = reinterpret_cast<const xcb_create_notify_event_t*>(e);
          if (!created->override_redirect) made.push_back(created->window);
        }
        std::free(e);
      }
      if (xcb_connection_has_error(connection)) return;
      // The box may not have its title yet: it is looked for again until found.
      if (!closed && quitSignalled()) closed = closeBox();
      pollfd fds[2] = {{fd, POLLIN, 0}, {done, POLLIN, 0}};
      working.unlock();
      const int woke = ::poll(fds, 2, kQuitPollMs);
      working.lock();
      if (woke > 0 && (fds[1].revents & POLLIN)) return;
    }
  }
};

std::unique_ptr<BoxCloser> BoxCloser::watch(std::string title) {
  auto s = std::make_unique<State>();
  s->connection = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(s->connection)) return nullptr;
  s->done = ::eventfd(0, EFD_CLOEXEC);
  if (s->done < 0) return nullptr;
  s->title = std::move(title);
  const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  for (auto it = xcb_setup_roots_iterator(xcb_get_setup(s->connection)); it.rem; xcb_screen_next(&it)) {
    xcb_change_window_attributes(s->connection, it.data->root, XCB_CW_EVENT_MASK, &mask);
  }
  // The replies come after the server has taken the event mask: no window of the box is
  // made before the watch sees it.
  s->protocols = atom(s->connection, "WM_PROTOCOLS");
  s->deleteWindow = atom(s->connection, "WM_DELETE_WINDOW");
  s->netName = atom(s->connection, "_NET_WM_NAME");
  s->windowType = atom(s->connection, "_NET_WM_WINDOW_TYPE");
  s->dialogType = atom(s->connection, "_NET_WM_WINDOW_TYPE_DIALOG");
  if (s->dialogType == xcb_atom_t(XCB_ATOM_NONE)) return nullptr;
  guardForks();
  // The thread has started, and holds the guard, before the box's fork can come.
  std::promise<void> ready;
  std::future<void> started = ready.get_future();
  State* state = s.get();
  s->thread = std::thread([state, &ready] { state->run(ready); });
  started.wait();
  return std::unique_ptr<BoxCloser>(new BoxCloser(std::move(s)));
}

BoxCloser::BoxCloser(std::unique_ptr<State> state) : state_(std::move(state)) {}

BoxCloser::~BoxCloser() {
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = ::write(state_->done, &one, sizeof one);
  state_->thread.join();
}

}  // namespace qxplat
