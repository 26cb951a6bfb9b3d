#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/core/numconv.h"

// Small text rules shared by the framers and the parsers, so both read a header alike.
namespace httptext {

inline char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

inline bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
  return true;
}

inline std::string_view trimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// The index just past the line end at t[i] (a CR or an LF) and any LFs that follow it.
inline size_t pastLineEnd(std::string_view t, size_t i) {
  ++i;
  while (i < t.size() && t[i] == '\n') ++i;
  return i;
}

// A Transfer-Encoding value whose last coding is "chunked" (any case): "chunked",
// "gzip, chunked".
inline bool isChunkedCoding(std::string_view value) {
  size_t comma = value.rfind(',');
  return equalsNoCase(trimBlanks(comma == std::string_view::npos ? value : value.substr(comma + 1)), "chunked");
}

// A Connection value that lists "close" (any case).
inline bool listsClose(std::string_view value) {
  while (true) {
    size_t comma = value.find(',');
    if (equalsNoCase(trimBlanks(value.substr(0, comma)), "close")) return true;
    if (comma == std::string_view::npos) return false;
    value.remove_prefix(comma + 1);
  }
}

// A Content-Length value: decimal digits alone (leading zeros allowed), within 64 bits. The
// framer and the parser both read it so, or a reply the framer delivers could be refused.
inline std::optional<uint64_t> contentLengthValue(std::string_view value) {
  value = trimBlanks(value);
  if (value.empty()) return std::nullopt;
  for (char c : value)
    if (c < '0' || c > '9') return std::nullopt;
  return qcore::parseU64(value);
}

// Statuses that never carry a body, whatever their headers say: 1xx, 204 and 304.
// A 1xx reply that a final reply follows on the same connection; 101 switches protocols
// and ends HTTP there.
inline bool isInterimStatus(int status) { return status >= 100 && status < 200 && status != 101; }

inline bool statusHasNoBody(int status) {
  return (status >= 100 && status < 200) || status == 204 || status == 304;
}

// The status code of a status line ("HTTP/1.1 204 No Content"), -1 when it has none.
inline int statusOfLine(std::string_view line) {
  size_t sp = line.find(' ');
  if (sp == std::string_view::npos || line.size() < sp + 4) return -1;
  int code = 0;
  for (size_t i = sp + 1; i < sp + 4; ++i) {
    if (line[i] < '0' || line[i] > '9') return -1;
    code = code * 10 + (line[i] - '0');
  }
  return code;
}

}  // namespace httptext
