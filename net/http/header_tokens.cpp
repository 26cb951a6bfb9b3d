#include "net/http/header_tokens.h"

#include <charconv>
#include <cstring>
#include <optional>

#include "net/http/http_date.h"
#include "platform/core/numconv.h"

namespace httptok {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isDelim(char c, std::string_view delims) { return delims.find(c) != std::string_view::npos; }
// Whitespace that ends a scanf-style text field.
bool endsField(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// A cursor that emulates the scanf directives the date formats use, but never crosses a
// line break and never reads past the text.
struct Scan {
  std::string_view t;
  size_t i = 0;

  void blanks() {
    while (i < t.size() && isBlank(t[i])) ++i;
  }
  // %s with a field limit: a run of non-white characters, at least one, at most max.
  // A longer run fails when failIfLonger (the 64-byte fields), else stops at max (%3s).
  bool field(std::string_view& out, size_t max, bool failIfLonger) {
    blanks();
    size_t s = i;
    while (i < t.size() && !endsField(t[i]) && i - s < max) ++i;
    if (i == s) return false;
    if (failIfLonger && i < t.size() && !endsField(t[i])) return false;
    out = t.substr(s, i - s);
    return true;
  }
  // %d: optional sign and up to nine digits (no int overflow).
  bool number(int& out) {
    blanks();
    size_t s = i;
    bool neg = false;
    if (i < t.size() && (t[i] == '-' || t[i] == '+')) neg = t[i++] == '-';
    size_t d = i;
    int64_t v = 0;
    while (i < t.size() && isDigit(t[i])) {
      if (i - d >= 9) return false;
      v = v * 10 + (t[i++] - '0');
    }
    if (i == d) {
      i = s;
      return false;
    }
    out = static_cast<int>(neg ? -v : v);
    return true;
  }
  bool literal(char c) {
    if (i < t.size() && t[i] == c) {
      ++i;
      return true;
    }
    return false;
  }
};

int indexOf(std::string_view name, const char* const* table, int count) {
  for (int k = 0; k < count; ++k)
    if (name == table[k]) return k;
  return -1;
}

// One of the two date layouts; secondForm selects "%d-%3s-%d" with a two-digit year.
bool scanDate(std::string_view text, bool secondForm, int64_t& seconds, size_t& length) {
  Scan s{text};
  std::string_view weekday, month, zone;
  int day, year, hh, mm, ss;
  if (!s.field(weekday, 63, true) || !s.number(day)) return false;
  if (secondForm) {
    if (!s.literal('-') || !s.field(month, 3, false) || !s.literal('-')) return false;
  } else if (!s.field(month, 63, true)) {
    return false;
  }
  if (!s.number(year) || !s.number(hh) || !s.literal(':') || !s.number(mm) || !s.literal(':') ||
      !s.number(ss) || !s.field(zone, 3, false))
    return false;
  if (zone != "GMT" && zone != "UTC") return false;
  if (weekday.size() < 2 || indexOf(weekday.substr(0, weekday.size() - 1), httpdate::kWeekdays, 7) < 0)
    return false;
  int mon = indexOf(month, httpdate::kMonths, 12);
  if (mon < 0) return false;
  if (secondForm) year += 2000;
  seconds = httpdate::daysFromCivil(year, mon + 1, day) * 86400 + int64_t(hh) * 3600 +
            int64_t(mm) * 60 + ss;
  length = s.i;
  return true;
}

}  // namespace

size_t skipBlanks(std::string_view text, bool lineBreaks) {
  size_t i = 0;
  while (i < text.size() &&
         (isBlank(text[i]) || (lineBreaks && (text[i] == '\r' || text[i] == '\n'))))
    ++i;
  return i;
}

HeaderToken readNumberToken(std::string_view text) {
  HeaderToken tok;
  size_t i = skipBlanks(text, false);
  std::string_view t = text.substr(i);
  if (t.substr(0, 4) == "true") {
    tok.value = TypedValue::boolean(true);
    tok.length = i + 4;
    return tok;
  }
  if (t.substr(0, 5) == "false") {
    tok.value = TypedValue::boolean(false);
    tok.length = i + 5;
    return tok;
  }
  // JSON number: -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
  size_t k = 0;
  if (k < t.size() && t[k] == '-') ++k;
  if (k >= t.size() || !isDigit(t[k])) return tok;
  if (t[k] == '0') {
    ++k;
  } else {
    while (k < t.size() && isDigit(t[k])) ++k;
  }
  bool integral = true;
  if (k + 1 < t.size() && t[k] == '.' && isDigit(t[k + 1])) {
    integral = false;
    k += 2;
    while (k < t.size() && isDigit(t[k])) ++k;
  }
  if (k < t.size() && (t[k] == 'e' || t[k] == 'E')) {
    size_t e = k + 1;
    if (e < t.size() && (t[e] == '+' || t[e] == '-')) ++e;
    if (e < t.size() && isDigit(t[e])) {
      integral = false;
      k = e;
      while (k < t.size() && isDigit(t[k])) ++k;
    }
  }
  const char* b = t.data();
  if (integral) {
    int64_t v = 0;
    auto r = std::from_chars(b, b + k, v);
    if (r.ec == std::errc() && r.ptr == b + k) {
      tok.value = TypedValue::integer(v);
      tok.length = i + k;
      return tok;
    }
  }
  // strtod's reading: out of range gives +-inf or 0 (from_chars would leave 0 for both).
  std::optional<double> d = qcore::parseDouble(t.substr(0, k));
  if (!d) return tok;
  tok.value = TypedValue::real(*d);
  tok.length = i + k;
  return tok;
}

HeaderToken readDateToken(std::string_view text) {
  HeaderToken tok;
  size_t i = skipBlanks(text, false);
  int64_t secs;
  size_t len;
  if (scanDate(text.substr(i), false, secs, len) || scanDate(text.substr(i), true, secs, len)) {
    tok.value = TypedValue::time(secs);
    tok.length = i + len;
  }
  return tok;
}

HeaderToken readStringToken(std::string_view text, std::string_view delims) {
  HeaderToken tok;
  size_t i = skipBlanks(text, false);
  if (i < text.size() && text[i] == '"') {
    size_t s = i + 1, e = s;
    while (e < text.size() && text[e] != '"' && text[e] != '\r' && text[e] != '\n') ++e;
    if (e >= text.size() || text[e] != '"') return tok;
    tok.value = TypedValue::string(std::string(text.substr(s, e - s)));
    tok.length = e + 1;
    return tok;
  }
  size_t e = i;
  while (e < text.size() && !isDelim(text[e], delims)) ++e;
  size_t end = e;
  // Trailing blanks are left for the caller to skip, so "200 " still reads as a number.
  while (end > i && isBlank(text[end - 1])) --end;
  tok.value = TypedValue::string(std::string(text.substr(i, end - i)));
  tok.length = end;
  return tok;
}

HeaderToken readToken(std::string_view text, std::string_view delims) {
  HeaderToken best = readNumberToken(text);
  HeaderToken date = readDateToken(text);
  if (date.length > best.length) best = std::move(date);
  HeaderToken str = readStringToken(text, delims);
  if (str.length > best.length) best = std::move(str);
  return best;
}

}  // namespace httptok
