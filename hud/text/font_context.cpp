#include "hud/text/font_context.h"

#include <algorithm>
#include <string>

#include "platform/core/checksum.h"
#include "platform/window/message_box.h"
#include "runtime/core/thread_ctx.h"

namespace hudtext {

namespace {

qxfont::LogFont defaultRequest() {
  qxfont::LogFont lf;
  lf.lfHeight = 12;
  lf.lfWidth = 8;
  lf.lfWeight = qxfont::FW_NORMAL;
  lf.lfOutPrecision = 7;
  lf.lfQuality = 2;
  lf.lfFaceName = u"ＭＳ ゴシック";
  return lf;
}

}  // namespace

qxfont::FontRef createDefaultFont() {
  std::string error;
  qxfont::FontRef font = qxfont::createFont(defaultRequest(), &error);
  if (!font) qxplat::showMessageBox("No default font: " + error, "QX fonts", qxplat::kMbIconError);
  return font;
}

SharedFonts& sharedFonts() {
  static SharedFonts* fonts = [] {
    auto* f = new SharedFonts();  // kept until the program ends, like the caches using it
    f->defaultFont = createDefaultFont();
    f->dc.select(f->defaultFont);
    f->defaultKey = makeFontKey(f->dc, f->defaultFont, 1);
    return f;
  }();
  return *fonts;
}

FontKey makeFontKey(qxfont::DeviceContext& dc, const qxfont::FontRef& font, uint32_t flags) {
  qxfont::FontRef previous;
  if (font) previous = dc.select(font);
  FontKey key = 0;
  if (const qxfont::FontRef& f = dc.font()) {
    const std::u16string& face = f->faceName();
    const size_t units = std::min<size_t>(face.size(), 128);
    const uint64_t a = GetMemCRC32(face.data(), units * 2);
    const uint64_t b = GetMemCRC32(&flags, sizeof flags);
    uint8_t record[qxfont::TextMetric::kRecordBytes];
    f->textMetrics().bytes(record);
    const uint64_t c = GetMemCRC32(record, sizeof record);
    key = (a << 32) ^ (b << 16) ^ c;
  }
  if (font) dc.select(std::move(previous));
  return key;
}

FontKey makeFontKeyShared(const qxfont::FontRef& font, uint32_t flags) {
  SharedFonts& s = sharedFonts();
  kesto::SyncloGuard g(s.lock);
  return makeFontKey(s.dc, font, flags);
}

qxfont::FontRef matchFont(int32_t width, int32_t height, std::u16string_view face) {
  SharedFonts& s = sharedFonts();
  kesto::SyncloGuard g(s.lock);
  std::optional<qxfont::LogFont> lf = qxfont::enumOutlineFace(face);
  if (!lf) return nullptr;
  lf->lfHeight = height;
  lf->lfWidth = width;
  return qxfont::createFont(*lf);
}

FontKey drawElem(GlyphLayout& layout, const qxfont::FontRef& font, uint32_t flags, const U32String& text) {
  ProfScope prof("drawelem");
  SharedFonts& s = sharedFonts();
  const qxfont::FontRef& use = font ? font : s.defaultFont;
  qxfont::FontRef previous = s.dc.select(use);
  const FontKey key = makeFontKey(s.dc, nullptr, flags);
  if (GlyphCache* cache = glyphCacheFor(key, use, flags)) cache->buildQuads(layout, text);
  s.dc.select(std::move(previous));
  return key;
}

}  // namespace hudtext
