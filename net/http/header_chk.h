#pragma once
#include <cstdint>
#include <memory>

#include "net/http/chunk_decoder.h"
#include "net/http/header_check.h"
#include "net/http/json_header.h"
#include "net/http/term_chk.h"

// Frames a streaming reply: first the response header block (status line and headers,
// with its body when it had a Content-Length), then the chunked body de-chunked into a
// byte stream and split into CR LF terminated messages, one delivery each. A message may
// span chunks and a chunk may hold several messages; bare line ends are keep-alives
// (state 3); the last chunk gives state 2 with an empty final delivery. A header block
// that is not chunked is the last message of the connection.
class HTTPHeaderChk : public IHeaderCheck {
 public:
  // The side record that buffered() points at.
  struct Info {
    int32_t messageFlag = 0;      // 0 for the header block, 1 for stream messages
    const void* inner = nullptr;  // the header block's HTTPTermChk::Info, null for messages
  };

  HTTPHeaderChk(std::unique_ptr<HTTPTermChk> header, std::unique_ptr<JSONHeader> message);
  // The framer of a streaming request: a keep-alive header framer and a line framer.
  static std::unique_ptr<HTTPHeaderChk> makeStream();

  int feed(const char* data, int length) override;
  int state() const override { return state_; }
  FramedData buffered() const override;
  void reset() override;
  void expect(uint32_t n) override;

 private:
  std::unique_ptr<HTTPTermChk> header_;
  std::unique_ptr<JSONHeader> message_;
  ChunkDecoder chunks_;
  bool streaming_ = false;  // the header block was delivered; chunks follow
  int state_ = kNeedMore;
  mutable Info info_;
};
