// Records and constants of GDI-shaped fonts. The values are the ones GDI uses, so font
// requests and glyph formats written for that API keep their meaning here.
#pragma once
#include <cstdint>
#include <string>

namespace qxfont {

// Glyph formats of glyphOutline: 1 one bit per pixel; 4, 5 and 6 grey with 5, 17 and 65
// levels (0..4, 0..16, 0..64). GGO_GLYPH_INDEX marks the argument as a glyph index.
constexpr uint32_t GGO_METRICS = 0;
constexpr uint32_t GGO_BITMAP = 1;
constexpr uint32_t GGO_NATIVE = 2;
constexpr uint32_t GGO_BEZIER = 3;
constexpr uint32_t GGO_GRAY2_BITMAP = 4;
constexpr uint32_t GGO_GRAY4_BITMAP = 5;
constexpr uint32_t GGO_GRAY8_BITMAP = 6;
constexpr uint32_t GGO_GLYPH_INDEX = 0x80;

constexpr int32_t FW_DONTCARE = 0;
constexpr int32_t FW_NORMAL = 400;
constexpr int32_t FW_SEMIBOLD = 600;
constexpr int32_t FW_BOLD = 700;

// Bits of TextMetric::tmPitchAndFamily (set bit 0 means variable pitch, as in GDI).
constexpr uint8_t TMPF_FIXED_PITCH = 0x01;
constexpr uint8_t TMPF_VECTOR = 0x02;
constexpr uint8_t TMPF_TRUETYPE = 0x04;
constexpr uint8_t FF_SWISS = 0x20;
constexpr uint8_t FF_MODERN = 0x30;

// Font enumeration reports outline fonts with this type.
constexpr uint32_t TRUETYPE_FONTTYPE = 4;

constexpr size_t LF_FACESIZE = 32;  // face name units, terminator included

// A font request. lfHeight > 0 asks for that cell height (ascent + descent), < 0 for that
// em height, 0 for the default; lfWidth 0 keeps the face's aspect, otherwise it is the
// average character width.
struct LogFont {
  int32_t lfHeight = 0;
  int32_t lfWidth = 0;
  int32_t lfEscapement = 0;
  int32_t lfOrientation = 0;
  int32_t lfWeight = FW_DONTCARE;
  uint8_t lfItalic = 0;
  uint8_t lfUnderline = 0;
  uint8_t lfStrikeOut = 0;
  uint8_t lfCharSet = 0;
  uint8_t lfOutPrecision = 0;
  uint8_t lfClipPrecision = 0;
  uint8_t lfQuality = 0;
  uint8_t lfPitchAndFamily = 0;
  std::u16string lfFaceName;  // at most LF_FACESIZE - 1 units are used
};

// Metrics of a realised font, in pixels. bytes() lays it out as GDI's 60-byte record so
// that checksums over it are stable (padding is zero).
struct TextMetric {
  int32_t tmHeight = 0;
  int32_t tmAscent = 0;
  int32_t tmDescent = 0;
  int32_t tmInternalLeading = 0;
  int32_t tmExternalLeading = 0;
  int32_t tmAveCharWidth = 0;
  int32_t tmMaxCharWidth = 0;
  int32_t tmWeight = 0;
  int32_t tmOverhang = 0;
  int32_t tmDigitizedAspectX = 96;
  int32_t tmDigitizedAspectY = 96;
  char16_t tmFirstChar = 0;
  char16_t tmLastChar = 0;
  char16_t tmDefaultChar = 0;
  char16_t tmBreakChar = 0;
  uint8_t tmItalic = 0;
  uint8_t tmUnderlined = 0;
  uint8_t tmStruckOut = 0;
  uint8_t tmPitchAndFamily = 0;
  uint8_t tmCharSet = 0;

  static constexpr size_t kRecordBytes = 60;
  void bytes(uint8_t out[kRecordBytes]) const;
};

struct GlyphMetrics {
  uint32_t gmBlackBoxX = 0;
  uint32_t gmBlackBoxY = 0;
  int32_t gmptGlyphOriginX = 0;  // left of the black box from the pen position
  int32_t gmptGlyphOriginY = 0;  // top of the black box above the base line
  int16_t gmCellIncX = 0;
  int16_t gmCellIncY = 0;
};

struct AbcWidth {
  int32_t abcA = 0;
  uint32_t abcB = 0;
  int32_t abcC = 0;
};

struct Extent {
  int32_t cx = 0, cy = 0;
};

}  // namespace qxfont
