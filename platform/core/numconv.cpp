#include "platform/core/numconv.h"

#include <locale.h>
#include <stdlib.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace {
int digitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

// Reads [sign][0x]digits; returns magnitude, sign and whether it overflowed u64.
struct Scan {
  bool negative = false;
  bool anyDigit = false;
  bool overflow = false;
  uint64_t magnitude = 0;
  size_t end = 0;
};

Scan scanDigits(std::string_view t, size_t i, int base) {
  Scan s;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
    s.negative = t[i] == '-';
    ++i;
  }
  if (base == 16 && i + 1 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) i += 2;
  for (; i < t.size(); ++i) {
    int d = digitValue(t[i]);
    if (d >= base) break;
    s.anyDigit = true;
    if (s.magnitude > (std::numeric_limits<uint64_t>::max() - d) / base) {
      s.overflow = true;
    } else if (!s.overflow) {
      s.magnitude = s.magnitude * base + d;
    }
  }
  s.end = i;
  return s;
}

bool signedFits(const Scan& s, int64_t lo, int64_t hi, int64_t& out) {
  if (s.overflow) return false;
  if (s.negative) {
    uint64_t maxMag = static_cast<uint64_t>(-(lo + 1)) + 1;
    if (s.magnitude > maxMag) return false;
    out = s.magnitude == maxMag ? lo : -static_cast<int64_t>(s.magnitude);
    return true;
  }
  if (s.magnitude > static_cast<uint64_t>(hi)) return false;
  out = static_cast<int64_t>(s.magnitude);
  return true;
}
}  // namespace

namespace qcore {

std::optional<int64_t> parseI64(std::string_view text, int base) {
  if (base < 2 || base > 36) return std::nullopt;
  Scan s = scanDigits(text, 0, base);
  int64_t v;
  if (!s.anyDigit || s.end != text.size()) return std::nullopt;
  if (!signedFits(s, std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max(), v))
    return std::nullopt;
  return v;
}

std::optional<uint64_t> parseU64(std::string_view text, int base) {
  if (base < 2 || base > 36) return std::nullopt;
  Scan s = scanDigits(text, 0, base);
  if (!s.anyDigit || s.end != text.size() || s.overflow || s.negative) return std::nullopt;
  return s.magnitude;
}

std::optional<int32_t> parseI32(std::string_view text, int base) {
  auto v = parseI64(text, base);
  if (!v || *v < std::numeric_limits<int32_t>::min() || *v > std::numeric_limits<int32_t>::max())
    return std::nullopt;
  return static_cast<int32_t>(*v);
}

std::string formatI64(int64_t value) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, r.ptr);
}

std::string formatU64(uint64_t value) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, r.ptr);
}

std::string formatDouble(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, value);  // shortest round-trip form
  return std::string(buf, r.ptr);
}

std::optional<double> parseDouble(std::string_view text) {
  if (text.empty() || text.front() == ' ' || (text.front() >= '\t' && text.front() <= '\r')) return std::nullopt;
  const std::string copy(text);  // strtod wants a terminator; an embedded NUL ends early and fails
  char* end = nullptr;
  const double v = strtodC(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size()) return std::nullopt;
  return v;
}

double strtodC(const char* text, char** end) {
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
  return strtod_l(text, end, cLocale);
}

int hexDigitValue(char c) {
  const int d = digitValue(c);
  return d < 16 ? d : -1;
}

}  // namespace qcore

char* I64ToStr(char* buffer, size_t capacity, int64_t value, int isSigned) {
  if (buffer == nullptr || capacity == 0) return nullptr;
  std::string s = isSigned ? qcore::formatI64(value) : qcore::formatU64(static_cast<uint64_t>(value));
  if (s.size() + 1 > capacity) return nullptr;
  std::memcpy(buffer, s.c_str(), s.size() + 1);
  return buffer;
}

int64_t StrToI64(const char* text, bool* ok) {
  if (ok) *ok = false;
  if (text == nullptr) return 0;
  std::string_view t(text);
  size_t i = 0;
  while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
  Scan s = scanDigits(t, i, 10);
  if (!s.anyDigit) return 0;
  constexpr uint64_t kMaxMag = uint64_t(1) << 63;
  if (s.negative) {
    if (s.overflow || s.magnitude > kMaxMag) return std::numeric_limits<int64_t>::min();
    if (ok) *ok = true;
    return static_cast<int64_t>(0 - s.magnitude);
  }
  if (s.overflow || s.magnitude >= kMaxMag) return std::numeric_limits<int64_t>::max();
  if (ok) *ok = true;
  return static_cast<int64_t>(s.magnitude);
}

uint16_t StrToHex4(const char* fourChars, bool* ok) {
  if (ok) *ok = false;
  if (fourChars == nullptr) return 0;
  uint16_t v = 0;
  for (int i = 0; i < 4; ++i) {
    int d = digitValue(fourChars[i]);
    if (d >= 16) return 0;  // also stops at a NUL before the fourth digit
    v = static_cast<uint16_t>(v * 16 + d);
  }
  if (ok) *ok = true;
  return v;
}

int32_t StrToI32B(const char* text, size_t length, int base, bool* ok) {
  if (ok) *ok = false;
  if (text == nullptr || base < 2 || base > 36) return 0;
  std::string_view t(text, length);
  size_t i = 0;
  while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
  Scan s = scanDigits(t, i, base);
  if (!s.anyDigit) return 0;
  int64_t v;
  if (!signedFits(s, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), v))
    return s.negative ? std::numeric_limits<int32_t>::min() : std::numeric_limits<int32_t>::max();
  if (ok) *ok = true;
  return static_cast<int32_t>(v);
}
