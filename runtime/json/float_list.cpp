#include "runtime/json/float_list.h"

#include <string>

#include "platform/core/numconv.h"

namespace {
bool isAsciiAlnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Next token start at or after p, or s.size() when none is left.
size_t tokenStart(const std::string& s, size_t p) {
  while (p < s.size() && !isAsciiAlnum(s[p]) && s[p] != '-') ++p;
  return p;
}
}  // namespace

double atofC(const char* text) { return text ? qcore::strtodC(text) : 0.0; }

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
