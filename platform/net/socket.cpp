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
#include <vector>

#include "platform/net/resolver.h"

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

const char* failureText(Failure f) {
  switch (f) {
    case Failure::none:
      return "";
    case Failure::aborted:
      return "cancelled";
    case Failure::resolve:
      return "cannot resolve host";
    case Failure::refused:
      return "connection refused";
    case Failure::connectFailed:
      return "connection failed";
    case Failure::untrusted:
      return "certificate not trusted";
    case Failure::nameMismatch:
      return "certificate name mismatch";
    case Failure::tlsFailed:
      return "TLS handshake failed";
    case Failure::timeout:
      return "timed out";
    case Failure::closed:
      return "connection closed before the reply ended";
    case Failure::sendFailed:
      return "send failed";
    case Failure::malformed:
      return "malformed reply";
  }
  return "failed";
}

std::string bareHost(const std::string& host) {
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') return host.substr(1, host.size() - 2);
  return host;
}

bool TcpSocket::connect(const std::string& host, uint16_t port, const AbortEvent& abort, int timeoutMs,
                        NetError& why) {
  close();
  std::vector<SockAddr> addrs;
  if (!resolveHost(host, port, abort, timeoutMs, addrs, why)) return false;
  const int64_t end = nowMs() + timeoutMs;
  why.set(Failure::connectFailed, "no address of \"" + host + "\" answered");
  for (const SockAddr& a : addrs) {
    int fd = ::socket(a.addr.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) {
      why.set(Failure::connectFailed, "socket: " + errnoText(errno));
      continue;
    }
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    int r = ::connect(fd, reinterpret_cast<const sockaddr*>(&a.addr), a.len);
    if (r != 0 && errno == EINPROGRESS) {
      int64_t left = end - nowMs();
      WaitResult w = waitFd(fd, true, abort, left > 0 ? static_cast<int>(left) : 0);
      if (w == WaitResult::aborted) {
        ::close(fd);
        why.set(Failure::aborted, "aborted while connecting to \"" + host + "\"");
        break;
      }
      if (w != WaitResult::ready) {
        ::close(fd);
        why.set(Failure::timeout, "connecting to \"" + host + "\" timed out");
        continue;
      }
      int err = 0;
      socklen_t len = sizeof err;
      getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
      r = err == 0 ? 0 : -1;
      errno = err;
    }
    if (r != 0) {
      const int e = errno;
      why.set(e == ECONNREFUSED ? Failure::refused : Failure::connectFailed,
              "connect to \"" + host + "\": " + errnoText(e));
      ::close(fd);
      continue;
    }
    fd_ = fd;
    break;
  }
  if (fd_ < 0) return false;
  why = NetError();
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
