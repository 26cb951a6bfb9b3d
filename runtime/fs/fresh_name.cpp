#include "runtime/fs/fresh_name.h"

#include <iterator>
#include <random>

namespace qx {

namespace {

std::mt19937_64 seeded() {
  std::random_device device;
  std::seed_seq seed{device(), device(), device(), device()};
  return std::mt19937_64(seed);
}

}  // namespace

std::u16string freshName(std::u16string_view name, std::u16string_view suffix) {
  static constexpr char16_t kChars[] = u"abcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937_64 random = seeded();
  std::uniform_int_distribution<size_t> pick(0, std::size(kChars) - 2);
  std::u16string out(name);
  out += u'.';
  for (int i = 0; i < 6; ++i) out += kChars[pick(random)];
  out += suffix;
  return out;
}

}  // namespace qx
