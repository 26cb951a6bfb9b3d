#include "net/sock/sth_policy.h"

bool SThP_SSL::init(std::string& why) {
  if (!context_) context_ = qxnet::acquireTlsContext(why);
  return context_;
}

void SThP_SSL::term() {
  close();
  if (context_) qxnet::releaseTlsContext();
  context_ = false;
}

bool SThP_SSL::connect(const std::string& host, uint16_t port, const qxnet::AbortEvent& abort, int timeoutMs,
                       qxnet::NetError& why) {
  if (!context_) {
    why.set(qxnet::Failure::tlsFailed, "no TLS context");
    return false;
  }
  return socket_.connect(host, port, abort, timeoutMs, why) && tls_.handshake(socket_, host, abort, timeoutMs, why);
}

void SThP_SSL::close() {
  tls_.close();
  socket_.close();
}
