#include "platform/net/tls.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <cerrno>
#include <ctime>
#include <mutex>

namespace qxnet {

namespace {

std::mutex gContextLock;
SSL_CTX* gContext = nullptr;
int gContextUsers = 0;

std::string sslErrors() {
  std::string text = takeSslErrors();
  return text.empty() ? "unknown TLS error" : text;
}

bool isIpLiteral(const std::string& host) {
  unsigned char buf[16];
  return inet_pton(AF_INET, host.c_str(), buf) == 1 || inet_pton(AF_INET6, host.c_str(), buf) == 1;
}

}  // namespace

std::string takeSslErrors() {
  std::string text;
  while (unsigned long e = ERR_get_error()) {
    char buf[256];
    ERR_error_string_n(e, buf, sizeof buf);
    if (!text.empty()) text += "; ";
    text += buf;
  }
  return text;
}

bool acquireTlsContext(std::string& why) {
  std::lock_guard<std::mutex> g(gContextLock);
  if (gContextUsers == 0) {
    SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
    if (!ctx || SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION) != 1 ||
        SSL_CTX_set_default_verify_paths(ctx) != 1) {
      why = "TLS context: " + sslErrors();
      SSL_CTX_free(ctx);
      return false;
    }
    SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_mode(ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    gContext = ctx;
  }
  ++gContextUsers;
  return true;
}

void releaseTlsContext() {
  std::lock_guard<std::mutex> g(gContextLock);
  if (gContextUsers == 0) return;
  if (--gContextUsers == 0) {
    SSL_CTX_free(gContext);
    gContext = nullptr;
  }
}

bool TlsStream::handshake(TcpSocket& socket, const std::string& host, const AbortEvent& abort, int timeoutMs,
                          NetError& why) {
  close();
  ERR_clear_error();
  const std::string name = bareHost(host);
  {
    std::lock_guard<std::mutex> g(gContextLock);
    if (!gContext) {
      why.set(Failure::tlsFailed, "no TLS context");
      return false;
    }
    ssl_ = SSL_new(gContext);
  }
  if (!ssl_ || SSL_set_fd(ssl_, socket.fd()) != 1) {
    why.set(Failure::tlsFailed, "TLS session: " + sslErrors());
    close();
    return false;
  }
  bool named = isIpLiteral(name) ? X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_), name.c_str()) == 1
                                 : (SSL_set_tlsext_host_name(ssl_, name.c_str()) == 1 && SSL_set1_host(ssl_, name.c_str()) == 1);
  if (!named) {
    why.set(Failure::tlsFailed, "TLS host name \"" + host + "\": " + sslErrors());
    close();
    return false;
  }
  struct timespec start;
  clock_gettime(CLOCK_MONOTONIC, &start);
  for (;;) {
    errno = 0;
    int r = SSL_connect(ssl_);
    const int sysErr = errno;
    if (r == 1) return true;
    int e = SSL_get_error(ssl_, r);
    if (e != SSL_ERROR_WANT_READ && e != SSL_ERROR_WANT_WRITE) {
      const long verify = SSL_get_verify_result(ssl_);
      const std::string head = "TLS handshake with \"" + host + "\": ";
      if (verify == X509_V_ERR_HOSTNAME_MISMATCH || verify == X509_V_ERR_IP_ADDRESS_MISMATCH) {
        why.set(Failure::nameMismatch, head + X509_verify_cert_error_string(verify));
      } else if (verify != X509_V_OK) {
        why.set(Failure::untrusted, head + X509_verify_cert_error_string(verify));
      } else {
        std::string text = takeSslErrors();
        if (text.empty()) text = sysErr ? errnoText(sysErr) : "the peer closed the connection";
        why.set(Failure::tlsFailed, head + text);
      }
      close();
      return false;
    }
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    long spent = (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
    WaitResult w = waitFd(socket.fd(), e == SSL_ERROR_WANT_WRITE, abort,
                          spent < timeoutMs ? static_cast<int>(timeoutMs - spent) : 0);
    if (w != WaitResult::ready) {
      if (w == WaitResult::aborted) {
        why.set(Failure::aborted, "aborted during the TLS handshake");
      } else {
        why.set(Failure::timeout, "TLS handshake with \"" + host + "\" timed out");
      }
      close();
      return false;
    }
  }
}

long TlsStream::result(int r, int sysErr) {
  want_ = Want::nothing;
  if (r > 0) return r;
  int e = SSL_get_error(ssl_, r);
  if (e == SSL_ERROR_WANT_READ) {
    want_ = Want::read;
    return -1;
  }
  if (e == SSL_ERROR_WANT_WRITE) {
    want_ = Want::write;
    return -1;
  }
  if (e == SSL_ERROR_ZERO_RETURN) return 0;
  std::string text = takeSslErrors();
  // A peer that went away (EPIPE, ECONNRESET) shows in errno, not in the TLS error queue.
  if (text.empty()) text = sysErr ? errnoText(sysErr) : "the peer closed the connection";
  error_ = "TLS: " + text;
  return -1;
}

long TlsStream::send(const void* data, size_t n) {
  if (!ssl_) return -1;
  ERR_clear_error();
  size_t done = 0;
  errno = 0;
  int r = SSL_write_ex(ssl_, data, n, &done);
  const int sysErr = errno;
  return r == 1 ? static_cast<long>(done) : result(r, sysErr);
}

long TlsStream::recv(void* data, size_t n) {
  if (!ssl_) return -1;
  ERR_clear_error();
  size_t done = 0;
  errno = 0;
  int r = SSL_read_ex(ssl_, data, n, &done);
  const int sysErr = errno;
  if (r == 1) {
    want_ = Want::nothing;
    return static_cast<long>(done);
  }
  return result(r, sysErr);
}

void TlsStream::close() {
  if (!ssl_) return;
  SSL_shutdown(ssl_);  // one non-blocking attempt: the socket closes right after
  SSL_free(ssl_);
  ssl_ = nullptr;
  want_ = Want::nothing;
  ERR_clear_error();
}

}  // namespace qxnet
