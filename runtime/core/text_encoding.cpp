#include "runtime/core/text_encoding.h"

#include "platform/core/utf.h"

void utf8ToWstring(const std::string& narrow, std::u16string& out) {
  out.resize(narrow.size());
  out.resize(UTFConvert8T(out.data(), out.size(), narrow.data(), narrow.size()));
}

void wstringToUtf8(const std::u16string& wide, std::string& out) {
  out.resize(wide.size() * 4);
  out.resize(UTFConvertT8(out.data(), out.size(), wide.data(), wide.size()));
}

std::string toUtf8String(const char16_t* wide) {
  std::string out;
  if (wide) wstringToUtf8(std::u16string(wide), out);
  return out;
}

BOMInfo detectBOM(uint32_t v) {
  if (v == 0xFFFE0000u) return {TextEncoding::Utf32BE, 4};  // 00 00 FE FF
  if (v == 0x0000FEFFu) return {TextEncoding::Utf32LE, 4};  // FF FE 00 00
  if ((v & 0xFFFFFFu) == 0xBFBBEFu) return {TextEncoding::Utf8, 3};
  if ((v & 0xFFFFu) == 0xFFFEu) return {TextEncoding::Utf16BE, 2};  // FE FF
  if ((v & 0xFFFFu) == 0xFEFFu) return {TextEncoding::Utf16LE, 2};  // FF FE
  return {TextEncoding::None, 0};
}

BOMInfo detectBOM(const void* data, size_t size) {
  auto* p = static_cast<const uint8_t*>(data);
  uint32_t v = 0;
  for (size_t i = 0; i < 4 && i < size; ++i) v |= uint32_t(p[i]) << (8 * i);
  BOMInfo b = detectBOM(v);
  // FF FE read as UTF-32 only because the missing bytes count as zeros: it is UTF-16.
  if (b.encoding == TextEncoding::Utf32LE && size < 4) b = {TextEncoding::Utf16LE, 2};
  return static_cast<size_t>(b.length) <= size ? b : BOMInfo{TextEncoding::None, 0};
}

bool getFileExtension(const char16_t* name, char16_t* out, size_t maxChars) {
  if (name == nullptr || out == nullptr || maxChars < 2) return false;
  size_t len = 0;
  while (name[len]) ++len;
  if (len == 0 || name[len - 1] == u'.') return false;
  // The extension may have 1 .. maxChars-1 characters: look that far back for the dot.
  size_t lowest = len > maxChars ? len - maxChars : 0;
  for (size_t i = len; i-- > lowest;) {
    if (name[i] == u'.') {
      size_t n = len - i - 1;
      if (n == 0 || n > maxChars - 1) return false;
      for (size_t k = 0; k < n; ++k) out[k] = name[i + 1 + k];
      out[n] = 0;
      return true;
    }
  }
  return false;
}
