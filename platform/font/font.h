// GDI-shaped fonts on FreeType and fontconfig. A Font is one realised request: a face
// file matched through fontconfig (outline fonts only), sized the way GDI sizes it, with
// its text metrics, glyph bitmaps, ABC widths and text extents.
//
// Fonts are shared (FontRef); one font must not be used by two threads at once.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/font/font_types.h"

namespace qxfont {

class Font;
using FontRef = std::shared_ptr<Font>;

// Realises a request. An unknown face falls back to the face fontconfig substitutes, as
// GDI does; null only when no outline font can be loaded at all (the reason in *error).
FontRef createFont(const LogFont& request, std::string* error = nullptr);
// Realises a request on a given font file (face index 0), bypassing the face match.
FontRef createFontFromFile(const std::string& path, const LogFont& request, std::string* error = nullptr);

// Font enumeration for one face name: the request that names the first outline font of
// that face (through the program's aliases too), or nothing when no such font is
// installed. An empty face enumerates every family, so it gives the first outline font.
std::optional<LogFont> enumOutlineFace(std::u16string_view face);

// The Windows faces scripts name and the installed faces that stand in for them (the
// face match puts the stand-in before the named face).
struct FaceAlias {
  const char16_t* windowsFace;
  const char16_t* installedFace;
};
std::span<const FaceAlias> faceAliases();

class Font {
 public:
  ~Font();
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;

  const LogFont& request() const { return request_; }
  const TextMetric& textMetrics() const { return metrics_; }
  // The family name of the face in use.
  const std::u16string& faceName() const { return faceName_; }
  const std::string& filePath() const { return path_; }
  // The size the face is set to, in 1/64 pixels per em.
  int64_t xPpem64() const { return xPpem64_; }
  int64_t yPpem64() const { return yPpem64_; }

  // The glyph index of a code point, 0 (the missing glyph) when the face has none.
  uint32_t glyphIndex(uint32_t codePoint) const;

  // GetGlyphOutline: the low byte of format picks the bitmap kind (GGO_BITMAP, GGO_GRAY*);
  // with GGO_GLYPH_INDEX, glyph is a glyph index, else a code point. Fills metrics and,
  // when buffer holds at least the needed size, the bitmap: rows top-down, each padded to
  // 4 bytes; one bit per pixel (most significant first) or one level byte per pixel.
  // Returns the bitmap's size in bytes (0 for an empty glyph and for the outline and
  // metrics formats, which give metrics only), or -1 when the glyph cannot be loaded.
  int64_t glyphOutline(uint32_t glyph, uint32_t format, GlyphMetrics& metrics, uint8_t* buffer,
                       size_t bufferSize) const;

  // GetCharABCWidths of one code point: A + B + C is its advance.
  AbcWidth abcWidths(uint32_t codePoint) const;
  // GetTextExtentPoint32 of UTF-16 text: the sum of the advances and the cell height.
  Extent textExtent(std::u16string_view text) const;

 private:
  friend FontRef realise(const std::string&, int, const LogFont&, const std::u16string&, std::string*);
  Font() = default;
  struct Face;
  bool load(uint32_t glyphIndex, bool mono) const;
  int32_t advanceOf(uint32_t glyphIndex) const;

  // The last bitmap made: callers ask for a glyph's size and then for its bits.
  struct LastGlyph {
    uint32_t index = ~0u, kind = ~0u;
    GlyphMetrics metrics;
    std::vector<uint8_t> bits;
  };

  std::unique_ptr<Face> face_;
  mutable LastGlyph last_;
  int64_t xPpem64_ = 0, yPpem64_ = 0;
  LogFont request_;
  TextMetric metrics_;
  std::u16string faceName_;
  std::string path_;
  bool emboldened_ = false;
};

}  // namespace qxfont
