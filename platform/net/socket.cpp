#include "platform/net/socket.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <string.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>

namespace qxnet {

namespace {

int64_t nowMs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

}  // namespace

std::string errnoText(int e) {
  char buf[256];
  return std::string(strerror_r(e, buf, sizeof buf));
}

void ignoreSigpipe() {
  struct sigaction sa {};
  sa.sa_handler = SIG_IGN;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGPIPE, &sa, nullptr);
}

AbortEvent::AbortEvent() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

AbortEvent::~AbortEvent() {
  if (fd_ >= 0) ::close(fd_);
}

void AbortEvent::set() {
  uint64_t one = 1;
  [[maybe_unused]] ssize_t r = ::write(fd_, &one, sizeof one);
}

void AbortEvent::clear() {
  uint64_t v;
  while (::read(fd_, &v, sizeof v) > 0) {
  }
}

bool AbortEvent::isSet() const {
  pollfd p{fd_, POLLIN, 0};
  return ::poll(&p, 1, 0) > 0 && (p.revents & POLLIN);
}

WaitResult waitFd(int fd, bool forWrite, const AbortEvent& abort, int timeoutMs) {
  const int64_t end = timeoutMs < 0 ? 0 : nowMs() + timeoutMs;
  for (;;) {
    pollfd p[2] = {{abort.fd(), POLLIN, 0}, {fd, static_cast<short>(forWrite ? POLLOUT : POLLIN), 0}};
    int wait = -1;
    if (timeoutMs >= 0) {
      int64_t left = end - nowMs();
      wait = left > 0 ? static_cast<int>(left) : 0;
    }
    int r = ::poll(p, 2, wait);
    if (r < 0) {
      if (errno == EINTR) continue;
      return WaitResult::error;
    }
    if (p[0].revents & POLLIN) return WaitResult::aborted;
    if (r == 0) return WaitResult::timeout;
    // Errors and hang-ups surface from the next send or receive.
    if (p[1].revents) return WaitResult::ready;
  }
}

bool canResolve(const std::string& host) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  if (host.empty() || getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0 || !list) return false;
  freeaddrinfo(list);
  return true;
}

bool TcpSocket::connect(const std::string& host, uint16_t port, const AbortEvent& abort, int timeoutMs,
                        std::string& why) {
  close();
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* list = nullptr;
  const std::string service = std::to_string(port);
  int rc = getaddrinfo(host.c_str(), service.c_str(), &hints, &list);
  if (rc != 0 || !list) {
    why = "cannot resolve \"" + host + "\": " + gai_strerror(rc);
    return false;
  }
  const int64_t end = nowMs() + timeoutMs;
  why = "no address of \"" + host + "\" answered";
  for (addrinfo* a = list; a; a = a->ai_next) {
    int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) {
      why = "socket: " + errnoText(errno);
      continue;
    }
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    int r = ::connect(fd, a->ai_addr, a->ai_addrlen);
    if (r != 0 && errno == EINPROGRESS) {
      int64_t left = end - nowMs();
      WaitResult w = waitFd(fd, true, abort, left > 0 ? static_cast<int>(left) : 0);
      if (w == WaitResult::aborted) {
        ::close(fd);
        why = "aborted while connecting to \"" + host + "\"";
        break;
      }
      if (w != WaitResult::ready) {
        ::close(fd);
        why = "connecting to \"" + host + "\" timed out";
        continue;
      }
      int err = 0;
      socklen_t len = sizeof err;
      getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
      r = err == 0 ? 0 : -1;
      errno = err;
    }
    if (r != 0) {
      why = "connect to \"" + host + "\": " + errnoText(errno);
      ::close(fd);
      continue;
    }
    fd_ = fd;
    break;
  }
  freeaddrinfo(list);
  if (fd_ < 0) return false;
  why.clear();
  return true;
}

long TcpSocket::send(const void* data, size_t n) {
  want_ = Want::nothing;
  for (;;) {
    ssize_t r = ::send(fd_, data, n, MSG_NOSIGNAL);
    if (r >= 0) return static_cast<long>(r);
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      want_ = Want::write;
    } else {
      error_ = "send: " + errnoText(errno);
    }
    return -1;
  }
}

long TcpSocket::recv(void* data, size_t n) {
  want_ = Want::nothing;
  for (;;) {
    ssize_t r = ::recv(fd_, data, n, 0);
    if (r >= 0) return static_cast<long>(r);
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      want_ = Want::read;
    } else {
      error_ = "recv: " + errnoText(errno);
    }
    return -1;
  }
}

void TcpSocket::close() {
  if (fd_ < 0) return;
  ::shutdown(fd_, SHUT_RDWR);
  ::close(fd_);
  fd_ = -1;
  want_ = Want::nothing;
}

}  // namespace qxnet
