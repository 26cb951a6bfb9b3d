#include "platform/core/utf.h"

namespace {
constexpr uint32_t kReplacement = 0xFFFD;

// Decodes one code point from p[0..n); returns the bytes it used (at least 1).
size_t decodeUtf8(const unsigned char* p, size_t n, uint32_t& cp) {
  unsigned char c = p[0];
  if (c < 0x80) {
    cp = c;
    return 1;
  }
  size_t len;
  uint32_t min;
  if ((c & 0xE0) == 0xC0) {
    len = 2; cp = c & 0x1F; min = 0x80;
  } else if ((c & 0xF0) == 0xE0) {
    len = 3; cp = c & 0x0F; min = 0x800;
  } else if ((c & 0xF8) == 0xF0) {
    len = 4; cp = c & 0x07; min = 0x10000;
  } else {
    cp = kReplacement;
    return 1;
  }
  for (size_t i = 1; i < len; ++i) {
    if (i >= n || (p[i] & 0xC0) != 0x80) {
      cp = kReplacement;
      return i;  // resynchronise at the byte that broke the sequence
    }
    cp = (cp << 6) | (p[i] & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = kReplacement;
  return len;
}

// Decodes one code point from UTF-16; returns the units used.
size_t decodeUtf16(const char16_t* p, size_t n, uint32_t& cp) {
  uint32_t u = p[0];
  if (u >= 0xD800 && u <= 0xDBFF) {
    if (n >= 2 && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
      cp = 0x10000 + ((u - 0xD800) << 10) + (uint32_t(p[1]) - 0xDC00);
      return 2;
    }
    cp = kReplacement;
    return 1;
  }
  cp = (u >= 0xDC00 && u <= 0xDFFF) ? kReplacement : u;
  return 1;
}

size_t encodeUtf8(uint32_t cp, char out[4]) {
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = kReplacement;
  if (cp < 0x80) {
    out[0] = static_cast<char>(cp);
    return 1;
  }
  if (cp < 0x800) {
    out[0] = static_cast<char>(0xC0 | (cp >> 6));
    out[1] = static_cast<char>(0x80 | (cp & 0x3F));
    return 2;
  }
  if (cp < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (cp >> 12));
    out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (cp & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (cp >> 18));
  out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (cp & 0x3F));
  return 4;
}

size_t encodeUtf16(uint32_t cp, char16_t out[2]) {
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = kReplacement;
  if (cp < 0x10000) {
    out[0] = static_cast<char16_t>(cp);
    return 1;
  }
  cp -= 0x10000;
  out[0] = static_cast<char16_t>(0xD800 + (cp >> 10));
  out[1] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
  return 2;
}
}  // namespace

size_t UTFConvert8T(char16_t* dest, size_t capacity, const char* source, size_t bytes) {
  auto* p = reinterpret_cast<const unsigned char*>(source);
  size_t o = 0, i = 0;
  while (i < bytes) {
    uint32_t cp;
    i += decodeUtf8(p + i, bytes - i, cp);
    char16_t u[2];
    size_t n = encodeUtf16(cp, u);
    if (o + n > capacity) break;
    for (size_t k = 0; k < n; ++k) dest[o++] = u[k];
  }
  return o;
}

size_t UTFConvertT8(char* dest, size_t capacity, const char16_t* source, size_t units) {
  size_t o = 0, i = 0;
  while (i < units) {
    uint32_t cp;
    i += decodeUtf16(source + i, units - i, cp);
    char b[4];
    size_t n = encodeUtf8(cp, b);
    if (o + n > capacity) break;
    for (size_t k = 0; k < n; ++k) dest[o++] = b[k];
  }
  return o;
}

void UTF16To32(uint32_t units, uint32_t* codePoint, int* lengthBytes) {
  char16_t pair[2] = {static_cast<char16_t>(units & 0xFFFF), static_cast<char16_t>(units >> 16)};
  uint32_t cp;
  size_t used = decodeUtf16(pair, 2, cp);
  if (codePoint) *codePoint = cp;
  if (lengthBytes) *lengthBytes = static_cast<int>(used * 2);
}

void UTF32To16(uint32_t codePoint, char16_t units[2], int* lengthBytes) {
  size_t n = encodeUtf16(codePoint, units);
  if (n == 1) units[1] = 0;
  if (lengthBytes) *lengthBytes = static_cast<int>(n * 2);
}

bool utf16_isPrivate(uint32_t cp) {
  return (cp >= 0xE000 && cp <= 0xF8FF) || (cp >= 0xF0000 && cp <= 0xFFFFD) ||
         (cp >= 0x100000 && cp <= 0x10FFFD);
}

bool utf16_isSpace(uint32_t cp) {
  switch (cp) {
    case 0x09: case 0x0A: case 0x0B: case 0x0C: case 0x0D: case 0x20: case 0x85: case 0xA0:
    case 0x1680: case 0x2028: case 0x2029: case 0x202F: case 0x205F: case 0x3000:
      return true;
    default:
      return cp >= 0x2000 && cp <= 0x200A;
  }
}

bool utf16_isLF(uint32_t cp) { return cp == 0x0A; }

namespace qcore {

std::u16string utf8ToUtf16(std::string_view text) {
  std::u16string out(text.size(), u'\0');
  out.resize(UTFConvert8T(out.data(), out.size(), text.data(), text.size()));
  return out;
}

std::string utf16ToUtf8(std::u16string_view text) {
  std::string out(text.size() * 3, '\0');  // a unit never needs more than 3 bytes; a pair needs 4
  out.resize(UTFConvertT8(out.data(), out.size(), text.data(), text.size()));
  return out;
}

std::u32string utf8ToUtf32(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  auto* p = reinterpret_cast<const unsigned char*>(text.data());
  for (size_t i = 0; i < text.size();) {
    uint32_t cp;
    i += decodeUtf8(p + i, text.size() - i, cp);
    out.push_back(cp);
  }
  return out;
}

std::string utf32ToUtf8(std::u32string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t cp : text) appendUtf8(out, cp);
  return out;
}

void appendUtf8(std::string& out, uint32_t codePoint) {
  char b[4];
  out.append(b, encodeUtf8(codePoint, b));
}

}  // namespace qcore
