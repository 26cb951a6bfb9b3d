// Reading JSON text into a JSONValue tree. The reader is lenient where it costs nothing
// (comments, a scalar as the whole document, leading zeros) and strict where a wrong
// answer would be worse than none: it never reads past the given length, caps nesting,
// and reports a document that breaks off or carries trailing text as a failure.
#pragma once
#include <cstddef>
#include <string_view>

#include "runtime/json/json_scalar.h"
#include "runtime/json/json_value.h"

// Deepest nesting of objects and arrays that a document may have.
constexpr int kJsonMaxDepth = 256;

struct JSONParseResult {
  size_t values = 0;            // nodes read (the root included); 0 on failure
  size_t end = 0;               // offset just past the document and the blanks after it
  size_t errorOffset = 0;       // where reading stopped, on failure
  const char* error = nullptr;  // a short English reason, nullptr on success
  bool ok() const { return error == nullptr; }
  explicit operator bool() const { return ok(); }
};

// Parses one document from text[0..length) (no terminating zero needed) into out. Blanks
// and comments ("//" to the end of the line, "/*" to "*/") may stand around any token.
// On failure out is left as a fresh null node and the result says where and why.
JSONParseResult jsonParse(const char* text, size_t length, JSONValue& out);
inline JSONParseResult jsonParse(std::string_view text, JSONValue& out) {
  return jsonParse(text.data(), text.size(), out);
}

// Reads one token after any blanks and comments: a quoted string, a number (an integer
// unless it has a '.' or an exponent; an integer beyond the int64 range reads as a real),
// true, false, null, or one of the punctuation characters of kJsonPunct. Returns the
// characters consumed (blanks included), 0 when no token fits (out is then null).
size_t jsonParseScalar(const char* text, size_t length, JSONScalar& out);

// The number of leading characters that are blanks or comments.
size_t jsonSkipBlanks(const char* text, size_t length);

// At least as many values as jsonParse would build from the same text, found without
// building any: the root and one for every ',', '[' and '{' outside strings and comments,
// which are skipped exactly as the reader skips them. Exact for a document the reader
// accepts, but for one more per empty array or object. The count stops where the reader
// must stop: at a string it refuses, and at a zero byte outside strings.
size_t jsonCountValues(const char* text, size_t length);
