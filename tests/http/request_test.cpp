#include <gtest/gtest.h>

#include <tuple>

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

std::string written(const HTTPRequest& r, const HTTPBody* body, HTTPHMod* modifier = nullptr) {
  std::string out = "stale";
  r.serialize(modifier, out, body);
  return out;
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

TEST(HTTPRequest, GetCarriesEncodedQueryInNameOrder) {
  HTTPRequest r = makeRequest("GET", "search.example.com", "search.json");
  EXPECT_EQ(written(r, nullptr), "GET /search.json HTTP/1.1\r\nHost: search.example.com\r\n\r\n");
  URLBody b;
  b.set("rpp", "10");
  b.set("q", "a b&c=d%");
  b.set("n m", "\xE3\x81\x82");
  EXPECT_EQ(written(r, &b),
            "GET /search.json?n%20m=%E3%81%82&q=a%20b%26c%3Dd%25&rpp=10 HTTP/1.1\r\n"
            "Host: search.example.com\r\n\r\n");
  r.setPath("s?x=1");
  EXPECT_EQ(written(r, &b).substr(0, 18), "GET /s?x=1&n%20m=%");
  URLBody empty;
  EXPECT_EQ(written(makeRequest("GET", "h", "p"), &empty), "GET /p HTTP/1.1\r\nHost: h\r\n\r\n");
}

TEST(HTTPRequest, PostWritesFormBodyHeadersInByteOrderHostLast) {
  HTTPRequest r = makeRequest("POST", "api.example.com", "1/statuses/update.json");
  r.selectHeader("Connection").addValue("Keep-Alive");
  URLBody b;
  b.set("status", "hello world!");
  FixedAuth auth;
  const std::string out = written(r, &b, &auth);
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
  EXPECT_EQ(written(r, &b, &auth), out);
  EXPECT_EQ(r.headers().size(), 1u);
  URLBody empty;
  EXPECT_EQ(written(makeRequest("POST", "h", "x"), &empty),
            "POST /x HTTP/1.1\r\nContent-Length: 0\r\n"
            "Content-Type: application/x-www-form-urlencoded\r\nHost: h\r\n\r\n");
}

TEST(HTTPRequest, PortsAppearOnlyWhenNotTheSchemeDefault) {
  HTTPRequest r = makeRequest("GET", "127.0.0.1", "x");
  const std::tuple<const char*, uint16_t, const char*> cases[] = {
      {"http", 8080, "http://127.0.0.1:8080/x"}, {"http", 80, "http://127.0.0.1/x"},
      {"https", 80, "https://127.0.0.1:80/x"},   {"https", 443, "https://127.0.0.1/x"},
      {"https", 0, "https://127.0.0.1/x"}};
  for (const auto& [scheme, port, url] : cases) {
    r.setScheme(scheme);
    r.setPort(port);
    EXPECT_EQ(r.url(true), url);
  }
  EXPECT_EQ(r.url(false), "/x");
}
