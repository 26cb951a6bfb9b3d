#pragma once
#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "net/http/typed_value.h"

using HeaderPairs = std::vector<std::pair<std::string, std::string>>;

// The value of one header line, in requests and in parsed responses.
class HTTPHeader {
 public:
  virtual ~HTTPHeader() = default;
  virtual void addValue(std::string_view text) = 0;
  virtual void setAttribute(std::string_view name, std::string_view text) = 0;
  virtual const TypedValue& valueAt(size_t index) const = 0;
  virtual size_t valueCount() const = 0;
  virtual void clear() = 0;
  // Reads the value that starts at text[0] through its line end; returns the characters
  // consumed, 0 on failure.
  virtual size_t parse(std::string_view text) = 0;
  virtual void write(std::string& out) const = 0;
  virtual void list(HeaderPairs& out) const = 0;
  // A new header of the same kind takes over the contents; this one is left empty.
  virtual std::unique_ptr<HTTPHeader> detach() = 0;
  // A new header of the same kind with a copy of the contents.
  virtual std::unique_ptr<HTTPHeader> clone() const = 0;

  std::string text() const {
    std::string s;
    write(s);
    return s;
  }
};

// Every ordinary header: typed attributes (name=value) and typed values.
class HTTPNmlH : public HTTPHeader {
 public:
  void addValue(std::string_view text) override;
  void setAttribute(std::string_view name, std::string_view text) override;
  const TypedValue& valueAt(size_t index) const override;  // index < valueCount()
  size_t valueCount() const override { return values_.size(); }
  void clear() override;
  size_t parse(std::string_view text) override;
  // Attributes as name=value, then values, all joined by "; ".
  void write(std::string& out) const override;
  void list(HeaderPairs& out) const override;
  std::unique_ptr<HTTPHeader> detach() override;
  std::unique_ptr<HTTPHeader> clone() const override { return std::make_unique<HTTPNmlH>(*this); }

  void addTyped(TypedValue v) { values_.push_back(std::move(v)); }
  // Attributes this header lacks are taken over, values appended; other is left empty.
  void merge(HTTPNmlH& other);
  const std::map<std::string, TypedValue>& attributes() const { return attributes_; }
  const std::vector<TypedValue>& values() const { return values_; }

 private:
  std::map<std::string, TypedValue> attributes_;
  std::vector<TypedValue> values_;
};

// The "Authorization" value of OAuth signing: parameters written as name="value".
class HTTPOAuthH : public HTTPHeader {
 public:
  void addValue(std::string_view) override {}
  void setAttribute(std::string_view name, std::string_view text) override;
  const TypedValue& valueAt(size_t index) const override;  // throws std::bad_cast
  size_t valueCount() const override { return 0; }
  void clear() override { params_.clear(); }
  size_t parse(std::string_view text) override;  // throws: never read from a reply
  void write(std::string& out) const override;
  void list(HeaderPairs& out) const override;
  std::unique_ptr<HTTPHeader> detach() override;
  std::unique_ptr<HTTPHeader> clone() const override { return std::make_unique<HTTPOAuthH>(*this); }

  const std::map<std::string, std::string>& params() const { return params_; }

 private:
  std::map<std::string, std::string> params_;
};
