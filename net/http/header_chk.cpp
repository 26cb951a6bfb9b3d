#include "net/http/header_chk.h"

#include <algorithm>

HTTPHeaderChk::HTTPHeaderChk(std::unique_ptr<HTTPTermChk> header, std::unique_ptr<JSONHeader> message)
    : header_(std::move(header)), message_(std::move(message)) {}

std::unique_ptr<HTTPHeaderChk> HTTPHeaderChk::makeStream() {
  return std::make_unique<HTTPHeaderChk>(std::make_unique<HTTPTermChk>(true, false), std::make_unique<JSONHeader>());
}

int HTTPHeaderChk::feed(const char* data, int length) {
  if (state_ != kNeedMore || length <= 0 || data == nullptr) return 0;
  if (!streaming_) {
    int used = header_->feed(data, length);
    int st = header_->state();
    if (st == kComplete || st == kLast) {
      state_ = header_->info().chunked ? kComplete : kLast;
    } else if (st != kNeedMore) {
      state_ = kError;
    }
    return used;
  }
  const size_t n = static_cast<size_t>(length);
  size_t pos = 0;
  while (pos < n && state_ == kNeedMore) {
    if (chunks_.inData()) {
      size_t give = std::min<size_t>(n - pos, chunks_.dataLeft());
      int used = message_->feed(data + pos, static_cast<int>(give));
      pos += static_cast<size_t>(used);
      chunks_.took(static_cast<size_t>(used));
      if (message_->state() != kNeedMore) {
        state_ = message_->state();  // a message (1), a keep-alive line (3) or an error (4)
      } else if (used == 0) {
        break;
      }
      continue;
    }
    size_t used = chunks_.framing(data + pos, n - pos);
    pos += used;
    if (chunks_.failed()) {
      state_ = kError;
    } else if (chunks_.done()) {
      // A message cut off by the end of the stream is an error, not a delivery.
      state_ = message_->holdsPartialLine() ? kError : kLast;
    } else if (used == 0) {
      break;
    }
  }
  return static_cast<int>(pos);
}

FramedData HTTPHeaderChk::buffered() const {
  FramedData d;
  if (!streaming_) {
    d = header_->buffered();
    info_.messageFlag = 0;
    info_.inner = d.info;
  } else {
    d = message_->buffered();
    info_.messageFlag = 1;
    info_.inner = nullptr;
  }
  d.info = &info_;
  return d;
}

void HTTPHeaderChk::reset() {
  if (state_ == kLast || state_ == kError) {
    // The connection's last message, or a broken one: start over.
    streaming_ = false;
    header_->reset();
    message_->reset();
    chunks_.reset();
  } else if (!streaming_) {
    header_->reset();
    if (state_ == kComplete) {
      streaming_ = true;
      message_->reset();
      chunks_.reset();
    }
  } else {
    message_->reset();  // the position within the current chunk is kept
  }
  state_ = kNeedMore;
}

void HTTPHeaderChk::expect(uint32_t n) {
  if (streaming_) {
    message_->expect(n);
  } else {
    header_->expect(n);
  }
}
