// The file extensions a named manager accepts, in the order they were added.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kesto {

class BasePath {
 public:
  void addExtension(std::u16string_view extension);
  // Position of the name's extension in the list (exact comparison, so callers pass
  // normalised names), -1 when it has none or it is not listed.
  int32_t indexOfExtension(const std::u16string& fileName) const;
  const std::vector<std::u16string>& extensions() const { return extensions_; }

 private:
  std::vector<std::u16string> extensions_;
};

}  // namespace kesto
