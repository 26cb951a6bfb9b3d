#include "net/http/http_request.h"

#include "net/http/http_body.h"
#include "platform/core/numconv.h"
#include "platform/core/url.h"

HTTPHeader* HTTPRequest::setHeader(std::string_view name, std::unique_ptr<HTTPHeader> value) {
  auto it = headers_.find(name);
  if (it != headers_.end() && current_ == it->second.get()) current_ = nullptr;
  if (!value) {  // setting nothing removes the header: no entry is ever empty
    if (it != headers_.end()) headers_.erase(it);
    return nullptr;
  }
  if (it == headers_.end()) it = headers_.emplace(std::string(name), nullptr).first;
  it->second = std::move(value);
  return it->second.get();
}

HTTPHeader* HTTPRequest::findHeader(std::string_view name) const {
  auto it = headers_.find(name);
  return it == headers_.end() ? nullptr : it->second.get();
}

HTTPRequest& HTTPRequest::selectHeader(std::string_view name) {
  auto it = headers_.find(name);
  if (it == headers_.end()) it = headers_.emplace(std::string(name), std::make_unique<HTTPNmlH>()).first;
  current_ = it->second.get();
  return *this;
}

HTTPRequest& HTTPRequest::addValue(std::string_view text) {
  if (current_) current_->addValue(text);
  return *this;
}

void HTTPRequest::clear() {
  current_ = nullptr;
  headers_.clear();
}

std::string HTTPRequest::hostField() const {
  int def = scheme_ == "https" ? 443 : 80;
  if (port_ == 0 || port_ == def) return host_;
  return host_ + ":" + qcore::formatI64(port_);
}

std::string HTTPRequest::url(bool withSchemeHost) const {
  std::string u;
  if (withSchemeHost) u = scheme_ + "://" + hostField();
  u += "/";
  u += path_;
  return u;
}

void HTTPRequest::serialize(HTTPHMod* modifier, std::string& out, const HTTPBody* body) const {
  HTTPRequest copy;
  copy.method_ = method_;
  copy.host_ = host_;
  copy.path_ = path_;
  copy.scheme_ = scheme_;
  copy.port_ = port_;
  for (const auto& [name, value] : headers_) copy.headers_.emplace(name, value->clone());
  copy.writeInto(modifier, out, body);
}

void HTTPRequest::writeInto(HTTPHMod* modifier, std::string& out, const HTTPBody* body) {
  out.clear();
  out += method_;
  out += " /";
  out += path_;
  if (body && method_ == "GET") {
    HeaderPairs pairs;
    body->listPairs(pairs);
    char sep = path_.find('?') == std::string::npos ? '?' : '&';
    for (const auto& [name, value] : pairs) {
      out += sep;
      sep = '&';
      out += qcore::urlEncode(name);
      out += '=';
      out += qcore::urlEncode(value);
    }
  }
  out += " HTTP/1.1\r\n";

  const bool post = body && method_ == "POST";
  std::string content;
  if (body && method_ != "GET") body->write(content);
  if (post) {
    selectHeader("Content-Type").addValue(body->mimeType());
    selectHeader("Content-Length").addValue(qcore::formatU64(content.size()));
  }
  if (modifier) modifier->apply(*this, body);

  for (const auto& [name, value] : headers_) {
    out += name;
    out += ": ";
    value->write(out);
    out += "\r\n";
  }
  out += "Host: ";
  out += hostField();
  out += "\r\n\r\n";
  if (post) out += content;
}
