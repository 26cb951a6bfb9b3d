// Decoding JSON string bytes into text and escaping text back into JSON string bytes.
#pragma once
#include <string>
#include <string_view>

// Appends raw (the bytes between the quotes) decoded with the unescape flags (bit 0: \u,
// bit 1: the other escapes). \n and \r give LF and CR, \t four spaces, \b removes the
// character written last, \f gives nothing; \u surrogate pairs combine, an unpaired
// surrogate gives U+FFFD, and a \u without four hexadecimal digits is kept as plain text
// without its backslash and 'u'. Plain bytes are read as UTF-8 (invalid sequences give
// U+FFFD).
void jsonUnescapeAppend(std::string_view raw, int flags, std::string& outUtf8);
void jsonUnescapeAppend(std::string_view raw, int flags, std::u16string& outUtf16);
// True when raw decodes to its own bytes under any flags: no backslash, well-formed UTF-8.
// Readers that only need the text can then use raw without decoding a copy.
bool jsonRawIsPlain(std::string_view raw);

// Appends utf8 escaped for a JSON string (without the quotes): '"', '\\', LF and CR get
// their short escapes and every other control character a \u00XX escape, so the result
// decodes back to utf8 exactly. Invalid UTF-8 is copied unchanged.
void jsonEscapeAppend(std::string_view utf8, std::string& out);
