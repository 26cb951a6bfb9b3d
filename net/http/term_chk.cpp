#include "net/http/term_chk.h"

#include <algorithm>
#include <cstring>

#include "net/http/http_text.h"

HTTPTermChk::HTTPTermChk(bool keepAlive, bool dechunk)
    : keepAlive_(keepAlive), keepAliveInit_(keepAlive), dechunk_(dechunk) {}

int HTTPTermChk::feed(const char* data, int length) {
  if (state_ != kNeedMore || length <= 0 || data == nullptr) return 0;
  const size_t n = static_cast<size_t>(length);
  size_t pos = 0;
  while (pos < n && state_ == kNeedMore) {
    size_t used = step(data + pos, n - pos);
    if (used == 0) break;
    pos += used;
  }
  return static_cast<int>(pos);
}

size_t HTTPTermChk::step(const char* p, size_t n) {
  if (phase_ == kBody) return body(p, n);
  if (phase_ == kChunks) return chunks(p, n);
  size_t used;
  switch (phase_) {
    case kStatusLine:
    case kOtherValue:
      used = skipLine(p, n);
      break;
    case kName:
      used = name(p, n);
      break;
    default:
      used = knownValue(p, n);
      break;
  }
  if (state_ == kError) return 0;
  headerBytes_ += static_cast<uint32_t>(used);
  if (headerBytes_ > framing::kMaxHeaderBlock) return fail();
  buffer_.append(p, used);
  if (interimEnded_) {
    // The final reply starts afresh; the interim's bytes still count against the bound.
    interimEnded_ = false;
    buffer_.clear();
  }
  return used;
}

// A CR is consumed only together with its LF; a CR followed by anything else is an error.
size_t HTTPTermChk::skipLine(const char* p, size_t n) {
  const char* cr = static_cast<const char*>(std::memchr(p, '\r', n));
  if (!cr) return n;
  size_t i = static_cast<size_t>(cr - p);
  if (i + 1 == n) return i;
  if (cr[1] != '\n') return fail();
  phase_ = kName;
  return i + 2;
}

size_t HTTPTermChk::name(const char* p, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    char c = p[i];
    if (c == ':') {
      std::string_view nm = httptext::trimBlanks(token_);
      if (httptext::equalsNoCase(nm, "Connection")) {
        phase_ = kConnection;
      } else if (httptext::equalsNoCase(nm, "Content-Length")) {
        phase_ = kContentLength;
      } else if (httptext::equalsNoCase(nm, "Transfer-Encoding")) {
        phase_ = kTransferEncoding;
      } else {
        phase_ = kOtherValue;
      }
      token_.clear();
      return i + 1;
    }
    if (c == '\r') {
      if (!token_.empty() || i > 0) return fail();  // a header line without a colon
      if (n < 2) return 0;
      if (p[1] != '\n') return fail();
      headersEnded();
      return 2;
    }
    if (c == '\n' || token_.size() + 1 >= framing::kTokenBytes) return fail();
    token_.push_back(c);
  }
  return n;
}

size_t HTTPTermChk::knownValue(const char* p, size_t n) {
  size_t i = 0;
  if (token_.empty())
    while (i < n && (p[i] == ' ' || p[i] == '\t')) ++i;
  for (; i < n; ++i) {
    char c = p[i];
    if (c == '\r') {
      if (i + 1 == n) return i;
      if (p[i + 1] != '\n') return fail();
      if (!valueEnded()) return fail();
      token_.clear();
      phase_ = kName;
      return i + 2;
    }
    if (c == '\n' || token_.size() + 1 >= framing::kTokenBytes) return fail();
    token_.push_back(c);
  }
  return n;
}

bool HTTPTermChk::valueEnded() {
  std::string_view v = httptext::trimBlanks(token_);
  switch (phase_) {
    case kConnection:
      if (httptext::listsClose(v)) keepAlive_ = false;
      return true;
    case kTransferEncoding:
      info_.chunked = httptext::isChunkedCoding(v) ? 1 : 0;
      return true;
    case kContentLength: {
      std::optional<uint64_t> len = httptext::contentLengthValue(v);
      if (!len || *len > framing::kMaxMessage) return false;
      if (info_.contentLength >= 0 && static_cast<uint64_t>(info_.contentLength) != *len)
        return false;  // conflicting lengths
      info_.contentLength = static_cast<int32_t>(*len);
      return true;
    }
    default:
      return true;
  }
}

void HTTPTermChk::headersEnded() {
  // The buffer starts with the status line.
  const int status = httptext::statusOfLine(buffer_);
  if (httptext::isInterimStatus(status)) {
    skipInterim();
    return;
  }
  if (httptext::statusHasNoBody(status)) {
    complete();
    return;
  }
  if (info_.chunked) {
    if (dechunk_) {
      phase_ = kChunks;
      return;
    }
    complete();
    return;
  }
  if (info_.contentLength > 0) {
    phase_ = kBody;
    buffer_.reserve(buffer_.size() + static_cast<uint32_t>(info_.contentLength));
    return;
  }
  complete();
}

// An interim reply (100 Continue, 103 Early Hints) announces the final one on the same
// connection: forget it and frame what follows.
void HTTPTermChk::skipInterim() {
  info_ = Info{};
  keepAlive_ = keepAliveInit_;
  token_.clear();
  phase_ = kStatusLine;
  interimEnded_ = true;
}

size_t HTTPTermChk::body(const char* p, size_t n) {
  size_t take = std::min<size_t>(n, static_cast<uint32_t>(info_.contentLength) - received_);
  buffer_.append(p, take);
  received_ += static_cast<uint32_t>(take);
  if (received_ == static_cast<uint32_t>(info_.contentLength)) complete();
  return take;
}

size_t HTTPTermChk::chunks(const char* p, size_t n) {
  if (chunks_.inData()) {
    size_t take = std::min<size_t>(n, chunks_.dataLeft());
    if (received_ + take > framing::kMaxMessage) return fail();
    buffer_.append(p, take);
    received_ += static_cast<uint32_t>(take);
    chunks_.took(take);
    return take;
  }
  size_t used = chunks_.framing(p, n);
  if (chunks_.failed()) return fail();
  if (chunks_.done()) complete();
  return used;
}

FramedData HTTPTermChk::buffered() const {
  FramedData d;
  d.data = buffer_.empty() ? nullptr : buffer_.data();
  d.length = static_cast<uint32_t>(buffer_.size());
  d.info = &info_;
  return d;
}

void HTTPTermChk::reset() {
  info_ = Info{};
  keepAlive_ = keepAliveInit_;
  received_ = 0;
  headerBytes_ = 0;
  interimEnded_ = false;
  phase_ = kStatusLine;
  token_.clear();
  buffer_.clear();
  if (buffer_.capacity() > (1u << 20)) buffer_.shrink_to_fit();
  chunks_.reset();
  state_ = kNeedMore;
}

void HTTPTermChk::expect(uint32_t n) {
  buffer_.reserve(buffer_.size() + std::min(n, framing::kMaxMessage));
}
