// Any bytes either fail to parse or give a tree that writes and reads back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "runtime/json/float_list.h"
#include "runtime/json/json.h"
#include "tests/json/json_test_util.h"

namespace {
void decodeAll(const JSONValue& v) {
  (void)v.keyUtf8();
  (void)v.asString();
  (void)v.asUtf8();
  (void)v.scalar().toUtf8(kJsonUnescapeU);
  (void)v.scalar().toUtf16(kJsonUnescapeOther);
  for (const JSONValue& k : v.children()) decodeAll(k);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  JSONScalar token;
  (void)jsonParseScalar(text, size, token);
  (void)token.toUtf8();

  std::string line(text, size);  // the float list wants a terminated string
  float out[4];
  (void)parseFloatList(out, line.c_str(), 4);

  JSONValue v;
  JSONParseResult r = jsonParse(text, size, v);
  if (!r.ok()) {
    if (!v.isNull() || r.values != 0) std::abort();
    return 0;
  }
  decodeAll(v);
  std::string written;
  jsonWritePretty(written, v);
  JSONValue back;
  if (!jsonParse(written, back).ok() || !jsonTreesEqual(v, back)) std::abort();
  return 0;
}
