// Line layout: measuring a text into pieces, placing its glyph quads inside a box with an
// alignment word (bits 0-1 left/centre/right, bits 2-3 top/centre/bottom), and emitting
// the quads of a window of the text.
#pragma once
#include <cstdint>
#include <utility>

#include "hud/text/glyph_cache.h"

namespace hudtext {

struct TextRect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// A window of a back-buffer text: the window inside the target, the offset that turns it
// into text coordinates, and edge flags (1 extend left, 2 up, 4 right, 8 down).
struct TextWindow {
  int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  int32_t offsetX = 0, offsetY = 0;
  int32_t edges = 0;
};

class IFPlaceH {
 public:
  virtual ~IFPlaceH() = default;
  virtual int64_t offset(FontKey key, const char32_t* line, int64_t width) const = 0;
};
class IFPlaceV {
 public:
  virtual ~IFPlaceV() = default;
  virtual int64_t offset(const char32_t* text, int64_t lineHeight, int64_t height) const = 0;
};
class PlaceLH final : public IFPlaceH {
 public:
  int64_t offset(FontKey, const char32_t*, int64_t) const override { return 0; }
};
class PlaceCH final : public IFPlaceH {
 public:
  int64_t offset(FontKey key, const char32_t* line, int64_t width) const override;
};
class PlaceRH final : public IFPlaceH {
 public:
  int64_t offset(FontKey key, const char32_t* line, int64_t width) const override;
};
class PlaceTV final : public IFPlaceV {
 public:
  int64_t offset(const char32_t*, int64_t, int64_t) const override { return 0; }
};
class PlaceCV final : public IFPlaceV {
 public:
  int64_t offset(const char32_t* text, int64_t lineHeight, int64_t height) const override;
};
class PlaceBV final : public IFPlaceV {
 public:
  int64_t offset(const char32_t* text, int64_t lineHeight, int64_t height) const override;
};

// The placers of an alignment word; a field outside the tables picks the first entry.
const IFPlaceH& placerH(uint32_t alignment);
const IFPlaceV& placerV(uint32_t alignment);

// Measures the text into pieces (cut at the width limit when limitWidth is set) and places
// it in a box of the largest piece's width and all pieces' height at the rect's left-top.
// Returns (width, height), (0, 0) when placing fails.
std::pair<int32_t, int32_t> layoutText(GlyphLayout& layout, FontKey key, const U32String& text, const TextRect& rect,
                                       uint32_t alignment, bool limitWidth);
// Places the quads inside box. plain: left and top, and a code point that does not fit
// starts the next line. True when every code point was reached.
bool placeText(GlyphLayout& layout, const U32String& text, FontKey key, const TextRect& box, uint32_t alignment,
               bool plain);
// Appends the quads of the part of text inside the window.
void drawTextWindow(GlyphLayout& layout, const U32String& text, const TextWindow& window);

// The widgets' entry points: clear the layout, build the text's quads for the font and
// render flags, then lay out. Callers hold the font lock.
std::pair<int32_t, int32_t> hudTextFit(GlyphLayout& layout, const qxfont::FontRef& font, uint32_t flags,
                                       const U32String& text, const TextRect& rect, uint32_t alignment,
                                       bool limitWidth);
bool hudTextInRect(GlyphLayout& layout, const qxfont::FontRef& font, uint32_t flags, const U32String& text,
                   const TextRect& box, uint32_t alignment, bool plain);
void hudTextWindow(GlyphLayout& layout, const qxfont::FontRef& font, uint32_t flags, const U32String& text,
                   const TextWindow& window);

}  // namespace hudtext
