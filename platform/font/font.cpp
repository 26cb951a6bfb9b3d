#include "platform/font/font.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "platform/font/font_internal.h"

namespace qxfont {

namespace {

// Faces are opened and closed through one library object, which FreeType does not lock.
std::mutex& libraryLock() {
  static std::mutex m;
  return m;
}

FT_Library library() {
  static FT_Library lib = [] {
    FT_Library l = nullptr;
    if (FT_Init_FreeType(&l) != 0) l = nullptr;
    return l;
  }();
  return lib;
}

// num / den rounded, for num >= 0 and den > 0.
int32_t roundDiv(int64_t num, int64_t den) { return int32_t((num + den / 2) / den); }

void put32(uint8_t*& p, int32_t v) {
  std::memcpy(p, &v, 4);
  p += 4;
}
void put16(uint8_t*& p, char16_t v) {
  std::memcpy(p, &v, 2);
  p += 2;
}

// Default cell height for a request of height 0.
constexpr int32_t kDefaultCellHeight = 16;

}  // namespace

void TextMetric::bytes(uint8_t out[kRecordBytes]) const {
  std::memset(out, 0, kRecordBytes);
  uint8_t* p = out;
  for (int32_t v : {tmHeight, tmAscent, tmDescent, tmInternalLeading, tmExternalLeading, tmAveCharWidth,
                    tmMaxCharWidth, tmWeight, tmOverhang, tmDigitizedAspectX, tmDigitizedAspectY})
    put32(p, v);
  for (char16_t v : {tmFirstChar, tmLastChar, tmDefaultChar, tmBreakChar}) put16(p, v);
  for (uint8_t v : {tmItalic, tmUnderlined, tmStruckOut, tmPitchAndFamily, tmCharSet}) *p++ = v;
}

struct Font::Face {
  FT_Face face = nullptr;
  ~Face() {
    if (face) {
      std::lock_guard<std::mutex> g(libraryLock());
      FT_Done_Face(face);
    }
  }
};

Font::~Font() = default;

FontRef realise(const std::string& path, int index, const LogFont& request, const std::u16string& family,
                std::string* error) {
  FontRef font(new Font());
  font->face_ = std::make_unique<Font::Face>();
  {
    std::lock_guard<std::mutex> g(libraryLock());
    if (!library() || FT_New_Face(library(), path.c_str(), index, &font->face_->face) != 0) {
      font->face_->face = nullptr;
      if (error) *error = "cannot open font file \"" + path + "\"";
      return nullptr;
    }
  }
  FT_Face f = font->face_->face;
  if (!FT_IS_SCALABLE(f) || f->units_per_EM == 0) {
    if (error) *error = "font file \"" + path + "\" holds no outline face";
    return nullptr;
  }
  font->request_ = request;
  font->path_ = path;

  const int64_t upem = f->units_per_EM;
  const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(f, FT_SFNT_OS2));
  const TT_HoriHeader* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(f, FT_SFNT_HHEA));
  int64_t winAscent = f->ascender, winDescent = -f->descender;
  if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
    winAscent = os2->usWinAscent;
    winDescent = os2->usWinDescent;
  }
  if (winAscent + winDescent <= 0) {
    winAscent = upem;
    winDescent = 0;
  }

  // Vertical size in 26.6 pixels per em.
  const int32_t h = request.lfHeight == 0 ? kDefaultCellHeight : request.lfHeight;
  int64_t yPpem64;
  if (h > 0)
    yPpem64 = int64_t(h) * 64 * upem / (winAscent + winDescent);
  else
    yPpem64 = int64_t(-int64_t(h)) * 64;
  yPpem64 = std::clamp<int64_t>(yPpem64, 64, int64_t(16384) * 64);

  const int64_t avgUnits = (os2 && os2->version != 0xFFFF && os2->xAvgCharWidth > 0) ? os2->xAvgCharWidth : upem / 2;
  int64_t xPpem64 = yPpem64;
  if (request.lfWidth > 0) xPpem64 = std::clamp<int64_t>(int64_t(request.lfWidth) * 64 * upem / avgUnits, 64, int64_t(16384) * 64);
  if (FT_Set_Char_Size(f, FT_F26Dot6(xPpem64), FT_F26Dot6(yPpem64), 72, 72) != 0) {
    if (error) *error = "font file \"" + path + "\" cannot be sized";
    return nullptr;
  }

  font->xPpem64_ = xPpem64;
  font->yPpem64_ = yPpem64;
  TextMetric& m = font->metrics_;
  m.tmAscent = roundDiv(winAscent * yPpem64, upem * 64);
  if (h > 0) {
    m.tmHeight = h;
    m.tmDescent = h - m.tmAscent;
  } else {
    m.tmDescent = roundDiv(winDescent * yPpem64, upem * 64);
    m.tmHeight = m.tmAscent + m.tmDescent;
  }
  m.tmInternalLeading = m.tmHeight - roundDiv(yPpem64, 64);
  if (hhea) {
    const int64_t gap = int64_t(hhea->Line_Gap) - ((winAscent + winDescent) - (hhea->Ascender - hhea->Descender));
    m.tmExternalLeading = gap > 0 ? roundDiv(gap * yPpem64, upem * 64) : 0;
  }
  m.tmAveCharWidth = request.lfWidth > 0 ? request.lfWidth : roundDiv(avgUnits * xPpem64, upem * 64);
  m.tmMaxCharWidth = std::max(1, roundDiv(int64_t(f->max_advance_width) * xPpem64, upem * 64));
  const int32_t faceWeight = (os2 && os2->version != 0xFFFF && os2->usWeightClass > 0) ? os2->usWeightClass : FW_NORMAL;
  font->emboldened_ = request.lfWeight >= FW_SEMIBOLD && faceWeight < FW_SEMIBOLD;
  m.tmWeight = font->emboldened_ ? FW_BOLD : faceWeight;
  if (font->emboldened_) m.tmMaxCharWidth += 1;
  m.tmOverhang = 0;
  if (os2 && os2->version != 0xFFFF) {
    m.tmFirstChar = char16_t(std::min<uint32_t>(os2->usFirstCharIndex, 0xFFFF));
    m.tmLastChar = char16_t(std::min<uint32_t>(os2->usLastCharIndex, 0xFFFF));
  } else {
    m.tmFirstChar = 0x20;
    m.tmLastChar = 0xFFFF;
  }
  m.tmDefaultChar = m.tmFirstChar <= 0x1F ? char16_t(0x1F) : m.tmFirstChar;
  m.tmBreakChar = 0x20;
  m.tmItalic = request.lfItalic ? 0xFF : 0;
  m.tmUnderlined = request.lfUnderline ? 0xFF : 0;
  m.tmStruckOut = request.lfStrikeOut ? 0xFF : 0;
  const bool fixed = FT_IS_FIXED_WIDTH(f);
  m.tmPitchAndFamily = uint8_t(TMPF_VECTOR | TMPF_TRUETYPE | (fixed ? 0 : TMPF_FIXED_PITCH) | (fixed ? FF_MODERN : FF_SWISS));
  m.tmCharSet = request.lfCharSet;

  font->faceName_ = family;
  if (font->faceName_.empty() && f->family_name) {
    for (const char* c = f->family_name; *c; ++c) font->faceName_.push_back(char16_t(uint8_t(*c)));
  }
  return font;
}

