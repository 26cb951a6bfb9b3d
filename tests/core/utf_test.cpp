// UTF-8 <-> UTF-16 conversions, code point helpers, byte-order marks and extensions.
#include <gtest/gtest.h>

#include "platform/core/utf.h"
#include "runtime/core/text_encoding.h"

namespace {

TEST(Utf, EveryCodePointRoundTrips) {
  const std::string s = "A\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80";  // A é 日 😀
  EXPECT_EQ(qcore::utf8ToUtf16(s), u"A\u00E9\u65E5\U0001F600");
  EXPECT_EQ(qcore::utf32ToUtf8(qcore::utf8ToUtf32(s)), s);
  for (uint32_t cp = 1; cp <= 0x10FFFF; cp += (cp < 0x3000 ? 1 : 97)) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    std::string s;
    qcore::appendUtf8(s, cp);
    std::u16string w = qcore::utf8ToUtf16(s);
    ASSERT_EQ(qcore::utf16ToUtf8(w), s) << cp;
    uint32_t back = 0;
    int len = 0;
    uint32_t packed = w[0] | (w.size() > 1 ? uint32_t(w[1]) << 16 : 0);
    UTF16To32(packed, &back, &len);
    ASSERT_EQ(back, cp);
    ASSERT_EQ(len, static_cast<int>(w.size() * 2));
  }
}

TEST(Utf, MalformedTextBecomesReplacementCharacters) {
  EXPECT_EQ(qcore::utf8ToUtf16("a\xFF" "b"), u"a\uFFFDb");
  EXPECT_EQ(qcore::utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD");          // encoded surrogate
  EXPECT_EQ(qcore::utf8ToUtf16("\xF4\x90\x80\x80"), u"\uFFFD");      // beyond U+10FFFF
  EXPECT_EQ(qcore::utf8ToUtf16("\xE6\x97"), u"\uFFFD");              // truncated at the end
  EXPECT_EQ(qcore::utf8ToUtf16("\xE6" "A"), u"\uFFFDA");             // broken, resyncs on A
  const std::u16string lone{u'x', char16_t(0xD83D), u'y', char16_t(0xDE00)};  // unpaired surrogates
  EXPECT_EQ(qcore::utf16ToUtf8(lone), "x\xEF\xBF\xBDy\xEF\xBF\xBD");
  char16_t units[2];
  int len;
  UTF32To16(0xD800, units, &len);
  EXPECT_EQ(units[0], 0xFFFD);
  UTF32To16(0x110000, units, &len);
  EXPECT_EQ(units[0], 0xFFFD);
  EXPECT_EQ(len, 2);
}

TEST(Utf, ConvertersStayWithinTheirCapacity) {
  char16_t w[3] = {1, 1, 1};
  // Two astral characters need four units; only one pair fits in three.
  EXPECT_EQ(UTFConvert8T(w, 3, "\xF0\x9F\x98\x80\xF0\x9F\x98\x80", 8), 2u);
  char b[5] = "zzzz";
  const char16_t src[] = u"\u65E5\u672C";
  EXPECT_EQ(UTFConvertT8(b, 4, src, 2), 3u);
  EXPECT_EQ(b[3], 'z');
}

TEST(TextEncoding, ByteOrderMarks) {
  auto bom = [](std::initializer_list<uint8_t> b) {
    uint8_t buf[4] = {};
    size_t i = 0;
    for (uint8_t x : b) buf[i++] = x;
    return detectBOM(buf, i);
  };
  EXPECT_EQ(bom({0xFF, 0xFE, 0x00, 0x00}).encoding, TextEncoding::Utf32LE);
  EXPECT_EQ(bom({0xFF, 0xFE, 0x00, 0x00}).length, 4);
  EXPECT_EQ(bom({0xFF, 0xFE, 0x41, 0x00}).encoding, TextEncoding::Utf16LE);
  EXPECT_EQ(bom({0xEF, 0xBB, 0xBF, 0x7B}).encoding, TextEncoding::Utf8);
  EXPECT_EQ(bom({0xEF, 0xBB, 0xBF, 0x7B}).length, 3);
  EXPECT_EQ(bom({0x00, 0x00, 0xFE, 0xFF}).encoding, TextEncoding::Utf32BE);
  EXPECT_EQ(bom({0xFE, 0xFF, 0x00, 0x41}).encoding, TextEncoding::Utf16BE);
  EXPECT_EQ(bom({0xEF, 0xBB}).encoding, TextEncoding::None);  // a short text is no mark
  // A UTF-16 mark with little or nothing after it is still UTF-16, not a cut UTF-32 mark.
  EXPECT_EQ(bom({0xFF, 0xFE}).encoding, TextEncoding::Utf16LE);
  EXPECT_EQ(bom({0xFF, 0xFE}).length, 2);
  EXPECT_EQ(bom({0xFE, 0xFF}).encoding, TextEncoding::Utf16BE);
  EXPECT_EQ(bom({0x00, 0x00, 0xFE}).encoding, TextEncoding::None);
}

TEST(TextEncoding, FileExtensions) {
  char16_t out[16];
  EXPECT_TRUE(getFileExtension(u"image.png", out, 16));
  EXPECT_EQ(std::u16string(out), u"png");
  EXPECT_FALSE(getFileExtension(u"trailing.", out, 16));
  EXPECT_FALSE(getFileExtension(u"a.abcdefghijklmnop", out, 16));  // 16 characters
  EXPECT_TRUE(getFileExtension(u"a.abcdefghijklmno", out, 16));    // 15 characters
  EXPECT_FALSE(getFileExtension(u"x.png", out, 1));
}

}  // namespace
