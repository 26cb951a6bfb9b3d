// Feeds arbitrary bytes to the framers, whole and cut into pieces, the way a socket
// worker does; the two feedings must deliver the same messages, and no feed may claim
// bytes it was not given.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "net/http/header_chk.h"
#include "net/http/term_chk.h"

namespace {

struct Result {
  std::vector<std::string> deliveries;
  std::vector<int> states;
  int skips = 0;
  bool error = false;
  bool operator==(const Result&) const = default;
};

std::unique_ptr<IHeaderCheck> make(uint8_t kind) {
  switch (kind % 3) {
    case 0:
      return std::make_unique<HTTPTermChk>(false);
    case 1:
      return std::make_unique<HTTPTermChk>(true);
    default:
      return HTTPHeaderChk::makeStream();
  }
}

Result run(IHeaderCheck& f, std::string_view input, size_t step) {
  Result r;
  std::string pending;
  size_t from = 0;
  bool ended = false;
  while (from < input.size() && !ended && !r.error) {
    size_t n = std::min(step, input.size() - from);
    pending.append(input.substr(from, n));
    from += n;
    for (;;) {
      int c = f.feed(pending.data(), static_cast<int>(pending.size()));
      if (c < 0 || static_cast<size_t>(c) > pending.size()) std::abort();
      pending.erase(0, static_cast<size_t>(c));
      int st = f.state();
      if (st == IHeaderCheck::kComplete || st == IHeaderCheck::kLast) {
        FramedData d = f.buffered();
        if ((d.data == nullptr) != (d.length == 0)) std::abort();
        r.deliveries.emplace_back(d.data ? std::string(d.data, d.length) : std::string());
        r.states.push_back(st);
        f.reset();
        if (st == IHeaderCheck::kLast) {
          ended = true;
          break;
        }
        continue;
      }
      if (st == IHeaderCheck::kSkip) {
        ++r.skips;
        f.reset();
        continue;
      }
      if (st == IHeaderCheck::kError) {
        if (f.feed(pending.data(), static_cast<int>(pending.size())) != 0) std::abort();
        r.error = true;
        break;
      }
      if (c == 0 || pending.empty()) break;
    }
  }
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t kind = data[0];
  const size_t step = 1 + data[1] % 64;
  std::string_view input(reinterpret_cast<const char*>(data + 2), size - 2);
  auto whole = make(kind);
  auto cut = make(kind);
  Result a = run(*whole, input, input.size() + 1);
  Result b = run(*cut, input, step);
  if (!(a == b)) std::abort();
  return 0;
}
