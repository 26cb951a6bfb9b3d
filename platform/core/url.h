#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// Percent-encoding with the RFC 3986 unreserved set ("A"-"Z", "a"-"z", "0"-"9", "-", ".",
// "_", "~" stay; every other byte becomes "%XX" in upper case; a space is "%20"), so that a
// form body on the wire and its OAuth signature base agree. Writes at most destSize - 1
// bytes and a terminating NUL; returns the bytes written. Never splits an escape: when the
// next escape does not fit, encoding stops there.
size_t url_encode(char* dest, size_t destSize, const char* text, size_t length);
// OAuth 1.0a encoding (RFC 5849 section 3.6); the same set as url_encode.
size_t url_encode_OAUTH(char* dest, size_t destSize, const char* source, size_t length);

namespace qcore {
std::string urlEncode(std::string_view text);
// Decodes "%XX" escapes (and "+" as a space when plusIsSpace); a malformed escape is kept as is.
std::string urlDecode(std::string_view text, bool plusIsSpace);

// The parts of an "http" or "https" URL. Host is lower-case-preserving; path starts after
// the host's "/" (without it) and keeps any query; port is the explicit one or the
// scheme's default (80 or 443); 0 when the URL cannot be read. A URL holding a control
// character, a space or DEL cannot be read.
struct UrlParts {
  std::string scheme;
  std::string host;
  std::string path;
  int port = 0;
  bool explicitPort = false;  // the URL names its port
};
bool parseUrl(std::string_view url, UrlParts& out);
}  // namespace qcore

// Host and path of a URL as NUL-terminated text (path without the leading "/").
// Each returns false, with dest set to "", when the URL cannot be read or the part does not fit.
bool url_extractHost_C(const char* url, char* dest, size_t destSize);
bool url_extractURI_C(const char* url, char* dest, size_t destSize);
// The explicit port of a URL, or the scheme's default; 0 when the URL cannot be read.
int url_extractPort_C(const char* url);
