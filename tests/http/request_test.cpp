#include <gtest/gtest.h>

#include "net/http/http_body.h"
#include "net/http/http_request.h"

namespace {
HTTPRequest makeRequest(const char* method, const char* host, const char* path) {
  HTTPRequest r;
  r.setMethod(method);
  r.setHost(host);
  r.setPath(path);
  return r;
}

// Adds a fixed Authorization header the way the OAuth signer does.
struct FixedAuth : HTTPHMod {
  const HTTPBody* seenBody = nullptr;
  std::string seenLength;
  void apply(HTTPRequest& r, const HTTPBody* body) override {
    seenBody = body;
    if (HTTPHeader* cl = r.findHeader("Content-Length")) seenLength = cl->text();
    auto a = std::make_unique<HTTPOAuthH>();
    a->setAttribute("oauth_nonce", "abc");
    r.setHeader("Authorization", std::move(a));
  }
};
}  // namespace

TEST(HTTPRequest, BareGetWritesRequestLineAndHostOnly) {
  HTTPRequest r = makeRequest("GET", "api.example.com", "1/statuses/home_timeline.json");
  std::string out = "stale";
  r.serialize(nullptr, out, nullptr);
  EXPECT_EQ(out, "GET /1/statuses/home_timeline.json HTTP/1.1\r\nHost: api.example.com\r\n\r\n");
}

TEST(HTTPRequest, GetCarriesEncodedQueryInNameOrder) {
  HTTPRequest r = makeRequest("GET", "search.example.com", "search.json");
  URLBody b;
  b.set("rpp", "10");
  b.set("q", "a b&c=d%");
  b.set("n m", "\xE3\x81\x82");
  std::string out;
  r.serialize(nullptr, out, &b);
  EXPECT_EQ(out,
            "GET /search.json?n%20m=%E3%81%82&q=a%20b%26c%3Dd%25&rpp=10 HTTP/1.1\r\n"
            "Host: search.example.com\r\n\r\n");
  URLBody empty;
  r.serialize(nullptr, out, &empty);
  EXPECT_EQ(out, "GET /search.json HTTP/1.1\r\nHost: search.example.com\r\n\r\n");
}

TEST(HTTPRequest, PostWritesFormBodyHeadersInByteOrderHostLast) {
  HTTPRequest r = makeRequest("POST", "api.example.com", "1/statuses/update.json");
  r.selectHeader("Connection").addValue("Keep-Alive");
  URLBody b;
  b.set("status", "hello world!");
  FixedAuth auth;
  std::string out;
  r.serialize(&auth, out, &b);
  EXPECT_EQ(out,
            "POST /1/statuses/update.json HTTP/1.1\r\n"
            "Authorization: OAuth oauth_nonce=\"abc\"\r\n"
            "Connection: Keep-Alive\r\n"
            "Content-Length: 23\r\n"
            "Content-Type: application/x-www-form-urlencoded\r\n"
            "Host: api.example.com\r\n"
            "\r\n"
            "status=hello%20world%21");
  // The modifier runs after the body headers are settled and sees the body.
  EXPECT_EQ(auth.seenBody, &b);
  EXPECT_EQ(auth.seenLength, "23");

  // Writing changes nothing: a retry writes the same text, the request keeps its headers.
  std::string again;
  r.serialize(&auth, again, &b);
  EXPECT_EQ(again, out);
  EXPECT_EQ(r.headers().size(), 1u);
  EXPECT_EQ(r.findHeader("Connection")->text(), "Keep-Alive");
}

TEST(HTTPRequest, PostWithEmptyBodyAndPortInHost) {
  HTTPRequest r = makeRequest("POST", "127.0.0.1", "x");
  r.setPort(8080);
  URLBody b;
  std::string out;
  r.serialize(nullptr, out, &b);
  EXPECT_EQ(out,
            "POST /x HTTP/1.1\r\nContent-Length: 0\r\n"
            "Content-Type: application/x-www-form-urlencoded\r\nHost: 127.0.0.1:8080\r\n\r\n");
  EXPECT_EQ(r.url(true), "http://127.0.0.1:8080/x");
  r.setPort(80);
  EXPECT_EQ(r.url(true), "http://127.0.0.1/x");
  r.setScheme("https");
  EXPECT_EQ(r.url(true), "https://127.0.0.1:80/x");
  r.setPort(443);
  EXPECT_EQ(r.hostField(), "127.0.0.1");
  EXPECT_EQ(r.url(false), "/x");
}

TEST(HTTPRequest, HeadersSelectReplaceAndClear) {
  HTTPRequest r = makeRequest("GET", "h", "p");
  r.selectHeader("Accept").addValue("a").addValue("b");
  EXPECT_EQ(r.findHeader("Accept")->text(), "a; b");
  r.setHeader("Accept", std::make_unique<HTTPNmlH>());
  r.addValue("c");  // the replaced object is no longer current: nothing is written to freed memory
  EXPECT_EQ(r.findHeader("Accept")->text(), "");
  EXPECT_EQ(r.findAuthorization(), nullptr);
  r.clear();
  EXPECT_TRUE(r.headers().empty());
  EXPECT_EQ(r.host(), "h");
  std::string out;
  r.serialize(nullptr, out, nullptr);
  EXPECT_EQ(out, "GET /p HTTP/1.1\r\nHost: h\r\n\r\n");
}

TEST(HTTPRequest, SettingNoHeaderRemovesIt) {
  HTTPRequest r = makeRequest("GET", "api.example.com", "x");
  r.selectHeader("X-Test").addValue("1");
  EXPECT_EQ(r.setHeader("X-Test", nullptr), nullptr);
  EXPECT_EQ(r.findHeader("X-Test"), nullptr);
  r.addValue("ignored");  // the selected header went with it
  std::string out;
  r.serialize(nullptr, out, nullptr);
  EXPECT_EQ(out, "GET /x HTTP/1.1\r\nHost: api.example.com\r\n\r\n");
}
