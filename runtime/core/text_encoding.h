// UTF-8 / UTF-16 conversions, byte-order marks and file extensions.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

enum class TextEncoding : int { Utf8 = 0, Utf16LE = 1, Utf16BE = 2, Utf32LE = 3, Utf32BE = 4, None = 5 };

struct BOMInfo {
  TextEncoding encoding;
  int length;  // bytes of the mark
};

void utf8ToWstring(const std::string& narrow, std::u16string& out);
void wstringToUtf8(const std::u16string& wide, std::string& out);
std::string toUtf8String(const char16_t* wide);
// Reads the first four bytes of a text as one little-endian word.
BOMInfo detectBOM(uint32_t firstFourBytesLE);
// The same over a byte buffer of any length (missing bytes read as 0).
BOMInfo detectBOM(const void* data, size_t size);
// Copies the extension (the text after the last '.') of name into out, which holds
// maxChars units including the terminating zero; false when there is none that fits.
bool getFileExtension(const char16_t* name, char16_t* out, size_t maxChars);
