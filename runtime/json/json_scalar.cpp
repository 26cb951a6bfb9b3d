#include "runtime/json/json_scalar.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "platform/core/smalloc.h"
#include "runtime/core/synclo.h"
#include "runtime/json/json_escape.h"

namespace {

kesto::Synclo& poolLock() {
  static kesto::Synclo lock;
  return lock;
}

char* allocString(const char* bytes, uint32_t len) {
  void* p;
  {
    kesto::SyncloGuard guard(poolLock());
    p = SMAAlloc(jsonStringPool(), size_t(len) + 1);
  }
  if (p == nullptr) throw std::bad_alloc();
  char* s = static_cast<char*>(p);
  if (len) std::memcpy(s, bytes, len);
  s[len] = '\0';
  return s;
}

void freeString(char* s, uint32_t len) {
  kesto::SyncloGuard guard(poolLock());
  SMAFree(jsonStringPool(), s, size_t(len) + 1);
}

}  // namespace

SMA* jsonStringPool() {
  // Made on first use and kept for the whole run: trees may be destroyed during shutdown.
  static SMA* pool = NewSMA(SMAPolicy{});
  return pool;
}

JSONScalar::JSONScalar(const JSONScalar& other) : kind_(other.kind_), len_(other.len_), u_(other.u_) {
  if (kind_ == JSONKind::String) u_.s = allocString(other.u_.s, other.len_);
}

JSONScalar& JSONScalar::operator=(const JSONScalar& other) {
  if (this != &other) {
    JSONScalar copy(other);
    swap(copy);
  }
  return *this;
}

JSONScalar& JSONScalar::operator=(JSONScalar&& other) noexcept {
  if (this != &other) {
    release();
    kind_ = other.kind_;
    len_ = other.len_;
    u_ = other.u_;
    other.kind_ = JSONKind::Null;
    other.len_ = 0;
    other.u_.i = 0;
  }
  return *this;
}

void JSONScalar::swap(JSONScalar& other) noexcept {
  std::swap(kind_, other.kind_);
  std::swap(len_, other.len_);
  std::swap(u_, other.u_);
}

void JSONScalar::release() noexcept {
  if (kind_ == JSONKind::String && u_.s) freeString(u_.s, len_);
  kind_ = JSONKind::Null;
  len_ = 0;
  u_.i = 0;
}

JSONScalar JSONScalar::fromReal(double v) {
  JSONScalar s;
  s.kind_ = JSONKind::Real;
  s.u_.d = v;
  return s;
}

JSONScalar JSONScalar::fromInt(int64_t v) {
  JSONScalar s;
  s.kind_ = JSONKind::Integer;
  s.u_.i = v;
  return s;
}

JSONScalar JSONScalar::fromBool(bool v) {
  JSONScalar s;
  s.kind_ = JSONKind::Boolean;
  s.u_.i = 0;
  s.u_.b = v;
  return s;
}

JSONScalar JSONScalar::fromPunct(uint8_t index) {
  JSONScalar s;
  s.kind_ = JSONKind::Punct;
  s.u_.i = index;
  return s;
}

JSONScalar JSONScalar::fromRaw(std::string_view escaped) {
  JSONScalar s;
  uint32_t len = escaped.size() > 0xFFFFFFFEu ? 0xFFFFFFFEu : static_cast<uint32_t>(escaped.size());
  s.u_.s = allocString(escaped.data(), len);
  s.kind_ = JSONKind::String;
  s.len_ = len;
  return s;
}

JSONScalar JSONScalar::fromText(std::string_view utf8) {
  std::string escaped;
  escaped.reserve(utf8.size());
  jsonEscapeAppend(utf8, escaped);
  return fromRaw(escaped);
}

double JSONScalar::asReal() const {
  if (kind_ == JSONKind::Real) return u_.d;
  if (kind_ == JSONKind::Integer) return static_cast<double>(u_.i);
  return 0.0;
}

int64_t JSONScalar::asInt64() const {
  if (kind_ == JSONKind::Integer) return u_.i;
  if (kind_ == JSONKind::Real) {
    double d = u_.d;
    if (std::isnan(d)) return 0;
    if (d >= 9223372036854775807.0) return std::numeric_limits<int64_t>::max();
    if (d <= -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(d);
  }
  return 0;
}

bool JSONScalar::asBool() const { return kind_ == JSONKind::Boolean && u_.b; }

std::string JSONScalar::toUtf8(int flags) const {
  std::string out;
  if (kind_ == JSONKind::String) jsonUnescapeAppend(raw(), flags, out);
  return out;
}

std::u16string JSONScalar::toUtf16(int flags) const {
  std::u16string out;
  if (kind_ == JSONKind::String) jsonUnescapeAppend(raw(), flags, out);
  return out;
}
