#include "hud/text/glyph_cache.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/core/utf.h"
#include "script/lua/script_report.h"

namespace hudtext {

namespace {

constexpr uint32_t kEmptyWord = ~0u;
constexpr uint32_t kWideAdvance = 0xFF;  // advance field of a word whose advance is kept aside

// Grey level multiplier per glyph format; 0 for formats that are not bitmaps.
uint32_t formatFactor(uint32_t format) {
  switch (format) {
    case qxfont::GGO_GRAY2_BITMAP: return 64;
    case qxfont::GGO_GRAY4_BITMAP: return 16;
    case qxfont::GGO_GRAY8_BITMAP: return 4;
    default: return 0;
  }
}

bool blankCodePoint(uint32_t cp) { return isMarkupControl(cp) || cp > 0x10FFFF; }

std::map<FontKey, std::unique_ptr<GlyphCache>>& registry() {
  static std::map<FontKey, std::unique_ptr<GlyphCache>> caches;
  return caches;
}

}  // namespace

const GlyphRecordX* GlyphPageX::find(uint32_t codePoint) const {
  auto it = std::lower_bound(records.begin(), records.end(), codePoint,
                             [](const GlyphRecordX& r, uint32_t cp) { return r.codePoint < cp; });
  return it != records.end() && it->codePoint == codePoint ? &*it : nullptr;
}

GlyphCache::GlyphCache(qxfont::FontRef font, uint32_t flags)
    : font_(std::move(font)), flags_(flags), table_(0x10000, kEmptyWord) {
  if (!font_) return;
  const qxfont::TextMetric& tm = font_->textMetrics();
  // 0, negative and oversized cells all fall outside 1..kMaxCellSide.
  if (uint32_t(tm.tmMaxCharWidth) - 1 >= kMaxCellSide || uint32_t(tm.tmHeight) - 1 >= kMaxCellSide) return;
  grid_.cellWidth = uint32_t(tm.tmMaxCharWidth);
  grid_.cellHeight = uint32_t(tm.tmHeight);
  grid_.uSize = float(grid_.cellWidth) / float(kPageSide);
  grid_.vSize = float(grid_.cellHeight) / float(kPageSide);
  grid_.columns = kPageSide / grid_.cellWidth;
  grid_.rows = kPageSide / grid_.cellHeight;
  grid_.cellsPerPage = grid_.columns * grid_.rows;
}

template <class Page>
Page* GlyphCache::pageWithRoom(std::vector<std::unique_ptr<Page>>& pages, int32_t& index) {
  if (!pages.empty() && pages.back()->freeCells() > 0) {
    index = int32_t(pages.size() - 1);
    return pages.back().get();
  }
  if (pages.size() >= kMaxPages) {
    if (!fullTold_) {
      fullTold_ = true;
      scriptDebugLog("glyph cache: the " + std::to_string(kMaxPages) + " glyph pages of font \"" +
                     qcore::utf16ToUtf8(font_->faceName()) + "\" are full; characters new to it measure 0 and show nothing");
    }
    return nullptr;
  }
  auto page = std::make_unique<Page>();
  page->surface = createA8Surface(kPageExp, kPageExp);
  if (!page->surface) return nullptr;
  page->grid = grid_;
  pages.push_back(std::move(page));
  index = int32_t(pages.size() - 1);
  return pages.back().get();
}

void GlyphCache::rasterise(GlyphPage& page, uint32_t cp, int32_t& advance, uint32_t& column, uint32_t& row) {
  const qxfont::TextMetric& tm = font_->textMetrics();
  A8Surface& s = *page.surface;
  const uint32_t n = page.used;
  column = n % grid_.columns;
  row = n / grid_.columns;
  const int64_t cellX = int64_t(column) * grid_.cellWidth, cellY = int64_t(row) * grid_.cellHeight;
  uint8_t* bits = s.bytes();
  const size_t pitch = s.pitch();
  for (uint32_t y = 0; y < grid_.cellHeight; ++y)
    std::memset(bits + size_t(cellY + y) * pitch + size_t(cellX), 0, grid_.cellWidth);

  advance = 0;
  if (blankCodePoint(cp)) {
  } else if (utf16_isSpace(cp) || utf16_isLF(cp)) {
    const qxfont::AbcWidth abc = font_->abcWidths(cp);
    advance = abc.abcA + int32_t(abc.abcB) + abc.abcC;
  } else {
    const uint32_t format = flags_ & 0xFF;
    const uint32_t index = font_->glyphIndex(cp);
    qxfont::GlyphMetrics gm;
    const int64_t size = font_->glyphOutline(index, format | qxfont::GGO_GLYPH_INDEX, gm, nullptr, 0);
    if (size >= 0) {
      bitmap_.resize(size_t(size));
      font_->glyphOutline(index, format | qxfont::GGO_GLYPH_INDEX, gm, bitmap_.data(), bitmap_.size());
      advance = gm.gmCellIncX;
      const uint32_t factor = formatFactor(format);
      const bool mono = format == qxfont::GGO_BITMAP;
      const size_t rowBytes = mono ? (size_t(gm.gmBlackBoxX) + 31) / 32 * 4 : (size_t(gm.gmBlackBoxX) + 3) / 4 * 4;
      if ((mono || factor > 0) && rowBytes * gm.gmBlackBoxY <= bitmap_.size()) {
        const int32_t shift = (flags_ & kShiftFlag) ? 1 : 0;
        const int64_t gx = cellX + gm.gmptGlyphOriginX + shift;
        const int64_t gy = cellY + tm.tmAscent - gm.gmptGlyphOriginY + shift;
        // Only the cell is written: glyphs that reach past it are cut.
        for (uint32_t r = 0; r < gm.gmBlackBoxY; ++r) {
          const int64_t py = gy + r;
          if (py < cellY || py >= cellY + grid_.cellHeight) continue;
          const uint8_t* src = bitmap_.data() + size_t(r) * rowBytes;
          uint8_t* dst = bits + size_t(py) * pitch;
          for (uint32_t c = 0; c < gm.gmBlackBoxX; ++c) {
            const int64_t px = gx + c;
            if (px < cellX || px >= cellX + grid_.cellWidth) continue;
            uint32_t v;
            if (mono)
              v = (src[c >> 3] & (0x80u >> (c & 7))) ? 255 : 0;
            else
              v = std::min<uint32_t>(src[c] * factor, 255);
            dst[px] = uint8_t(v);
          }
        }
      }
    }
  }
  if (advance < 0) advance = 0;
  s.markDirty(uint32_t(cellY), uint32_t(cellY + grid_.cellHeight));
  ++page.used;
}

const GlyphPage* GlyphCache::glyph(uint32_t cp) {
  if (!usable()) return nullptr;
  if (cp < 0x10000) {
    const uint32_t word = table_[cp];
    if (word != kEmptyWord) return pages_[word & 0xF].get();
    int32_t index = 0;
    GlyphPage* page = pageWithRoom(pages_, index);
    if (!page) return nullptr;
    int32_t advance = 0;
    uint32_t column = 0, row = 0;
    rasterise(*page, cp, advance, column, row);
    uint32_t advBits = uint32_t(advance) & 0xFF;
    if (advance >= int32_t(kWideAdvance)) {
      wideAdvances_[cp] = advance;
      advBits = kWideAdvance;
    }
    table_[cp] = (row << 22) | ((column & 0x3FF) << 12) | (advBits << 4) | (uint32_t(index) & 0xF);
    return page;
  }
  auto it = upperMap_.find(cp);
  if (it != upperMap_.end()) return pagesX_[it->second].get();
  int32_t index = 0;
  GlyphPageX* page = pageWithRoom(pagesX_, index);
  if (!page) return nullptr;
  GlyphRecordX rec{cp, 0, 0, 0};
  uint32_t column = 0, row = 0;
  rasterise(*page, cp, rec.advance, column, row);
  rec.u = float(column) * grid_.uSize;
  rec.v = float(row) * grid_.vSize;
  auto at = std::lower_bound(page->records.begin(), page->records.end(), cp,
                             [](const GlyphRecordX& r, uint32_t c) { return r.codePoint < c; });
  page->records.insert(at, rec);
  upperMap_[cp] = uint32_t(index);
  return page;
}

bool GlyphCache::lookup(uint32_t cp, const GlyphPage*& page, int32_t& advance, float& u, float& v) const {
  if (cp < 0x10000) {
    const uint32_t word = table_[cp];
    if (word == kEmptyWord) return false;
    page = pages_[word & 0xF].get();
    const uint32_t advBits = (word >> 4) & 0xFF;
    advance = int32_t(advBits);
    if (advBits == kWideAdvance) {
      auto w = wideAdvances_.find(cp);
      if (w != wideAdvances_.end()) advance = w->second;
    }
    u = float((word >> 12) & 0x3FF) * grid_.uSize;
    v = float(word >> 22) * grid_.vSize;
    return true;
  }
  auto it = upperMap_.find(cp);
  if (it == upperMap_.end()) return false;
  const GlyphPageX& px = *pagesX_[it->second];
  page = &px;
  const GlyphRecordX* rec = px.find(cp);
  advance = rec ? rec->advance : 0;
  u = rec ? rec->u : 0;
  v = rec ? rec->v : 0;
  return true;
}

int32_t GlyphCache::advance(uint32_t cp) const {
  const GlyphPage* page = nullptr;
  int32_t adv = 0;
  float u = 0, v = 0;
  return lookup(cp, page, adv, u, v) ? adv : -1;
}

void GlyphCache::buildQuads(GlyphLayout& layout, const U32String& text) {
  layout.lineHeight = int32_t(grid_.cellHeight);
  layout.cellWidth = int32_t(grid_.cellWidth);
  layout.slots.assign(text.size(), GlyphSlot{});
  layout.uvQuads.assign(text.size(), {});
  for (size_t i = 0; i < text.size(); ++i) {
    const uint32_t cp = text[i];
    const GlyphPage* page = glyph(cp);
    int32_t advance = 0;
    float u = 0, v = 0;
    if (!page || !lookup(cp, page, advance, u, v)) continue;
    size_t b = 0;
    while (b < layout.batches.size() && layout.batches[b].page != page->surface.get()) ++b;
    if (b == layout.batches.size()) {
      layout.batches.emplace_back();
      layout.batches.back().page = page->surface.get();
    }
    layout.slots[i] = GlyphSlot{advance, int32_t(b)};
    const float du = grid_.uSize, dv = grid_.vSize;
    layout.uvQuads[i] = {UVW{u, v, 1.0f}, UVW{u + du, v, 1.0f}, UVW{u + du, v + dv, 1.0f}, UVW{u, v + dv, 1.0f}};
  }
  bool uploaded = true;
  for (auto& p : pages_) uploaded = p->surface->upload() && uploaded;
  for (auto& p : pagesX_) uploaded = p->surface->upload() && uploaded;
  if (!uploaded && !uploadFailureTold_) {
    uploadFailureTold_ = true;  // the rows stay marked and go out with the next text
    std::fputs("glyph cache: a glyph page could not be sent to its texture\n", stderr);
  }
}

GlyphCache* findGlyphCache(FontKey key) {
  auto it = registry().find(key);
  return it == registry().end() ? nullptr : it->second.get();
}

GlyphCache* glyphCacheFor(FontKey key, const qxfont::FontRef& font, uint32_t flags) {
  auto& reg = registry();
  auto it = reg.find(key);
  if (it != reg.end()) return it->second.get();
  if (!font) return nullptr;
  return reg.emplace(key, std::make_unique<GlyphCache>(font, flags)).first->second.get();
}

std::pair<int32_t, int32_t> measureLine(FontKey key, const char32_t* line, int32_t limit) {
  const GlyphCache* cache = findGlyphCache(key);
  if (!cache) return {0, 0};
  int64_t sum = 0;
  int32_t consumed = 0;
  for (const char32_t* p = line; sum < limit; ++p) {
    ++consumed;
    if (*p == 0 || *p == 13 || *p == 10) break;
    sum += std::max(cache->advance(*p), 0);  // a refused glyph measures as a blank
  }
  return {int32_t(std::min<int64_t>(sum, INT32_MAX)), consumed};
}

std::pair<int32_t, int32_t> measureRun(FontKey key, std::u32string_view text) {
  const GlyphCache* cache = findGlyphCache(key);
  if (!cache) return {-1, -1};
  if (text.empty()) return {0, 0};
  int64_t x = 0, start = 0;
  for (char32_t c : text) {
    start = x;
    x += std::max(cache->advance(c), 0);
  }
  return {int32_t(std::min<int64_t>(start, INT32_MAX)), int32_t(std::min<int64_t>(x, INT32_MAX))};
}

}  // namespace hudtext
