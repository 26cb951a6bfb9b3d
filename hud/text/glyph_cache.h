// Glyph caches: one per distinct font and render mode, each rasterising a code point once
// into a cell of a 1024 x 1024 alpha page and handing out its advance and texture corners
// from then on. Caches live in a process-wide registry by FontKey until the program ends.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "hud/text/a8_surface.h"
#include "hud/text/glyph_layout.h"
#include "hud/text/markup.h"
#include "platform/font/font.h"

namespace hudtext {

using FontKey = uint64_t;

// Render flags: the low byte is the glyph format (1 mono, 4/5/6 grey with 5/17/65 levels;
// others give blank glyphs); kShiftFlag draws every glyph one pixel right and down.
constexpr uint32_t kShiftFlag = 0x1000;
constexpr uint32_t kPageExp = 10;  // pages are 2^10 square
constexpr uint32_t kPageSide = 1u << kPageExp;
constexpr size_t kMaxPages = 8;    // the page field of a glyph word holds 0..7
constexpr uint32_t kMaxCellSide = kPageSide;

struct CellGrid {
  uint32_t cellWidth = 0, cellHeight = 0;
  float uSize = 0, vSize = 0;
  uint32_t columns = 0, rows = 0, cellsPerPage = 0;
};

struct GlyphPage {
  std::unique_ptr<A8Surface> surface;
  CellGrid grid;
  uint32_t used = 0;
  uint32_t freeCells() const { return grid.cellsPerPage - used; }
};

struct GlyphRecordX {
  uint32_t codePoint;
  int32_t advance;
  float u, v;
};

struct GlyphPageX : GlyphPage {
  std::vector<GlyphRecordX> records;  // sorted by code point
  const GlyphRecordX* find(uint32_t codePoint) const;
};

class GlyphCache {
 public:
  GlyphCache(qxfont::FontRef font, uint32_t flags);

  const CellGrid& grid() const { return grid_; }
  uint32_t flags() const { return flags_; }
  // False when the font's cell size is 0 or larger than a page: every glyph is refused.
  bool usable() const { return grid_.cellsPerPage > 0; }

  // The page holding the code point's glyph, adding it first when missing; null when the
  // glyph is refused (unusable cache, every page full).
  const GlyphPage* glyph(uint32_t codePoint);
  // The code point's advance: -1 when it has no page, 0 when an upper-plane page has no
  // record of it.
  int32_t advance(uint32_t codePoint) const;
  // Fills the layout's slots, corners and page batches for text; the pages are uploaded.
  void buildQuads(GlyphLayout& layout, const U32String& text);

  size_t pageCount() const { return pages_.size(); }
  size_t upperPageCount() const { return pagesX_.size(); }
  const GlyphPage& page(size_t i) const { return *pages_[i]; }
  const GlyphPageX& upperPage(size_t i) const { return *pagesX_[i]; }
  uint32_t glyphWord(uint32_t codePoint) const { return codePoint < table_.size() ? table_[codePoint] : ~0u; }

 private:
  template <class Page>
  Page* pageWithRoom(std::vector<std::unique_ptr<Page>>& pages, int32_t& index);
  // Draws the code point into the page's next cell; returns its advance, column and row.
  void rasterise(GlyphPage& page, uint32_t codePoint, int32_t& advance, uint32_t& column, uint32_t& row);
  // (advance, u, v) of a held glyph.
  bool lookup(uint32_t codePoint, const GlyphPage*& page, int32_t& advance, float& u, float& v) const;

  qxfont::FontRef font_;
  uint32_t flags_;
  CellGrid grid_;
  std::vector<uint32_t> table_;
  std::unordered_map<uint32_t, int32_t> wideAdvances_;  // BMP advances above a byte
  std::vector<std::unique_ptr<GlyphPage>> pages_;
  std::map<uint32_t, uint32_t> upperMap_;
  std::vector<std::unique_ptr<GlyphPageX>> pagesX_;
  std::vector<uint8_t> bitmap_;
  bool uploadFailureTold_ = false;
  bool fullTold_ = false;
};

// The registry: the cache of a key, or null.
GlyphCache* findGlyphCache(FontKey key);
// The cache of a key, made from font and flags when missing (null when it cannot be).
GlyphCache* glyphCacheFor(FontKey key, const qxfont::FontRef& font, uint32_t flags);

// Sums the advances of one line up to LF, CR or the terminator (consumed too), or until
// the sum reaches limit (that code point included). Returns (width, code points
// consumed); (0, 0) for a key without a cache.
std::pair<int32_t, int32_t> measureLine(FontKey key, const char32_t* line, int32_t limit);
// (x where the last code point starts, x where it ends); (0, 0) for an empty run,
// (-1, -1) for a key without a cache.
std::pair<int32_t, int32_t> measureRun(FontKey key, std::u32string_view text);

}  // namespace hudtext
