// Glyph rasterising into pages against bare FreeType rendering the same glyphs at the
// same size (the limit), glyph lookups that hit the cache, and lines laid out. Pages here
// live in memory (no device), so uploads cost nothing.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

#include "hud/text/font_context.h"
#include "hud/text/text_place.h"
#include "platform/font/ft_reference.h"

namespace {

using namespace hudtext;

constexpr uint32_t kFirst = 0x4E00, kGlyphs = 2000;  // CJK ideographs, all in IPA Gothic

const qxfont::FontRef& benchFont() {
  static qxfont::FontRef f = sharedFonts().defaultFont;
  return f;
}

void BM_RasteriseIntoPages(benchmark::State& state) {
  const uint32_t flags = uint32_t(state.range(0));
  for (auto _ : state) {
    GlyphCache cache(benchFont(), flags);
    for (uint32_t cp = kFirst; cp < kFirst + kGlyphs; ++cp) benchmark::DoNotOptimize(cache.glyph(cp));
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kGlyphs);
}
BENCHMARK(BM_RasteriseIntoPages)->Arg(6)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_BareFreeType(benchmark::State& state) {
  const bool mono = state.range(0) == 1;
  const qxfont::Font& f = *benchFont();
  qxfont::FreeTypeReference ft(f.filePath(), f.xPpem64(), f.yPpem64());
  if (!ft.ok()) state.SkipWithError("the font file does not open");
  for (auto _ : state) {
    uint32_t sum = 0;
    for (uint32_t cp = kFirst; cp < kFirst + kGlyphs; ++cp) sum += ft.render(cp, mono);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kGlyphs);
}
BENCHMARK(BM_BareFreeType)->Arg(6)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_CacheHitLookups(benchmark::State& state) {
  U32String text;
  for (uint32_t i = 0; i < 1000; ++i) text.push_back(char32_t(i % 3 ? U'a' + i % 26 : kFirst + i % 97));
  GlyphLayout layout;
  kesto::SyncloGuard lock(sharedFonts().lock);
  drawElem(layout, benchFont(), 6, text);  // warm
  for (auto _ : state) {
    layout.clear();
    drawElem(layout, benchFont(), 6, text);
    benchmark::DoNotOptimize(layout.slots.data());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_CacheHitLookups);

void BM_LayoutLines(benchmark::State& state) {
  U32String text;
  const int lines = 200;
  for (int i = 0; i < lines; ++i) text += U"The quick brown fox 世界 jumps over the lazy dog %d\n";
  GlyphLayout layout;
  kesto::SyncloGuard lock(sharedFonts().lock);
  const FontKey key = drawElem(layout, benchFont(), 6, text);
  for (auto _ : state) {
    auto size = layoutText(layout, key, text, {0, 0, 200, 100000}, 0, true);
    benchmark::DoNotOptimize(size);
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * lines);
}
BENCHMARK(BM_LayoutLines);

// Prints, after the table, how far rasterising into pages is from bare FreeType.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      auto it = r.counters.find("items_per_second");
      if (it != r.counters.end()) rates[r.benchmark_name()] = it->second;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> rates;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const char* format : {"6", "1"}) {
    const double ours = reporter.rates[std::string("BM_RasteriseIntoPages/") + format];
    const double ft = reporter.rates[std::string("BM_BareFreeType/") + format];
    if (ft > 0 && ours > 0)
      std::printf("glyph format %s: bare FreeType is %.2fx as fast as rasterising into pages (goal: at most 1.5x)\n",
                  format, ft / ours);
  }
  benchmark::Shutdown();
  return 0;
}
