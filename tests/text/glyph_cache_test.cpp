#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <tuple>

#include "hud/text/text_place.h"
#include "platform/core/utf.h"
#include "render/device/device_mgr.h"
#include "script/lua/script_report.h"
#include "tests/text/text_fixture.h"

namespace {

using namespace hudtext;
using texttest::monoFont;

TEST(Font, FileLoadedExplicitlyHasStableMetrics) {
  qxfont::FontRef f = monoFont();
  const qxfont::TextMetric& m = f->textMetrics();
  EXPECT_EQ(std::make_tuple(m.tmHeight, m.tmAscent, m.tmDescent, m.tmInternalLeading, m.tmAveCharWidth,
                            m.tmMaxCharWidth, m.tmWeight),
            std::make_tuple(12, 10, 2, 2, 6, 6, 400));
  EXPECT_EQ(f->faceName(), u"DejaVu Sans Mono");
  EXPECT_EQ(std::make_pair(f->textExtent(u"abc").cx, f->textExtent(u"abc").cy), std::make_pair(18, 12));
  const qxfont::AbcWidth upper = f->abcWidths(0x20001);  // a surrogate pair is one glyph
  EXPECT_EQ(f->textExtent(u"\U00020001").cx, upper.abcA + int32_t(upper.abcB) + upper.abcC);
  EXPECT_EQ(f->textExtent(u"\xD840").cx + f->textExtent(u"\xDC01").cx, 2 * f->textExtent(u"\U00020001").cx);
  // A negative height is the em height: the cell grows around it.
  const qxfont::TextMetric em = monoFont(-12)->textMetrics();
  EXPECT_EQ(std::make_pair(em.tmHeight, em.tmInternalLeading), std::make_pair(14, 2));
  // Synthesised bold: heavier, a pixel wider.
  qxfont::LogFont lf;
  lf.lfHeight = 12;
  lf.lfWeight = qxfont::FW_BOLD;
  qxfont::FontRef bold = qxfont::createFontFromFile(texttest::kMonoFile, lf);
  ASSERT_TRUE(bold);
  EXPECT_EQ(std::make_pair(bold->textMetrics().tmWeight, bold->textExtent(u"a").cx), std::make_pair(700, 7));
}

TEST(FontKey, SameFontSharesACacheAndFlagsSplitIt) {
  qxfont::FontRef a = monoFont(), b = monoFont();
  const FontKey ka = makeFontKeyShared(a, 1), k5 = makeFontKeyShared(a, 5);
  GlyphLayout la, lb, l5;
  EXPECT_EQ(drawElem(la, a, 1, U"x"), ka);
  EXPECT_EQ(drawElem(lb, b, 1, U"x"), ka);
  EXPECT_EQ(drawElem(l5, a, 5, U"x"), k5);
  EXPECT_EQ(la.batches[0].page, lb.batches[0].page);
  EXPECT_NE(la.batches[0].page, l5.batches[0].page);
}

TEST(GlyphCache, TwelvePixelCellGridAndTheCodePointThatOpensPage1) {
  GlyphCache cache(monoFont(), 1);
  const CellGrid& g = cache.grid();
  EXPECT_EQ(std::make_tuple(g.cellWidth, g.cellHeight, g.columns, g.rows, g.cellsPerPage),
            std::make_tuple(6u, 12u, 170u, 85u, 14450u));
  EXPECT_FLOAT_EQ(g.uSize, 6.0f / 1024);
  EXPECT_FLOAT_EQ(g.vSize, 12.0f / 1024);
  uint32_t cp = 0x100;
  for (uint32_t i = 0; i < g.cellsPerPage; ++i) ASSERT_TRUE(cache.glyph(cp++));
  EXPECT_EQ(cache.pageCount(), 1u);
  const uint32_t last = cache.glyphWord(cp - 1);  // page 0, row 84, column 169
  EXPECT_EQ(std::make_tuple(last & 0xF, last >> 22, (last >> 12) & 0x3FF), std::make_tuple(0u, 84u, 169u));
  ASSERT_TRUE(cache.glyph(cp));
  EXPECT_EQ(cache.pageCount(), 2u);
  EXPECT_EQ(cache.glyphWord(cp) & 0xFFFFF00F, 1u);  // page 1, row 0, column 0
  EXPECT_EQ(cache.page(1).used, 1u);

  // A font of a few cells per page: the ninth page is refused.
  qxfont::FontRef big = monoFont(600);
  GlyphCache full(big, 1);
  const uint32_t per = full.grid().cellsPerPage;
  ASSERT_GT(per, 0u);
  cp = 0x4E00;
  for (uint32_t i = 0; i < per * kMaxPages; ++i) ASSERT_TRUE(full.glyph(cp++));
  std::vector<std::string> log;
  setScriptDebugLogSink([&](std::string_view line) { log.emplace_back(line); });
  EXPECT_FALSE(full.glyph(cp + 1));
  EXPECT_FALSE(full.glyph(cp));
  setScriptDebugLogSink(nullptr);
  ASSERT_EQ(log.size(), 1u);  // the first refusal only
  EXPECT_NE(log[0].find("are full"), std::string::npos) << log[0];
  EXPECT_EQ(full.advance(cp), -1);
  EXPECT_EQ(full.pageCount(), kMaxPages);
  EXPECT_EQ(full.advance(U'\u4E00'), big->textExtent(u"\u4E00").cx);  // wider than a byte, kept
  EXPECT_GT(full.advance(U'\u4E00'), 255);
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

  // Sentinels everywhere but the cells the next glyphs take; shifted, g reaches below its
  // cell and W (the last, beside free cells) past its right edge: both must be cut.
  A8Surface& page = *shifted.page(0).surface;
  std::fill(page.bytes(), page.bytes() + page.pitch() * page.height(), uint8_t(0x5A));
  for (char32_t c : U32String(U"gj_|W")) ASSERT_TRUE(shifted.glyph(c));
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
}

TEST(GlyphCache, SpacesControlsAndUpperPlaneCodePoints) {
  GlyphCache cache(monoFont(), 1);
  for (char32_t c : U32String(U" \nx")) ASSERT_TRUE(cache.glyph(c));
  EXPECT_EQ(cache.page(0).used, 3u);  // blanks take cells too
  EXPECT_EQ(std::make_pair(cache.advance(U' '), cache.advance(U'x')), std::make_pair(6, 6));
  // Controls, markup codes and code points past the last one are blanks of no advance.
  for (char32_t blank : {char32_t((12u << kParamShift) | kCtlWidth), char32_t(kCtlS), char32_t(0x200000 | U'a'),
                         char32_t(0x110000)}) {
    ASSERT_TRUE(cache.glyph(blank));
    EXPECT_EQ(cache.advance(blank), 0);
  }
  EXPECT_EQ(cache.advance(0x20001), -1);
  ASSERT_TRUE(cache.glyph(0x20005));
  ASSERT_TRUE(cache.glyph(0x20001));
  const GlyphPageX& up = cache.upperPage(0);
  ASSERT_EQ(up.records.size(), 5u);  // the controls and blanks too
  EXPECT_EQ(up.records[0].codePoint, 0x20001u);
  EXPECT_EQ(up.records[1].codePoint, 0x20005u);
  EXPECT_FLOAT_EQ(up.find(0x20001)->u, 4 * cache.grid().uSize);  // fifth upper cell
}

TEST(GlyphCache, BuildsSlotsCornersAndBatches) {
  GlyphCache cache(monoFont(), 1);
  GlyphLayout layout;
  testing::internal::CaptureStderr();
  cache.buildQuads(layout, U"ab\U00020001a");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(std::make_pair(layout.lineHeight, layout.cellWidth), std::make_pair(12, 6));
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
  const float want[4][2] = {{du, 0}, {2 * du, 0}, {2 * du, dv}, {du, dv}};  // "b": the second cell
  for (int i = 0; i < 4; ++i) {
    EXPECT_FLOAT_EQ(layout.uvQuads[1][i].u, want[i][0]) << i;
    EXPECT_FLOAT_EQ(layout.uvQuads[1][i].v, want[i][1]) << i;
  }
  EXPECT_FALSE(cache.page(0).surface->dirty());  // uploaded

  // Unusable cell sizes refuse every glyph; the slots stay without a batch.
  GlyphCache tooTall(monoFont(2000), 1);
  EXPECT_FALSE(tooTall.usable());
  EXPECT_FALSE(tooTall.glyph(U'a'));
  GlyphLayout none;
  tooTall.buildQuads(none, U"ab");
  EXPECT_EQ(std::make_pair(none.slots.at(1).batch, none.batches.size()), std::make_pair(-1, size_t(0)));
  EXPECT_FALSE(GlyphCache(nullptr, 1).glyph(U'a'));
}

// Without a texture manager, pages are textures of the current device: what the layout
// wrote reaches the texture.
TEST(GlyphCache, DevicePagesCarryTheRowsTheLayoutWrote) {
  DeviceMgr mgr;
  mgr.adopt(qxgfx::createRecordingDevice(16, 16));
  GlyphLayout layout;
  hudTextFit(layout, monoFont(20), 1, U"Hello", {0, 0, 100, 100}, 0, false);  // a key no other test shares
  ASSERT_EQ(layout.batches.size(), 1u);
  const A8Surface& page = *layout.batches[0].page;
  ASSERT_TRUE(page.texture());
  EXPECT_FALSE(page.dirty());
  qxgfx::LockedRect r;
  ASSERT_TRUE(page.texture()->lockRect(0, r, nullptr, 0));
  int inked = 0;
  for (uint32_t y = 0; y < uint32_t(layout.lineHeight); ++y)
    for (uint32_t x = 0; x < 5 * uint32_t(layout.cellWidth); ++x) {
      const uint8_t want = page.bytes()[y * page.pitch() + x];
      ASSERT_EQ(static_cast<const uint8_t*>(r.bits)[y * r.pitch + x], want) << x << "," << y;
      inked += want > 128;
    }
  page.texture()->unlockRect(0);
  EXPECT_GT(inked, 40);
  mgr.release();
}

}  // namespace

TEST(FontMatch, WindowsFacesScriptsNameResolveToInstalledOnes) {
  ASSERT_EQ(qxfont::faceAliases().size(), 10u);
  for (const qxfont::FaceAlias& a : qxfont::faceAliases()) {
    const std::string name = qcore::utf16ToUtf8(a.windowsFace);
    qxfont::FontRef f = hudtext::matchFont(0, 17, a.windowsFace);
    ASSERT_TRUE(f) << name;
    EXPECT_EQ(f->faceName(), a.installedFace) << name;
    EXPECT_EQ(f->textMetrics().tmHeight, 17) << name;
    EXPECT_NE(f->glyphIndex(U'漢'), 0u) << name;
  }
  // A face that matches nothing installed: no match (the widget keeps the default), while
  // creating a font by that face substitutes one, as GDI does.
  EXPECT_FALSE(hudtext::matchFont(0, 17, u"No Such Face QX"));
  qxfont::LogFont lf;
  lf.lfHeight = 17;
  lf.lfFaceName = u"No Such Face QX";
  qxfont::FontRef substituted = qxfont::createFont(lf);
  ASSERT_TRUE(substituted);
  EXPECT_EQ(substituted->textMetrics().tmHeight, 17);
}
