#pragma once
#include <cstddef>
#include <string_view>

#include "net/http/typed_value.h"

// The tokenizer of status lines, header values and form pairs. Every reader is bounded by
// the text's length: reaching the end acts as the NUL delimiter of a C string would.
struct HeaderToken {
  TypedValue value;
  size_t length = 0;  // characters consumed from the start of the text; 0 = nothing read
};

namespace httptok {

using namespace std::string_view_literals;
// Status-line protocol and code, header names.
inline constexpr std::string_view kNameDelims = " ,:\";=\r\n\0\0"sv;
// Reason phrase.
inline constexpr std::string_view kReasonDelims = ",\";=\r\n\0\0"sv;
// Values of header objects.
inline constexpr std::string_view kValueDelims = ",\";=\r\n\0\0"sv;
// Names and values of form bodies.
inline constexpr std::string_view kFormDelims = "=&\r\n\0\0"sv;

// Tries the number, date and string readers at the start of text and keeps the longest
// read; on a tie the earlier of number, date, string wins.
HeaderToken readToken(std::string_view text, std::string_view delims);
// The string reader alone: leading spaces skipped, then a double-quoted run (both quotes
// consumed; an unclosed quote, or one that meets a line break, reads nothing) or the run up
// to the first delimiter (possibly empty). Blanks before the delimiter are neither part of
// the value nor counted as consumed.
HeaderToken readStringToken(std::string_view text, std::string_view delims);
// A JSON scalar after leading spaces: integer (64-bit), real, true or false.
HeaderToken readNumberToken(std::string_view text);
// "Sun, 06 Nov 1994 08:49:37 GMT" or "Sun, 06-Nov-94 08:49:37 GMT" (two-digit years are
// 20xx); the zone must be GMT or UTC.
HeaderToken readDateToken(std::string_view text);
// Count of leading blanks: spaces and tabs, and with lineBreaks also CR and LF.
size_t skipBlanks(std::string_view text, bool lineBreaks);

}  // namespace httptok
