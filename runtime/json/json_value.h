// The engine's JSON tree. A node has a key (the member name, for members of an object),
// the CRC-32 of the key's bytes, a type tag, and either a scalar value or its children in
// document order. Nodes own their children and string bytes; copies are deep.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/json/json_scalar.h"

enum class JSONType : uint32_t { Real = 0, Integer = 1, String = 2, Object = 3, Array = 4, Boolean = 5, Null = 6 };

class JSONValue {
 public:
  JSONValue() noexcept : keyHash_(0), tag_(JSONType::Null) { new (&value_) JSONScalar(); }
  // A node holding a scalar; its tag follows the scalar's kind (a punctuation token gives
  // null).
  explicit JSONValue(JSONScalar value);
  // A member: key and scalar.
  JSONValue(JSONScalar key, JSONScalar value);
  ~JSONValue() { destroyContent(); }
  JSONValue(const JSONValue& other);
  JSONValue(JSONValue&& other) noexcept;
  JSONValue& operator=(const JSONValue& other);
  JSONValue& operator=(JSONValue&& other) noexcept;
  void swap(JSONValue& other) noexcept;
  // Back to a fresh node: null key, tag null.
  void clear() noexcept;

  static JSONValue object();
  static JSONValue array();

  JSONType tag() const { return tag_; }
  bool isContainer() const { return tag_ == JSONType::Object || tag_ == JSONType::Array; }
  bool isObject() const { return tag_ == JSONType::Object; }
  bool isArray() const { return tag_ == JSONType::Array; }
  bool isNull() const { return tag_ == JSONType::Null; }

  // Key: a string scalar for object members, null otherwise.
  const JSONScalar& key() const { return key_; }
  bool hasKey() const { return key_.isString(); }
  uint32_t keyHash() const { return keyHash_; }
  std::string_view keyRaw() const { return key_.raw(); }
  std::string keyUtf8() const { return key_.toUtf8(); }
  void setKey(JSONScalar key);

  // Scalar value (a null cell for objects and arrays) and type-checked reads of it.
  const JSONScalar& scalar() const;
  double asReal() const { return scalar().asReal(); }
  int64_t asInt64() const { return scalar().asInt64(); }
  bool asBool() const { return scalar().asBool(); }
  std::u16string asString() const { return scalar().toUtf16(); }
  std::string asUtf8() const { return scalar().toUtf8(); }
  // Replaces the content (children included) by a scalar; the key stays.
  void setScalar(JSONScalar value);
  // Replaces the content by an empty object or array; the key stays.
  void setObject();
  void setArray();

  // Children of an object or array (empty for scalars).
  size_t size() const { return isContainer() ? kids_.size() : 0; }
  std::span<const JSONValue> children() const;
  std::span<JSONValue> children();
  const JSONValue* begin() const { return children().data(); }
  const JSONValue* end() const { return children().data() + size(); }
  // Child i, or nullptr when there is none.
  const JSONValue* at(size_t i) const { return i < size() ? &kids_[i] : nullptr; }
  // The first member whose key bytes are rawKey (as written in the text), or nullptr.
  const JSONValue* find(std::string_view rawKey) const;

  // Appends a child and returns it. On an array the child's key is cleared; on an object
  // it keeps the key it has. A scalar or null node becomes an array first.
  JSONValue& append(JSONValue child);
  // Appends a member named by the decoded text name (escaped as needed). A scalar or null
  // node becomes an object first; on an array the name is dropped.
  JSONValue& addMember(std::string_view name, JSONValue child);
  // Reserves room for n children (containers only).
  void reserve(size_t n);

  // Nodes in this subtree, this one included.
  size_t countNodes() const;

 private:
  void destroyContent() noexcept;
  void becomeContainer(JSONType tag);

  JSONScalar key_;
  uint32_t keyHash_;
  JSONType tag_;
  union {
    JSONScalar value_;
    std::vector<JSONValue> kids_;
  };

  friend class JSONReader;
};
