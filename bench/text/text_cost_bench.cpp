// Costs that must stay linear in the text: wrapping one long paragraph, and the selection
// rectangles of a text of many rows. Each runs at two sizes beside its floor, one pass
// measuring the same code points; the ratios, printed after the table, stay flat.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <tuple>

#include "hud/text/font_context.h"
#include "hud/text/text_place.h"
#include "hud/widget/hud_text.h"

namespace {

using namespace hudtext;

// A paragraph of n code points, ASCII: n bytes as UTF-8.
U32String paragraph(size_t n) {
  const std::u32string_view words = U"lorem ipsum dolor sit amet consectetur adipiscing elit ";
  U32String t;
  while (t.size() < n) t += words;
  t.resize(n);
  return t;
}

void BM_WrapParagraph(benchmark::State& state) {
  const U32String text = paragraph(size_t(state.range(0)) << 10);
  GlyphLayout layout;
  kesto::SyncloGuard lock(sharedFonts().lock);
  const FontKey key = drawElem(layout, sharedFonts().defaultFont, 1, text);
  for (auto _ : state) benchmark::DoNotOptimize(layoutText(layout, key, text, {0, 0, 400, 0}, 0, true));
}
BENCHMARK(BM_WrapParagraph)->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond);

// The floor: the paragraph measured as one line, one glyph-cache lookup per code point.
void BM_WrapParagraphFloor(benchmark::State& state) {
  const U32String text = paragraph(size_t(state.range(0)) << 10);
  GlyphLayout layout;
  kesto::SyncloGuard lock(sharedFonts().lock);
  const FontKey key = drawElem(layout, sharedFonts().defaultFont, 1, text);
  for (auto _ : state) benchmark::DoNotOptimize(measureLine(key, text.c_str(), INT32_MAX));
}
BENCHMARK(BM_WrapParagraphFloor)->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond);

std::u16string manyRows(int64_t rows) {
  std::u16string t;
  for (int64_t i = 0; i < rows; ++i) t += u"row of text\n";
  return t;
}

void BM_SelRects(benchmark::State& state) {
  hudwidget::HUDText text;
  text.setText(manyRows(state.range(0)), 1);
  const int32_t n = text.getNText();
  text.selRects(0, 1);  // lays the text out
  for (auto _ : state) benchmark::DoNotOptimize(text.selRects(1, n - 1));
}
BENCHMARK(BM_SelRects)->Arg(25000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The floor: the whole text measured as one run.
void BM_SelRectsFloor(benchmark::State& state) {
  hudwidget::HUDText text;
  text.setText(manyRows(state.range(0)), 1);
  text.selRects(0, 1);
  for (auto _ : state) benchmark::DoNotOptimize(measureRun(text.fontKey(), text.text()));
}
BENCHMARK(BM_SelRectsFloor)->Arg(25000)->Arg(100000)->Unit(benchmark::kMillisecond);

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) times[r.benchmark_name()] = r.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  // Linear costs keep the same ratio to their floor at every size.
  for (auto [what, ours, floor] :
       {std::tuple{"wrapping a paragraph of 256 KB", "BM_WrapParagraph/256", "BM_WrapParagraphFloor/256"},
        {"wrapping a paragraph of 1 MB", "BM_WrapParagraph/1024", "BM_WrapParagraphFloor/1024"},
        {"selection rectangles of 25000 rows", "BM_SelRects/25000", "BM_SelRectsFloor/25000"},
        {"selection rectangles of 100000 rows", "BM_SelRects/100000", "BM_SelRectsFloor/100000"}}) {
    const double a = reporter.times[ours], b = reporter.times[floor];
    if (a > 0 && b > 0) std::printf("%s takes %.1fx one pass over its code points\n", what, a / b);
  }
  benchmark::Shutdown();
  return 0;
}
