// The sink of one socket job: told every complete reply on the worker thread.
#pragma once
#include <cstdint>

class ISockNotify {
 public:
  enum class Readiness { retry, ready, gone };

  virtual ~ISockNotify() = default;
  // Polled before each delivery: retry makes the worker yield and ask again; gone ends
  // the job without delivery (whoever wanted the reply no longer exists).
  virtual Readiness ready() = 0;
  // One complete reply: user is the job's user data, info the framer's side record,
  // data and length the framed bytes (data may be null for an empty final piece).
  // True when the connection is finished with, false to keep receiving on it.
  virtual bool deliver(uint32_t id, const void* user, const void* info, const char* data, uint32_t length) = 0;
};
