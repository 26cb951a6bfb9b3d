#pragma once
#include "net/http/http_body.h"
#include "runtime/json/json_value.h"

// A JSON document, "application/json".
class JSONBody : public HTTPBody {
 public:
  const char* mimeType() const override { return "application/json"; }
  bool accepts(std::string_view type) const override { return mimeEquals(type, "application/json"); }
  // Indented JSON text.
  void write(std::string& out) const override;
  // The whole text must be one JSON document; on failure the value is null and 0 returned.
  size_t parse(const char* data, size_t length) override;
  std::unique_ptr<HTTPBody> take() override;
  Kind kind() const override { return kJson; }
  void clear() override { value_.clear(); }

  const JSONValue& value() const { return value_; }
  JSONValue& value() { return value_; }

 private:
  JSONValue value_;
};
