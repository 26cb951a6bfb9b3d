#pragma once
#include <cstdint>
#include <string>

#include "net/http/chunk_decoder.h"
#include "net/http/header_check.h"

// Frames one HTTP/1.1 response from its headers: Content-Length gives the body, a chunked
// body is de-chunked into the buffer (unless the stream framer takes the chunks itself),
// and a response with neither ends with its headers, as do 101, 204 and 304 responses,
// which never carry a body. Interim replies (1xx but 101) are skipped. The buffer holds
// the final reply's status line, its headers and the body bytes.
class HTTPTermChk : public IHeaderCheck {
 public:
  // The side record that buffered() points at.
  struct Info {
    int32_t contentLength = -1;  // -1 when the headers carry none
    uint8_t chunked = 0;         // the Transfer-Encoding is chunked
  };

  // keepAlive: whether a complete response leaves the connection open (state 1) unless it
  // says "Connection: close" (state 2). dechunk false completes a chunked response at the
  // end of its headers.
  explicit HTTPTermChk(bool keepAlive, bool dechunk = true);

  int feed(const char* data, int length) override;
  int state() const override { return state_; }
  FramedData buffered() const override;
  void reset() override;
  void expect(uint32_t n) override;

  const Info& info() const { return info_; }

 private:
  enum Phase { kConnection = 0, kContentLength = 1, kTransferEncoding = 2, kStatusLine = 3,
               kName = 4, kOtherValue = 5, kBody = 6, kChunks = 7 };

  size_t step(const char* p, size_t n);
  size_t skipLine(const char* p, size_t n);
  size_t name(const char* p, size_t n);
  size_t knownValue(const char* p, size_t n);
  size_t body(const char* p, size_t n);
  size_t chunks(const char* p, size_t n);
  void headersEnded();
  void skipInterim();
  bool valueEnded();
  void complete() { state_ = keepAlive_ ? kComplete : kLast; }
  size_t fail() {
    state_ = kError;
    return 0;
  }

  Info info_;
  bool keepAlive_;
  const bool keepAliveInit_;
  const bool dechunk_;
  uint32_t received_ = 0;
  uint32_t headerBytes_ = 0;  // of the reply and the interim replies before it
  bool interimEnded_ = false;
  Phase phase_ = kStatusLine;
  std::string token_;  // header name or known value being collected, < kTokenBytes
  std::string buffer_;
  ChunkDecoder chunks_;
  int state_ = kNeedMore;
};
