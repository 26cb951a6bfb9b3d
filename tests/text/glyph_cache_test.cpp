#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "platform/core/checksum.h"
#include "tests/text/text_fixture.h"

namespace {

using namespace hudtext;
using texttest::monoFont;

TEST(Font, FileLoadedExplicitlyHasStableMetrics) {
  qxfont::FontRef f = monoFont();
  const qxfont::TextMetric& m = f->textMetrics();
  EXPECT_EQ(m.tmHeight, 12);
  EXPECT_EQ(m.tmAscent, 10);
  EXPECT_EQ(m.tmDescent, 2);
  EXPECT_EQ(m.tmInternalLeading, 2);
  EXPECT_EQ(m.tmAveCharWidth, 6);
  EXPECT_EQ(m.tmMaxCharWidth, 6);
  EXPECT_EQ(m.tmWeight, 400);
  EXPECT_EQ(f->faceName(), u"DejaVu Sans Mono");
  EXPECT_EQ(f->textExtent(u"abc").cx, 18);
  EXPECT_EQ(f->textExtent(u"abc").cy, 12);
  const qxfont::AbcWidth upper = f->abcWidths(0x20001);  // a surrogate pair is one glyph
  EXPECT_EQ(f->textExtent(u"\U00020001").cx, upper.abcA + int32_t(upper.abcB) + upper.abcC);
  EXPECT_EQ(f->textExtent(u"\xD840").cx + f->textExtent(u"\xDC01").cx, 2 * f->textExtent(u"\U00020001").cx);
  // A negative height is the em height: the cell grows around it.
  qxfont::FontRef em = monoFont(-12);
  EXPECT_EQ(em->textMetrics().tmHeight, 14);
  EXPECT_EQ(em->textMetrics().tmHeight - em->textMetrics().tmInternalLeading, 12);
  const qxfont::AbcWidth abc = f->abcWidths(U'W');
  EXPECT_EQ(abc.abcA + int32_t(abc.abcB) + abc.abcC, 6);
  EXPECT_GT(abc.abcB, 0u);
}

TEST(Font, DefaultFontIsIpaGothicTwelveHighAndMadeQuietly) {
  testing::internal::CaptureStderr();
  qxfont::FontRef f = createDefaultFont();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  ASSERT_TRUE(f);
  EXPECT_EQ(f->faceName(), u"IPAGothic");
  EXPECT_EQ(f->textMetrics().tmHeight, 12);
  EXPECT_EQ(f->textMetrics().tmAveCharWidth, 8);
  EXPECT_EQ(sharedFonts().defaultKey, makeFontKeyShared(f, 1));
}

TEST(Font, BitmapRowsArePaddedToFourBytes) {
  qxfont::FontRef f = monoFont(24);
  qxfont::GlyphMetrics mono, grey;
  // The same glyph asked in two formats in a row gives each its own bitmap.
  const int64_t monoSize = f->glyphOutline(U'W', qxfont::GGO_BITMAP, mono, nullptr, 0);
  const int64_t greySize = f->glyphOutline(U'W', qxfont::GGO_GRAY2_BITMAP, grey, nullptr, 0);
  ASSERT_GT(mono.gmBlackBoxX, 4u);
  EXPECT_EQ(monoSize, int64_t(4 * mono.gmBlackBoxY));
  EXPECT_EQ(greySize, int64_t((grey.gmBlackBoxX + 3) / 4 * 4 * grey.gmBlackBoxY));
  std::vector<uint8_t> bits(static_cast<size_t>(greySize));
  ASSERT_EQ(f->glyphOutline(U'W', qxfont::GGO_GRAY2_BITMAP, grey, bits.data(), bits.size()), greySize);
  EXPECT_EQ(*std::max_element(bits.begin(), bits.end()), 4);
  EXPECT_EQ(f->glyphOutline(U'W', qxfont::GGO_NATIVE, grey, nullptr, 0), 0);
  EXPECT_EQ(grey.gmCellIncX, 13);
  // Enumeration reports the upright face.
  std::optional<qxfont::LogFont> sans = qxfont::enumOutlineFace(u"DejaVu Sans");
  ASSERT_TRUE(sans);
  EXPECT_EQ(sans->lfItalic, 0);
  EXPECT_EQ(sans->lfFaceName, u"DejaVu Sans");
}

TEST(Font, BoldOfARegularFaceIsSynthesised) {
  qxfont::LogFont lf;
  lf.lfHeight = 12;
  lf.lfWeight = qxfont::FW_BOLD;
  qxfont::FontRef bold = qxfont::createFontFromFile(texttest::kMonoFile, lf);
  ASSERT_TRUE(bold);
  EXPECT_EQ(bold->textMetrics().tmWeight, 700);
  EXPECT_EQ(bold->textExtent(u"a").cx, 7);
  qxfont::GlyphMetrics gb, gr;
  bold->glyphOutline(U'l', qxfont::GGO_GRAY8_BITMAP, gb, nullptr, 0);
  monoFont()->glyphOutline(U'l', qxfont::GGO_GRAY8_BITMAP, gr, nullptr, 0);
  EXPECT_EQ(gb.gmBlackBoxX, gr.gmBlackBoxX + 1);
}

TEST(Font, JapaneseFaceNamesReachIpaGothic) {
  for (const char16_t* face : {u"ＭＳ ゴシック", u"MS Gothic"}) {
    std::optional<qxfont::LogFont> lf = qxfont::enumOutlineFace(face);
    ASSERT_TRUE(lf);
    EXPECT_EQ(lf->lfFaceName, u"IPAGothic");
  }
  EXPECT_FALSE(qxfont::enumOutlineFace(u"No Such Face QX"));
  // Any of a face's family names finds it, not only the first.
  std::optional<qxfont::LogFont> local = qxfont::enumOutlineFace(u"IPAゴシック");
  ASSERT_TRUE(local);
  EXPECT_EQ(local->lfFaceName, u"IPAGothic");
  qxfont::FontRef m = matchFont(8, 12, u"MS Gothic");
  ASSERT_TRUE(m);
  EXPECT_EQ(m->textMetrics().tmHeight, 12);
  EXPECT_EQ(m->textMetrics().tmAveCharWidth, 8);
  EXPECT_EQ(m->textMetrics().tmAscent, 10);
  EXPECT_EQ(m->textMetrics().tmInternalLeading, 1);  // the cell is the face's win ascent + descent
  EXPECT_NE(m->glyphIndex(U'世'), 0u);
  EXPECT_FALSE(matchFont(8, 12, u"No Such Face QX"));
  // Font creation substitutes an unknown face, as GDI does.
  qxfont::LogFont lf;
  lf.lfHeight = 16;
  lf.lfFaceName = u"No Such Face QX";
  qxfont::FontRef sub = qxfont::createFont(lf);
  ASSERT_TRUE(sub);
  EXPECT_EQ(sub->textMetrics().tmHeight, 16);
}

TEST(FontKey, SameFontSharesACacheAndFlagsSplitIt) {
  qxfont::FontRef a = monoFont(), b = monoFont();
  const FontKey ka = makeFontKeyShared(a, 1), kb = makeFontKeyShared(b, 1), k5 = makeFontKeyShared(a, 5);
  EXPECT_EQ(ka, kb);
  EXPECT_NE(ka, k5);
  // (face CRC << 32) ^ (flags CRC << 16) ^ metrics CRC
  const std::u16string face = u"DejaVu Sans Mono";
  uint8_t record[60];
  a->textMetrics().bytes(record);
  const uint32_t flags = 1;
  EXPECT_EQ(ka, (uint64_t(GetMemCRC32(face.data(), face.size() * 2)) << 32) ^
                    (uint64_t(GetMemCRC32(&flags, 4)) << 16) ^ GetMemCRC32(record, 60));
  GlyphLayout la, lb, l5;
  EXPECT_EQ(drawElem(la, a, 1, U"x"), ka);
  EXPECT_EQ(drawElem(lb, b, 1, U"x"), ka);
  EXPECT_EQ(drawElem(l5, a, 5, U"x"), k5);
  EXPECT_EQ(la.batches[0].page, lb.batches[0].page);
  EXPECT_NE(la.batches[0].page, l5.batches[0].page);
  EXPECT_EQ(findGlyphCache(ka)->flags(), 1u);
  EXPECT_EQ(findGlyphCache(k5)->flags(), 5u);
}

// The page seam: rows written since the last upload go out once, a refused upload keeps them.
TEST(A8Surface, UploadsTheRowsChangedSinceTheLastUpload) {
  struct Recording : A8Surface {
    Recording() : A8Surface(16, 16) {}
    std::vector<std::pair<uint32_t, uint32_t>> sent;
    bool refuse = false;
    bool doUpload(uint32_t top, uint32_t bottom) override {
      sent.emplace_back(top, bottom);
      return !refuse;
    }
  } s;
  EXPECT_TRUE(s.upload());
  EXPECT_TRUE(s.sent.empty());
  s.markDirty(5, 7);
  s.markDirty(2, 3);
  s.markDirty(14, 40);
  s.markDirty(9, 9);
  s.refuse = true;
  EXPECT_FALSE(s.upload());
  EXPECT_TRUE(s.dirty());
  s.refuse = false;
  EXPECT_TRUE(s.upload());
  EXPECT_FALSE(s.dirty());
  EXPECT_TRUE(s.upload());
  const std::vector<std::pair<uint32_t, uint32_t>> want = {{2, 16}, {2, 16}};
  EXPECT_EQ(s.sent, want);
}

TEST(GlyphCache, TwelvePixelCellGridAndTheCodePointThatOpensPage1) {
  GlyphCache cache(monoFont(), 1);
  const CellGrid& g = cache.grid();
  EXPECT_EQ(g.cellWidth, 6u);
  EXPECT_EQ(g.cellHeight, 12u);
  EXPECT_EQ(g.columns, 170u);
  EXPECT_EQ(g.rows, 85u);
  EXPECT_EQ(g.cellsPerPage, 14450u);
  EXPECT_FLOAT_EQ(g.uSize, 6.0f / 1024);
  EXPECT_FLOAT_EQ(g.vSize, 12.0f / 1024);
  uint32_t cp = 0x100;
  for (uint32_t i = 0; i < g.cellsPerPage; ++i) ASSERT_TRUE(cache.glyph(cp++));
  EXPECT_EQ(cache.pageCount(), 1u);
  const uint32_t last = cache.glyphWord(cp - 1);
  EXPECT_EQ(last & 0xF, 0u);
  EXPECT_EQ(last >> 22, 84u);
  EXPECT_EQ((last >> 12) & 0x3FF, 169u);
  ASSERT_TRUE(cache.glyph(cp));
  EXPECT_EQ(cache.pageCount(), 2u);
  EXPECT_EQ(cache.glyphWord(cp) & 0xF, 1u);
  EXPECT_EQ(cache.glyphWord(cp) >> 12, 0u);  // row 0, column 0
  EXPECT_EQ(cache.page(1).used, 1u);
}

TEST(GlyphCache, NinthPageIsRefused) {
  qxfont::FontRef big = monoFont(600);  // a few cells per page
  GlyphCache cache(big, 1);
  const uint32_t per = cache.grid().cellsPerPage;
  ASSERT_GT(per, 0u);
  uint32_t cp = 0x4E00;
  for (uint32_t i = 0; i < per * kMaxPages; ++i) ASSERT_TRUE(cache.glyph(cp++));
  EXPECT_FALSE(cache.glyph(cp));
  EXPECT_EQ(cache.advance(cp), -1);
  EXPECT_EQ(cache.pageCount(), kMaxPages);
  EXPECT_EQ(cache.advance(U'\u4E00'), big->textExtent(u"\u4E00").cx);  // wider than a byte, kept
  EXPECT_GT(cache.advance(U'\u4E00'), 255);
}

// The bytes of one cell of a BMP glyph.
std::vector<uint8_t> cellOf(const GlyphCache& c, uint32_t cp) {
  const uint32_t w = c.glyphWord(cp), col = (w >> 12) & 0x3FF, row = w >> 22;
  const A8Surface& s = *c.page(w & 0xF).surface;
  std::vector<uint8_t> out;
  for (uint32_t y = 0; y < c.grid().cellHeight; ++y)
    for (uint32_t x = 0; x < c.grid().cellWidth; ++x)
      out.push_back(s.bytes()[(row * c.grid().cellHeight + y) * s.pitch() + col * c.grid().cellWidth + x]);
  return out;
}

TEST(GlyphCache, ShiftFlagMovesEveryGlyphOnePixelAndCellsKeepTheirNeighbours) {
  GlyphCache plain(monoFont(), 1), shifted(monoFont(), 0x1001);
  ASSERT_TRUE(plain.glyph(U'x') && shifted.glyph(U'x'));
  const std::vector<uint8_t> a = cellOf(plain, U'x'), b = cellOf(shifted, U'x');
  const uint32_t w = plain.grid().cellWidth, h = plain.grid().cellHeight;
  int set = 0;
  for (uint32_t y = 0; y + 1 < h; ++y)
    for (uint32_t x = 0; x + 1 < w; ++x) {
      EXPECT_EQ(b[(y + 1) * w + x + 1], a[y * w + x]);
      set += a[y * w + x] == 255;
    }
  EXPECT_GT(set, 4);

  // Sentinels everywhere but the cells the next glyphs take; W and g reach past their
  // cells once shifted, and must be cut.
  A8Surface& page = *shifted.page(0).surface;
  std::fill(page.bytes(), page.bytes() + page.pitch() * page.height(), uint8_t(0x5A));
  const U32String next = U"Wgj_|";
  for (char32_t c : next) ASSERT_TRUE(shifted.glyph(c));
  const uint32_t used = shifted.page(0).used;
  for (uint32_t y = 0; y < h * 2; ++y)
    for (uint32_t x = 0; x < page.width(); ++x) {
      const uint32_t cell = (y / h) * shifted.grid().columns + x / w;
      if (cell >= 1 && cell < used && x / w < shifted.grid().columns) continue;
      ASSERT_EQ(page.bytes()[y * page.pitch() + x], 0x5A) << "x " << x << " y " << y;
    }
  EXPECT_TRUE(page.dirty());
}

TEST(GlyphCache, GreyFormatsScaleTheirLevels) {
  struct Case {
    uint32_t flags, step;
  } cases[] = {{4, 64}, {5, 16}, {6, 4}};
  for (const Case& c : cases) {
    GlyphCache cache(monoFont(24), c.flags);
    ASSERT_TRUE(cache.glyph(U'@'));
    std::set<uint32_t> levels;
    for (uint8_t v : cellOf(cache, U'@')) {
      levels.insert(v);
      EXPECT_TRUE(v == 255 || v % c.step == 0) << "flags " << c.flags << " value " << int(v);
    }
    EXPECT_TRUE(levels.count(255)) << c.flags;
    EXPECT_GE(levels.size(), c.flags == 4 ? 4u : 8u) << c.flags;
  }
  // Outline formats give blank glyphs with their advances.
  GlyphCache outline(monoFont(), 2);
  ASSERT_TRUE(outline.glyph(U'@'));
  for (uint8_t v : cellOf(outline, U'@')) EXPECT_EQ(v, 0);
  EXPECT_EQ(outline.advance(U'@'), 6);
}

TEST(GlyphCache, SpacesControlsAndUpperPlaneCodePoints) {
  GlyphCache cache(monoFont(), 1);
  for (char32_t c : U32String(U" \nx")) ASSERT_TRUE(cache.glyph(c));
  EXPECT_EQ(cache.page(0).used, 3u);  // blanks take cells too
  EXPECT_EQ(cache.advance(U' '), 6);
  EXPECT_EQ(cache.advance(U'x'), 6);
  const char32_t control = char32_t((12u << kParamShift) | kCtlWidth);
  ASSERT_TRUE(cache.glyph(control));
  EXPECT_EQ(cache.advance(control), 0);
  for (char32_t blank : {char32_t(kCtlS), char32_t(0x200000 | U'a'), char32_t(0x110000)}) {
    ASSERT_TRUE(cache.glyph(blank));
    EXPECT_EQ(cache.advance(blank), 0);
  }
  ASSERT_TRUE(cache.glyph(0x10FFFF));  // the last code point is a glyph (the missing-glyph box)
  EXPECT_EQ(cache.advance(0x10FFFF), 6);
  EXPECT_EQ(cache.advance(0x20001), -1);
  ASSERT_TRUE(cache.glyph(0x20005));
  ASSERT_TRUE(cache.glyph(0x20001));
  const GlyphPageX& up = cache.upperPage(0);
  ASSERT_EQ(up.records.size(), 6u);  // the controls and blanks too
  EXPECT_EQ(up.records[0].codePoint, 0x20001u);
  EXPECT_EQ(up.records[1].codePoint, 0x20005u);
  EXPECT_FLOAT_EQ(up.find(0x20001)->u, 5 * cache.grid().uSize);  // sixth upper cell
  EXPECT_EQ(cache.advance(0x20001), 6);
  EXPECT_EQ(cache.upperPageCount(), 1u);
  EXPECT_EQ(cache.pageCount(), 1u);
}

TEST(GlyphCache, BuildsSlotsCornersAndBatches) {
  GlyphCache cache(monoFont(), 1);
  GlyphLayout layout;
  testing::internal::CaptureStderr();
  cache.buildQuads(layout, U"ab\U00020001a");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(layout.lineHeight, 12);
  EXPECT_EQ(layout.cellWidth, 6);
  ASSERT_EQ(layout.batches.size(), 2u);
  EXPECT_EQ(layout.batches[0].page, cache.page(0).surface.get());
  EXPECT_EQ(layout.batches[1].page, cache.upperPage(0).surface.get());
  ASSERT_EQ(layout.slots.size(), 4u);
  const int32_t batchOf[] = {0, 0, 1, 0};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(layout.slots[i].batch, batchOf[i]);
    EXPECT_EQ(layout.slots[i].advance, 6);
  }
  const float du = cache.grid().uSize, dv = cache.grid().vSize;
  const auto& q = layout.uvQuads[1];  // "b": second cell
  EXPECT_FLOAT_EQ(q[0].u, du);
  EXPECT_FLOAT_EQ(q[1].u, 2 * du);
  EXPECT_FLOAT_EQ(q[2].v, dv);
  EXPECT_FLOAT_EQ(q[3].u, du);
  EXPECT_FLOAT_EQ(q[3].v, dv);
  EXPECT_FLOAT_EQ(q[0].w, 1.0f);
  EXPECT_EQ(layout.uvQuads[3][0].u, layout.uvQuads[0][0].u);
  EXPECT_FALSE(cache.page(0).surface->dirty());  // uploaded
}

TEST(GlyphCache, UnusableCellSizesRefuseEveryGlyph) {
  GlyphCache tooTall(monoFont(2000), 1);
  EXPECT_FALSE(tooTall.usable());
  EXPECT_FALSE(tooTall.glyph(U'a'));
  GlyphLayout layout;
  tooTall.buildQuads(layout, U"ab");
  ASSERT_EQ(layout.slots.size(), 2u);
  EXPECT_EQ(layout.slots[0].batch, -1);
  EXPECT_TRUE(layout.batches.empty());
  GlyphCache none(nullptr, 1);
  EXPECT_FALSE(none.glyph(U'a'));
}

}  // namespace
