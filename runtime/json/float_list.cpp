#include "runtime/json/float_list.h"

#include <charconv>
#include <cmath>
#include <string>

namespace {
bool isAsciiAlnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isAsciiSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Next token start at or after p, or s.size() when none is left.
size_t tokenStart(const std::string& s, size_t p) {
  while (p < s.size() && !isAsciiAlnum(s[p]) && s[p] != '-') ++p;
  return p;
}
}  // namespace

double atofC(const char* text) {
  if (text == nullptr) return 0.0;
  const char* b = text;
  while (isAsciiSpace(*b)) ++b;
  bool negative = false;
  if (*b == '+' || *b == '-') {
    negative = *b == '-';
    ++b;
    if (*b == '+' || *b == '-') return 0.0;
  }
  const char* e = b;
  while (*e != '\0') ++e;
  double v = 0;
  const bool hex = e - b > 2 && b[0] == '0' && (b[1] == 'x' || b[1] == 'X');
  if (hex) b += 2;
  const auto format = hex ? std::chars_format::hex : std::chars_format::general;
  auto r = std::from_chars(b, e, v, format);
  if (hex && r.ec == std::errc::invalid_argument) return 0.0;  // "0x" alone reads as 0
  if (r.ec == std::errc::invalid_argument) return 0.0;
  if (r.ec == std::errc::result_out_of_range) {
    long double wide = 0;
    auto rw = std::from_chars(b, r.ptr, wide, format);
    v = rw.ec == std::errc() ? static_cast<double>(wide) : HUGE_VAL;
  }
  return negative ? -v : v;
}

bool parseFloatList(float* out, const char* text, int n, double (*convert)(const char*)) {
  if (out == nullptr || text == nullptr || n < 1) return false;
  if (convert == nullptr) convert = atofC;
  std::string s(text);  // tokens are cut in place, so work on a copy
  int count = 0;
  size_t p = 0;
  while (count < n) {
    p = tokenStart(s, p);
    if (p >= s.size()) break;
    size_t end = s.find(' ', p);
    if (end == std::string::npos) end = s.size();
    if (end < s.size()) s[end] = '\0';
    out[count++] = static_cast<float>(convert(s.c_str() + p));
    p = end;
  }
  return count == n && tokenStart(s, p) >= s.size();
}
