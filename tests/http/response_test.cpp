#include <gtest/gtest.h>

#include "net/http/http_response.h"
#include "net/http/json_body.h"
#include "net/http/term_chk.h"

namespace {
HTTPResponse parsed(std::string_view text, bool expectOk = true) {
  HTTPResponse r;
  EXPECT_EQ(r.parse(text), expectOk) << text;
  return r;
}
}  // namespace

TEST(HTTPResponse, StatusReasonHeadersAndJsonBody) {
  HTTPResponse r = parsed(
      "HTTP/1.1 200 OK\r\n"
      "Content-type: application/json; charset=utf-8\r\n"
      "content-length: 12\r\n"
      "Date: Sun, 06 Nov 1994 08:49:37 GMT\r\n"
      "\r\n"
      "{\"a\":[1,2]} trailing");
  EXPECT_EQ(r.status(), 200);
  EXPECT_EQ(r.reason(), "OK");
  EXPECT_TRUE(r.isOK());
  ASSERT_NE(r.header("Content-Type"), nullptr);
  EXPECT_EQ(r.header("CONTENT-LENGTH")->valueAt(0), TypedValue::integer(12));
  EXPECT_EQ(r.header("date")->valueAt(0), TypedValue::time(784111777));
  ASSERT_NE(r.body(), nullptr);
  ASSERT_EQ(r.body()->kind(), HTTPBody::kJson);
  EXPECT_EQ(static_cast<JSONBody*>(r.body())->value().find("a")->size(), 2u);
}

TEST(HTTPResponse, ReasonComesFromTheStatusLineOnly) {
  HTTPResponse r = parsed("HTTP/1.1 404 Not Found, really\r\nContent-Length: 0\r\n\r\n");
  EXPECT_EQ(r.status(), 404);
  EXPECT_EQ(r.reason(), "Not Found, really");
  EXPECT_FALSE(r.isOK());
  HTTPResponse e = parsed("HTTP/1.1 401\r\nContent-Length: 0\r\n\r\n");
  EXPECT_EQ(e.status(), 401);
  EXPECT_EQ(e.reason(), "");
  EXPECT_NE(e.header("Content-Length"), nullptr);
}

TEST(HTTPResponse, RepeatedHeadersMergeInArrivalOrder) {
  HTTPResponse r = parsed(
      "HTTP/1.1 200 OK\r\nX-A: one\r\nContent-Length: 0\r\nx-a: two; q=1\r\nX-A: three\r\n\r\n");
  HTTPHeader* h = r.header("X-A");
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(h->valueCount(), 3u);
  EXPECT_EQ(h->valueAt(0).str(), "one");
  EXPECT_EQ(h->valueAt(1).str(), "two");
  EXPECT_EQ(h->valueAt(2).str(), "three");
  EXPECT_EQ(r.headers().size(), 2u);
}

TEST(HTTPResponse, UntypableHeaderLineKeepsItsRawText) {
  HTTPResponse r = parsed(
      "HTTP/1.1 200 OK\r\nX-Odd: a=b=c  \r\nX-Empty:\r\nX-Quote: \"open\r\nContent-Length: 0\r\n\r\n");
  EXPECT_EQ(r.header("X-Odd")->valueAt(0), TypedValue::string("a=b=c"));
  EXPECT_EQ(r.header("X-Empty")->valueAt(0), TypedValue::string(""));
  EXPECT_EQ(r.header("X-Quote")->valueAt(0), TypedValue::string("\"open"));
}

TEST(HTTPResponse, BodyLengthIsTheSmallerOfDeclaredAndFramed) {
  HTTPResponse r = parsed("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 100\r\n\r\nshort");
  ASSERT_NE(r.body(), nullptr);
  EXPECT_EQ(static_cast<TEXTBody*>(r.body())->text(), "short");
  HTTPResponse cut = parsed("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 3\r\n\r\nshort");
  EXPECT_EQ(static_cast<TEXTBody*>(cut.body())->text(), "sho");
}

TEST(HTTPResponse, ContentLengthWithoutTypeHasNoBodyButKeepsStatus) {
  HTTPResponse r = parsed("HTTP/1.1 403 Forbidden\r\nContent-Length: 5\r\n\r\nhello");
  EXPECT_EQ(r.status(), 403);
  EXPECT_EQ(r.body(), nullptr);
}

