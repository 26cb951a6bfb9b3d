// Stream messages of about 2 KB (one status each) through the stream framer and the JSON
// reader, the way a streaming connection's worker sees them; and whole replies through
// the plain framer and the response parser.
#include <benchmark/benchmark.h>

#include "net/http/json_body.h"
#include "net/values/body_values.h"

#include <cstdio>
#include <string>

#include "net/http/header_chk.h"
#include "net/http/http_response.h"
#include "net/http/term_chk.h"
#include "runtime/json/json_reader.h"

namespace {

std::string statusJson(int id) {
  std::string text = "Streaming \xE3\x81\x82\xE3\x81\x84\xE3\x81\x86 status number " + std::to_string(id);
  std::string s = "{\"created_at\":\"Sun Nov 06 08:49:37 +0000 1994\",\"id\":" + std::to_string(100000000 + id) +
                  ",\"id_str\":\"" + std::to_string(100000000 + id) + "\",\"text\":\"" + text +
                  "\",\"source\":\"<a href=\\\"http://example.com\\\">client</a>\",\"truncated\":false,"
                  "\"in_reply_to_status_id\":null,\"favorited\":false,\"retweet_count\":3,"
                  "\"entities\":{\"hashtags\":[{\"text\":\"tag\",\"indices\":[1,4]}],\"urls\":[],"
                  "\"user_mentions\":[]},\"user\":{\"id\":42,\"name\":\"Someone\",\"screen_name\":\"someone\","
                  "\"location\":\"Tokyo\",\"description\":\"";
  while (s.size() < 1900) s += "a long profile description ";
  s += "\",\"followers_count\":1234,\"friends_count\":321,\"verified\":false,\"lang\":\"ja\"}}";
  return s;
}

std::string chunked(const std::string& data) {
  char size[16];
  std::snprintf(size, sizeof size, "%zx\r\n", data.size());
  return size + data + "\r\n";
}

const int kMessages = 256;

const std::string& streamBytes() {
  static const std::string s = [] {
    std::string out = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (int i = 0; i < kMessages; ++i) {
      out += chunked(statusJson(i) + "\r\n");
      if (i % 16 == 0) out += chunked("\r\n");  // keep-alive
    }
    return out + "0\r\n\r\n";
  }();
  return s;
}

// Feeds like a worker with a 64 KB receive buffer; calls onMessage for each stream message.
template <class F>
void feedStream(IHeaderCheck& f, const std::string& bytes, F&& onMessage) {
  size_t pos = 0;
  std::string pending;
  while (pos < bytes.size()) {
    size_t n = std::min<size_t>(65536, bytes.size() - pos);
    pending.append(bytes, pos, n);
    pos += n;
    size_t off = 0;
    for (;;) {
      int c = f.feed(pending.data() + off, static_cast<int>(pending.size() - off));
      off += static_cast<size_t>(c);
      int st = f.state();
      if (st == IHeaderCheck::kComplete || st == IHeaderCheck::kLast) {
        FramedData d = f.buffered();
        if (d.data) onMessage(d);
        f.reset();
        if (st == IHeaderCheck::kLast) return;
      } else if (st == IHeaderCheck::kSkip) {
        f.reset();
      } else if (st == IHeaderCheck::kError || c == 0 || off == pending.size()) {
        break;
      }
    }
    pending.erase(0, off);
  }
}

void BM_StreamFrameOnly(benchmark::State& state) {
  const std::string& bytes = streamBytes();
  for (auto _ : state) {
    auto f = HTTPHeaderChk::makeStream();
    int count = 0;
    feedStream(*f, bytes, [&](const FramedData&) { ++count; });
    if (count != kMessages + 1) state.SkipWithError("lost messages");  // + the header block
  }
  state.SetItemsProcessed(state.iterations() * kMessages);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_StreamFrameOnly);

// Framing plus reading each message into a JSON tree (what is handed on to scripts).
void BM_StreamFrameAndParse(benchmark::State& state) {
  const std::string& bytes = streamBytes();
  for (auto _ : state) {
    auto f = HTTPHeaderChk::makeStream();
    int count = 0;
    bool header = true;
    feedStream(*f, bytes, [&](const FramedData& d) {
      if (header) {
        HTTPResponse r;
        benchmark::DoNotOptimize(r.parse(std::string_view(d.data, d.length)));
        header = false;
        return;
      }
      // framed, parsed and converted to the script value a game object receives
      JSONBody body;
      if (body.parse(d.data, d.length) == 0) return;
      LuaVar value;
      takeScriptValue(body, value);
      if (value.kind() == LuaVar::kJSON) ++count;
    });
    if (count != kMessages) state.SkipWithError("lost messages");
  }
  state.SetItemsProcessed(state.iterations() * kMessages);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_StreamFrameAndParse);

// A whole 64-status timeline reply: framed by Content-Length and parsed with its body.
void BM_TimelineReply(benchmark::State& state) {
  std::string body = "[";
  for (int i = 0; i < 64; ++i) body += (i ? "," : "") + statusJson(i);
  body += "]";
  std::string reply = "HTTP/1.1 200 OK\r\nContent-Type: application/json; charset=utf-8\r\nContent-Length: " +
                      std::to_string(body.size()) + "\r\nDate: Sun, 06 Nov 1994 08:49:37 GMT\r\n\r\n" + body;
  for (auto _ : state) {
    HTTPTermChk f(false);
    size_t pos = 0;
    while (f.state() == IHeaderCheck::kNeedMore && pos < reply.size()) {
      int n = static_cast<int>(std::min<size_t>(65536, reply.size() - pos));
      pos += static_cast<size_t>(f.feed(reply.data() + pos, n));
    }
    FramedData d = f.buffered();
    HTTPResponse r;
    benchmark::DoNotOptimize(r.parse(std::string_view(d.data, d.length)));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(reply.size()));
}
BENCHMARK(BM_TimelineReply);

}  // namespace
