#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <variant>

// A header value that arrives already typed: a length reads as an integer, a date as a
// time, a MIME type as a string.
class TypedValue {
 public:
  enum Tag : uint32_t { kEmpty = 0, kString = 1, kInteger = 2, kReal = 3, kBoolean = 4, kTime = 5 };

  TypedValue() = default;
  static TypedValue string(std::string s) { return make<kString>(std::move(s)); }
  static TypedValue integer(int64_t v) { return make<kInteger>(v); }
  static TypedValue real(double v) { return make<kReal>(v); }
  static TypedValue boolean(bool v) { return make<kBoolean>(v); }
  // Seconds since 1970-01-01 00:00 UTC.
  static TypedValue time(int64_t secondsSinceEpoch) { return make<kTime>(Time{secondsSinceEpoch}); }

  Tag tag() const { return static_cast<Tag>(value_.index()); }
  bool isString() const { return tag() == kString; }
  bool isInteger() const { return tag() == kInteger; }

  // Accessors for the matching tag; other tags give an empty string, 0, false.
  const std::string& str() const;
  int64_t asInteger() const;
  double asReal() const;
  bool asBool() const;
  int64_t asTime() const;

  // Integer value of a token: an integer as is, a real truncated toward zero (clamped to
  // the 64-bit range, NaN as 0), anything else 0.
  int64_t integerValue() const;

  // Text written into header lines: the string, decimal integer, "%f" real,
  // "true"/"false", or the time as "Www Mmm dd hh:mm:ss yyyy" (UTC, no line end).
  std::string text() const;

  bool operator==(const TypedValue&) const = default;

 private:
  struct Time {
    int64_t seconds;
    bool operator==(const Time&) const = default;
  };
  template <Tag T, class V>
  static TypedValue make(V&& v) {
    TypedValue t;
    t.value_.template emplace<T>(std::forward<V>(v));
    return t;
  }

  // Alternative order matches the tag values.
  std::variant<std::monostate, std::string, int64_t, double, bool, Time> value_;
};
