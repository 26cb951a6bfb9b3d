#include <gtest/gtest.h>

#include "net/http/http_response.h"
#include "net/http/json_body.h"
#include "net/http/reply_cost.h"
#include "net/http/term_chk.h"

namespace {
HTTPResponse parsed(std::string_view text, bool expectOk = true) {
  HTTPResponse r;
  EXPECT_EQ(r.parse(text), expectOk) << text;
  return r;
}

std::string textBody(const HTTPResponse& r) {
  auto* b = dynamic_cast<TEXTBody*>(r.body());
  return b ? b->text() : "<no text body>";
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
  EXPECT_EQ(r.header("CONTENT-LENGTH")->valueAt(0), TypedValue::integer(12));
  EXPECT_EQ(r.header("date")->valueAt(0), TypedValue::time(784111777));
  ASSERT_NE(r.body(), nullptr);
  ASSERT_EQ(r.body()->kind(), HTTPBody::kJson);
  EXPECT_EQ(static_cast<JSONBody*>(r.body())->value().find("a")->size(), 2u);
  HTTPResponse e = parsed("HTTP/1.1 404 Not Found, really\r\nContent-Length: 0\r\n\r\n");
  EXPECT_EQ(e.status(), 404);
  EXPECT_EQ(e.reason(), "Not Found, really");
  EXPECT_EQ(parsed("HTTP/1.1 401\r\nContent-Length: 0\r\n\r\n").reason(), "");
}

TEST(HTTPResponse, BodiesByLengthTypeAndCoding) {
  // The body is the smaller of the declared and the framed length.
  EXPECT_EQ(textBody(parsed("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 100\r\n\r\nshort")),
            "short");
  EXPECT_EQ(textBody(parsed("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 3\r\n\r\nshort")), "sho");
  // Bytes without a type are not understood (they would be lost); an empty body needs none.
  parsed("HTTP/1.1 403 Forbidden\r\nContent-Length: 5\r\n\r\nhello", false);
  parsed("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", false);
  parsed("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nhello", false);
  HTTPResponse r = parsed("HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\n\r\n");
  EXPECT_EQ(r.status(), 403);
  EXPECT_EQ(r.body(), nullptr);
  // Chunked: the body is all the framer de-chunked, whatever the length says.
  HTTPResponse c = parsed(
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nContent-Length: 2\r\n"
      "Content-Type: application/x-www-form-urlencoded\r\n\r\noauth_token=t&oauth_token_secret=s");
  ASSERT_NE(c.body(), nullptr);
  EXPECT_EQ(*c.body()->get("oauth_token_secret"), "s");
  // The header block of a stream: chunked, nothing after the blank line.
  EXPECT_EQ(parsed("HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\nContent-Type: application/json\r\n\r\n").body(),
            nullptr);
}

TEST(HTTPResponse, RefusesMalformedReplies) {
  for (std::string_view bad : std::initializer_list<std::string_view>{
           "HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n", "HTTP/1.1 OK\r\nContent-Length: 0\r\n\r\n",
           "HTTP/1.1 20000 OK\r\nContent-Length: 0\r\n\r\n", "HTTP/1.1 099 OK\r\nContent-Length: 0\r\n\r\n",
           "HTTP/1.1 200OK\r\nContent-Length: 0\r\n\r\n",
           "HTTP/1.1 200 OK\r\n\r\n",  // neither chunked nor a length
           "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked, gzip\r\n\r\n",
           "HTTP/1.1 200 OK\r\nContent-Length: -1\r\nContent-Type: text/plain\r\n\r\nx",
           "HTTP/1.1 200 OK\r\nContent-Length: 1.5\r\nContent-Type: text/plain\r\n\r\nx",
           "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999\r\n\r\nx",
           "HTTP/1.1 200 OK\r\nNoColon\r\nContent-Length: 0\r\n\r\n",
           "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n",  // headers never end
           "HTTP/1.1 200 OK\rContent-Length: 0\r\n\r\n", "",
           std::string_view("HTTP/1.1 200 OK\r\nA\0: b\r\n\r\n", 24)}) {
    parsed(bad, false);
  }
  // A failed parse keeps nothing of an earlier one.
  HTTPResponse r;
  ASSERT_TRUE(r.parse("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 1\r\n\r\nx"));
  ASSERT_TRUE(r.parse("HTTP/1.1 204 No Content\r\nContent-Length: 0\r\n\r\n"));
  EXPECT_EQ(r.body(), nullptr);
  EXPECT_EQ(r.header("Content-Type"), nullptr);
  EXPECT_FALSE(r.parse("garbage"));
  EXPECT_EQ(r.status(), 0);
}

// What the plain framer delivers, the parser must read: both must agree on the framing
// headers, or a well-framed reply is refused.
TEST(HTTPResponse, ParsesWhatThePlainFramerDelivers) {
  const std::pair<std::string, std::string> cases[] = {
      {"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 007\r\n\r\n1234567", "1234567"},
      {"HTTP/1.1 200 OK\r\ncontent-type: text/plain\r\ncontent-length:  3 \r\n\r\nabc", "abc"},
      {"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nTransfer-Encoding: gzip, Chunked\r\n\r\n"
       "2\r\nab\r\n1;x=y\r\nc\r\n0\r\n\r\n",
       "abc"},
      // Statuses without a body end at the blank line, even with a length.
      {"HTTP/1.1 204 No Content\r\n\r\n", "<no text body>"},
      // Interim replies are skipped: the final reply is what is delivered.
      {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 2\r\n\r\nok",
       "ok"},
      {"HTTP/1.1 103 Early Hints\r\nLink: </s.css>\r\n\r\nHTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n"
       "Transfer-Encoding: chunked\r\n\r\n2\r\nok\r\n0\r\n\r\n",
       "ok"},
      {"HTTP/1.1 101 Switching Protocols\r\n\r\n", "<no text body>"},
      {"HTTP/1.1 304 Not Modified\r\nContent-Type: text/plain\r\nContent-Length: 9\r\n\r\n", "<no text body>"},
  };
  for (const auto& [reply, body] : cases) {
    HTTPTermChk framer(false);
    ASSERT_EQ(framer.feed(reply.data(), static_cast<int>(reply.size())), static_cast<int>(reply.size())) << reply;
    ASSERT_EQ(framer.state(), IHeaderCheck::kLast) << reply;
    FramedData d = framer.buffered();
    EXPECT_EQ(textBody(parsed(std::string_view(d.data, d.length))), body) << reply;
  }
}

TEST(ReplyCost, CountsJsonValuesWithoutParsing) {
  const std::pair<const char*, size_t> cases[] = {
      {"0", 1},
      {"[0]", 2},
      {"[0,1,2]", 4},
      {"{\"a\":1,\"b\":[true,null]}", 5},
      {"[\"a,b[{\",\"c\\\",d\"]", 3},  // separators inside strings, an escaped quote
      {"[]", 2},                         // an empty container counts one more
      // Read as the JSON reader reads: comments hide quotes and separators, strings hide
      // comment marks, and the count stops where the reader must.
      {"/*\"*/[0,0,0]", 4},
      {"//\"\n[0,0]", 3},
      {"[0/*,\"*/,0 // \"\n,0]", 4},
      {"[0,\"/*\",0,\"//\",0]", 6},
      {"[0] /* [,,", 2},  // an unterminated comment runs to the end
      {"[0]//,,", 2},
      {"[\"\\q\",0,0]", 2},  // a string the reader refuses ends the reading
  };
  for (const auto& [text, count] : cases) EXPECT_EQ(replycost::jsonValueCount(text), count) << text;
  EXPECT_EQ(replycost::jsonValueCount(std::string_view("[0]\0,,,", 7)), 2u);  // a zero ends the document
}

// A reply whose parsed form would take far more than its bytes is refused, with a reason.
TEST(ReplyCost, RefusesRepliesThatWouldGrowTooMuchOnceParsed) {
  auto reply = [](const char* type, const std::string& body) {
    return std::string("HTTP/1.1 200 OK\r\nContent-Type: ") + type + "\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
  };
  std::string zeros = "[0";
  for (int i = 0; i < 100000; ++i) zeros += ",0";
  zeros += "]";
  std::string pairs = "a=1";
  for (int i = 0; i < 100000; ++i) pairs += "&a=1";
  std::string words = "[";
  for (int i = 0; i < 20000; ++i) words += std::string(i ? "," : "") + "\"a word of some length\"";
  words += "]";
  const struct {
    const char* type;
    std::string body;
    bool ok;
  } cases[] = {
      {"application/json", zeros, false},
      {"application/json", "/*\"*/" + zeros, false},  // a quote in a comment hides nothing
      {"application/x-www-form-urlencoded", pairs, false},
      {"application/json", words, true},
      {"text/plain", zeros, true},  // a copy of its bytes
      {"application/octet-stream", zeros, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    const std::string text = reply(c.type, c.body);
    HTTPResponse r;
    EXPECT_EQ(r.parse(text), c.ok);
    EXPECT_TRUE(r.bodyBytes().empty()) << "a full parse keeps no view of the text";
    if (c.ok) {
      EXPECT_TRUE(r.refusal().empty());
      ASSERT_NE(r.body(), nullptr);
      continue;
    }
    EXPECT_EQ(r.body(), nullptr);
    EXPECT_NE(r.refusal().find("more than 8 times its size"), std::string::npos) << r.refusal();
    // The head alone still reads, for a caller that decides from the headers.
    ASSERT_TRUE(r.parseHead(text));
    EXPECT_EQ(r.bodyBytes(), c.body);
    EXPECT_EQ(r.contentType(), c.type);
    EXPECT_TRUE(r.refusal().empty());
  }
}

// Repeated header lines merge into one header, values in arrival order, whatever the case
// of the name.
TEST(HTTPResponse, RepeatedHeaderLinesMergeInArrivalOrder) {
  HTTPResponse r = parsed(
      "HTTP/1.1 200 OK\r\nX-Thing: one\r\nContent-Length: 0\r\nx-thing: two, three\r\nX-THING: four\r\n\r\n");
  const HTTPHeader* h = r.header("X-Thing");
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(r.headers().size(), 2u);
  std::vector<std::string> values;
  for (size_t i = 0; i < h->valueCount(); ++i) values.push_back(h->valueAt(i).text());
  EXPECT_EQ(values, (std::vector<std::string>{"one", "two", "three", "four"}));
}
