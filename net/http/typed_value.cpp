#include "net/http/typed_value.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "net/http/http_date.h"
#include "platform/core/numconv.h"

const std::string& TypedValue::str() const {
  static const std::string kNone;
  const std::string* s = std::get_if<kString>(&value_);
  return s ? *s : kNone;
}
int64_t TypedValue::asInteger() const {
  const int64_t* i = std::get_if<kInteger>(&value_);
  return i ? *i : 0;
}
double TypedValue::asReal() const {
  const double* d = std::get_if<kReal>(&value_);
  return d ? *d : 0.0;
}
bool TypedValue::asBool() const {
  const bool* b = std::get_if<kBoolean>(&value_);
  return b ? *b : false;
}
int64_t TypedValue::asTime() const {
  const Time* t = std::get_if<kTime>(&value_);
  return t ? t->seconds : 0;
}

int64_t TypedValue::integerValue() const {
  if (tag() == kInteger) return asInteger();
  if (tag() != kReal) return 0;
  double d = std::trunc(asReal());
  if (std::isnan(d)) return 0;
  // 2^63 is exact as a double; anything at or beyond it saturates.
  if (d >= 9223372036854775808.0) return std::numeric_limits<int64_t>::max();
  if (d <= -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(d);
}

std::string TypedValue::text() const {
  switch (tag()) {
    case kEmpty:
      return {};
    case kString:
      return str();
    case kInteger:
      return qcore::formatI64(asInteger());
    case kReal: {
      char buf[512];  // fixed notation of the largest double needs 309 digits + 7
      auto r = std::to_chars(buf, buf + sizeof buf, asReal(), std::chars_format::fixed, 6);
      return r.ec == std::errc() ? std::string(buf, r.ptr) : std::string();
    }
    case kBoolean:
      return asBool() ? "true" : "false";
    case kTime:
      return httpdate::ctimeText(asTime());
  }
  return {};
}
