#include "runtime/json/json_reader.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/core/numconv.h"

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isHex(char c) { return qcore::hexDigitValue(c) >= 0; }

const char* skipBlanks(const char* p, const char* end) {
  while (p < end) {
    char c = *p;
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      ++p;
    } else if (c == '/' && end - p >= 2 && p[1] == '/') {
      p += 2;
      while (p < end && *p != '\n') ++p;
      if (p < end) ++p;
    } else if (c == '/' && end - p >= 2 && p[1] == '*') {
      p += 2;
      while (p < end && !(*p == '*' && end - p >= 2 && p[1] == '/')) ++p;
      p = p < end ? p + 2 : end;  // an unclosed comment runs to the end of the text
    } else {
      break;
    }
  }
  return p;
}

// A quoted string starting at p (which holds the opening quote). On success raw is the
// bytes between the quotes and the result points past the closing quote; on failure the
// result is nullptr and why says what was wrong.
const char* scanString(const char* p, const char* end, std::string_view& raw, const char*& why) {
  const char* q = p + 1;
  for (;;) {
    while (q < end && *q != '"' && *q != '\\') ++q;
    if (q >= end) {
      why = "unterminated string";
      return nullptr;
    }
    if (*q == '"') break;
    if (end - q < 2) {
      why = "unterminated string";
      return nullptr;
    }
    char e = q[1];
    if (e == 'u') {
      if (end - q < 6 || !isHex(q[2]) || !isHex(q[3]) || !isHex(q[4]) || !isHex(q[5])) {
        why = "bad \\u escape in string";
        return nullptr;
      }
      q += 6;
    } else if (std::strchr("\"\\/bfnrt", e) != nullptr && e != '\0') {
      q += 2;
    } else {
      why = "bad escape in string";
      return nullptr;
    }
  }
  raw = std::string_view(p + 1, static_cast<size_t>(q - (p + 1)));
  return q + 1;
}

// A real from validated number text. Beyond the double range it reads as an infinity of
// its sign (too small, as 0 or a subnormal), so one odd number does not lose a document.
double toReal(const char* b, const char* e) {
  double out = 0;
  auto r = std::from_chars(b, e, out);
  if (r.ec != std::errc()) out = qcore::strtodC(std::string(b, e).c_str());
  return out;
}

// A number at p. Returns the characters consumed, 0 when the text there is no number.
size_t scanNumber(const char* p, const char* end, JSONScalar& out) {
  const char* q = p;
  const bool negative = q < end && *q == '-';
  if (negative) ++q;
  const char* digits = q;
  while (q < end && isDigit(*q)) ++q;
  const char* intEnd = q;
  size_t count = static_cast<size_t>(q - digits);
  bool real = false;
  if (q < end && *q == '.') {
    real = true;
    ++q;
    const char* f = q;
    while (q < end && isDigit(*q)) ++q;
    count += static_cast<size_t>(q - f);
  }
  if (count == 0) return 0;
  if (q < end && (*q == 'e' || *q == 'E')) {
    real = true;
    ++q;
    if (q < end && (*q == '+' || *q == '-')) ++q;
    const char* x = q;
    while (q < end && isDigit(*q)) ++q;
    if (q == x) return 0;
  }
  // A second point, sign or exponent right after the number makes it no number.
  if (q < end && (*q == '.' || *q == '-' || *q == '+' || *q == 'e' || *q == 'E')) return 0;

  if (!real) {
    uint64_t mag = 0;
    bool fits = true;
    for (const char* d = digits; d < intEnd; ++d) {
      unsigned v = static_cast<unsigned>(*d - '0');
      if (mag > (UINT64_MAX - v) / 10) {
        fits = false;
        break;
      }
      mag = mag * 10 + v;
    }
    const uint64_t limit = negative ? (uint64_t(1) << 63) : (uint64_t(1) << 63) - 1;
    if (fits && mag <= limit) {
      out = JSONScalar::fromInt(negative ? static_cast<int64_t>(0 - mag) : static_cast<int64_t>(mag));
      return static_cast<size_t>(q - p);
    }
  }
  out = JSONScalar::fromReal(toReal(p, q));
  return static_cast<size_t>(q - p);
}

size_t scanWord(const char* p, const char* end, JSONScalar& out) {
  const size_t left = static_cast<size_t>(end - p);
  if (left >= 4 && std::memcmp(p, "true", 4) == 0) {
    out = JSONScalar::fromBool(true);
    return 4;
  }
  if (left >= 5 && std::memcmp(p, "false", 5) == 0) {
    out = JSONScalar::fromBool(false);
    return 5;
  }
  if (left >= 4 && std::memcmp(p, "null", 4) == 0) {
    out = JSONScalar();
    return 4;
  }
  return 0;
}

}  // namespace

class JSONReader {
 public:
  JSONReader(const char* text, size_t length) : begin_(text), p_(text), end_(text + length) {}

  JSONParseResult run(JSONValue& out) {
    JSONParseResult r;
    if (static_cast<uint64_t>(end_ - begin_) >= 0xFFFFFFFFull) {
      fail("text too large", begin_);
    } else if (readValue(out, 0)) {
      p_ = skipBlanks(p_, end_);
      // A terminating zero after the document ends the text, as in a C string.
      if (p_ < end_ && *p_ != '\0') fail("unexpected text after the document", p_);
    }
    if (why_) {
      out.clear();
      r.error = why_;
      r.errorOffset = static_cast<size_t>(at_ - begin_);
      return r;
    }
    r.values = values_;
    r.end = static_cast<size_t>(p_ - begin_);
    return r;
  }

