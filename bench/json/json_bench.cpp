// Parsing a 1 MB timeline (200 statuses with nested users and UTF-8 text) with the engine's
// reader and with jsoncpp, side by side. The engine's reader keeps strings escaped until
// they are read, so a third case also decodes every key and string, as turning the tree
// into script values does.
#include <benchmark/benchmark.h>
#include <json/json.h>

#include <memory>
#include <string>

#include "platform/core/smalloc.h"
#include "runtime/json/json.h"

namespace {

std::string status(int i, size_t padding) {
  const std::string n = std::to_string(i);
  const std::string id = std::to_string(1234567890123456789LL + i);
  std::string pad;
  while (pad.size() < padding) pad += "\xE3\x81\x93\xE3\x82\x93\xE3\x81\xAB\xE3\x81\xA1\xE3\x81\xAF world ";
  std::string s;
  s += "{\"created_at\": \"Tue Mar 13 0" + std::to_string(i % 10) + ":12:34 +0000 2012\", ";
  s += "\"id\": " + id + ", \"id_str\": \"" + id + "\", ";
  s += "\"text\": \"\xE4\xBB\x8A\xE6\x97\xA5\xE3\x81\xAF\xE3\x81\x84\xE3\x81\x84\xE5\xA4\xA9\xE6\xB0\x97 #" + n +
       " \\u3042\\u3044 \\\"quoted\\\"\\nsecond line @user" + n + " http:\\/\\/t.co\\/abc" + n + "\", ";
  s += "\"source\": \"<a href=\\\"http:\\/\\/example.com\\\" rel=\\\"nofollow\\\">client<\\/a>\", ";
  s += "\"truncated\": false, \"in_reply_to_status_id\": null, \"in_reply_to_user_id\": null, ";
  s += "\"retweet_count\": " + std::to_string(i * 7) + ", \"favorited\": false, \"retweeted\": false, ";
  s += "\"geo\": null, \"coordinates\": {\"type\": \"Point\", \"coordinates\": [139.6917" + n + ", 35.6895" + n + "]}, ";
  s += "\"entities\": {\"hashtags\": [{\"text\": \"" + n + "\", \"indices\": [10, 13]}], ";
  s += "\"urls\": [{\"url\": \"http:\\/\\/t.co\\/abc" + n + "\", \"expanded_url\": null, \"indices\": [40, 60]}], ";
  s += "\"user_mentions\": [{\"screen_name\": \"user" + n + "\", \"name\": \"\xE5\x90\x8D\xE5\x89\x8D\", \"id\": " + n +
       ", \"indices\": [30, 38]}]}, ";
  s += "\"user\": {\"id\": " + std::to_string(100000 + i) + ", \"id_str\": \"" + std::to_string(100000 + i) + "\", ";
  s += "\"name\": \"\xE3\x83\xA6\xE3\x83\xBC\xE3\x82\xB6\xE3\x83\xBC " + n + "\", \"screen_name\": \"user" + n + "\", ";
  s += "\"location\": \"\xE6\x9D\xB1\xE4\xBA\xAC\", \"description\": \"" + pad + "\", ";
  s += "\"url\": null, \"protected\": false, \"followers_count\": " + std::to_string(i * 31) +
       ", \"friends_count\": 12, \"listed_count\": 3, \"favourites_count\": 99, \"utc_offset\": 32400, ";
  s += "\"time_zone\": \"Tokyo\", \"geo_enabled\": true, \"verified\": false, \"statuses_count\": 4567, ";
  s += "\"lang\": \"ja\", \"profile_background_color\": \"C0DEED\", \"profile_text_color\": \"333333\", ";
  s += "\"profile_image_url\": \"http:\\/\\/a0.twimg.com\\/profile_images\\/" + n + "\\/normal.png\", ";
  s += "\"default_profile\": true, \"score\": " + std::to_string(i) + ".25e-1}}";
  return s;
}

const std::string& timeline() {
  static const std::string doc = [] {
    constexpr size_t kTarget = 1 << 20;
    size_t base = 2;
    for (int i = 0; i < 200; ++i) base += status(i, 0).size() + 2;
    const size_t padding = base < kTarget ? (kTarget - base) / 200 : 0;
    std::string d = "[";
    for (int i = 0; i < 200; ++i) d += (i ? ",\n" : "") + status(i, padding);
    d += "]";
    return d;
  }();
  return doc;
}

void decodeAll(const JSONValue& v, size_t& bytes) {
  if (v.hasKey()) bytes += v.keyUtf8().size();
  if (v.tag() == JSONType::String) bytes += v.asUtf8().size();
  for (const JSONValue& k : v.children()) decodeAll(k, bytes);
}

void BM_ParseEngineReader(benchmark::State& state) {
  const std::string& doc = timeline();
  for (auto _ : state) {
    JSONValue v;
    JSONParseResult r = jsonParse(doc, v);
    if (!r.ok() || v.size() != 200) state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(v);
  }
  JSONValue v;
  jsonParse(doc, v);
  state.counters["string_bytes"] = static_cast<double>(jsonStringPool()->liveBytes.load());
  state.counters["nodes"] = static_cast<double>(v.countNodes());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.size()));
}
BENCHMARK(BM_ParseEngineReader)->Unit(benchmark::kMillisecond);

void BM_ParseEngineReaderAndDecode(benchmark::State& state) {
  const std::string& doc = timeline();
  for (auto _ : state) {
    JSONValue v;
    jsonParse(doc, v);
    size_t bytes = 0;
    decodeAll(v, bytes);
    benchmark::DoNotOptimize(bytes);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.size()));
}
BENCHMARK(BM_ParseEngineReaderAndDecode)->Unit(benchmark::kMillisecond);

void BM_ParseJsoncpp(benchmark::State& state) {
  const std::string& doc = timeline();
  Json::CharReaderBuilder builder;
  builder["collectComments"] = false;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  for (auto _ : state) {
    Json::Value v;
    std::string errors;
    if (!reader->parse(doc.data(), doc.data() + doc.size(), &v, &errors) || v.size() != 200)
      state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(v);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.size()));
}
BENCHMARK(BM_ParseJsoncpp)->Unit(benchmark::kMillisecond);

void BM_WritePretty(benchmark::State& state) {
  JSONValue v;
  jsonParse(timeline(), v);
  for (auto _ : state) {
    std::string out;
    jsonWritePretty(out, v);
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(BM_WritePretty)->Unit(benchmark::kMillisecond);

}  // namespace
