#pragma once
#include <gtest/gtest.h>

#include "hud/text/font_context.h"
#include "platform/font/font.h"

namespace texttest {

inline const char* kMonoFile = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";

// DejaVu Sans Mono with a 12-pixel cell: every ASCII glyph advances 6 pixels.
inline qxfont::FontRef monoFont(int32_t height = 12) {
  qxfont::LogFont lf;
  lf.lfHeight = height;
  std::string error;
  qxfont::FontRef f = qxfont::createFontFromFile(kMonoFile, lf, &error);
  EXPECT_TRUE(f) << error;
  return f;
}

// The key of the mono font with glyphs of text cached (flags 1).
inline hudtext::FontKey cachedMono(const U32String& text, hudtext::GlyphLayout* layout = nullptr) {
  static qxfont::FontRef font = monoFont();
  hudtext::GlyphLayout scratch;
  return hudtext::drawElem(layout ? *layout : scratch, font, 1, text);
}

}  // namespace texttest
