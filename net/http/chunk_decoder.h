#pragma once
#include <cstddef>
#include <cstdint>

// The chunked transfer coding, one step at a time. The owner alternates between
// framing() for the size lines and line ends, and taking chunk data itself (dataLeft(),
// took()). Nothing is consumed before it has arrived and been checked.
class ChunkDecoder {
 public:
  // Consumes the framing bytes at the start of p: a size line with its CR LF, the CR LF
  // after chunk data, or the blank line after the last chunk. Returns 0 when they have not
  // all arrived, or when the decoder is in data, done or failed.
  size_t framing(const char* p, size_t n);
  bool inData() const { return phase_ == kData; }
  uint32_t dataLeft() const { return left_; }
  // k data bytes (k <= dataLeft()) were taken by the owner.
  void took(size_t k);
  bool done() const { return phase_ == kDone; }
  bool failed() const { return phase_ == kFailed; }
  void reset() {
    phase_ = kSizeLine;
    left_ = 0;
  }

 private:
  enum Phase { kSizeLine, kData, kDataEnd, kLastLine, kDone, kFailed };
  size_t sizeLine(const char* p, size_t n);
  // A CR LF, after which the decoder goes on in phase next.
  size_t lineEnd(const char* p, size_t n, Phase next);
  size_t fail() {
    phase_ = kFailed;
    return 0;
  }

  Phase phase_ = kSizeLine;
  uint32_t left_ = 0;
};
