// The sink of one socket job: told every complete reply on the worker thread, and told
// once when the job ends without the reply it was waiting for.
#pragma once
#include <cstdint>

#include "platform/net/socket.h"

// How a job ended without its reply (never for a cancel or a shutdown).
struct SockFailure {
  qxnet::Failure kind = qxnet::Failure::none;
  bool afterReply = false;   // something was delivered first (a stream's header block)
  const char* data = nullptr;  // Failure::malformed: the bytes framed so far (may be null)
  uint32_t length = 0;
};

class ISockNotify {
 public:
  enum class Readiness { retry, ready, gone };

  virtual ~ISockNotify() = default;
  // Polled before each delivery and before failed: retry makes the worker yield and ask
  // again; gone ends the job silently (whoever wanted the reply no longer exists).
  virtual Readiness ready() = 0;
  // One complete reply: user is the job's user data, info the framer's side record,
  // data and length the framed bytes (data may be null for an empty final piece).
  // True when the connection is finished with, false to keep receiving on it.
  virtual bool deliver(uint32_t id, const void* user, const void* info, const char* data, uint32_t length) = 0;
  // The job ended without its reply (or a stream without its last chunk); called once,
  // after ready() gave ready, and never after a delivery that finished the job.
  virtual void failed(uint32_t id, const void* user, const SockFailure& why) = 0;
};
