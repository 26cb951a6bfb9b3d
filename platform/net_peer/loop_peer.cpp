#include "platform/net_peer/loop_peer.h"

#include <openssl/ssl.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/net/tls.h"

namespace qxnet {

bool TlsServerStream::accept(int fd, const std::string& certFile, const std::string& keyFile, int timeoutMs,
                             std::string& why) {
  SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
  ctx_ = ctx;
  if (!ctx || SSL_CTX_use_certificate_chain_file(ctx, certFile.c_str()) != 1 ||
      SSL_CTX_use_PrivateKey_file(ctx, keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
    why = "server TLS context: " + takeSslErrors();
    return false;
  }
  ssl_ = SSL_new(ctx);
  SSL_set_fd(ssl_, fd);
  for (;;) {
    int r = SSL_accept(ssl_);
    if (r == 1) return true;
    int e = SSL_get_error(ssl_, r);
    if (e != SSL_ERROR_WANT_READ && e != SSL_ERROR_WANT_WRITE) {
      why = "server handshake: " + takeSslErrors();
      return false;
    }
    pollfd p{fd, static_cast<short>(e == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT), 0};
    if (::poll(&p, 1, timeoutMs) <= 0) {
      why = "server handshake timed out";
      return false;
    }
  }
}

long TlsServerStream::send(const void* data, size_t n) {
  size_t done = 0;
  return SSL_write_ex(ssl_, data, n, &done) == 1 ? static_cast<long>(done) : -1;
}

long TlsServerStream::recv(void* data, size_t n) {
  size_t done = 0;
  return SSL_read_ex(ssl_, data, n, &done) == 1 ? static_cast<long>(done) : -1;
}

bool TlsServerStream::pending() const { return ssl_ && SSL_pending(ssl_) > 0; }

void TlsServerStream::close() {
  if (ssl_) {
    SSL_shutdown(ssl_);
    SSL_free(ssl_);
    ssl_ = nullptr;
  }
  SSL_CTX_free(static_cast<SSL_CTX*>(ctx_));
  ctx_ = nullptr;
}


long LoopConn::readSome(char* buf, size_t n) {
  if (!tls_ || !tls_->pending()) {
    pollfd p[2] = {{stop_.fd(), POLLIN, 0}, {fd_, POLLIN, 0}};
    if (::poll(p, 2, -1) < 0 || (p[0].revents & POLLIN)) return -1;
  }
  long r = tls_ ? tls_->recv(buf, n) : ::recv(fd_, buf, n, 0);
  return r > 0 ? r : -1;
}

std::string LoopConn::readRequest() {
  for (;;) {
    size_t end = pending_.find("\r\n\r\n");
    if (end != std::string::npos) {
      size_t bodyLen = 0;
      const char* cl = "Content-Length: ";
      size_t at = pending_.find(cl);
      if (at != std::string::npos && at < end) bodyLen = std::strtoul(pending_.c_str() + at + std::strlen(cl), nullptr, 10);
      if (pending_.size() >= end + 4 + bodyLen) {
        std::string req = pending_.substr(0, end + 4 + bodyLen);
        pending_.erase(0, req.size());
        return req;
      }
    }
    char buf[4096];
    long r = readSome(buf, sizeof buf);
    if (r <= 0) return {};
    pending_.append(buf, static_cast<size_t>(r));
  }
}

bool LoopConn::write(const void* data, size_t n) {
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    if (stopping()) return false;
    long r = tls_ ? tls_->send(p, n) : ::send(fd_, p, n, MSG_NOSIGNAL);
    if (r <= 0) return false;
    p += r;
    n -= static_cast<size_t>(r);
  }
  return true;
}

void LoopConn::holdOpen() {
  char buf[512];
  while (readSome(buf, sizeof buf) > 0) {
  }
}

void LoopConn::reset() {
  linger l{1, 0};
  setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
  ::close(fd_);
  reset_ = true;
}

bool LoopConn::stopping() const { return stop_.isSet(); }

LoopPeer::LoopPeer(Handler handler, std::string certFile, std::string keyFile)
    : handler_(std::move(handler)), cert_(std::move(certFile)), key_(std::move(keyFile)) {
  ignoreSigpipe();
  listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (listen_ < 0 || ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listen_, 64) != 0 ||
      ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
    std::perror("loop peer");
    return;
  }
  port_ = ntohs(a.sin_port);
  acceptor_ = std::thread([this] { acceptLoop(); });
}

void LoopPeer::acceptLoop() {
  for (;;) {
    pollfd p[2] = {{stop_.fd(), POLLIN, 0}, {listen_, POLLIN, 0}};
    if (::poll(p, 2, -1) < 0 || (p[0].revents & POLLIN)) return;
    int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    ++accepted_;
    std::lock_guard<std::mutex> g(lock_);
    conns_.emplace_back([this, fd] {
      LoopConn c(fd, stop_);
      bool ok = true;
      if (!cert_.empty()) {
        c.tls_ = std::make_unique<TlsServerStream>();
        std::string why;
        ok = c.tls_->accept(fd, cert_, key_, 5000, why);
      }
      if (ok) handler_(c);
      if (!c.reset_) {
        c.tls_.reset();
        ::shutdown(fd, SHUT_RDWR);
        ::close(fd);
      }
    });
  }
}

LoopPeer::~LoopPeer() {
  stop_.set();
  if (acceptor_.joinable()) acceptor_.join();
  std::vector<std::thread> conns;
  {
    std::lock_guard<std::mutex> g(lock_);
    conns.swap(conns_);
  }
  for (auto& t : conns) t.join();
  if (listen_ >= 0) ::close(listen_);
}

}  // namespace qxnet
