#pragma once
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "net/http/header_values.h"

class HTTPBody;
class HTTPRequest;

// Changes a request just before its headers are written (OAuth signing adds its
// "Authorization" header).
class HTTPHMod {
 public:
  virtual ~HTTPHMod() = default;
  virtual void apply(HTTPRequest& request, const HTTPBody* body) = 0;
};

// One outgoing HTTP/1.1 request and its exact text.
class HTTPRequest {
 public:
  void setMethod(std::string_view m) { method_ = m; }
  void setScheme(std::string_view s) { scheme_ = s; }
  void setHost(std::string_view h) { host_ = h; }
  // Path without the leading "/".
  void setPath(std::string_view p) { path_ = p; }
  // 0 (as made) means the scheme's default port.
  void setPort(int port) { port_ = port; }

  const std::string& method() const { return method_; }
  const std::string& scheme() const { return scheme_; }
  const std::string& host() const { return host_; }
  const std::string& path() const { return path_; }
  int port() const { return port_; }

  // Stores value under name, replacing (and deleting) an older value; returns it.
  HTTPHeader* setHeader(std::string_view name, std::unique_ptr<HTTPHeader> value);
  HTTPHeader* findHeader(std::string_view name) const;
  HTTPHeader* findAuthorization() const { return findHeader("Authorization"); }
  // Makes the named header current, creating an empty plain header when it is missing.
  HTTPRequest& selectHeader(std::string_view name);
  // Adds text as a value of the current header.
  HTTPRequest& addValue(std::string_view text);
  // Deletes every header; method, scheme, host, path and port stay.
  void clear();
  const std::map<std::string, std::unique_ptr<HTTPHeader>, std::less<>>& headers() const { return headers_; }

  // "scheme://host[:port]" (with withSchemeHost) + "/" + path; the port appears only when
  // it is not the scheme's default, as the OAuth base string URI needs.
  std::string url(bool withSchemeHost) const;
  // "host" or "host:port" when the port is not the scheme's default.
  std::string hostField() const;

  // Replaces out with the request text: the request line (a GET carries the body's pairs
  // as its query), the body's Content-Type and Content-Length for a POST, the modifier's
  // changes, every header in byte order of names, "Host" last, the blank line and a
  // POST's body. The body headers and the modifier go to a copy: writing leaves this
  // request as it was, so a retry or a re-signed request writes the same headers.
  void serialize(HTTPHMod* modifier, std::string& out, const HTTPBody* body) const;

 private:
  void writeInto(HTTPHMod* modifier, std::string& out, const HTTPBody* body);

  std::map<std::string, std::unique_ptr<HTTPHeader>, std::less<>> headers_;
  HTTPHeader* current_ = nullptr;
  std::string method_;
  std::string host_;
  std::string path_;
  std::string scheme_ = "http";
  int port_ = 0;
};
