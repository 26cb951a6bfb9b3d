#include "platform/window/x_errors.h"

#include <X11/Xlib.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <iterator>

#include "platform/thread/thread.h"

namespace qxplat {

namespace {

std::atomic<int> logFd{-1};
std::atomic<pid_t> installer{0};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<pid_t>::is_always_lock_free,
              "read by a handler that may run on any thread at any time");

// Everything below runs inside Xlib, with the allocator possibly mid-call on another
// thread: no allocation, no stdio, no locks.
struct Line {
  char* at;
  char* end;
  void put(const char* s) {
    while (*s && at < end) *at++ = *s++;
  }
  void put(uint64_t v, unsigned base = 10) {
    char digits[24];
    int n = 0;
    do {
      digits[n++] = "0123456789abcdef"[v % base];
      v /= base;
    } while (v);
    while (n && at < end) *at++ = digits[--n];
  }
  // The display's name is cut, so the line always ends whole.
  void putDisplay(const Display* display) {
    constexpr size_t kNameMax = 200;
    const char* name = display ? DisplayString(display) : nullptr;
    put("\"");
    for (size_t i = 0; name && name[i] && i < kNameMax && at < end; ++i) *at++ = name[i];
    put("\"");
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

// The installing process writes "qx: <message>" to stderr and "[<ms>]: <message>" to the
// log; a forked box child says nothing: its parent counts the box as failed and shows
// the text on stderr, then meets the same display itself. Both end with exit code 1.
template <class Message>
[[noreturn]] void tellAndEnd(Message putMessage) {
  if (::getpid() == installer.load(std::memory_order_relaxed)) {
    char out[512];
    Line err{out, out + sizeof out};
    err.put("qx: ");
    putMessage(err);
    writeAll(STDERR_FILENO, out, size_t(err.at - out));
    const int fd = logFd.load(std::memory_order_acquire);
    if (fd >= 0) {
      Line log{out, out + sizeof out};
      log.put("[");
      log.put(uint64_t(monotonicMs()));
      log.put("]: ");
      putMessage(log);
      writeAll(fd, out, size_t(log.at - out));
    }
  }
  ::_exit(1);
}

int onDisplayLost(Display* display) {
  tellAndEnd([display](Line& l) {
    l.put("the connection to the X display ");
    l.putDisplay(display);
    l.put(" was lost; the program ends\n");
  });
}

// The core protocol's error names, by code; an extension's errors are told by number.
constexpr const char* kCoreErrors[] = {
    nullptr,     "BadRequest", "BadValue",  "BadWindow",   "BadPixmap", "BadAtom",
    "BadCursor", "BadFont",    "BadMatch",  "BadDrawable", "BadAccess", "BadAlloc",
    "BadColor",  "BadGC",      "BadIDChoice", "BadName",   "BadLength", "BadImplementation"};

int onRequestRefused(Display* display, XErrorEvent* e) {
  tellAndEnd([display, e](Line& l) {
    l.put("the X display ");
    l.putDisplay(display);
    l.put(" refused a request: error ");
    l.put(e->error_code);
    if (e->error_code < std::size(kCoreErrors) && kCoreErrors[e->error_code]) {
      l.put(" (");
      l.put(kCoreErrors[e->error_code]);
      l.put(")");
    }
    l.put(", major opcode ");
    l.put(e->request_code);
    l.put(", minor opcode ");
    l.put(e->minor_code);
    l.put(", resource id 0x");
    l.put(uint64_t(e->resourceid), 16);
    l.put("; the program ends\n");
  });
}

}  // namespace

void installXErrorHandlers() {
  installer.store(::getpid(), std::memory_order_relaxed);
  XSetIOErrorHandler(onDisplayLost);
  XSetErrorHandler(onRequestRefused);
}

int setXErrorLog(int fd) { return logFd.exchange(fd, std::memory_order_acq_rel); }

}  // namespace qxplat
