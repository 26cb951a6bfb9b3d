// Tree comparison for round-trip checks (tests and the fuzz target).
#pragma once
#include <cmath>

#include "runtime/json/json.h"

// Same tags, keys and values; strings and keys compare decoded, so "\u0041" equals "A".
inline bool jsonTreesEqual(const JSONValue& a, const JSONValue& b) {
  if (a.tag() != b.tag() || a.hasKey() != b.hasKey() || a.keyUtf8() != b.keyUtf8()) return false;
  switch (a.tag()) {
    case JSONType::Real: {
      double x = a.asReal(), y = b.asReal();
      return x == y || (std::isnan(x) && std::isnan(y));
    }
    case JSONType::Integer: return a.asInt64() == b.asInt64();
    case JSONType::String: return a.asUtf8() == b.asUtf8();
    case JSONType::Boolean: return a.asBool() == b.asBool();
    case JSONType::Null: return true;
    case JSONType::Object:
    case JSONType::Array: break;
  }
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (!jsonTreesEqual(*a.at(i), *b.at(i))) return false;
  }
  return true;
}
