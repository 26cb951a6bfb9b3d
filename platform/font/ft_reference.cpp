#include "platform/font/ft_reference.h"

#include <ft2build.h>
#include FT_FREETYPE_H

namespace qxfont {

FreeTypeReference::FreeTypeReference(const std::string& path, int64_t xPpem64, int64_t yPpem64) {
  FT_Library lib = nullptr;
  if (FT_Init_FreeType(&lib) != 0) return;
  library_ = lib;
  FT_Face face = nullptr;
  if (FT_New_Face(lib, path.c_str(), 0, &face) != 0) return;
  if (FT_Set_Char_Size(face, FT_F26Dot6(xPpem64), FT_F26Dot6(yPpem64), 72, 72) != 0) {
    FT_Done_Face(face);
    return;
  }
  face_ = face;
}

FreeTypeReference::~FreeTypeReference() {
  if (face_) FT_Done_Face(static_cast<FT_Face>(face_));
  if (library_) FT_Done_FreeType(static_cast<FT_Library>(library_));
}

uint32_t FreeTypeReference::render(uint32_t codePoint, bool mono) {
  FT_Face face = static_cast<FT_Face>(face_);
  const FT_Int32 flags = FT_LOAD_NO_BITMAP | FT_LOAD_RENDER | (mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL);
  if (!face || FT_Load_Char(face, codePoint, flags) != 0) return 0;
  const FT_Bitmap& bm = face->glyph->bitmap;
  return bm.buffer && bm.rows > 0 ? bm.buffer[0] : 0;
}

}  // namespace qxfont
