#pragma once
#include <cstddef>
#include <cstdint>

// What a socket worker sees of a framer: it feeds every received byte and asks after each
// feed whether a complete message lies in the framer's buffer.
struct FramedData {
  const char* data = nullptr;  // the message bytes, null when there are none
  uint32_t length = 0;
  const void* info = nullptr;  // the framer's side record, or null
};

class IHeaderCheck {
 public:
  enum State : int {
    kNeedMore = 0,  // feed more bytes
    kComplete = 1,  // a message is complete; the connection stays open
    kLast = 2,      // a message is complete and it is the last on this connection
    kSkip = 3,      // nothing to deliver: reset and go on
    kError = 4,     // malformed or oversized input; nothing more is consumed until reset
  };

  virtual ~IHeaderCheck() = default;
  // Consumes bytes from the start of data and returns how many; bytes not consumed are
  // offered again, followed by more, on the next call. Consumes nothing unless the state
  // is kNeedMore.
  virtual int feed(const char* data, int length) = 0;
  virtual int state() const = 0;
  virtual FramedData buffered() const = 0;
  // Ready for the next message.
  virtual void reset() = 0;
  // n more bytes belong to the current message (room may be reserved for them).
  virtual void expect(uint32_t n) = 0;
};

namespace framing {
// Largest whole response (headers and body) or stream message a framer will hold; a
// Content-Length, chunk size or message beyond it is an error.
inline constexpr uint32_t kMaxMessage = 64u << 20;
// Largest header block (status line and headers).
inline constexpr uint32_t kMaxHeaderBlock = 256u << 10;
// Header names and the collected values of Connection, Content-Length and
// Transfer-Encoding; longer ones are an error.
inline constexpr uint32_t kTokenBytes = 128;
// Longest chunk-size line, without its line end.
inline constexpr uint32_t kMaxSizeLine = 15;
}  // namespace framing
