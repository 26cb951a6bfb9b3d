#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// UTF-8 -> UTF-16. Writes at most capacity units; returns the units written. Invalid or
// truncated sequences, overlong forms and encoded surrogates each become U+FFFD; a code
// point that would not fit whole is not written.
size_t UTFConvert8T(char16_t* dest, size_t capacity, const char* source, size_t bytes);
// UTF-16 -> UTF-8. Writes at most capacity bytes; returns the bytes written. An unpaired
// surrogate becomes U+FFFD.
size_t UTFConvertT8(char* dest, size_t capacity, const char16_t* source, size_t units);

// Decodes the code point at the start of two UTF-16 units packed as one word (first unit in
// the low half). lengthBytes is 2 for one unit, 4 for a surrogate pair. An unpaired
// surrogate decodes as U+FFFD using one unit.
void UTF16To32(uint32_t units, uint32_t* codePoint, int* lengthBytes);
// Encodes one code point as one or two UTF-16 units; lengthBytes is 2 or 4. Code points
// above U+10FFFF and lone surrogates encode as U+FFFD.
void UTF32To16(uint32_t codePoint, char16_t units[2], int* lengthBytes);

bool utf16_isPrivate(uint32_t codePoint);  // Unicode private-use areas
bool utf16_isSpace(uint32_t codePoint);    // Unicode white space
bool utf16_isLF(uint32_t codePoint);       // U+000A

namespace qcore {
std::u16string utf8ToUtf16(std::string_view text);
std::string utf16ToUtf8(std::u16string_view text);
std::u32string utf8ToUtf32(std::string_view text);
std::string utf32ToUtf8(std::u32string_view text);
// Appends the UTF-8 form of one code point (U+FFFD for one that cannot be encoded).
void appendUtf8(std::string& out, uint32_t codePoint);
}  // namespace qcore
