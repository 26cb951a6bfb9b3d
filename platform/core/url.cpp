#include "platform/core/url.h"

#include <cstring>

namespace {
bool unreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~';
}
const char kHex[] = "0123456789ABCDEF";

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }
}  // namespace

size_t url_encode(char* dest, size_t destSize, const char* text, size_t length) {
  if (dest == nullptr || destSize == 0) return 0;
  size_t o = 0;
  for (size_t i = 0; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (unreserved(c)) {
      if (o + 1 >= destSize) break;
      dest[o++] = static_cast<char>(c);
    } else {
      if (o + 3 >= destSize) break;
      dest[o++] = '%';
      dest[o++] = kHex[c >> 4];
      dest[o++] = kHex[c & 15];
    }
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
    if (unreserved(c)) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
  }
  return out;
}

std::string urlDecode(std::string_view text, bool plusIsSpace) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '%' && i + 2 < text.size()) {
      int hi = hexValue(text[i + 1]), lo = hexValue(text[i + 2]);
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
