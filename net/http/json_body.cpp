#include "net/http/json_body.h"

#include "runtime/json/json_reader.h"
#include "runtime/json/json_writer.h"

void JSONBody::write(std::string& out) const { jsonWritePretty(out, value_, kJsonUnescapeAll, 4, 0); }

size_t JSONBody::parse(const char* data, size_t length) {
  JSONParseResult r = jsonParse(data, length, value_);
  if (!r.ok()) {
    value_.clear();
    return 0;
  }
  return r.values;
}

std::unique_ptr<HTTPBody> JSONBody::take() {
  auto b = std::make_unique<JSONBody>();
  b->value_.swap(value_);
  return b;
}
