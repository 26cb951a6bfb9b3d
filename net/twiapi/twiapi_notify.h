// The notify object of one TwiAPI request: on the socket worker it locks the TwiAPI
// that sent the request (never waiting for it), lets it turn the reply into a message,
// unlocks it and only then posts the message; a request that ends without its reply
// posts its failure the same way.
#pragma once
#include <cstdint>

#include "net/sock/sock_notify.h"
#include "runtime/mem/mem_mgr.h"

class TwiAPI;

class ITAPINotify : public ISockNotify {
 public:
  explicit ITAPINotify(uint32_t owner) : owner_(owner) {}
  ~ITAPINotify() override { unlock(); }

  // ready once the owner is locked; retry while its manager or the object is busy;
  // gone when the owner no longer exists.
  Readiness ready() override;
  bool deliver(uint32_t id, const void* user, const void* info, const char* data, uint32_t length) override;
  void failed(uint32_t id, const void* user, const SockFailure& why) override;

 private:
  void unlock();

  uint32_t owner_;
  MemMgrMulti::HandleType held_;
  TwiAPI* locked_ = nullptr;
};
