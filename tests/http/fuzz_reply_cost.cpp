// The value counter that guards replies against the JSON reader: on any text the reader
// accepts, the counter sees every value the reader built (a reply could slip past the
// value cap and the memory bound otherwise), and one more only for each empty container.
#include <cstdint>
#include <string_view>

#include "net/http/reply_cost.h"
#include "runtime/json/json_reader.h"

namespace {

size_t emptyContainers(const JSONValue& v) {
  size_t n = v.isContainer() && v.children().empty() ? 1 : 0;
  for (const JSONValue& k : v.children()) n += emptyContainers(k);
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  JSONValue v;
  const JSONParseResult r = jsonParse(text, v);
  if (!r) return 0;
  const size_t counted = replycost::jsonValueCount(text);
  if (counted < r.values) __builtin_trap();
  if (counted != r.values + emptyContainers(v)) __builtin_trap();
  return 0;
}
