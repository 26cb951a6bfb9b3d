// Replies as a socket worker hands them over: the raw bytes through the framer the job
// uses, then the message the script gets.
#include <gtest/gtest.h>

#include <string>

#include "net/http/header_chk.h"
#include "net/http/reply_cost.h"
#include "net/http/term_chk.h"
#include "net/twiapi/api_table.h"
#include "net/twiapi/twiapi.h"
#include "runtime/json/json_value.h"

namespace {

// The message of the first framed delivery; null name when the framer gave none.
TwiAPI::Outcome viaFramer(IHeaderCheck& framer, const char* row, const std::string& bytes) {
  TwiAPI api;
  api.setNotify({77});
  TwiAPI::Outcome out;
  int used = framer.feed(bytes.data(), static_cast<int>(bytes.size()));
  EXPECT_EQ(used, static_cast<int>(bytes.size()));
  if (framer.state() != IHeaderCheck::kComplete && framer.state() != IHeaderCheck::kLast) {
    ADD_FAILURE() << "framer state " << framer.state();
    return out;
  }
  FramedData d = framer.buffered();
  api.onResponse(9, findEndpoint(row), d.info, d.data, d.length, out);
  return out;
}

// The reason a failure carries, as a string value or a table's "response".
std::string failureReason(const LuaVar& v) {
  if (const std::string* s = v.asString()) return *s;
  if (v.isTable()) {
    if (const std::string* s = const_cast<LuaVar&>(v).field("response").asString()) return *s;
  }
  return "<none>";
}

TEST(TwiAPIReplies, InterimRepliesAreSkippedAndUntypedBodiesRefused) {
  const std::string json = "{\"id\":5}";
  const std::string final200 = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
                               std::to_string(json.size()) + "\r\n\r\n" + json;
  const std::string chunked200 = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nTransfer-Encoding: chunked\r\n\r\n" +
                                 std::string("8\r\n") + json + "\r\n0\r\n\r\n";
  const struct {
    const char* name;
    std::string bytes;
    const char* result;
    bool hasId;  // the body reached the script
  } cases[] = {
      {"200 with a body and no type", "HTTP/1.1 200 OK\r\nContent-Length: 8\r\n\r\n" + json, "failed", false},
      {"100 Continue then 200", "HTTP/1.1 100 Continue\r\n\r\n" + final200, "succeeded", true},
      {"103 with headers then 200 chunked",
       "HTTP/1.1 103 Early Hints\r\nLink: </a.css>; rel=preload\r\nContent-Length: 99\r\n\r\n" + chunked200,
       "succeeded", true},
      {"two interim replies", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 102 Processing\r\n\r\n" + final200, "succeeded",
       true},
      {"an empty 200 needs no type", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", "succeeded", false},
      {"JSON that would grow too much once parsed", [] {
         std::string zeros = "[0";
         for (int i = 0; i < 50000; ++i) zeros += ",0";  // within the value cap
         zeros += "]";
         return "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(zeros.size()) +
                "\r\n\r\n" + zeros;
       }(),
       "failed", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HTTPTermChk framer(false);
    TwiAPI::Outcome out = viaFramer(framer, "rest_home_tl", c.bytes);
    ASSERT_NE(out.name, nullptr);
    ASSERT_EQ(out.count, 3u);
    EXPECT_EQ(*out.values[0].asString(), c.result);
    EXPECT_EQ(out.values[1].asPointer(), reinterpret_cast<void*>(9));
    if (std::string(c.result) == "failed") {
      EXPECT_EQ(failureReason(out.values[2]), "HTTPレスポンス解釈失敗");
      EXPECT_TRUE(out.stop);
      continue;
    }
    const JSONValue* body = out.values[2].json();
    if (c.hasId) {
      ASSERT_NE(body, nullptr);
      ASSERT_NE(body->find("id"), nullptr);
    } else {
      EXPECT_TRUE(out.values[2].isTable());
    }
  }
}

// A JSON array of n values (itself included), 8 bytes each: within the cost bound.
std::string arrayReply(size_t n, const std::string& before = "") {
  std::string body = before + "[";
  for (size_t i = 1; i < n; ++i) body += (i > 1 ? "," : "") + std::to_string(1000000 + i);
  body += "]";
  return "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\n\r\n" + body;
}

TEST(TwiAPIReplies, AReplyOverTheValueCapFailsWithItsReason) {
  const size_t cap = replycost::kMaxScriptValues;
  // Comments that hold a quote must not hide the values behind them.
  for (const char* before : {"", "/*\"*/", "//\"\n"}) {
    for (const char* row : {"rest_home_tl", "stream_sample"}) {
      SCOPED_TRACE(std::string(row) + " " + before);
      auto framer = [&]() -> std::unique_ptr<IHeaderCheck> {
        if (findEndpoint(row).apiHost().keepAlive) return HTTPHeaderChk::makeStream();
        return std::make_unique<HTTPTermChk>(false);
      };
      TwiAPI::Outcome out = viaFramer(*framer(), row, arrayReply(cap, before));
      ASSERT_EQ(out.count, 3u);
      EXPECT_NE(*out.values[0].asString(), "failed");
      ASSERT_NE(out.values[2].json(), nullptr);
      EXPECT_EQ(out.values[2].json()->size(), cap - 1);
      EXPECT_EQ(out.endsStream, findEndpoint(row).apiHost().keepAlive != 0);  // a whole reply

      out = viaFramer(*framer(), row, arrayReply(cap + 1, before));
      ASSERT_EQ(out.count, 3u);
      EXPECT_EQ(*out.values[0].asString(), "failed");
      EXPECT_EQ(failureReason(out.values[2]),
                "too many values for a script: " + std::to_string(cap + 1) + ", at most " + std::to_string(cap));
      EXPECT_EQ(out.values[2].field("code").asInt(), 0);
      EXPECT_TRUE(out.stop);
      EXPECT_FALSE(out.endsStream);
    }
  }
}

TEST(TwiAPIReplies, StreamHeaderBlockAfterAnInterimReply) {
  std::unique_ptr<HTTPHeaderChk> framer = HTTPHeaderChk::makeStream();
  TwiAPI::Outcome out = viaFramer(*framer, "stream_filter",
                                  "HTTP/1.1 103 Early Hints\r\n\r\nHTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n");
  ASSERT_NE(out.name, nullptr);
  EXPECT_EQ(*out.values[0].asString(), "keep-alive");
  EXPECT_FALSE(out.stop);
}

TEST(TwiAPIReplies, EndlessInterimRepliesHitTheHeaderBound) {
  HTTPTermChk framer(false);
  const std::string interim = "HTTP/1.1 100 Continue\r\n\r\n";
  for (int i = 0; i < 20000 && framer.state() == IHeaderCheck::kNeedMore; ++i) {
    framer.feed(interim.data(), static_cast<int>(interim.size()));
  }
  EXPECT_EQ(framer.state(), IHeaderCheck::kError);
  EXPECT_LE(framer.buffered().length, interim.size());
}

}  // namespace
