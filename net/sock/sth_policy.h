// The transport of one socket worker: plain TCP (SThP_RAW) or TLS (SThP_SSL).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/net/socket.h"
#include "platform/net/tls.h"

class SThPolicy {
 public:
  virtual ~SThPolicy() = default;
  // Once on the worker thread before its first job, and once when it ends.
  virtual bool init(std::string& why) = 0;
  virtual void term() = 0;
  // Resolves, connects (and handshakes) within timeoutMs; false with the reason in why.
  virtual bool connect(const std::string& host, uint16_t port, const qxnet::AbortEvent& abort, int timeoutMs,
                       qxnet::NetError& why) = 0;
  // > 0 bytes; recv 0: the peer closed; < 0: failed, or retry once the socket is ready
  // the way want() says.
  virtual long send(const char* data, size_t n) = 0;
  virtual long recv(char* data, size_t n) = 0;
  virtual qxnet::Want want() const = 0;
  virtual std::string error() const = 0;
  virtual void close() = 0;
  virtual int fd() const = 0;
};

class SThP_RAW : public SThPolicy {
 public:
  static constexpr const char* kScheme = "http";
  static constexpr uint16_t kDefaultPort = 80;

  bool init(std::string&) override { return true; }
  void term() override {}
  bool connect(const std::string& host, uint16_t port, const qxnet::AbortEvent& abort, int timeoutMs,
               qxnet::NetError& why) override {
    return socket_.connect(host, port, abort, timeoutMs, why);
  }
  long send(const char* data, size_t n) override { return socket_.send(data, n); }
  long recv(char* data, size_t n) override { return socket_.recv(data, n); }
  qxnet::Want want() const override { return socket_.want(); }
  std::string error() const override { return socket_.error(); }
  void close() override { socket_.close(); }
  int fd() const override { return socket_.fd(); }

 private:
  qxnet::TcpSocket socket_;
};

class SThP_SSL : public SThPolicy {
 public:
  static constexpr const char* kScheme = "https";
  static constexpr uint16_t kDefaultPort = 443;

  ~SThP_SSL() override { term(); }
  bool init(std::string& why) override;
  void term() override;
  bool connect(const std::string& host, uint16_t port, const qxnet::AbortEvent& abort, int timeoutMs,
               qxnet::NetError& why) override;
  long send(const char* data, size_t n) override { return tls_.send(data, n); }
  long recv(char* data, size_t n) override { return tls_.recv(data, n); }
  qxnet::Want want() const override { return tls_.want(); }
  std::string error() const override { return tls_.error(); }
  void close() override;
  int fd() const override { return socket_.fd(); }

 private:
  qxnet::TcpSocket socket_;
  qxnet::TlsStream tls_;
  bool context_ = false;
};
