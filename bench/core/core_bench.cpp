// Costs of the lowest layer: the spin lock, CRC-32, HMAC-SHA1, UTF conversion, profiler sections.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/core/core.h"
#include "runtime/core/profiler.h"
#include "runtime/core/synclo.h"

static void BM_SyncloUncontended(benchmark::State& state) {
  kesto::Synclo s;
  for (auto _ : state) {
    s.lock(true);
    s.unlock();
  }
}
BENCHMARK(BM_SyncloUncontended);

static void BM_SyncloContended(benchmark::State& state) {
  static kesto::Synclo s;
  static long counter = 0;
  for (auto _ : state) {
    s.lock(true);
    benchmark::DoNotOptimize(++counter);
    s.unlock();
  }
}
BENCHMARK(BM_SyncloContended)->Threads(4);

static void BM_Crc32(benchmark::State& state) {
  std::string data(state.range(0), 'x');
  for (auto _ : state) benchmark::DoNotOptimize(GetMemCRC32(data.data(), data.size()));
  state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Crc32)->Arg(44)->Arg(64 << 10);

static void BM_HmacSha1Signature(benchmark::State& state) {
  std::string key(80, 'k'), base(600, 'b');
  uint8_t digest[20];
  for (auto _ : state) {
    HMAC_SHA1(digest, key.data(), key.size(), base.data(), base.size());
    benchmark::DoNotOptimize(digest);
  }
}
BENCHMARK(BM_HmacSha1Signature);

static void BM_Utf8ToUtf16(benchmark::State& state) {
  std::string text;
  for (int i = 0; i < 100; ++i) text += "timeline \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E ";
  for (auto _ : state) benchmark::DoNotOptimize(qcore::utf8ToUtf16(text));
  state.SetBytesProcessed(int64_t(state.iterations()) * text.size());
}
BENCHMARK(BM_Utf8ToUtf16);

static void BM_ProfilerSection(benchmark::State& state) {
  Profiler p;
  p.beginFrame();
  for (auto _ : state) {
    p.beginSample("MAIN");
    p.endSample("MAIN");
  }
  p.endFrame();
}
BENCHMARK(BM_ProfilerSection);
