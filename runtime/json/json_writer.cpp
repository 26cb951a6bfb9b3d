#include "runtime/json/json_writer.h"

#include <cmath>

#include "platform/core/numconv.h"
#include "runtime/json/json_escape.h"

namespace {

void writeString(std::string& out, const JSONScalar& s, int flags, std::string& scratch) {
  scratch.clear();
  jsonUnescapeAppend(s.raw(), flags, scratch);
  out += '"';
  jsonEscapeAppend(scratch, out);
  out += '"';
}

void writeReal(std::string& out, double d) {
  // JSON has no infinity: a number beyond the double range stands for it (and reads back as
  // it). NaN has no number at all.
  if (std::isinf(d)) {
    out += d > 0 ? "1e999" : "-1e999";
    return;
  }
  if (std::isnan(d)) {
    out += "null";
    return;
  }
  std::string text = qcore::formatDouble(d);
  out += text;
  // Keep it a real when read back: "2" would come back as an integer.
  if (text.find_first_of(".eE") == std::string::npos) out += ".0";
}

void writeNode(std::string& out, const JSONValue& node, int flags, int unit, int depth, bool member,
               std::string& scratch) {
  out.append(static_cast<size_t>(unit) * static_cast<size_t>(depth), ' ');
  if (member) {  // the root and array elements are written without a key
    if (node.hasKey()) {
      writeString(out, node.key(), flags, scratch);
    } else {
      out += "\"\"";
    }
    out += ": ";
  }
  switch (node.tag()) {
    case JSONType::Real: writeReal(out, node.scalar().asReal()); return;
    case JSONType::Integer: out += qcore::formatI64(node.scalar().asInt64()); return;
    case JSONType::String: writeString(out, node.scalar(), flags, scratch); return;
    case JSONType::Boolean: out += node.asBool() ? "true" : "false"; return;
    case JSONType::Null: out += "null"; return;
    case JSONType::Object:
    case JSONType::Array: break;
  }
  const bool object = node.isObject();
  out += object ? "{\n" : "[\n";
  const auto kids = node.children();
  for (size_t i = 0; i < kids.size(); ++i) {
    writeNode(out, kids[i], flags, unit, depth + 1, object, scratch);
    if (i + 1 < kids.size()) out += ',';
    out += '\n';
  }
  out.append(static_cast<size_t>(unit) * static_cast<size_t>(depth), ' ');
  out += object ? '}' : ']';
}

}  // namespace

void jsonWritePretty(std::string& out, const JSONValue& node, int escapeFlags, int indentUnit, int depth) {
  if (indentUnit < 0) indentUnit = 0;
  if (depth < 0) depth = 0;
  std::string scratch;
  writeNode(out, node, escapeFlags, indentUnit, depth, false, scratch);
  out += '\n';
}
