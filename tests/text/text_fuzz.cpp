// Script text reaches the markup converter and the layout as it is: convert, count and
// lay out any UTF-16 input, with any alignment, box and window.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "hud/text/font_context.h"
#include "hud/text/text_place.h"

namespace {

int32_t word(const uint8_t* d) {
  int32_t v;
  std::memcpy(&v, d, 4);
  return v % 4096;
}

const qxfont::FontRef& font() {
  static qxfont::FontRef f = [] {
    qxfont::LogFont lf;
    lf.lfHeight = 12;
    return qxfont::createFontFromFile("/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf", lf);
  }();
  return f;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 18) return 0;
  const uint32_t alignment = data[0], flags = data[1] & 7;
  const hudtext::TextRect rect{word(data + 2), word(data + 6), word(data + 10), word(data + 14)};
  data += 18;
  size -= 18;
  std::u16string wide(size / 2, u'\0');
  std::memcpy(wide.data(), data, wide.size() * 2);

  U32String text;
  markupToUtf32(wide.c_str(), text);
  std::vector<int32_t> rows;
  countLineLengths(rows, text);
  int64_t total = 0;
  for (int32_t r : rows) total += r;
  if (total != int64_t(text.size())) std::abort();
  const size_t lf = size_t(std::count(text.begin(), text.end(), U'\n'));
  if (size_t(countLines(text.c_str())) != (text.empty() ? 1 : lf + (text.back() == U'\n' ? 0 : 1))) std::abort();
  std::u16string back;
  utf32ToWide(back, text);

  if (!font()) return 0;
  hudtext::GlyphLayout layout;
  hudtext::hudTextFit(layout, font(), flags, text, rect, alignment, alignment & 0x10);
  hudtext::placeText(layout, text, 0, rect, alignment, alignment & 0x20);
  hudtext::hudTextInRect(layout, font(), flags, text, rect, alignment, alignment & 0x40);
  hudtext::drawTextWindow(layout, text, {rect.left, rect.top, rect.right, rect.bottom, rect.top, rect.left,
                                          int32_t(alignment >> 4)});
  return 0;
}
