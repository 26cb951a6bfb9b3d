#include "hud/text/text_place.h"

#include <algorithm>
#include <climits>

#include "hud/text/font_context.h"
#include "runtime/core/thread_ctx.h"

namespace hudtext {

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFF;

int64_t lineWidth(FontKey key, const char32_t* line) { return measureLine(key, line, INT32_MAX).first; }

int32_t clamp32(int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// Four corners of code point i's cell at (x, y), into its batch at the write position or
// at the end (pos null).
void emitQuad(GlyphLayout& layout, size_t i, int64_t x, int64_t y, std::vector<size_t>* pos) {
  const GlyphSlot& slot = layout.slots[i];
  if (slot.batch < 0 || size_t(slot.batch) >= layout.batches.size()) return;
  PageBatch& b = layout.batches[size_t(slot.batch)];
  const float l = float(x), t = float(y), r = float(x + layout.cellWidth), bt = float(y + layout.lineHeight);
  const TextVertex v[4] = {{l, t, 1.0f, kWhite}, {r, t, 1.0f, kWhite}, {r, bt, 1.0f, kWhite}, {l, bt, 1.0f, kWhite}};
  const auto& uv = layout.uvQuads[i];
  if (pos) {
    size_t& at = (*pos)[size_t(slot.batch)];
    for (int k = 0; k < 4; ++k) {
      b.vertices[at] = v[k];
      b.uvs[at] = uv[size_t(k)];
      ++at;
    }
  } else {
    b.vertices.insert(b.vertices.end(), v, v + 4);
    b.uvs.insert(b.uvs.end(), uv.begin(), uv.end());
  }
}

}  // namespace

int64_t PlaceCH::offset(FontKey key, const char32_t* line, int64_t width) const {
  return width / 2 - lineWidth(key, line) / 2;
}
int64_t PlaceRH::offset(FontKey key, const char32_t* line, int64_t width) const {
  return width - lineWidth(key, line);
}
int64_t PlaceCV::offset(const char32_t* text, int64_t lineHeight, int64_t height) const {
  return height / 2 - (countLines(text) * lineHeight) / 2;
}
int64_t PlaceBV::offset(const char32_t* text, int64_t lineHeight, int64_t height) const {
  return height - countLines(text) * lineHeight;
}

const IFPlaceH& placerH(uint32_t alignment) {
  static const PlaceLH left;
  static const PlaceCH centre;
  static const PlaceRH right;
  static const IFPlaceH* const table[3] = {&left, &centre, &right};
  const uint32_t field = alignment & 3;
  return *table[field < 3 ? field : 0];
}

const IFPlaceV& placerV(uint32_t alignment) {
  static const PlaceTV top;
  static const PlaceCV centre;
  static const PlaceBV bottom;
  static const IFPlaceV* const table[3] = {&top, &centre, &bottom};
  const uint32_t field = (alignment >> 2) & 3;
  return *table[field < 3 ? field : 0];
}

bool placeText(GlyphLayout& layout, const U32String& text, FontKey key, const TextRect& box, uint32_t alignment,
               bool plain) {
  ProfScope prof("place");
  const size_t n = text.size();
  if (n == 0) return true;
  if (layout.slots.size() < n || layout.uvQuads.size() < n) return false;
  const IFPlaceH& ph = plain ? placerH(0) : placerH(alignment);
  const IFPlaceV& pv = plain ? placerV(0) : placerV(alignment);
  for (PageBatch& b : layout.batches) {
    b.vertices.resize(4 * n);
    b.uvs.resize(4 * n);
  }
  std::vector<size_t> pos(layout.batches.size(), 0);
  const int64_t left = box.left, right = box.right, width = right - left;
  const int64_t height = int64_t(box.bottom) - box.top;
  const int64_t lh = layout.lineHeight;
  int64_t y = pv.offset(text.c_str(), lh, height) + box.top;
  const int64_t limit = y + height;
  bool complete = true;
  size_t i = 0;
  size_t end = 0;  // the end of the line-feed line; wrapped pieces share it
  while (i < n) {
    int64_t x = ph.offset(key, text.c_str() + i, width) + left;
    if (i >= end) end = i + size_t(firstLineLength(text.c_str() + i));
    const size_t start = i;
    for (; i < end; ++i) {
      const int64_t adv = layout.slots[i].advance;
      if (x >= left && x + adv <= right) {
        emitQuad(layout, i, x, y, &pos);
      } else if (plain && text[i] != 10) {
        break;  // wraps: the next line starts with this code point
      }
      // A line feed that does not fit still ends its own line: it keeps its advance for
      // carets and hit tests, but never wraps onto a line of its own.
      x += adv;
    }
    if (y + lh > limit || (i == start && lh <= 0)) {
      complete = i >= n;
      break;
    }
    y += lh;
  }
  for (size_t b = 0; b < layout.batches.size(); ++b) {
    layout.batches[b].vertices.resize(pos[b]);
    layout.batches[b].uvs.resize(pos[b]);
  }
  return complete;
}

std::pair<int32_t, int32_t> layoutText(GlyphLayout& layout, FontKey key, const U32String& text, const TextRect& rect,
                                       uint32_t alignment, bool limitWidth) {
  const int32_t limit = limitWidth ? clamp32(int64_t(rect.right) - rect.left) : INT32_MAX;
  const size_t n = text.size();
  size_t pos = 0;
  int64_t pieces = 0;
  int32_t largest = 0;
  while (pos <= n) {
    auto [w, consumed] = measureLine(key, text.c_str() + pos, limit);
    ++pieces;
    largest = std::max(largest, w);
    if (consumed <= 0) break;
    // A piece cut at the limit right before its line feed keeps the line feed, as the
    // placing does: it would otherwise measure as a line of its own.
    const size_t next = pos + size_t(consumed);
    if (next < n && text[next] == 10 && text[next - 1] != 10 && text[next - 1] != 13) ++consumed;
    pos += size_t(consumed);
  }
  const int32_t height = clamp32(pieces * layout.lineHeight);
  const TextRect box{rect.left, rect.top, clamp32(int64_t(rect.left) + largest), clamp32(int64_t(rect.top) + height)};
  if (!placeText(layout, text, key, box, alignment, limitWidth)) return {0, 0};
  return {largest, height};
}

void drawTextWindow(GlyphLayout& layout, const U32String& text, const TextWindow& w) {
  const size_t n = text.size();
  if (n == 0 || layout.slots.size() < n || layout.uvQuads.size() < n) return;
  const int64_t cw = layout.cellWidth, lh = layout.lineHeight;
  int64_t left = int64_t(w.x0) + w.offsetX, right = int64_t(w.x1) + w.offsetX;
  int64_t top = int64_t(w.y0) + w.offsetY, bottom = int64_t(w.y1) + w.offsetY;
  if (w.edges & 1) left -= cw;
  else if (w.edges & 4) right += cw;
  if (w.edges & 2) top -= lh;
  else if (w.edges & 8) bottom += lh;

  int64_t y = 0;
  size_t i = 0;
  while (y < top) {
    const size_t lf = text.find(U'\n', i);
    if (lf == U32String::npos) return;
    i = lf + 1;
    y += lh;
  }
  for (; y < bottom; y += lh) {
    int64_t x = 0;
    while (i < n && text[i] != 10 && x < left) x += layout.slots[i++].advance;
    for (; i < n && text[i] != 10 && x <= right; ++i) {
      emitQuad(layout, i, x - w.offsetX, y - w.offsetY, nullptr);
      x += layout.slots[i].advance;
    }
    const size_t lf = text.find(U'\n', i);
    if (lf == U32String::npos) return;
    i = lf + 1;
  }
}

std::pair<int32_t, int32_t> hudTextFit(GlyphLayout& layout, const qxfont::FontRef& font, uint32_t flags,
                                       const U32String& text, const TextRect& rect, uint32_t alignment,
                                       bool limitWidth) {
  layout.clear();
  const FontKey key = drawElem(layout, font, flags, text);
  return layoutText(layout, key, text, rect, alignment, limitWidth);
}

bool hudTextInRect(GlyphLayout& layout, const qxfont::FontRef& font, uint32_t flags, const U32String& text,
                   const TextRect& box, uint32_t alignment, bool plain) {
  layout.clear();
  const FontKey key = drawElem(layout, font, flags, text);
  return placeText(layout, text, key, box, alignment, plain);
}

void hudTextWindow(GlyphLayout& layout, const qxfont::FontRef& font, uint32_t flags, const U32String& text,
                   const TextWindow& window) {
  layout.clear();
  drawElem(layout, font, flags, text);
  drawTextWindow(layout, text, window);
}

}  // namespace hudtext
