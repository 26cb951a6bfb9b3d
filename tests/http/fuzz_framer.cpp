// Arbitrary bytes fed whole and cut into pieces must deliver the same messages.
#include <cstdint>
#include <cstdlib>

#include "tests/http/framing_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int kind = data[0] % 3;
  const size_t step = 1 + data[1] % 64;
  std::string_view input(reinterpret_cast<const char*>(data + 2), size - 2);
  std::vector<size_t> cuts;
  for (size_t at = step; at < input.size(); at += step) cuts.push_back(at);
  auto make = [kind]() -> std::unique_ptr<IHeaderCheck> {
    if (kind == 2) return HTTPHeaderChk::makeStream();
    return std::make_unique<HTTPTermChk>(kind == 1);
  };
  const InfoKind info = kind == 2 ? InfoKind::Stream : InfoKind::Term;
  auto whole = make(), cut = make();
  Outcome a = feedPieces(*whole, info, input, {});
  Outcome b = feedPieces(*cut, info, input, cuts);
  if (!a.misbehaved.empty() || !(a == b)) std::abort();
  return 0;
}
