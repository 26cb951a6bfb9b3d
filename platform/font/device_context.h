// A device context as far as fonts go: the font selected into it.
#pragma once
#include <utility>

#include "platform/font/font.h"

namespace qxfont {

class DeviceContext {
 public:
  // Selects font and returns the one selected before.
  FontRef select(FontRef font) { return std::exchange(font_, std::move(font)); }
  const FontRef& font() const { return font_; }

 private:
  FontRef font_;
};

}  // namespace qxfont
