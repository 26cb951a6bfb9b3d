#pragma once
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "net/http/header_values.h"
#include "net/http/http_body.h"

// Header names compare without regard to ASCII case ("Content-type" is Content-Type).
struct HeaderNameLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const;
};

// A framed reply read into status, reason phrase, headers and a typed body.
class HTTPResponse {
 public:
  using HeaderMap = std::map<std::string, std::unique_ptr<HTTPHeader>, HeaderNameLess>;

  // Parses one framed reply (status line, headers and the body bytes that follow the blank
  // line). The body is typed by Content-Type and is min(Content-Length, bytes present)
  // long, or every byte present for a chunked reply (the framer has de-chunked it). False
  // on malformed text; the response then holds what was read before the failure.
  bool parse(std::string_view framed);
  static bool parse(std::string_view framed, HTTPResponse& response) { return response.parse(framed); }
  // As parse, but the body is not built: bodyBytes() gives its bytes (a view into the
  // given text, valid while it lives), for a caller that decides from the headers what to
  // do with them.
  bool parseHead(std::string_view framed);
  std::string_view bodyBytes() const { return bodyBytes_; }
  // The Content-Type's first value, empty when the reply has none.
  std::string_view contentType() const;
  // Why the last parse failed, when it was refused for a reason other than malformed
  // text (a body too costly to parse); empty otherwise.
  const std::string& refusal() const { return refusal_; }

  void clear();
  bool isOK() const { return status_ < 400; }
  int status() const { return status_; }
  // The body came chunked (the reply of an open stream); else it was complete as framed.
  bool chunked() const { return chunked_; }
  const std::string& reason() const { return reason_; }
  HTTPBody* body() const { return body_.get(); }
  std::unique_ptr<HTTPBody> takeBody() { return std::move(body_); }
  HTTPHeader* header(std::string_view name) const;
  const HeaderMap& headers() const { return headers_; }

 private:
  bool parseUpToBody(std::string_view t);

  HeaderMap headers_;
  int status_ = 0;
  std::string reason_;
  std::unique_ptr<HTTPBody> body_;
  std::string_view bodyBytes_;
  std::string refusal_;
  bool chunked_ = false;
};
