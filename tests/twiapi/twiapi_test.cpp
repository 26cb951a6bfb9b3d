// What one delivered piece becomes: the message TwiAPI posts and whether the connection
// ends, for every kind of reply.
#include <gtest/gtest.h>

#include <string>

#include "net/http/header_chk.h"
#include "net/twiapi/api_table.h"
#include "net/twiapi/twiapi.h"
#include "runtime/json/json_value.h"

namespace {

struct Case {
  const char* what;
  const char* row;
  int messageFlag;  // -1: a plain reply (no stream record)
  std::string data;
  const char* name;     // null: nothing posted
  const char* result;
  uint32_t count;
  bool stop;
};

std::string reply(const char* status, const char* type, const std::string& body) {
  return std::string("HTTP/1.1 ") + status + "\r\nContent-Type: " + type + "\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\n\r\n" + body;
}

TEST(TwiAPITest, EachReplyBecomesItsMessage) {
  const std::string streamHead = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  const Case cases[] = {
      {"timeline", "rest_home_tl", -1, reply("200 OK", "application/json", "[{\"id\":1}]"), "rest_home_tl", "succeeded", 3,
       false},
      {"401", "rest_home_tl", -1, reply("401 Unauthorized", "application/json", "{\"error\":\"no\"}"), "rest_home_tl",
       "failed", 3, true},
      {"not HTTP", "rest_search", -1, "garbage\r\n\r\n", "rest_search", "failed", 3, true},
      {"handshake", "sys_request", -1, reply("200 OK", "text/html", "oauth_token=t1&oauth_token_secret=s1"),
       "sys_request", "succeeded", 2, false},
      {"stream head", "stream_filter", 0, streamHead, "stream_filter", "keep-alive", 3, false},
      {"stream message", "stream_filter", 1, "{\"id\":5}\r\n", "stream_filter", "keep-alive", 3, false},
      {"stream end", "stream_filter", 1, "", nullptr, nullptr, 0, false},
      {"stream refused", "ustream_user", 0, reply("420 Enhance Your Calm", "application/json", "[1,2]"),
       "ustream_user", "failed", 3, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TwiAPI api;
    api.setNotify({77});
    HTTPHeaderChk::Info info;
    info.messageFlag = c.messageFlag;
    TwiAPI::Outcome out;
    api.onResponse(9, findEndpoint(c.row), c.messageFlag < 0 ? nullptr : &info, c.data.empty() ? nullptr : c.data.data(),
                   static_cast<uint32_t>(c.data.size()), out);
    if (!c.name) {
      EXPECT_EQ(out.name, nullptr);
      continue;
    }
    ASSERT_NE(out.name, nullptr);
    EXPECT_STREQ(out.name, c.name);
    EXPECT_EQ(out.target, 77u);
    ASSERT_EQ(out.count, c.count);
    EXPECT_EQ(*out.values[0].asString(), c.result);
    EXPECT_EQ(out.values[1].asPointer(), reinterpret_cast<void*>(9));
    EXPECT_EQ(out.stop, c.stop);
  }
}

TEST(TwiAPITest, ValuesCarryTheBodyAndTheStatus) {
  TwiAPI api;
  TwiAPI::Outcome out;
  std::string text = reply("401 Unauthorized", "application/json", "{\"error\":\"no\"}");
  api.onResponse(1, findEndpoint("rest_mentions"), nullptr, text.data(), static_cast<uint32_t>(text.size()), out);
  ASSERT_TRUE(out.values[2].isTable());
  EXPECT_EQ(out.values[2].field("code").asInt(), 401);
  EXPECT_EQ(*out.values[2].field("response").asString(), "Unauthorized");
  EXPECT_EQ(*out.values[2].field("error").asString(), "no");

  TwiAPI::Outcome array;
  text = reply("400 Bad Request", "application/json", "[1]");
  api.onResponse(1, findEndpoint("rest_mentions"), nullptr, text.data(), static_cast<uint32_t>(text.size()), array);
  EXPECT_EQ(array.values[2].field("code").asInt(), 400);

  TwiAPI::Outcome garbage;
  api.onResponse(1, findEndpoint("rest_mentions"), nullptr, "x", 1, garbage);
  EXPECT_EQ(*garbage.values[2].asString(), "HTTPレスポンス解釈失敗");

  TwiAPI::Outcome message;
  HTTPHeaderChk::Info info;
  info.messageFlag = 1;
  const std::string line = "{\"id\":5}\r\n";
  api.onResponse(1, findEndpoint("stream_sample"), &info, line.data(), static_cast<uint32_t>(line.size()), message);
  ASSERT_NE(message.values[2].json(), nullptr);

  TwiAPI::Outcome empty;
  text = reply("200 OK", "application/json", "");
  api.onResponse(1, findEndpoint("rest_public_tl"), nullptr, text.data(), static_cast<uint32_t>(text.size()), empty);
  EXPECT_TRUE(empty.values[2].isTable());
}

TEST(TwiAPITest, HandshakeRepliesStoreTheTokenOnlyOnSuccess) {
  TwiAPI api;
  api.oauth().setToken("old", "oldsecret");
  TwiAPI::Outcome out;
  std::string refused = reply("401 Unauthorized", "text/html", "oauth_token=x&oauth_token_secret=y");
  api.onResponse(1, accessTokenEndpoint(), nullptr, refused.data(), static_cast<uint32_t>(refused.size()), out);
  EXPECT_EQ(api.oauth().token(), "old");
  std::string ok = reply("200 OK", "text/html", "oauth_token=acc&oauth_token_secret=accs&user_id=7");
  api.onResponse(1, accessTokenEndpoint(), nullptr, ok.data(), static_cast<uint32_t>(ok.size()), out);
  EXPECT_EQ(api.oauth().token(), "acc");
  EXPECT_EQ(api.oauth().tokenSecret(), "accs");
  // An ordinary row with the same body stores nothing.
  api.onResponse(1, findEndpoint("rest_home_tl"), nullptr, ok.data(), static_cast<uint32_t>(ok.size()), out);
  api.oauth().setToken("kept", "k");
  std::string other = reply("200 OK", "text/html", "oauth_token=zz&oauth_token_secret=zz");
  api.onResponse(1, findEndpoint("rest_home_tl"), nullptr, other.data(), static_cast<uint32_t>(other.size()), out);
  EXPECT_EQ(api.oauth().token(), "kept");
}

TEST(TwiAPITest, HostOverridesAndTheFallbackRow) {
  std::string host;
  uint16_t port = 9;
  EXPECT_TRUE(splitHostPort("localhost:8443", host, port));
  EXPECT_EQ(host, "localhost");
  EXPECT_EQ(port, 8443);
  EXPECT_TRUE(splitHostPort("example.org", host, port));
  EXPECT_EQ(port, 0);
  for (const char* bad : {"h:0", "h:65536", "h:x", ":80", ""}) EXPECT_FALSE(splitHostPort(bad, host, port)) << bad;
  EXPECT_STREQ(findEndpoint("rest_searc").name, "invalid");
  EXPECT_STREQ(findEndpoint("invalid").method, "invalid");
  EXPECT_EQ(findEndpoint("rest_search").host, APIEndpoint::kSearch);
  EXPECT_EQ(apiHost(APIEndpoint::kRest).tls, 1);
  EXPECT_EQ(apiHost(APIEndpoint::kSearch).tls, 0);
  EXPECT_EQ(apiHost(APIEndpoint::kStream).keepAlive, 1);
}

}  // namespace
