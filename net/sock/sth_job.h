// One queued exchange of a socket manager: where to, what to send, how to cut the reply
// and whom to tell. Moved, never copied, between caller, queue and worker.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "net/http/header_check.h"
#include "net/sock/sock_notify.h"

struct SThJob {
  uint32_t id = 0;
  std::string host;  // resolved by the worker
  uint16_t port = 0;
  std::string request;  // sent byte for byte
  std::unique_ptr<IHeaderCheck> framer;
  std::unique_ptr<ISockNotify> notify;
  const void* user = nullptr;  // handed back with every delivery
  bool stream = false;         // a kept-open stream: runs on a worker of its own
};
