#pragma once
#include <string>

#include "net/http/header_check.h"

// Frames one CR LF terminated line of a de-chunked stream: a message, or a bare line end
// that only keeps the connection alive (state 3). The buffer holds the line and its line
// end.
class JSONHeader : public IHeaderCheck {
 public:
  int feed(const char* data, int length) override;
  int state() const override { return state_; }
  FramedData buffered() const override;
  void reset() override;
  void expect(uint32_t n) override;

  // Part of a line has been taken.
  bool holdsPartialLine() const { return !buffer_.empty(); }

 private:
  std::string buffer_;
  bool pendingCR_ = false;  // the last byte taken was a CR; the next must be its LF
  int state_ = kNeedMore;
};
