// Pictures of the program's own dialogs: filled and framed rectangles and lines of text
// drawn with the engine's FreeType fonts into a 32-bit canvas (0xAARRGGBB, rows top-down),
// which the dialog's window then shows.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/window/dialog_text.h"

namespace qxplat {

struct PixelRect {
  int x = 0, y = 0, w = 0, h = 0;
};

// The face dialogs draw with: a Japanese-capable one, so the scripts' messages show.
constexpr char16_t kDialogFace[] = u"IPAPGothic";
// Its em height in pixels (about "MS Shell Dlg" 8 at 96 dpi).
constexpr int kDialogFontPixels = 12;

// The dialog font's advance of one character (0 without a font) and its line height.
int dialogAdvance(char32_t c);
int dialogLineHeight();
// The advance function for the layout helpers.
AdvanceFn dialogAdvanceFn();

class DialogCanvas {
 public:
  DialogCanvas() = default;
  DialogCanvas(int width, int height, uint32_t background);

  int width() const { return width_; }
  int height() const { return height_; }
  const std::vector<uint32_t>& pixels() const { return pixels_; }

  void fill(const PixelRect& r, uint32_t rgb);
  void frame(const PixelRect& r, uint32_t rgb, int thickness);
  // Lines centred across r, the block centred down r; what falls outside r is clipped.
  void text(const std::vector<std::u32string>& lines, const PixelRect& r, uint32_t rgb);

 private:
  void blend(int x, int y, uint32_t rgb, int level, int levels, const PixelRect& clip);
  void glyph(char32_t c, int penX, int baseline, uint32_t rgb, const PixelRect& clip);

  int width_ = 0, height_ = 0;
  std::vector<uint32_t> pixels_;
};

}  // namespace qxplat
