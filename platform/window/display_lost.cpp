#include "platform/window/display_lost.h"

#include <X11/Xlib.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>

#include "platform/thread/thread.h"

namespace qxplat {

namespace {

std::atomic<int> logFd{-1};
std::atomic<pid_t> installer{0};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<pid_t>::is_always_lock_free,
              "read by a handler that may run on any thread at any time");

// Everything below runs with Xlib's lock held and the allocator possibly mid-call on
// another thread: no allocation, no stdio, no locks.
struct Line {
  char* at;
  char* end;
  void put(const char* s) {
    while (*s && at < end) *at++ = *s++;
  }
  void put(uint64_t v) {
    char digits[20];
    int n = 0;
    do {
      digits[n++] = char('0' + v % 10);
      v /= 10;
    } while (v);
    while (n && at < end) *at++ = digits[--n];
  }
};

void writeAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n <= 0) return;
    data += n;
    size -= size_t(n);
  }
}

// The display's name is cut to this, so the line always ends whole.
constexpr size_t kNameMax = 200;

void putMessage(Line& l, const char* name) {
  l.put("the connection to the X display \"");
  for (size_t i = 0; name && name[i] && i < kNameMax && l.at < l.end; ++i) *l.at++ = name[i];
  l.put("\" was lost; the program ends\n");
}

int onDisplayLost(Display* display) {
  if (::getpid() == installer.load(std::memory_order_relaxed)) {
    const char* name = display ? DisplayString(display) : nullptr;
    char out[384];
    Line err{out, out + sizeof out};
    err.put("qx: ");
    putMessage(err, name);
    writeAll(STDERR_FILENO, out, size_t(err.at - out));
    const int fd = logFd.load(std::memory_order_acquire);
    if (fd >= 0) {
      Line log{out, out + sizeof out};
      log.put("[");
      log.put(uint64_t(monotonicMs()));
      log.put("]: ");
      putMessage(log, name);
      writeAll(fd, out, size_t(log.at - out));
    }
  }
  // A forked box child says nothing: its parent counts the box as failed and shows the
  // text on stderr, then meets the lost display itself.
  ::_exit(1);
}

}  // namespace

void installDisplayLostHandler() {
  installer.store(::getpid(), std::memory_order_relaxed);
  XSetIOErrorHandler(onDisplayLost);
}

int setDisplayLostLog(int fd) { return logFd.exchange(fd, std::memory_order_acq_rel); }

}  // namespace qxplat
