// A loopback server for tests and benchmarks (never part of the program): listens on
// 127.0.0.1 (a free port), plain or TLS, and runs a handler on a thread of its own for
// every connection it accepts. Destroying it stops accepting, wakes every handler that
// waits and joins them.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/net/socket.h"

struct ssl_st;

namespace qxnet {

// The loopback peer's side of TLS (tests and benchmarks): a server session on an
// accepted socket with a certificate chain and key from PEM files.
class TlsServerStream {
 public:
  ~TlsServerStream() { close(); }
  bool accept(int fd, const std::string& certFile, const std::string& keyFile, int timeoutMs, std::string& why);
  long send(const void* data, size_t n);
  long recv(void* data, size_t n);
  // Decrypted bytes wait inside the session (the socket may have nothing to read).
  bool pending() const;
  void close();

 private:
  void* ctx_ = nullptr;
  ssl_st* ssl_ = nullptr;
};

class LoopConn {
 public:
  // The next request: its bytes through the blank line, and a Content-Length body.
  // Empty when the client closed or the server stops.
  std::string readRequest();
  // Writes every byte; false when the client has gone.
  bool write(const void* data, size_t n);
  bool write(const std::string& s) { return write(s.data(), s.size()); }
  // Waits until the client closes or the server stops.
  void holdOpen();
  // Drops the connection with a reset instead of an orderly close.
  void reset();
  bool stopping() const;

 private:
  friend class LoopPeer;
  LoopConn(int fd, const AbortEvent& stop) : fd_(fd), stop_(stop) {}
  long readSome(char* buf, size_t n);

  int fd_;
  bool reset_ = false;
  const AbortEvent& stop_;
  std::unique_ptr<TlsServerStream> tls_;
  std::string pending_;
};

class LoopPeer {
 public:
  using Handler = std::function<void(LoopConn&)>;
  // TLS when certFile and keyFile (PEM) are given.
  explicit LoopPeer(Handler handler, std::string certFile = {}, std::string keyFile = {});
  ~LoopPeer();
  LoopPeer(const LoopPeer&) = delete;
  LoopPeer& operator=(const LoopPeer&) = delete;

  uint16_t port() const { return port_; }
  int accepted() const { return accepted_.load(); }

 private:
  void acceptLoop();

  Handler handler_;
  std::string cert_, key_;
  int listen_ = -1;
  uint16_t port_ = 0;
  AbortEvent stop_;
  std::atomic<int> accepted_{0};
  std::mutex lock_;
  std::vector<std::thread> conns_;
  std::thread acceptor_;
};

}  // namespace qxnet