uint32_t Font::glyphIndex(uint32_t codePoint) const { return FT_Get_Char_Index(face_->face, codePoint); }

bool Font::load(uint32_t glyphIndex, bool mono) const {
  FT_Face f = face_->face;
  const FT_Int32 flags = FT_LOAD_NO_BITMAP | (mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL);
  if (FT_Load_Glyph(f, glyphIndex, flags) != 0) return false;
  if (emboldened_ && f->glyph->format == FT_GLYPH_FORMAT_OUTLINE) {
    FT_Outline_EmboldenXY(&f->glyph->outline, 64, 0);
    f->glyph->advance.x += 64;
  }
  return true;
}

int32_t Font::advanceOf(uint32_t glyphIndex) const {
  if (!load(glyphIndex, false)) return 0;
  return int32_t((face_->face->glyph->advance.x + 32) >> 6);
}

int64_t Font::glyphOutline(uint32_t glyph, uint32_t format, GlyphMetrics& gm, uint8_t* buffer,
                           size_t bufferSize) const {
  gm = GlyphMetrics{};
  const uint32_t kind = format & 0x7F;
  const uint32_t index = (format & GGO_GLYPH_INDEX) ? glyph : glyphIndex(glyph);
  if (last_.index != index || last_.kind != kind) {
    last_.index = ~0u;
    const bool mono = kind == GGO_BITMAP;
    if (!load(index, mono)) return -1;
    FT_GlyphSlot slot = face_->face->glyph;
    GlyphMetrics m;
    m.gmCellIncX = int16_t(std::clamp<FT_Pos>((slot->advance.x + 32) >> 6, INT16_MIN, INT16_MAX));
    if (FT_Render_Glyph(slot, mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0) return -1;
    const FT_Bitmap& bm = slot->bitmap;
    m.gmBlackBoxX = bm.width;
    m.gmBlackBoxY = bm.rows;
    m.gmptGlyphOriginX = slot->bitmap_left;
    m.gmptGlyphOriginY = slot->bitmap_top;
    const bool bitmapKind = kind == GGO_BITMAP || kind == GGO_GRAY2_BITMAP || kind == GGO_GRAY4_BITMAP ||
                            kind == GGO_GRAY8_BITMAP;
    last_.bits.clear();
    if (bitmapKind && bm.width > 0 && bm.rows > 0) {
      const size_t pitch = mono ? (size_t(bm.width) + 31) / 32 * 4 : (size_t(bm.width) + 3) / 4 * 4;
      last_.bits.assign(pitch * bm.rows, 0);
      const uint32_t top = kind == GGO_GRAY2_BITMAP ? 4 : kind == GGO_GRAY4_BITMAP ? 16 : 64;
      for (uint32_t y = 0; y < bm.rows; ++y) {
        const uint8_t* src = bm.buffer + ptrdiff_t(y) * bm.pitch;
        uint8_t* dst = last_.bits.data() + y * pitch;
        if (mono) {
          std::memcpy(dst, src, (bm.width + 7) / 8);
        } else {
          for (uint32_t x = 0; x < bm.width; ++x) dst[x] = uint8_t((src[x] * top + 127) / 255);
        }
      }
    }
    last_.metrics = m;
    last_.index = index;
    last_.kind = kind;
  }
  gm = last_.metrics;
  const size_t needed = last_.bits.size();
  if (buffer && bufferSize >= needed && needed > 0) std::memcpy(buffer, last_.bits.data(), needed);
  return int64_t(needed);
}

AbcWidth Font::abcWidths(uint32_t codePoint) const {
  AbcWidth abc;
  if (!load(glyphIndex(codePoint), false)) return abc;
  FT_GlyphSlot slot = face_->face->glyph;
  const int32_t advance = int32_t((slot->advance.x + 32) >> 6);
  if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0 || slot->bitmap.width == 0) {
    abc.abcC = advance;
    return abc;
  }
  abc.abcA = slot->bitmap_left;
  abc.abcB = slot->bitmap.width;
  abc.abcC = advance - abc.abcA - int32_t(abc.abcB);
  return abc;
}

Extent Font::textExtent(std::u16string_view text) const {
  Extent e;
  e.cy = metrics_.tmHeight;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t cp = text[i];
    if ((cp & 0xFC00) == 0xD800 && i + 1 < text.size() && (text[i + 1] & 0xFC00) == 0xDC00) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    e.cx += advanceOf(glyphIndex(cp));
  }
  return e;
}

FontRef createFontFromFile(const std::string& path, const LogFont& request, std::string* error) {
  return realise(path, 0, request, u"", error);
}

}  // namespace qxfont
