// Writing a JSONValue tree as indented JSON text that the reader reads back.
#pragma once
#include <string>

#include "runtime/json/json_value.h"

// Appends node to out: indentUnit x depth spaces, then the value. Members of objects are
// preceded by their key (empty when they have none) and ": "; node itself is written
// without its key, as a document's root or an array element. Objects and
// arrays put each child on its own line, one level deeper, separated by commas, and close
// on a line of their own. Strings are decoded with escapeFlags and escaped again; reals
// carry enough digits to read back exactly (non-finite reals, which JSON cannot express,
// are written as null). The text ends with a line break.
void jsonWritePretty(std::string& out, const JSONValue& node, int escapeFlags = kJsonUnescapeAll,
                     int indentUnit = 4, int depth = 0);
