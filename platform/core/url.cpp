#include "platform/core/url.h"

#include <cstring>

#include "platform/core/numconv.h"

namespace {
bool unreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~';
}
// The escaped form of one byte (itself or "%XX"); returns its length.
size_t encodeByte(unsigned char c, char out[3]) {
  static const char kHex[] = "0123456789ABCDEF";
  if (unreserved(c)) {
    out[0] = static_cast<char>(c);
    return 1;
  }
  out[0] = '%';
  out[1] = kHex[c >> 4];
  out[2] = kHex[c & 15];
  return 3;
}

// Bytes that never stand raw in a URL: controls, space and DEL. A host or path holding one
// would reach a request line or header as it is.
bool hasForbiddenByte(std::string_view url) {
  for (unsigned char c : url) {
    if (c <= 0x20 || c == 0x7F) return true;
  }
  return false;
}

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }
}  // namespace

size_t url_encode(char* dest, size_t destSize, const char* text, size_t length) {
  if (dest == nullptr || destSize == 0) return 0;
  size_t o = 0;
  for (size_t i = 0; i < length; ++i) {
    char e[3];
    const size_t n = encodeByte(static_cast<unsigned char>(text[i]), e);
    if (o + n >= destSize) break;
    for (size_t k = 0; k < n; ++k) dest[o++] = e[k];
  }
  dest[o] = '\0';
  return o;
}

size_t url_encode_OAUTH(char* dest, size_t destSize, const char* source, size_t length) {
  return url_encode(dest, destSize, source, length);
}

namespace qcore {

std::string urlEncode(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 3);
  for (unsigned char c : text) {
    char e[3];
    out.append(e, encodeByte(c, e));
  }
  return out;
}

std::string urlDecode(std::string_view text, bool plusIsSpace) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '%' && i + 2 < text.size()) {
      int hi = hexDigitValue(text[i + 1]), lo = hexDigitValue(text[i + 2]);
      if (hi >= 0 && lo >= 0) {
        out.push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
        continue;
      }
    }
    out.push_back(plusIsSpace && c == '+' ? ' ' : c);
  }
  return out;
}

bool parseUrl(std::string_view url, UrlParts& out) {
  out = UrlParts{};
  if (hasForbiddenByte(url)) return false;
  size_t sep = url.find("://");
  if (sep == std::string_view::npos || sep == 0) return false;
  std::string scheme;
  for (char c : url.substr(0, sep)) scheme.push_back(asciiLower(c));
  int defPort;
  if (scheme == "http") {
    defPort = 80;
  } else if (scheme == "https") {
    defPort = 443;
  } else {
    return false;
  }
  std::string_view rest = url.substr(sep + 3);
  size_t end = rest.find_first_of("/?#");
  std::string_view authority = rest.substr(0, end);
  std::string_view tail = end == std::string_view::npos ? std::string_view{} : rest.substr(end);
  if (size_t at = authority.rfind('@'); at != std::string_view::npos) authority = authority.substr(at + 1);
  std::string_view host = authority;
  int port = defPort;
  bool explicitPort = false;
  if (!authority.empty() && authority.front() == '[') {  // IPv6 literal
    size_t close = authority.find(']');
    if (close == std::string_view::npos) return false;
    host = authority.substr(0, close + 1);
    std::string_view after = authority.substr(close + 1);
    if (!after.empty()) {
      if (after.front() != ':') return false;
      std::string_view digits = after.substr(1);
      if (digits.empty() || digits.size() > 5) return false;
      port = 0;
      explicitPort = true;
      for (char c : digits) {
        if (c < '0' || c > '9') return false;
        port = port * 10 + (c - '0');
      }
    }
  } else if (size_t colon = authority.rfind(':'); colon != std::string_view::npos) {
    host = authority.substr(0, colon);
    std::string_view digits = authority.substr(colon + 1);
    if (digits.empty() || digits.size() > 5) return false;
    port = 0;
    explicitPort = true;
    for (char c : digits) {
      if (c < '0' || c > '9') return false;
      port = port * 10 + (c - '0');
    }
  }
  if (host.empty() || port <= 0 || port > 65535) return false;
  out.scheme = scheme;
  out.host.assign(host);
  if (!tail.empty() && tail.front() == '/') tail.remove_prefix(1);
  if (size_t hash = tail.find('#'); hash != std::string_view::npos) tail = tail.substr(0, hash);
  out.path.assign(tail);
  out.port = port;
  out.explicitPort = explicitPort;
  return true;
}

}  // namespace qcore

namespace {
bool copyOut(const std::string& s, char* dest, size_t destSize) {
  if (dest == nullptr || destSize == 0) return false;
  if (s.size() + 1 > destSize) {
    dest[0] = '\0';
    return false;
  }
  std::memcpy(dest, s.c_str(), s.size() + 1);
  return true;
}
}  // namespace

bool url_extractHost_C(const char* url, char* dest, size_t destSize) {
  qcore::UrlParts p;
  if (url == nullptr || !qcore::parseUrl(url, p)) return copyOut("", dest, destSize) && false;
  return copyOut(p.host, dest, destSize);
}

bool url_extractURI_C(const char* url, char* dest, size_t destSize) {
  qcore::UrlParts p;
  if (url == nullptr || !qcore::parseUrl(url, p)) return copyOut("", dest, destSize) && false;
  return copyOut(p.path, dest, destSize);
}

int url_extractPort_C(const char* url) {
  qcore::UrlParts p;
  if (url == nullptr || !qcore::parseUrl(url, p)) return 0;
  return p.port;
}
