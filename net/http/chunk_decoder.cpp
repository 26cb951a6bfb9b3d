#include "net/http/chunk_decoder.h"

#include <cstring>

#include "net/http/header_check.h"
#include "platform/core/numconv.h"

namespace {
bool isHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
}  // namespace

size_t ChunkDecoder::framing(const char* p, size_t n) {
  switch (phase_) {
    case kSizeLine:
      return sizeLine(p, n);
    case kDataEnd:
      return lineEnd(p, n, kSizeLine);
    case kLastLine:
      // Trailer fields are not taken: the last chunk must be followed by the blank line.
      return lineEnd(p, n, kDone);
    default:
      return 0;
  }
}

size_t ChunkDecoder::lineEnd(const char* p, size_t n, Phase next) {
  if (n >= 1 && p[0] != '\r') return fail();
  if (n < 2) return 0;
  if (p[1] != '\n') return fail();
  phase_ = next;
  return 2;
}

size_t ChunkDecoder::sizeLine(const char* p, size_t n) {
  const size_t window = n < framing::kMaxSizeLine + 1 ? n : framing::kMaxSizeLine + 1;
  const char* cr = static_cast<const char*>(std::memchr(p, '\r', window));
  if (!cr) return n > framing::kMaxSizeLine ? fail() : 0;
  size_t len = static_cast<size_t>(cr - p);
  if (len + 1 >= n) return 0;
  if (cr[1] != '\n') return fail();
  if (len == 0) return 2;  // a stray blank line where a size line belongs is passed over
  size_t digits = 0;
  while (digits < len && isHex(p[digits])) ++digits;
  if (digits == 0) return fail();
  size_t k = digits;
  while (k < len && (p[k] == ' ' || p[k] == '\t')) ++k;
  if (k < len && p[k] != ';') return fail();  // only a chunk extension may follow
  bool ok = false;
  int32_t size = StrToI32B(p, digits, 16, &ok);
  if (!ok || size < 0 || static_cast<uint32_t>(size) > framing::kMaxMessage) return fail();
  left_ = static_cast<uint32_t>(size);
  phase_ = size == 0 ? kLastLine : kData;
  return len + 2;
}

void ChunkDecoder::took(size_t k) {
  if (phase_ != kData) return;
  left_ -= static_cast<uint32_t>(k < left_ ? k : left_);
  if (left_ == 0) phase_ = kDataEnd;
}
