#include "runtime/res/base_path.h"

#include "runtime/core/text_encoding.h"

namespace kesto {

void BasePath::addExtension(std::u16string_view extension) { extensions_.emplace_back(extension); }

int32_t BasePath::indexOfExtension(const std::u16string& fileName) const {
  char16_t ext[16];
  if (!getFileExtension(fileName.c_str(), ext, 16)) return -1;
  std::u16string_view view(ext);
  for (size_t i = 0; i < extensions_.size(); ++i) {
    if (extensions_[i] == view) return static_cast<int32_t>(i);
  }
  return -1;
}

}  // namespace kesto
