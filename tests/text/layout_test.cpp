#include <gtest/gtest.h>

#include "hud/text/text_place.h"
#include "tests/text/text_fixture.h"

namespace {

using namespace hudtext;
using texttest::cachedMono;

// Glyphs of the mono font advance 6 pixels and lines are 12 high.
struct Placed {
  GlyphLayout layout;
  FontKey key;
  explicit Placed(const U32String& text) : key(cachedMono(text, &layout)) {}
  std::vector<std::pair<float, float>> corners() const {
    std::vector<std::pair<float, float>> out;
    for (const PageBatch& b : layout.batches)
      for (size_t i = 0; i < b.vertices.size(); i += 4) out.emplace_back(b.vertices[i].x, b.vertices[i].y);
    return out;
  }
};

TEST(Layout, MeasuresLinesAndRuns) {
  const U32String twenty(20, U'x');
  const FontKey key = cachedMono(twenty + U"ab\r");
  // Each row: key (0: the cached font), text, limit, then the width and length measured.
  // A code point the cache never saw measures as a blank; an unknown key as nothing.
  const struct {
    FontKey key;
    U32String text;
    int32_t limit;
    std::pair<int32_t, int32_t> line;
  } lines[] = {{0, twenty, 60, {60, 10}},     {0, twenty, 59, {60, 10}},        {0, twenty, INT32_MAX, {120, 21}},
               {0, U"ab\rx", INT32_MAX, {12, 3}}, {0, U"ab\nx", INT32_MAX, {12, 3}},  {0, U"", 0, {0, 0}},
               {0x1234, U"ab", 100, {0, 0}},  {0, U"a\u4E01b", INT32_MAX, {12, 4}}};
  for (const auto& c : lines)
    EXPECT_EQ(measureLine(c.key ? c.key : key, c.text.c_str(), c.limit), c.line) << c.limit;
  using Run = std::pair<int32_t, int32_t>;
  EXPECT_EQ(std::make_tuple(measureRun(key, U"abx"), measureRun(key, U"a\u4E01"), measureRun(0x1234, U"ab")),
            std::make_tuple(Run{12, 18}, Run{6, 6}, Run{-1, -1}));
}

TEST(Layout, Placers) {
  const FontKey key = cachedMono(U"abcde");
  // Alignment 3 is outside the table: the first entry.
  EXPECT_EQ(std::make_tuple(placerH(0).offset(key, U"abcde", 101), placerH(1).offset(key, U"abcde\nzz", 101),
                            placerH(2).offset(key, U"abcde", 101), placerH(3).offset(key, U"abcde", 101)),
            std::make_tuple(0, 35, 71, 0));
  EXPECT_EQ(placerH(1).offset(0x1234, U"abcde", 101), 50);
  EXPECT_EQ(std::make_tuple(placerV(1 << 2).offset(U"a\nb", 12, 101), placerV(2 << 2).offset(U"a\nb", 12, 101),
                            placerV(3 << 2).offset(U"a\nb", 12, 101), placerV(2 << 2 | 1).offset(U"", 12, 100)),
            std::make_tuple(50 - 12, 101 - 24, 0, 88));
}

TEST(Layout, WrapsAtTheWidthLimit) {
  const U32String twenty(20, U'x');
  Placed p(twenty);
  EXPECT_EQ(layoutText(p.layout, p.key, twenty, {10, 20, 70, 500}, 0, true), std::make_pair(60, 36));
  auto c = p.corners();
  ASSERT_EQ(c.size(), 20u);
  EXPECT_EQ(c[0], std::make_pair(10.0f, 20.0f));
  EXPECT_EQ(c[9], std::make_pair(64.0f, 20.0f));
  EXPECT_EQ(c[10], std::make_pair(10.0f, 32.0f));

  for (auto [text, size] : {std::pair{U32String(U"ab"), std::pair{12, 12}}, {U"ab\n", {12, 24}}, {U"", {0, 12}},
                            {U"abc\nd", {18, 24}}}) {
    Placed q(text);
    EXPECT_EQ(layoutText(q.layout, q.key, text, {0, 0, 100, 100}, 0, false), size);
  }
  // A piece cut at the limit right before its line feed keeps it: no line of its own.
  for (auto [text, size] : {std::pair{U32String(U"abcdefghij\nk"), std::pair{60, 24}}, {U"abcdefghijkl\nm", {60, 36}}}) {
    Placed q(text);
    EXPECT_EQ(layoutText(q.layout, q.key, text, {0, 0, 60, 100}, 0, true), size);
  }
  // Without a cache nothing is consumed: one empty piece, and measuring ends.
  GlyphLayout none;
  EXPECT_EQ(layoutText(none, 0x1234, U"abc", {0, 0, 100, 100}, 0, true), std::make_pair(0, 0));
}

TEST(Layout, AlignedPlacementSkipsWhatFallsOutside) {
  Placed p(U"ab\nabcdef");
  // centred both ways in a 24 x 100 box: line 1 at x 6, line 2 (36 wide) at x -6
  ASSERT_TRUE(placeText(p.layout, U"ab\nabcdef", p.key, {0, 0, 24, 100}, 1 | 1 << 2, false));
  auto c = p.corners();
  ASSERT_EQ(c.size(), 7u);  // a, b, LF; then b, c, d, e of the second line
  EXPECT_EQ(c[0], std::make_pair(6.0f, 38.0f));
  EXPECT_EQ(c[3], std::make_pair(0.0f, 50.0f));
  EXPECT_EQ(c[6], std::make_pair(18.0f, 50.0f));
  // Too low a box stops placing with code points left.
  EXPECT_FALSE(placeText(p.layout, U"ab\nabcdef", p.key, {0, 0, 100, 11}, 0, false));
  EXPECT_EQ(p.corners().size(), 3u);
  EXPECT_TRUE(placeText(p.layout, U"ab\nabcdef", p.key, {0, 0, 100, 13}, 0, false));  // the last line may overhang
}

TEST(Layout, PlainPlacementEndsAtAGlyphWiderThanTheBoxAndNeedsALayoutOfTheText) {
  Placed p(U"ab");
  EXPECT_FALSE(placeText(p.layout, U"ab", p.key, {0, 0, 5, 60}, 0, true));
  EXPECT_TRUE(p.corners().empty());
  EXPECT_TRUE(placeText(p.layout, U"", p.key, {0, 0, 5, 60}, 0, true));
  GlyphLayout empty;
  EXPECT_FALSE(placeText(empty, U"ab", 0, {0, 0, 100, 100}, 0, false));
}

TEST(Layout, WindowEmitsTheTextInsideIt) {
  const U32String text = U"abc\ndef\nghi";
  Placed p(text);
  for (auto& b : p.layout.batches) b.vertices.clear(), b.uvs.clear();
  drawTextWindow(p.layout, text, {0, 12, 12, 24, 6, 0, 0});
  auto c = p.corners();
  ASSERT_EQ(c.size(), 2u);  // e and f, shifted back by the offset
  EXPECT_EQ(c[0], std::make_pair(0.0f, 12.0f));
  EXPECT_EQ(c[1], std::make_pair(6.0f, 12.0f));
  for (auto& b : p.layout.batches) b.vertices.clear();
  drawTextWindow(p.layout, text, {0, 12, 12, 24, 6, 0, 2 | 1});  // one line up, one cell left
  EXPECT_EQ(p.corners().size(), 6u);
  for (auto& b : p.layout.batches) b.vertices.clear();
  drawTextWindow(p.layout, text, {0, 40, 12, 60, 0, 0, 0});
  EXPECT_TRUE(p.corners().empty());
}

}  // namespace

