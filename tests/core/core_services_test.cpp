// Checksums, digests, encodings and integer text of the core services.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "platform/core/core.h"
#include "tests/core/comma_locale.h"

namespace {

std::string hmac(const std::string& key, const std::string& data) {
  uint8_t digest[20];
  HMAC_SHA1(digest, key.data(), key.size(), data.data(), data.size());
  std::string hex;
  for (uint8_t b : digest) hex += {"0123456789abcdef"[b >> 4], "0123456789abcdef"[b & 15]};
  return hex;
}

std::string b64(const std::string& s) {
  char out[64];
  size_t n = base64(out, sizeof out, s.data(), s.size());
  return std::string(out, n);
}

TEST(Checksum, KnownVectorsAndBase64Bounds) {
  EXPECT_EQ(GetMemCRC32("123456789", 9), 0xCBF43926u);
  EXPECT_EQ(GetMemCRC32("", 0), 0u);
  // RFC 2202; a key longer than the block is hashed first.
  EXPECT_EQ(hmac(std::string(20, '\x0b'), "Hi There"), "b617318655057264e28bc0b6fb378c8ef146be00");
  EXPECT_EQ(hmac(std::string(80, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First"),
            "aa4ae5e15272d00e95705637ce8a3b55ed402112");
  EXPECT_EQ(hmac("", ""), "fbdb1d1b18aa6c08324b7d64b71fb76370690e1d");
  // RFC 4648.
  const char* const b64s[][2] = {{"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"},
                                 {"fooba", "Zm9vYmE="}};
  for (auto& [in, out] : b64s) EXPECT_EQ(b64(in), out) << in;
  // A destination too small is refused untouched; exactly the encoded size takes no terminator.
  char out[8];
  std::memset(out, 'x', sizeof out);
  EXPECT_EQ(base64(out, 7, "foobar", 6), 0u);
  EXPECT_EQ(out[0], 'x');
  EXPECT_EQ(base64(out, 8, "foobar", 6), 8u);
  EXPECT_EQ(std::string(out, 8), "Zm9vYmFy");
}

TEST(UrlEncoding, ReservedCharactersAndNoEscapeSplitAtTheEnd) {
  EXPECT_EQ(qcore::urlEncode("a b+c&d=e/f-._~Zz09"), "a%20b%2Bc%26d%3De%2Ff-._~Zz09");
  EXPECT_EQ(qcore::urlEncode("\xE3\x81\x82"), "%E3%81%82");
  // The bytes on either side of each unreserved range.
  EXPECT_EQ(qcore::urlEncode("/09:@AZ[`az{"), "%2F09%3A%40AZ%5B%60az%7B");
  EXPECT_EQ(qcore::urlDecode("a%20b+c%zz%4", true), "a b c%zz%4");
  char out[5];
  size_t n = url_encode(out, sizeof out, "ab c", 4);
  EXPECT_EQ(std::string(out, n), "ab");  // "%20" would not fit with the terminator
  EXPECT_EQ(out[n], '\0');
}

TEST(UrlParts, HostPathAndPort) {
  char host[128], uri[256];
  ASSERT_TRUE(url_extractHost_C("http://api.example.com/1/statuses/home.json?count=5", host, sizeof host));
  ASSERT_TRUE(url_extractURI_C("http://api.example.com/1/statuses/home.json?count=5", uri, sizeof uri));
  EXPECT_STREQ(host, "api.example.com");
  EXPECT_STREQ(uri, "1/statuses/home.json?count=5");
  ASSERT_TRUE(url_extractHost_C("http://user:pw@127.0.0.1:8080/x", host, sizeof host));
  EXPECT_STREQ(host, "127.0.0.1");
  const std::pair<const char*, int> ports[] = {
      {"http://api.example.com/", 80}, {"https://api.example.com/", 443},
      {"http://user:pw@127.0.0.1:8080/x", 8080}, {"http://h:99999/", 0},
      {"http://h:12a/", 0}, {"http:///", 0}, {"nonsense", 0}, {"http://h:65535/", 65535},
      {"http://h:000080/", 0}, {"http://[::1]:65535/", 65535}, {"http://[::1]:000080/", 0},
      {"http://[::1]:12a/", 0}, {"http://[::1]:/", 0}, {"http://[::1/", 0}, {"http://[::1]x/", 0}};
  for (auto& [url, port] : ports) EXPECT_EQ(url_extractPort_C(url), port) << url;
  for (const char* bad : {"http:///x", "http://:80/x", "http://h:0/x", "http://h:99999/x"}) {
    EXPECT_FALSE(url_extractHost_C(bad, host, sizeof host)) << bad;
  }
}

TEST(UrlParts, ControlCharactersAndSpacesNeverReachTheParts) {
  // A host or path carrying CR LF would end up in the request line or a header as it is.
  char host[128], uri[256];
  for (const char* bad : {"http://h\r\nX-Injected: 1/x", "http://h/a\r\nX: y", "http://h/a b", "http://h\t/",
                          "http://h/\x7F"}) {
    EXPECT_FALSE(url_extractHost_C(bad, host, sizeof host)) << bad;
    EXPECT_FALSE(url_extractURI_C(bad, uri, sizeof uri)) << bad;
    EXPECT_STREQ(uri, "");
  }
  EXPECT_TRUE(url_extractURI_C("http://h/a%20b?q=%0D", uri, sizeof uri));
  EXPECT_STREQ(uri, "a%20b?q=%0D");
}

TEST(IntegerText, StrictParsersRefuseOverflowAndJunk) {
  EXPECT_EQ(qcore::parseI64("9223372036854775807"), INT64_MAX);
  EXPECT_EQ(qcore::parseI64("-9223372036854775808"), INT64_MIN);
  EXPECT_FALSE(qcore::parseI64("9223372036854775808"));
  for (const char* junk : {"12x", "", "-"}) EXPECT_FALSE(qcore::parseI64(junk)) << junk;
  EXPECT_EQ(qcore::parseU64("18446744073709551615"), UINT64_MAX);
  EXPECT_FALSE(qcore::parseU64("18446744073709551616"));
  EXPECT_EQ(qcore::parseI32("7fffffff", 16), INT32_MAX);
  EXPECT_FALSE(qcore::parseI32("80000000", 16));
  EXPECT_EQ(qcore::parseI32("-2147483648"), INT32_MIN);
  // A 0x or 0X prefix is taken in base 16 only; a lone leading 0 is a digit.
  for (const char* hex : {"0x1F", "0X1f", "01f"}) EXPECT_EQ(qcore::parseI32(hex, 16), 31) << hex;
  EXPECT_FALSE(qcore::parseI32("0x5"));
}

TEST(IntegerText, CoreConversions) {
  char buf[32];
  EXPECT_STREQ(I64ToStr(buf, sizeof buf, -1234567890123LL, 1), "-1234567890123");
  EXPECT_EQ(I64ToStr(buf, 3, 12345, 1), nullptr);

  bool ok = false;
  EXPECT_EQ(StrToI64("  -42abc", &ok), -42);
  EXPECT_TRUE(ok);
  EXPECT_EQ(StrToI64("99999999999999999999", &ok), INT64_MAX);
  EXPECT_FALSE(ok);

  EXPECT_EQ(StrToHex4("12\0" "4", &ok), 0);  // a terminator before the fourth digit
  EXPECT_FALSE(ok);
  EXPECT_EQ(StrToI32B("1a2b\r\n", 6, 16, &ok), 0x1A2B);
  EXPECT_TRUE(ok);
  EXPECT_EQ(StrToI32B("\r\n", 2, 16, &ok), 0);
  EXPECT_FALSE(ok);
}

TEST(IntegerText, DoublesRoundTripInTheCLocaleWhateverTheProcessLocale) {
  for (double v : {0.1, -2.5e-300, 1.0 / 3.0, 123456789.125, 1e21}) {
    auto back = qcore::parseDouble(qcore::formatDouble(v));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, v);
  }
  EXPECT_EQ(qcore::formatDouble(0.5), "0.5");
  EXPECT_FALSE(qcore::parseDouble("1,5"));
  EXPECT_EQ(qcore::parseDouble("+2.5"), 2.5);
  for (const char* bad : {"+-5", "-+5", "++5", " 5", "5 ", "", "-", "1e"}) EXPECT_FALSE(qcore::parseDouble(bad)) << bad;
  // Beyond the range as strtod reads it: overflow gives infinity, underflow zero.
  EXPECT_EQ(qcore::parseDouble("1e5000"), HUGE_VAL);
  EXPECT_EQ(qcore::parseDouble("1e-5000"), 0.0);
  EXPECT_EQ(qcore::parseDouble("inf"), HUGE_VAL);
  CommaDecimalLocale comma;
  ASSERT_TRUE(comma.active()) << "could not build a comma-decimal locale";
  EXPECT_EQ(qcore::formatDouble(2.5), "2.5");
  EXPECT_EQ(qcore::parseDouble("2.5"), 2.5);
}

}  // namespace
