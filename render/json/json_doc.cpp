#include "render/json/json_doc.h"

#include <memory>

#include <json/reader.h>

namespace qxjson {

bool parseDocument(std::string_view text, Json::Value& out, std::string* why) {
  if (text.size() > kMaxDataFileBytes) {
    if (why) *why = "file larger than 4 MiB";
    return false;
  }
  Json::CharReaderBuilder builder;
  builder["collectComments"] = false;
  builder["stackLimit"] = 256;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  std::string errors;
  Json::Value value;
  bool ok = false;
  try {
    ok = reader->parse(text.data(), text.data() + text.size(), &value, &errors);
  } catch (const std::exception& e) {
    errors = e.what();
  }
  if (!ok) {
    if (why) *why = errors;
    return false;
  }
  out.swap(value);
  return true;
}

int32_t intOf(const Json::Value& v, int32_t def) {
  if (v.isNull()) return 0;
  if (v.isBool()) return v.asBool() ? 1 : 0;
  if (v.isInt()) return v.asInt();
  if (v.isDouble()) {
    const double d = v.asDouble();
    if (d > -2147483649.0 && d < 2147483648.0) return int32_t(d);
  }
  return def;
}

int32_t intMember(const Json::Value& v, const char* key, int32_t def) {
  if (!v.isObject()) return def;
  const Json::Value* m = v.find(key, key + std::char_traits<char>::length(key));
  return m ? intOf(*m, def) : def;
}

}  // namespace qxjson
