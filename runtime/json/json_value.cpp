#include "runtime/json/json_value.h"

#include <utility>

#include "platform/core/checksum.h"

namespace {
JSONType tagOf(JSONKind kind) {
  switch (kind) {
    case JSONKind::Real: return JSONType::Real;
    case JSONKind::Integer: return JSONType::Integer;
    case JSONKind::String: return JSONType::String;
    case JSONKind::Boolean: return JSONType::Boolean;
    default: return JSONType::Null;
  }
}

const JSONScalar& nullScalar() {
  static const JSONScalar kNull;
  return kNull;
}
}  // namespace

JSONValue::JSONValue(JSONScalar value) : keyHash_(0), tag_(tagOf(value.kind())) {
  if (value.kind() == JSONKind::Punct) value = JSONScalar();
  new (&value_) JSONScalar(std::move(value));
}

JSONValue::JSONValue(JSONScalar key, JSONScalar value) : JSONValue(std::move(value)) { setKey(std::move(key)); }

JSONValue::JSONValue(const JSONValue& other) : key_(other.key_), keyHash_(other.keyHash_), tag_(other.tag_) {
  if (other.isContainer()) {
    new (&kids_) std::vector<JSONValue>(other.kids_);
  } else {
    new (&value_) JSONScalar(other.value_);
  }
}

JSONValue::JSONValue(JSONValue&& other) noexcept
    : key_(std::move(other.key_)), keyHash_(other.keyHash_), tag_(other.tag_) {
  if (other.isContainer()) {
    new (&kids_) std::vector<JSONValue>(std::move(other.kids_));
  } else {
    new (&value_) JSONScalar(std::move(other.value_));
  }
  other.clear();
}

JSONValue& JSONValue::operator=(const JSONValue& other) {
  if (this != &other) {
    JSONValue copy(other);
    swap(copy);
  }
  return *this;
}

JSONValue& JSONValue::operator=(JSONValue&& other) noexcept {
  if (this != &other) {
    JSONValue taken(std::move(other));
    swap(taken);
  }
  return *this;
}

void JSONValue::swap(JSONValue& other) noexcept {
  if (this == &other) return;
  key_.swap(other.key_);
  std::swap(keyHash_, other.keyHash_);
  const bool meKids = isContainer();
  const bool otherKids = other.isContainer();
  if (meKids && otherKids) {
    kids_.swap(other.kids_);
  } else if (!meKids && !otherKids) {
    value_.swap(other.value_);
  } else {
    JSONValue& c = meKids ? *this : other;  // holds the children
    JSONValue& s = meKids ? other : *this;  // holds the scalar
    std::vector<JSONValue> kids(std::move(c.kids_));
    c.kids_.~vector();
    new (&c.value_) JSONScalar(std::move(s.value_));
    s.value_.~JSONScalar();
    new (&s.kids_) std::vector<JSONValue>(std::move(kids));
  }
  std::swap(tag_, other.tag_);
}

void JSONValue::destroyContent() noexcept {
  if (isContainer()) {
    kids_.~vector();
  } else {
    value_.~JSONScalar();
  }
}

void JSONValue::clear() noexcept {
  destroyContent();
  tag_ = JSONType::Null;
  new (&value_) JSONScalar();
  key_ = JSONScalar();
  keyHash_ = 0;
}

JSONValue JSONValue::object() {
  JSONValue v;
  v.setObject();
  return v;
}

JSONValue JSONValue::array() {
  JSONValue v;
  v.setArray();
  return v;
}

void JSONValue::setKey(JSONScalar key) {
  if (!key.isString()) key = JSONScalar();
  key_ = std::move(key);
  std::string_view raw = key_.raw();
  keyHash_ = key_.isString() ? GetMemCRC32(raw.data(), raw.size()) : 0;
}

const JSONScalar& JSONValue::scalar() const { return isContainer() ? nullScalar() : value_; }

void JSONValue::setScalar(JSONScalar value) {
  if (value.kind() == JSONKind::Punct) value = JSONScalar();
  destroyContent();
  tag_ = tagOf(value.kind());
  new (&value_) JSONScalar(std::move(value));
}

void JSONValue::becomeContainer(JSONType tag) {
  destroyContent();
  tag_ = tag;
  new (&kids_) std::vector<JSONValue>();
}

void JSONValue::setObject() { becomeContainer(JSONType::Object); }
void JSONValue::setArray() { becomeContainer(JSONType::Array); }

std::span<const JSONValue> JSONValue::children() const {
  if (!isContainer()) return {};
  return std::span<const JSONValue>(kids_.data(), kids_.size());
}

std::span<JSONValue> JSONValue::children() {
  if (!isContainer()) return {};
  return std::span<JSONValue>(kids_.data(), kids_.size());
}

const JSONValue* JSONValue::find(std::string_view rawKey) const {
  if (!isObject()) return nullptr;
  const uint32_t hash = GetMemCRC32(rawKey.data(), rawKey.size());
  for (const JSONValue& k : kids_) {
    if (k.keyHash_ == hash && k.hasKey() && k.keyRaw() == rawKey) return &k;
  }
  return nullptr;
}

JSONValue& JSONValue::append(JSONValue child) {
  if (!isContainer()) setArray();
  if (isArray()) child.setKey(JSONScalar());
  kids_.push_back(std::move(child));
  return kids_.back();
}

JSONValue& JSONValue::addMember(std::string_view name, JSONValue child) {
  if (isArray()) return append(std::move(child));
  if (!isObject()) setObject();
  child.setKey(JSONScalar::fromText(name));
  kids_.push_back(std::move(child));
  return kids_.back();
}

void JSONValue::reserve(size_t n) {
  if (isContainer()) kids_.reserve(n);
}

size_t JSONValue::countNodes() const {
  size_t n = 1;
  for (const JSONValue& k : children()) n += k.countNodes();
  return n;
}