namespace {

// A layout made by hand: every code point advances 5 pixels on page batch 0.
hudtext::GlyphLayout handLayout(size_t n, int32_t lineHeight) {
  hudtext::GlyphLayout l;
  l.batches.resize(1);
  l.slots.assign(n, hudtext::GlyphSlot{5, 0});
  l.uvQuads.resize(n);
  l.cellWidth = 5;
  l.lineHeight = lineHeight;
  return l;
}

}  // namespace

TEST(Layout, PlainPlacingGoesOnWhileLinesProgress) {
  // Lines of no height still place every line that makes progress; a code point too wide
  // for the box stops the placing, reported as incomplete.
  const struct {
    U32String text;
    int32_t lineHeight, boxWidth;
    bool complete;
    size_t quads;
  } cases[] = {{U"ab\ncd\ne", 0, 100, true, 7}, {U"ab\ncd", 4, 100, true, 5}, {U"ab\ncd", 4, 4, false, 0}};
  for (const auto& c : cases) {
    hudtext::GlyphLayout l = handLayout(c.text.size(), c.lineHeight);
    EXPECT_EQ(hudtext::placeText(l, c.text, 0, {0, 0, c.boxWidth, 40}, 0, true), c.complete) << c.lineHeight;
    EXPECT_EQ(l.batches[0].vertices.size() / 4, c.quads) << c.lineHeight;
  }
}
