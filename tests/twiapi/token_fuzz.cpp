// Any token file loads two words that encode back to a file decoding to them, or nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/twiapi/token_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size < kTokenFileMax ? size : kTokenFileMax);
  std::string first = "unchanged", second = "unchanged";
  if (!decodeTokenFile(bytes, kAccessTokenKey, first, second)) {
    if (first != "unchanged" || second != "unchanged") std::abort();
    return 0;
  }
  if (first.empty() || second.empty()) std::abort();
  for (char c : first + second) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f') std::abort();
  }
  std::string a, b;
  if (!decodeTokenFile(encodeTokenFile(first, second, kAccessTokenKey), kAccessTokenKey, a, b)) std::abort();
  if (a != first || b != second) std::abort();
  return 0;
}
