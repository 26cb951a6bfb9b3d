#include "runtime/json/float_list.h"

#include <string>
#include <string_view>

#include "platform/core/numconv.h"

namespace {
bool isAsciiAlnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool startsToken(const std::string& s, size_t p) {
  // A point before a digit starts a number (".5"); any other point separates.
  const bool digitNext = p + 1 < s.size() && s[p + 1] >= '0' && s[p + 1] <= '9';
  return isAsciiAlnum(s[p]) || s[p] == '-' || (s[p] == '.' && digitNext);
}

// Tabs, commas and brackets end a number as a space does: "(1,2)" and tab-separated
// columns are lists too.
bool endsToken(char c) { return std::string_view(" \t\n\r\v\f,()[]{}").find(c) != std::string_view::npos; }

// Next token start at or after p, or s.size() when none is left.
size_t tokenStart(const std::string& s, size_t p) {
  while (p < s.size() && !startsToken(s, p)) ++p;
  return p;
}
}  // namespace

double atofC(const char* text) { return text ? qcore::strtodC(text) : 0.0; }

bool parseFloatList(float* out, const char* text, int n, double (*convert)(const char*), int* read) {
  if (read) *read = 0;
  if (out == nullptr || text == nullptr || n < 1) return false;
  if (convert == nullptr) convert = atofC;
  std::string s(text);  // tokens are cut in place, so work on a copy
  int count = 0;
  size_t p = 0;
  while (count < n) {
    p = tokenStart(s, p);
    if (p >= s.size()) break;
    size_t end = p + 1;
    while (end < s.size() && !endsToken(s[end])) ++end;
    if (end < s.size()) s[end] = '\0';
    out[count++] = static_cast<float>(convert(s.c_str() + p));
    p = end;
  }
  if (read) *read = count;
  return count == n && tokenStart(s, p) >= s.size();
}