TEST(HTTPResponse, ChunkedBodyIsWhatTheFramerDeChunked) {
  HTTPResponse r = parsed(
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nContent-Length: 2\r\n"
      "Content-Type: application/x-www-form-urlencoded\r\n\r\noauth_token=t&oauth_token_secret=s");
  ASSERT_NE(r.body(), nullptr);
  EXPECT_EQ(*r.body()->get("oauth_token_secret"), "s");
  // The header block of a stream: chunked, nothing after the blank line.
  HTTPResponse s = parsed("HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\nContent-Type: application/json\r\n\r\n");
  EXPECT_EQ(s.body(), nullptr);
}

TEST(HTTPResponse, StatusesWithoutBodyNeedNoLength) {
  // Each as the plain framer delivers it: complete at the blank line, even with a length.
  for (const char* reply : {"HTTP/1.1 204 No Content\r\n\r\n", "HTTP/1.1 100 Continue\r\n\r\n",
                            "HTTP/1.1 304 Not Modified\r\nContent-Type: text/plain\r\nContent-Length: 9\r\n\r\n"}) {
    HTTPTermChk framer(false);
    const std::string text(reply);
    ASSERT_EQ(framer.feed(text.data(), static_cast<int>(text.size())), static_cast<int>(text.size())) << reply;
    EXPECT_EQ(framer.state(), IHeaderCheck::kLast) << reply;
    HTTPResponse r;
    ASSERT_TRUE(r.parse(std::string_view(framer.buffered().data, framer.buffered().length))) << reply;
    EXPECT_EQ(r.body(), nullptr);
  }
  parsed("HTTP/1.1 205 Reset Content\r\n\r\n", false);  // other statuses keep the rule
}

TEST(HTTPResponse, RefusesMalformedReplies) {
  parsed("HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n", false);
  parsed("HTTP/1.1 OK\r\nContent-Length: 0\r\n\r\n", false);
  parsed("HTTP/1.1 20000 OK\r\nContent-Length: 0\r\n\r\n", false);
  parsed("HTTP/1.1 200 OK\r\n\r\n", false);  // neither chunked nor a length
  parsed("HTTP/1.1 200 OK\r\nContent-Length: -1\r\nContent-Type: text/plain\r\n\r\nx", false);
  parsed("HTTP/1.1 200 OK\r\nContent-Length: 1.5\r\nContent-Type: text/plain\r\n\r\nx", false);
  parsed("HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999\r\n\r\nx", false);
  parsed("HTTP/1.1 200 OK\r\nNoColon\r\nContent-Length: 0\r\n\r\n", false);
  parsed("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n", false);  // headers never end
  parsed("HTTP/1.1 200 OK\r\nX: y", false);
  parsed("HTTP/1.1 200 OK", false);
  parsed("", false);
  parsed(std::string_view("HTTP/1.1 200 OK\r\nA\0: b\r\n\r\n", 24), false);
}

TEST(HTTPResponse, AParseNeverKeepsTheEarlierBody) {
  HTTPResponse r;
  ASSERT_TRUE(r.parse("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 1\r\n\r\nx"));
  ASSERT_NE(r.body(), nullptr);
  ASSERT_TRUE(r.parse("HTTP/1.1 204 No Content\r\nContent-Length: 0\r\n\r\n"));
  EXPECT_EQ(r.body(), nullptr);
  EXPECT_EQ(r.header("Content-Type"), nullptr);
  EXPECT_FALSE(r.parse("garbage"));
  EXPECT_EQ(r.status(), 0);
}

// What the plain framer delivers, the parser must read: both must agree on the framing
// headers, or a well-framed reply is refused.
TEST(HTTPResponse, ParsesWhatThePlainFramerDelivers) {
  struct Case {
    std::string reply;
    std::string body;
  };
  const Case cases[] = {
      {"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 007\r\n\r\n1234567", "1234567"},
      {"HTTP/1.1 200 OK\r\ncontent-type: text/plain\r\ncontent-length:  3 \r\n\r\nabc", "abc"},
      {"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nTransfer-Encoding: gzip, Chunked\r\n\r\n"
       "2\r\nab\r\n1;x=y\r\nc\r\n0\r\n\r\n",
       "abc"},
  };
  for (const Case& c : cases) {
    HTTPTermChk framer(false);
    ASSERT_EQ(framer.feed(c.reply.data(), static_cast<int>(c.reply.size())), static_cast<int>(c.reply.size()));
    ASSERT_EQ(framer.state(), IHeaderCheck::kLast) << c.reply;
    FramedData d = framer.buffered();
    HTTPResponse r = parsed(std::string_view(d.data, d.length));
    ASSERT_NE(r.body(), nullptr) << c.reply;
    EXPECT_EQ(static_cast<TEXTBody*>(r.body())->text(), c.body);
  }
}
