#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "net/http/header_chk.h"
#include "net/http/reply_cost.h"
#include "net/twiapi/api_table.h"
#include "net/twiapi/http_log.h"
#include "net/twiapi/twiapi.h"
#include "runtime/json/json_value.h"
#include "script/lua/script_report.h"

namespace {

std::string reply(const char* status, const char* type, const std::string& body) {
  return std::string("HTTP/1.1 ") + status + "\r\nContent-Type: " + type + "\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\n\r\n" + body;
}

// The outcome of one delivery of data for the row; messageFlag -1: a plain reply.
TwiAPI::Outcome respond(TwiAPI& api, const char* row, const std::string& data, int messageFlag = -1) {
  HTTPHeaderChk::Info info;
  info.messageFlag = messageFlag;
  TwiAPI::Outcome out;
  api.onResponse(9, findEndpoint(row), messageFlag < 0 ? nullptr : &info, data.empty() ? nullptr : data.data(),
                 static_cast<uint32_t>(data.size()), out);
  return out;
}

// A stream message of one value more than a script may take, each value an item and a
// comma: "0" makes it too large once parsed as well, "1234567" leaves it within that bound.
std::string overCap(const char* before = "", const std::string& item = "0") {
  std::string s = std::string(before) + "[";
  for (size_t i = 1; i < replycost::kMaxScriptValues; ++i) s += item + ",";
  return s + item + "]\r\n";
}

const std::string kCapReason = "too many values for a script: " + std::to_string(replycost::kMaxScriptValues + 1) +
                               ", at most " + std::to_string(replycost::kMaxScriptValues);

TEST(TwiAPITest, EachReplyBecomesItsMessage) {
  const struct {
    const char* row;
    int messageFlag;
    std::string data;
    const char* result;  // null: nothing posted, the reason logged
    uint32_t count;
    bool stop;
    bool endsStream = false;  // the stream's final message follows
    std::string skipped = "";  // why a message was skipped, when it matters
  } cases[] = {
      {"rest_home_tl", -1, reply("200 OK", "application/json", "[{\"id\":1}]"), "succeeded", 3, false},
      {"rest_home_tl", -1, reply("401 Unauthorized", "application/json", "{\"error\":\"no\"}"), "failed", 3, true},
      {"rest_search", -1, "garbage\r\n\r\n", "failed", 3, true},
      {"rest_search", -1, reply("400 Bad Request", "application/json", "[1]"), "failed", 3, true},  // 400 is the first error
      {"sys_request", -1, reply("200 OK", "text/html", "oauth_token=t1&oauth_token_secret=s1"), "succeeded", 2, false},
      {"stream_filter", 0, "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", "keep-alive", 3, false},
      {"stream_filter", 1, "{\"id\":5}\r\n", "keep-alive", 3, false},
      {"stream_filter", 1, "", "keep-alive", 3, false},  // the stream's end: its last chunk
      {"ustream_user", 0, reply("420 Enhance Your Calm", "application/json", "[1,2]"), "failed", 3, true},
      // A stream answered by one whole reply ends with it.
      {"stream_sample", 0, reply("200 OK", "application/json", "{\"id\":1}"), "keep-alive", 3, false, true},
      {"stream_sample", 0, reply("200 OK", "application/json", "null"), "keep-alive", 3, false, true},
      // Messages that would read as the stream's end, or as nothing, are skipped.
      {"stream_filter", 1, "{\"id\":\r\n", nullptr, 0, false},
      {"stream_filter", 1, "null\r\n", nullptr, 0, false},
      {"stream_filter", 1, overCap(), nullptr, 0, false, false, kCapReason},
      // Within the memory bound: only the value cap refuses it.
      {"stream_filter", 1, overCap("", "1234567"), nullptr, 0, false, false, kCapReason},
      {"stream_filter", 1, overCap("/*\"*/", "1234567"), nullptr, 0, false, false, kCapReason},
      {"stream_filter", 1, overCap("//\"\n", "1234567"), nullptr, 0, false, false, kCapReason},
  };
  std::vector<std::string> logged;
  setScriptDebugLogSink([&](std::string_view line) { logged.emplace_back(line); });
  for (const auto& c : cases) {
    SCOPED_TRACE(c.data.substr(0, 80));
    TwiAPI api;
    api.setNotify({77});
    logged.clear();
    TwiAPI::Outcome out = respond(api, c.row, c.data, c.messageFlag);
    EXPECT_EQ(out.endsStream, c.endsStream);
    if (!c.result) {
      EXPECT_EQ(out.name, nullptr);
      EXPECT_FALSE(out.stop);
      ASSERT_EQ(logged.size(), 1u);
      EXPECT_EQ(logged[0].rfind(std::string(c.row) + ": stream message skipped: " + c.skipped, 0), 0u) << logged[0];
      continue;
    }
    ASSERT_NE(out.name, nullptr);
    EXPECT_STREQ(out.name, c.row);
    EXPECT_EQ(out.target, 77u);
    ASSERT_EQ(out.count, c.count);
    EXPECT_EQ(*out.values[0].asString(), c.result);
    EXPECT_EQ(out.values[1].asPointer(), reinterpret_cast<void*>(9));
    EXPECT_EQ(out.stop, c.stop);
    // Only the last chunk is nil: a stream's header block holds a table at least.
    if (c.count == 3) {
      EXPECT_EQ(out.values[2].isSet(), !(c.messageFlag == 1 && c.data.empty()));
    }
    if (c.messageFlag == 0 && std::string(c.result) == "keep-alive") {
      EXPECT_TRUE(out.values[2].isTable() || (out.values[2].json() && !out.values[2].json()->isNull()));
    }
  }
  setScriptDebugLogSink(nullptr);
}

TEST(TwiAPITest, ARequestWithoutItsReplyPostsWhy) {
  using F = qxnet::Failure;
  const struct {
    const char* row;
    F kind;
    bool afterReply;
    const char* reason;
  } cases[] = {
      {"sys_request", F::resolve, false, "cannot resolve host"},
      {"sys_access", F::refused, false, "connection refused"},
      {"rest_home_tl", F::untrusted, false, "certificate not trusted"},
      {"rest_home_tl", F::nameMismatch, false, "certificate name mismatch"},
      {"rest_search", F::timeout, false, "timed out"},
      {"rest_search", F::closed, false, "connection closed before the reply ended"},
      {"rest_update", F::sendFailed, false, "send failed"},
      {"stream_filter", F::refused, false, "connection refused"},
      {"stream_filter", F::closed, true, "stream ended: connection closed"},
      {"ustream_user", F::timeout, true, "stream ended: timed out"},
      {"ustream_user", F::malformed, true, "stream ended: malformed reply"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    TwiAPI api;
    api.setNotify({77});
    SockFailure why;
    why.kind = c.kind;
    why.afterReply = c.afterReply;
    TwiAPI::Outcome out;
    api.onFailure(9, findEndpoint(c.row), why, out);
    ASSERT_NE(out.name, nullptr);
    EXPECT_STREQ(out.name, c.row);
    EXPECT_EQ(out.target, 77u);
    ASSERT_EQ(out.count, 3u);
    EXPECT_EQ(*out.values[0].asString(), "failed");
    EXPECT_EQ(out.values[1].asPointer(), reinterpret_cast<void*>(9));
    LuaVar& v = out.values[2];
    ASSERT_TRUE(v.isTable());
    EXPECT_EQ(v.field("code").asInt(), 0);
    EXPECT_EQ(*v.field("response").asString(), c.reason);
    EXPECT_EQ(*v.field("error").asString(), c.reason);
    EXPECT_EQ(*v.field("request").asString(), "/" + std::string(findEndpoint(c.row).path));
  }
  // Bytes that hold no reply are the reply that is not HTTP.
  TwiAPI api;
  SockFailure garbage;
  garbage.kind = F::malformed;
  TwiAPI::Outcome out;
  api.onFailure(9, findEndpoint("rest_search"), garbage, out);
  EXPECT_EQ(*out.values[2].asString(), "HTTPレスポンス解釈失敗");
}

TEST(TwiAPITest, ValuesCarryTheBodyAndTheStatus) {
  TwiAPI api;
  TwiAPI::Outcome out =
      respond(api, "rest_mentions", reply("401 Unauthorized", "application/json", "{\"error\":\"no\"}"));
  ASSERT_TRUE(out.values[2].isTable());
  EXPECT_EQ(out.values[2].field("code").asInt(), 401);
  EXPECT_EQ(*out.values[2].field("response").asString(), "Unauthorized");
  EXPECT_EQ(*out.values[2].field("error").asString(), "no");
  EXPECT_EQ(*respond(api, "rest_mentions", "x").values[2].asString(), "HTTPレスポンス解釈失敗");
  EXPECT_NE(respond(api, "stream_sample", "{\"id\":5}\r\n", 1).values[2].json(), nullptr);
  EXPECT_TRUE(respond(api, "rest_public_tl", reply("200 OK", "application/json", "")).values[2].isTable());
}

TEST(TwiAPITest, HandshakeRepliesStoreTheTokenOnlyOnSuccess) {
  TwiAPI api;
  api.oauth().setToken("old", "oldsecret");
  respond(api, "sys_access", reply("401 Unauthorized", "text/html", "oauth_token=x&oauth_token_secret=y"));
  EXPECT_EQ(api.oauth().token(), "old");
  const std::string ok = reply("200 OK", "text/html", "oauth_token=acc&oauth_token_secret=accs&user_id=7");
  respond(api, "sys_access", ok);
  EXPECT_EQ(api.oauth().token(), "acc");
  EXPECT_EQ(api.oauth().tokenSecret(), "accs");
  // An ordinary row with the same body stores nothing.
  api.oauth().setToken("kept", "k");
  respond(api, "rest_home_tl", ok);
  EXPECT_EQ(api.oauth().token(), "kept");
}

TEST(HttpLogTest, EntriesAreCutAndTheFileRollsOver) {
  namespace fs = std::filesystem;
  char pattern[] = "/tmp/qx-httplog-XXXXXX";
  const fs::path dir = mkdtemp(pattern);
  const std::string log = (dir / "http_log.txt").string();
  auto read = [](const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return f ? std::string(std::istreambuf_iterator<char>(f), {}) : std::string("<none>");
  };
  ASSERT_TRUE(appendHttpLog(log, "short", 5));
  EXPECT_EQ(read(log), "short\r\n");
  const std::string huge(kHttpLogEntryMax + 10, 'h');
  ASSERT_TRUE(appendHttpLog(log, huge.data(), static_cast<uint32_t>(huge.size())));
  const std::string cut = huge.substr(0, kHttpLogEntryMax) + "\r\n[cut to 65536 of 65546 bytes]\r\n";
  EXPECT_EQ(read(log), "short\r\n" + cut);
  // Up to 1 MiB stays in one file; the write that would pass it starts a new one.
  while (fs::file_size(log) + cut.size() <= kHttpLogFileMax) {
    ASSERT_TRUE(appendHttpLog(log, huge.data(), static_cast<uint32_t>(huge.size())));
  }
  EXPECT_FALSE(fs::exists(log + ".1"));
  const std::string before = read(log);
  ASSERT_TRUE(appendHttpLog(log, huge.data(), static_cast<uint32_t>(huge.size())));
  EXPECT_TRUE(read(log + ".1") == before);
  EXPECT_TRUE(read(log) == cut);
  ASSERT_TRUE(appendHttpLog(log, "next", 4));
  // Only one older file is kept.
  std::ofstream(log, std::ios::app) << std::string(kHttpLogFileMax, 'z');
  ASSERT_TRUE(appendHttpLog(log, "third", 5));
  EXPECT_EQ(read(log), "third\r\n");
  EXPECT_TRUE(read(log + ".1").substr(0, cut.size() + 6) == cut + "next\r\n");
  // A write that ends exactly at 1 MiB still fits.
  fs::remove(log + ".1");
  std::ofstream(log, std::ios::trunc | std::ios::binary) << std::string(kHttpLogFileMax - 6, 'y');
  ASSERT_TRUE(appendHttpLog(log, "fits", 4));
  EXPECT_EQ(fs::file_size(log), kHttpLogFileMax);
  EXPECT_FALSE(fs::exists(log + ".1"));
  fs::remove_all(dir);
}

}  // namespace
