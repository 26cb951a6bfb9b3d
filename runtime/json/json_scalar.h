// One JSON cell: a number, a boolean, null, a punctuation token or a string. Strings are
// kept exactly as they stand between the quotes of the text (escapes included) and are
// decoded only when read, so parsing never has to rewrite them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct SMA;

enum class JSONKind : uint32_t { Real = 0, Integer = 1, Punct = 2, String = 3, Boolean = 4, Null = 5 };

// Unescape flags: bit 0 decodes \u escapes, bit 1 the others.
constexpr int kJsonUnescapeU = 1;
constexpr int kJsonUnescapeOther = 2;
constexpr int kJsonUnescapeAll = 3;

// The punctuation characters a token can be, by index.
constexpr char kJsonPunct[] = "\"/\\:{}[],";

class JSONScalar {
 public:
  JSONScalar() noexcept : kind_(JSONKind::Null), len_(0) { u_.i = 0; }
  ~JSONScalar() { release(); }
  JSONScalar(const JSONScalar& other);
  JSONScalar(JSONScalar&& other) noexcept : kind_(other.kind_), len_(other.len_), u_(other.u_) {
    other.kind_ = JSONKind::Null;
    other.len_ = 0;
    other.u_.i = 0;
  }
  JSONScalar& operator=(const JSONScalar& other);
  JSONScalar& operator=(JSONScalar&& other) noexcept;
  void swap(JSONScalar& other) noexcept;

  static JSONScalar fromReal(double v);
  static JSONScalar fromInt(int64_t v);
  static JSONScalar fromBool(bool v);
  static JSONScalar fromPunct(uint8_t index);
  // A string from its bytes as written between quotes (escapes not decoded). Strings
  // longer than 4 GiB - 1 are cut at that length.
  static JSONScalar fromRaw(std::string_view escaped);
  // A string whose decoded text is utf8: quotes, backslashes and control characters are
  // escaped on the way in.
  static JSONScalar fromText(std::string_view utf8);

  JSONKind kind() const { return kind_; }
  bool isNull() const { return kind_ == JSONKind::Null; }
  bool isString() const { return kind_ == JSONKind::String; }

  // Type-checked reads: a cell of another kind gives the default. Integers and reals
  // convert into each other (a real is truncated, saturating at the int64 range).
  double asReal() const;
  int64_t asInt64() const;
  bool asBool() const;
  uint8_t punctIndex() const { return kind_ == JSONKind::Punct ? static_cast<uint8_t>(u_.i) : 0xFF; }

  // The string's bytes as written (empty for other kinds).
  std::string_view raw() const {
    return kind_ == JSONKind::String ? std::string_view(u_.s, len_) : std::string_view();
  }
  // The string decoded with the given unescape flags (empty for other kinds).
  std::string toUtf8(int flags = kJsonUnescapeAll) const;
  std::u16string toUtf16(int flags = kJsonUnescapeAll) const;

 private:
  void release() noexcept;

  JSONKind kind_;
  uint32_t len_;  // string bytes, without the terminating zero
  union {
    double d;
    int64_t i;
    bool b;
    char* s;
  } u_;
};

// The process-wide pool that string bytes come from; every allocation and release is
// taken under one global lock so trees can be built on any thread. Exposed so tests and
// benchmarks can watch what is live.
SMA* jsonStringPool();
