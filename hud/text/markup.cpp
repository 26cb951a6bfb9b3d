#include "hud/text/markup.h"

#include "platform/core/utf.h"

using namespace hudtext;

namespace {

bool hexDigit(char16_t c, uint32_t& v) {
  if (c >= u'0' && c <= u'9') v = c - u'0';
  else if (c >= u'A' && c <= u'F') v = c - u'A' + 10;
  else if (c >= u'a' && c <= u'f') v = c - u'a' + 10;
  else return false;
  return true;
}

// Decodes the code point at p (a surrogate pair counts as one); never reads past a 0.
uint32_t decode(const char16_t* p, int& units) {
  uint32_t cp = 0;
  int bytes = 2;
  const uint32_t packed = uint32_t(p[0]) | (p[0] ? uint32_t(p[1]) << 16 : 0);
  UTF16To32(packed, &cp, &bytes);
  units = bytes / 2;
  return cp;
}

}  // namespace

std::pair<int32_t, int32_t> markupToUtf32(const char16_t* text, U32String& out) {
  int32_t visible = 0, control = 0;
  const char16_t* p = text;
  for (;;) {
    int units = 1;
    const uint32_t cp = decode(p, units);
    if (cp == 0) return {visible, control};
    p += units;
    if (cp == 13) continue;
    if (cp != u'%') {
      out.push_back(char32_t(cp));
      ++visible;
      continue;
    }
    const char16_t x = *p;
    if (x == 0) {
      // A "%" with nothing after it escapes nothing: it stays, as typed text means it.
      out.push_back(U'%');
      return {visible + 1, control};
    }
    if (x == u'%') {
      out.push_back(U'%');
      ++control;
      ++p;
    } else if (x == u's') {
      out.push_back(char32_t(kCtlS));
      ++control;
      ++p;
    } else if (x == u'w') {
      ++p;
      uint32_t n = 0;  // only the low bits survive the shift, so wrapping loses nothing
      int digits = 0;
      for (; *p >= u'0' && *p <= u'9'; ++p, ++digits) n = n * 10 + uint32_t(*p - u'0');
      if (digits == 0) return {0, 0};
      out.push_back(char32_t((n << kParamShift) | kCtlWidth));
      ++control;
    } else if (x == u'c') {
      ++p;
      uint32_t v = 0, d = 0;
      int digits = 0;
      for (; hexDigit(*p, d); ++p, ++digits) v = v * 16 + d;
      if (digits != 6) return {0, 0};
      out.push_back(char32_t((((v >> 16) & 0xFF) << kParamShift) | kCtlRed));
      out.push_back(char32_t((((v >> 8) & 0xFF) << kParamShift) | kCtlGreen));
      out.push_back(char32_t(((v & 0xFF) << kParamShift) | kCtlBlue));
      control += 3;
    } else {
      int n = 1;
      const uint32_t escaped = decode(p, n);
      p += n;
      if (escaped == 13) continue;  // CR never enters the text
      out.push_back(char32_t(escaped));
      ++visible;
    }
  }
}

void utf32ToWide(std::u16string& out, const U32String& text) {
  for (char32_t c : text) {
    const uint32_t cp = c;
    if (cp == 10) {
      out += u"\r\n";
      continue;
    }
    if (isMarkupControl(cp) || utf16_isPrivate(cp)) continue;
    char16_t units[2];
    int bytes = 2;
    UTF32To16(cp, units, &bytes);
    out.append(units, size_t(bytes / 2));
  }
}

void countLineLengths(std::vector<int32_t>& rows, const U32String& text) {
  int32_t count = 0;
  bool lastLF = false;
  for (char32_t c : text) {
    ++count;
    lastLF = c == 10;
    if (lastLF) {
      rows.push_back(count);
      count = 0;
    }
  }
  if (lastLF || count >= 1) rows.push_back(count);
}

int32_t firstLineLength(const char32_t* p) {
  int32_t n = 0;
  while (p[n] != 0) {
    if (p[n++] == 10) break;
  }
  return n;
}

int32_t countLines(const char32_t* p) {
  if (*p == 0) return 1;
  int32_t lines = 0;
  char32_t last = 0;
  for (; *p; ++p) {
    if (*p == 10) ++lines;
    last = *p;
  }
  return last == 10 ? lines : lines + 1;
}
