// TCP client sockets for the socket workers: non-blocking, every wait bounded by a time
// limit and ended at once by the worker's abort event.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

namespace qxnet {

// Writes to a peer that has gone must report an error, not kill the process.
void ignoreSigpipe();

// An abort signal a waiting socket call notices at once (an eventfd). set may be called
// from any thread.
class AbortEvent {
 public:
  AbortEvent();
  ~AbortEvent();
  AbortEvent(const AbortEvent&) = delete;
  AbortEvent& operator=(const AbortEvent&) = delete;

  void set();
  void clear();
  bool isSet() const;
  int fd() const { return fd_; }

 private:
  int fd_;
};

enum class WaitResult { ready, aborted, timeout, error };

// Why an exchange ended without its reply; failureText gives the short reason scripts see.
enum class Failure {
  none,
  aborted,        // cancelled or shut down: nobody is told
  resolve,        // the name did not resolve
  refused,        // nothing listens at the address
  connectFailed,  // any other connect error (unreachable, ...)
  untrusted,      // the peer's certificate chain is not trusted
  nameMismatch,   // the certificate is for another name
  tlsFailed,      // any other handshake failure
  timeout,        // no progress within the time limit
  closed,         // closed or reset before the reply ended
  sendFailed,
  malformed,      // the bytes received are no reply
};
const char* failureText(Failure f);

// A failure and its detail for the debug log.
struct NetError {
  Failure kind = Failure::none;
  std::string detail;
  void set(Failure k, std::string d) {
    kind = k;
    detail = std::move(d);
  }
};

// host without the brackets of an IPv6 literal ("[::1]" -> "::1").
std::string bareHost(const std::string& host);

// Waits until fd can be read (or written), the abort is set, or timeoutMs pass (< 0: no
// limit). The abort wins over readiness.
WaitResult waitFd(int fd, bool forWrite, const AbortEvent& abort, int timeoutMs);

// What a send or receive that did nothing waits for.
enum class Want { nothing, read, write };

class TcpSocket {
 public:
  TcpSocket() = default;
  ~TcpSocket() { close(); }
  TcpSocket(const TcpSocket&) = delete;
  TcpSocket& operator=(const TcpSocket&) = delete;

  // Resolves host (resolver.h) and connects to the first of its addresses that answers;
  // the lookup and the connect each within timeoutMs. False with the reason in why.
  bool connect(const std::string& host, uint16_t port, const AbortEvent& abort, int timeoutMs, NetError& why);
  // > 0 bytes moved; 0 from recv: the peer closed; < 0: failed, or nothing could be done
  // now when want() is not nothing.
  long send(const void* data, size_t n);
  long recv(void* data, size_t n);
  Want want() const { return want_; }
  // The last failure's text.
  const std::string& error() const { return error_; }
  void close();
  int fd() const { return fd_; }
  bool isOpen() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
  Want want_ = Want::nothing;
  std::string error_;
};

// The text of errno value e.
std::string errnoText(int e);

}  // namespace qxnet
