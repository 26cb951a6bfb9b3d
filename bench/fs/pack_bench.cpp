// Decoding speed of pack entries and raw bit reads.
#include <benchmark/benchmark.h>

#include <random>

#include "runtime/fs/pack_files.h"
#include "runtime/fs/pack_format.h"

namespace {

std::vector<uint8_t> sampleData(size_t n) {
  std::mt19937 rng(1);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(std::min(rng() % 256, rng() % 256));
  return v;
}

void BM_DecodeEntry(benchmark::State& state) {
  const auto data = sampleData(static_cast<size_t>(state.range(0)));
  const auto entry = qx::encodePackEntry(data.data(), data.size());
  std::vector<uint8_t> out(data.size());
  for (auto _ : state) {
    qx::BufPack pack;
    pack.open(std::make_unique<qx::BufFileCopy>(entry.data(), entry.size()));
    benchmark::DoNotOptimize(pack.read(out.data(), out.size()));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_DecodeEntry)->Arg(64 << 10)->Arg(1 << 20);

void BM_SeekBackIntoEntry(benchmark::State& state) {
  const auto data = sampleData(1 << 20);
  const auto entry = qx::encodePackEntry(data.data(), data.size());
  qx::BufPack pack;
  pack.open(std::make_unique<qx::BufFileCopy>(entry.data(), entry.size()));
  std::mt19937 rng(2);
  uint8_t buf[256];
  for (auto _ : state) {
    pack.seek(rng() % data.size());
    benchmark::DoNotOptimize(pack.read(buf, sizeof(buf)));
  }
}
BENCHMARK(BM_SeekBackIntoEntry);

void BM_ReadBits(benchmark::State& state) {
  const auto data = sampleData(1 << 20);
  for (auto _ : state) {
    qx::ibitstream in(std::make_unique<qx::BufFileCopy>(data.data(), data.size()));
    uint32_t sum = 0;
    for (size_t i = 0; i < data.size() * 8 / 13; ++i) sum += in.readBits(13);
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_ReadBits);

void BM_EncodeEntry(benchmark::State& state) {
  const auto data = sampleData(1 << 20);
  for (auto _ : state) benchmark::DoNotOptimize(qx::encodePackEntry(data.data(), data.size()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_EncodeEntry);

}  // namespace
