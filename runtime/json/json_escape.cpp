#include "runtime/json/json_escape.h"

#include <cstdint>
#include <cstring>

#include "platform/core/numconv.h"
#include "platform/core/utf.h"

namespace {

// The four hexadecimal digits at raw[i..i+4), or -1 when they are not all there.
int32_t hex4At(std::string_view raw, size_t i) {
  if (i > raw.size() || raw.size() - i < 4) return -1;
  int32_t v = 0;
  for (size_t k = 0; k < 4; ++k) {
    int d = qcore::hexDigitValue(raw[i + k]);
    if (d < 0) return -1;
    v = v * 16 + d;
  }
  return v;
}

// True when run is well-formed UTF-8 (no overlong forms, surrogates or code points above
// U+10FFFF), so it can be copied as it is.
bool isWellFormedUtf8(std::string_view run) {
  const auto* p = reinterpret_cast<const unsigned char*>(run.data());
  const auto* end = p + run.size();
  while (p < end) {
    // Runs of ASCII (most of any text) are skipped 32 bytes at a time.
    while (end - p >= 32) {
      uint64_t w[4];
      std::memcpy(w, p, sizeof w);
      if (((w[0] | w[1] | w[2] | w[3]) & 0x8080808080808080ull) != 0) break;
      p += 32;
    }
    while (p < end && *p < 0x80) ++p;
    if (p == end) break;
    unsigned c = *p;
    if (c < 0x80) {
      ++p;
      continue;
    }
    int extra;
    unsigned lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
      extra = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      extra = 2;
      if (c == 0xE0) lo = 0xA0;
      if (c == 0xED) hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      extra = 3;
      if (c == 0xF0) lo = 0x90;
      if (c == 0xF4) hi = 0x8F;
    } else {
      return false;
    }
    if (end - p <= extra || p[1] < lo || p[1] > hi) return false;
    for (int k = 2; k <= extra; ++k) {
      if ((p[k] & 0xC0) != 0x80) return false;
    }
    p += extra + 1;
  }
  return true;
}

struct Utf8Sink {
  std::string& out;
  void put(uint32_t cp) { qcore::appendUtf8(out, cp); }
  void putAscii(char c) { out.push_back(c); }
  void putBytes(std::string_view run) {
    if (isWellFormedUtf8(run)) {
      out.append(run);
    } else {
      out += qcore::utf16ToUtf8(qcore::utf8ToUtf16(run));  // bad sequences become U+FFFD
    }
  }
  void removeLast(size_t floor) {
    if (out.size() <= floor) return;
    while (out.size() > floor + 1 && (static_cast<unsigned char>(out.back()) & 0xC0) == 0x80) out.pop_back();
    out.pop_back();
  }
};

struct Utf16Sink {
  std::u16string& out;
  void put(uint32_t cp) {
    char16_t units[2];
    int bytes = 0;
    UTF32To16(cp, units, &bytes);
    out.append(units, bytes > 2 ? 2 : 1);
  }
  void putAscii(char c) { out.push_back(static_cast<char16_t>(c)); }
  void putBytes(std::string_view run) { out += qcore::utf8ToUtf16(run); }
  void removeLast(size_t floor) {
    if (out.size() <= floor) return;
    char16_t last = out.back();
    out.pop_back();
    if (last >= 0xDC00 && last <= 0xDFFF && out.size() > floor && out.back() >= 0xD800 && out.back() <= 0xDBFF)
      out.pop_back();
  }
};

template <class Sink>
void unescape(std::string_view raw, int flags, Sink sink, size_t floor) {
  const bool doU = (flags & 1) != 0;
  const bool doOther = (flags & 2) != 0;
  size_t i = 0;
  const size_t n = raw.size();
  while (i < n) {
    size_t runEnd = (flags & 3) ? raw.find('\\', i) : std::string_view::npos;
    if (runEnd == std::string_view::npos) runEnd = n;
    if (runEnd > i) sink.putBytes(raw.substr(i, runEnd - i));
    i = runEnd;
    if (i >= n) break;
    // raw[i] is a backslash that starts an escape.
    if (i + 1 >= n) {  // a lone trailing backslash stays as it is
      sink.putAscii('\\');
      break;
    }
    char e = raw[i + 1];
    if (e == 'u') {
      if (!doU) {
        i += 2;  // the digits that follow are kept as plain text
        continue;
      }
      int32_t v = hex4At(raw, i + 2);
      if (v < 0) {
        i += 2;
        continue;
      }
      i += 6;
      uint32_t cp = static_cast<uint32_t>(v);
      if (cp >= 0xD800 && cp <= 0xDBFF) {
        int32_t lo = (i + 1 < n && raw[i] == '\\' && raw[i + 1] == 'u') ? hex4At(raw, i + 2) : -1;
        if (lo >= 0xDC00 && lo <= 0xDFFF) {
          cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<uint32_t>(lo) - 0xDC00);
          i += 6;
        } else {
          cp = 0xFFFD;
        }
      } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
        cp = 0xFFFD;
      }
      sink.put(cp);
      continue;
    }
    i += 2;
    if (!doOther) {
      sink.putAscii('\\');
      sink.putAscii(e);
      continue;
    }
    switch (e) {
      case '"': sink.putAscii('"'); break;
      case '/': sink.putAscii('/'); break;
      case '\\': sink.putAscii('\\'); break;
      case 'n': sink.putAscii('\n'); break;
      case 'r': sink.putAscii('\r'); break;
      case 't':  // scripts lay out text with four spaces per tab
        for (int k = 0; k < 4; ++k) sink.putAscii(' ');
        break;
      case 'b': sink.removeLast(floor); break;
      default: break;  // \f and unknown letters give nothing
    }
  }
}

}  // namespace

bool jsonRawIsPlain(std::string_view raw) {
  return raw.find('\\') == std::string_view::npos && isWellFormedUtf8(raw);
}

void jsonUnescapeAppend(std::string_view raw, int flags, std::string& outUtf8) {
  unescape(raw, flags, Utf8Sink{outUtf8}, outUtf8.size());
}

void jsonUnescapeAppend(std::string_view raw, int flags, std::u16string& outUtf16) {
  unescape(raw, flags, Utf16Sink{outUtf16}, outUtf16.size());
}

void jsonEscapeAppend(std::string_view utf8, std::string& out) {
  static const char kHex[] = "0123456789abcdef";
  size_t start = 0;
  for (size_t i = 0; i < utf8.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c >= 0x20 && c != '"' && c != '\\') continue;
    out.append(utf8.substr(start, i - start));
    start = i + 1;
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default:  // \t would read back as spaces, so tabs take the \u form too
        out += "\\u00";
        out += kHex[c >> 4];
        out += kHex[c & 15];
        break;
    }
  }
  out.append(utf8.substr(start));
}
