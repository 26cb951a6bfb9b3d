#include "platform/window/dialog_paint.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>

#include "platform/font/font.h"

namespace qxplat {

namespace {

constexpr int kGreyLevels = 64;  // GGO_GRAY8_BITMAP gives 0..64

// Dialogs live on the UI thread only, so the one font is never shared between threads.
const qxfont::FontRef& font() {
  static const qxfont::FontRef made = [] {
    qxfont::LogFont request;
    request.lfHeight = -kDialogFontPixels;
    request.lfWeight = qxfont::FW_NORMAL;
    request.lfFaceName = kDialogFace;
    std::string error;
    qxfont::FontRef f = qxfont::createFont(request, &error);
    if (!f) std::fprintf(stderr, "dialogs: no font (%s)\n", error.c_str());
    return f;
  }();
  return made;
}

uint32_t mix(uint32_t under, uint32_t over, int level, int levels) {
  uint32_t out = 0xFF000000u;
  for (int shift = 0; shift < 24; shift += 8) {
    const int a = int((under >> shift) & 0xFF), b = int((over >> shift) & 0xFF);
    out |= uint32_t(a + (b - a) * level / levels) << shift;
  }
  return out;
}

}  // namespace

int dialogAdvance(char32_t c) {
  const auto& f = font();
  if (!f) return 0;
  // Each advance renders its glyph: layout asks for the same characters many times.
  static std::unordered_map<char32_t, int> known;
  auto it = known.find(c);
  if (it != known.end()) return it->second;
  const qxfont::AbcWidth abc = f->abcWidths(c);
  const int advance = abc.abcA + int(abc.abcB) + abc.abcC;
  if (known.size() < 4096) known.emplace(c, advance);
  return advance;
}

int dialogLineHeight() {
  const auto& f = font();
  return f ? std::max(1, f->textMetrics().tmHeight) : kDialogFontPixels;
}

AdvanceFn dialogAdvanceFn() { return [](char32_t c) { return dialogAdvance(c); }; }

DialogCanvas::DialogCanvas(int width, int height, uint32_t background)
    : width_(std::max(width, 0)), height_(std::max(height, 0)),
      pixels_(size_t(width_) * size_t(height_), 0xFF000000u | background) {}

void DialogCanvas::fill(const PixelRect& r, uint32_t rgb) {
  const int x0 = std::max(r.x, 0), y0 = std::max(r.y, 0);
  const int x1 = std::min(r.x + r.w, width_), y1 = std::min(r.y + r.h, height_);
  for (int y = y0; y < y1; ++y) {
    std::fill(pixels_.begin() + y * width_ + x0, pixels_.begin() + y * width_ + x1, 0xFF000000u | rgb);
  }
}

void DialogCanvas::frame(const PixelRect& r, uint32_t rgb, int t) {
  fill({r.x, r.y, r.w, t}, rgb);
  fill({r.x, r.y + r.h - t, r.w, t}, rgb);
  fill({r.x, r.y, t, r.h}, rgb);
  fill({r.x + r.w - t, r.y, t, r.h}, rgb);
}

void DialogCanvas::blend(int x, int y, uint32_t rgb, int level, int levels, const PixelRect& clip) {
  if (level <= 0 || x < std::max(clip.x, 0) || y < std::max(clip.y, 0)) return;
  if (x >= std::min(clip.x + clip.w, width_) || y >= std::min(clip.y + clip.h, height_)) return;
  uint32_t& p = pixels_[size_t(y) * size_t(width_) + size_t(x)];
  p = mix(p, rgb, std::min(level, levels), levels);
}

void DialogCanvas::glyph(char32_t c, int penX, int baseline, uint32_t rgb, const PixelRect& clip) {
  const auto& f = font();
  qxfont::GlyphMetrics m;
  const int64_t size = f->glyphOutline(c, qxfont::GGO_GRAY8_BITMAP, m, nullptr, 0);
  if (size <= 0) return;
  std::vector<uint8_t> bits(size_t(size), 0);
  if (f->glyphOutline(c, qxfont::GGO_GRAY8_BITMAP, m, bits.data(), bits.size()) <= 0) return;
  const size_t pitch = (size_t(m.gmBlackBoxX) + 3) & ~size_t(3);
  const int left = penX + m.gmptGlyphOriginX, top = baseline - m.gmptGlyphOriginY;
  for (uint32_t row = 0; row < m.gmBlackBoxY && (row + 1) * pitch <= bits.size(); ++row) {
    for (uint32_t col = 0; col < m.gmBlackBoxX; ++col) {
      blend(left + int(col), top + int(row), rgb, bits[row * pitch + col], kGreyLevels, clip);
    }
  }
}

void DialogCanvas::text(const std::vector<std::u32string>& lines, const PixelRect& r, uint32_t rgb) {
  const auto& f = font();
  if (!f || lines.empty()) return;
  const int lineHeight = dialogLineHeight();
  const int ascent = f->textMetrics().tmAscent;
  const int block = lineHeight * int(lines.size());
  int top = r.y + std::max(0, (r.h - block) / 2);
  const AdvanceFn advance = dialogAdvanceFn();
  for (const std::u32string& line : lines) {
    int pen = r.x + std::max(0, (r.w - textWidth(line, advance)) / 2);
    for (const char32_t c : line) {
      glyph(c, pen, top + ascent, rgb, r);
      pen += advance(c);
    }
    top += lineHeight;
  }
}

}  // namespace qxplat
