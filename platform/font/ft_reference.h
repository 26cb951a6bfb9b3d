// FreeType alone, as the yardstick the font module is measured against: one face at a
// given size, each code point loaded and rendered to 8-bit coverage, nothing more.
#pragma once
#include <cstdint>
#include <string>

namespace qxfont {

class FreeTypeReference {
 public:
  FreeTypeReference(const std::string& path, int64_t xPpem64, int64_t yPpem64);
  ~FreeTypeReference();
  FreeTypeReference(const FreeTypeReference&) = delete;
  FreeTypeReference& operator=(const FreeTypeReference&) = delete;

  bool ok() const { return face_ != nullptr; }
  // Renders one code point, one bit or one byte per pixel; returns its bitmap's first
  // byte (so the work is kept).
  uint32_t render(uint32_t codePoint, bool mono);

 private:
  void* library_ = nullptr;
  void* face_ = nullptr;
};

}  // namespace qxfont
