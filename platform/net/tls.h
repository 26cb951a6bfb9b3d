// TLS client sessions over a connected TcpSocket: TLS 1.2 or later, the peer's chain
// verified against the system store (SSL_CERT_FILE honoured) and its name against the
// host asked for, SNI sent. Every TlsStream shares one client context, made while at
// least one user holds it.
#pragma once
#include <cstddef>
#include <string>

#include "platform/net/socket.h"

struct ssl_st;

namespace qxnet {

// Counted use of the shared client context: the first acquire makes it (reading the
// trust store then), the last release frees it. False when it cannot be made.
bool acquireTlsContext(std::string& why);
void releaseTlsContext();

// Empties this thread's OpenSSL error queue into one line ("; " between entries);
// empty when the queue was.
std::string takeSslErrors();

class TlsStream {
 public:
  TlsStream() = default;
  ~TlsStream() { close(); }
  TlsStream(const TlsStream&) = delete;
  TlsStream& operator=(const TlsStream&) = delete;

  // Handshakes over a connected socket within timeoutMs; needs an acquired context.
  // False with the reason (a refused certificate among them) in why.
  bool handshake(TcpSocket& socket, const std::string& host, const AbortEvent& abort, int timeoutMs, NetError& why);
  // As TcpSocket's: > 0 bytes; 0 from recv: closed; < 0 failed or, with want() set,
  // retry when the socket is ready that way.
  long send(const void* data, size_t n);
  long recv(void* data, size_t n);
  Want want() const { return want_; }
  const std::string& error() const { return error_; }
  // Sends close_notify (without waiting for the peer's) and frees the session; the next
  // handshake starts a new one.
  void close();

 private:
  // r: the failed call's result; sysErr: errno right after it.
  long result(int r, int sysErr);

  ssl_st* ssl_ = nullptr;
  Want want_ = Want::nothing;
  std::string error_;
};

}  // namespace qxnet