 private:
  bool fail(const char* why, const char* at) {
    if (why_ == nullptr) {
      why_ = why;
      at_ = at;
    }
    return false;
  }

  bool readValue(JSONValue& v, int depth) {
    p_ = skipBlanks(p_, end_);
    if (p_ >= end_) return fail("unexpected end of text", p_);
    ++values_;
    const char c = *p_;
    if (c == '{' || c == '[') {
      if (depth >= kJsonMaxDepth) return fail("nesting too deep", p_);
      return readContainer(v, depth + 1, c == '{');
    }
    if (c == '"') {
      std::string_view raw;
      const char* why = nullptr;
      const char* next = scanString(p_, end_, raw, why);
      if (next == nullptr) return fail(why, p_);
      v.setScalar(JSONScalar::fromRaw(raw));
      p_ = next;
      return true;
    }
    JSONScalar s;
    size_t n = 0;
    if (c == '-' || c == '.' || isDigit(c)) {
      n = scanNumber(p_, end_, s);
      if (n == 0) return fail("malformed number", p_);
    } else {
      n = scanWord(p_, end_, s);
      if (n == 0) return fail("expected a value", p_);
    }
    v.setScalar(std::move(s));
    p_ += n;
    return true;
  }

  // '{' members '}' or '[' values ']', the items separated by ','.
  bool readContainer(JSONValue& v, int depth, bool object) {
    const char close = object ? '}' : ']';
    ++p_;
    if (object) {
      v.setObject();
    } else {
      v.setArray();
    }
    p_ = skipBlanks(p_, end_);
    if (p_ < end_ && *p_ == close) {
      ++p_;
      return true;
    }
    for (;;) {
      JSONValue& child = v.kids_.emplace_back();
      if (object && !readMemberName(child)) return false;
      if (!readValue(child, depth)) return false;
      p_ = skipBlanks(p_, end_);
      if (p_ >= end_) return fail("unexpected end of text", p_);
      if (*p_ == close) {
        ++p_;
        return true;
      }
      if (*p_ != ',') return fail(object ? "expected ',' or '}'" : "expected ',' or ']'", p_);
      ++p_;
    }
  }

  // A member's name and the ':' after it; the name becomes child's key.
  bool readMemberName(JSONValue& child) {
    p_ = skipBlanks(p_, end_);
    if (p_ >= end_) return fail("unexpected end of text", p_);
    if (*p_ != '"') return fail("expected a member name", p_);
    std::string_view raw;
    const char* why = nullptr;
    const char* next = scanString(p_, end_, raw, why);
    if (next == nullptr) return fail(why, p_);
    p_ = skipBlanks(next, end_);
    if (p_ >= end_) return fail("unexpected end of text", p_);
    if (*p_ != ':') return fail("expected ':' after a member name", p_);
    ++p_;
    child.setKey(JSONScalar::fromRaw(raw));
    return true;
  }

  const char* begin_;
  const char* p_;
  const char* end_;
  const char* why_ = nullptr;
  const char* at_ = nullptr;
  size_t values_ = 0;
};

JSONParseResult jsonParse(const char* text, size_t length, JSONValue& out) {
  out.clear();
  if (text == nullptr) length = 0;
  static const char kEmpty = '\0';
  return JSONReader(text ? text : &kEmpty, length).run(out);
}

size_t jsonParseScalar(const char* text, size_t length, JSONScalar& out) {
  out = JSONScalar();
  if (text == nullptr) return 0;
  const char* end = text + length;
  const char* p = skipBlanks(text, end);
  if (p >= end) return 0;
  const size_t lead = static_cast<size_t>(p - text);
  if (*p == '"') {
    std::string_view raw;
    const char* why = nullptr;
    if (const char* next = scanString(p, end, raw, why)) {
      out = JSONScalar::fromRaw(raw);
      return static_cast<size_t>(next - text);
    }
  }
  if (size_t n = scanNumber(p, end, out)) return lead + n;
  if (size_t n = scanWord(p, end, out)) return lead + n;
  if (const char* hit = static_cast<const char*>(std::memchr(kJsonPunct, *p, sizeof kJsonPunct - 1))) {
    out = JSONScalar::fromPunct(static_cast<uint8_t>(hit - kJsonPunct));
    return lead + 1;
  }
  return 0;
}

size_t jsonSkipBlanks(const char* text, size_t length) {
  if (text == nullptr) return 0;
  return static_cast<size_t>(skipBlanks(text, text + length) - text);
}

size_t jsonCountValues(const char* text, size_t length) {
  size_t count = 1;
  if (text == nullptr) return count;
  const char* end = text + length;
  for (const char* p = skipBlanks(text, end); p < end; p = skipBlanks(p, end)) {
    const char c = *p;
    if (c == '"') {
      std::string_view raw;
      const char* why = nullptr;
      p = scanString(p, end, raw, why);
      if (p == nullptr) break;
      continue;
    }
    if (c == '\0') break;
    if (c == ',' || c == '[' || c == '{') ++count;
    ++p;
  }
  return count;
}
