#include "net/http/json_header.h"

#include <algorithm>
#include <cstring>

int JSONHeader::feed(const char* data, int length) {
  if (state_ != kNeedMore || length <= 0 || data == nullptr) return 0;
  const size_t n = static_cast<size_t>(length);
  size_t take = n;
  bool lineEnd = false;
  if (pendingCR_) {
    if (data[0] != '\n') {
      state_ = kError;
      return 0;
    }
    take = 1;
    lineEnd = true;
  } else if (const char* cr = static_cast<const char*>(std::memchr(data, '\r', n))) {
    size_t i = static_cast<size_t>(cr - data);
    if (i + 1 < n) {
      if (cr[1] != '\n') {
        state_ = kError;
        return 0;
      }
      take = i + 2;
      lineEnd = true;
    }
    // else: the CR is the last byte offered (it may end a chunk); its LF is checked on the
    // next feed.
  }
  if (buffer_.size() + take > framing::kMaxMessage) {
    state_ = kError;
    return 0;
  }
  buffer_.append(data, take);
  pendingCR_ = !lineEnd && buffer_.back() == '\r';
  if (lineEnd) state_ = buffer_.size() == 2 ? kSkip : kComplete;
  return static_cast<int>(take);
}

FramedData JSONHeader::buffered() const {
  FramedData d;
  d.data = buffer_.empty() ? nullptr : buffer_.data();
  d.length = static_cast<uint32_t>(buffer_.size());
  return d;
}

void JSONHeader::reset() {
  buffer_.clear();
  if (buffer_.capacity() > (1u << 20)) buffer_.shrink_to_fit();
  pendingCR_ = false;
  state_ = kNeedMore;
}

void JSONHeader::expect(uint32_t n) {
  buffer_.reserve(buffer_.size() + std::min<uint32_t>(n, framing::kMaxMessage - static_cast<uint32_t>(buffer_.size())));
}
