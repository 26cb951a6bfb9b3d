#include "net/http/reply_cost.h"

#include <algorithm>

#include "net/http/http_body.h"
#include "net/http/json_body.h"
#include "runtime/json/json_reader.h"

namespace replycost {

size_t jsonValueCount(std::string_view text) { return jsonCountValues(text.data(), text.size()); }

namespace {

size_t formPairCount(std::string_view text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '&')) + 1; }

}  // namespace

size_t scriptValueCount(std::string_view contentType, std::string_view text) {
  if (text.empty()) return 0;
  if (JSONBody().accepts(contentType)) return jsonValueCount(text);
  if (URLBody().accepts(contentType)) return formPairCount(text);
  return 1;
}

bool acceptable(std::string_view contentType, std::string_view text, std::string* why) {
  size_t nodes = 0;
  if (JSONBody().accepts(contentType)) {
    nodes = jsonValueCount(text);
  } else if (URLBody().accepts(contentType)) {
    nodes = formPairCount(text);
  } else {
    return true;  // text and raw bodies are a copy of their bytes
  }
  const size_t allowed = text.size() * kMaxExpansion + kSlackBytes;
  if (nodes <= allowed / kNodeBytes) return true;
  if (why) {
    *why = "a body of " + std::to_string(text.size()) + " bytes would hold " + std::to_string(nodes) +
           " values, more than " + std::to_string(kMaxExpansion) + " times its size once parsed";
  }
  return false;
}

}  // namespace replycost
