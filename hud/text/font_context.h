// The font side shared by every HUD text: one display device context, the default font
// and its key, and the font lock that serialises every use of the shared context.
#pragma once
#include <cstdint>
#include <string_view>

#include "hud/text/glyph_cache.h"
#include "platform/font/device_context.h"
#include "runtime/core/synclo.h"

namespace hudtext {

struct SharedFonts {
  qxfont::DeviceContext dc;
  qxfont::FontRef defaultFont;  // 12 high, 8 wide, "ＭＳ ゴシック"
  FontKey defaultKey = 0;       // the default font with render flags 1
  kesto::Synclo lock;
};

// Made on first use.
SharedFonts& sharedFonts();
// A new default font; when none can be made the user is told why.
qxfont::FontRef createDefaultFont();

// The key of a font and render flags, computed with the font selected into dc (the
// previous font is selected back). A null font keys the font dc holds.
FontKey makeFontKey(qxfont::DeviceContext& dc, const qxfont::FontRef& font, uint32_t flags);
FontKey makeFontKeyShared(const qxfont::FontRef& font, uint32_t flags);

// The first outline font of the face, made with the given width and height; null when
// no such face is installed.
qxfont::FontRef matchFont(int32_t width, int32_t height, std::u16string_view face);

// Keys the font on the shared context, finds or makes its glyph cache and builds the
// text's quads into layout. A null font draws with the default font. Callers hold the
// font lock.
FontKey drawElem(GlyphLayout& layout, const qxfont::FontRef& font, uint32_t flags, const U32String& text);

}  // namespace hudtext
