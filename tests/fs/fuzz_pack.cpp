// Fuzzes the pack reader: the input is one part file. Its directory is parsed, and every
// live entry it names is opened, streamed, sought and streamed again; the whole input is
// also decoded as a single entry, which reaches the Huffman decoder with any tree.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "runtime/fs/pack_files.h"
#include "runtime/fs/pack_format.h"

namespace {

// Bounds the work per entry: a single-leaf tree may claim a 2 GiB size.
constexpr uint32_t kMaxDecode = 64 * 1024;

void exerciseEntry(const uint8_t* data, size_t size, uint32_t seed) {
  qx::BufPack entry;
  if (!entry.open(std::make_unique<qx::BufFileCopy>(data, size))) return;
  static uint8_t buf[4096];
  const auto limit = static_cast<uint32_t>(std::min<int64_t>(entry.size(), kMaxDecode));
  uint32_t total = 0;
  while (total < limit) {
    const size_t got = entry.read(buf, std::min<size_t>(sizeof(buf), limit - total));
    if (got == 0) break;
    total += static_cast<uint32_t>(got);
  }
  if (limit > 0) {
    entry.seek(seed % limit);
    entry.read(buf, 100);
    entry.seek(0);
    entry.read(buf, 100);
  }
}

void walk(const qx::PackDirNode& dir, const uint8_t* data, size_t size, uint32_t& seed) {
  for (const qx::PackFileRecord& f : dir.files) {
    if (f.deleted || f.entryPos >= size) continue;
    exerciseEntry(data + f.entryPos, size - f.entryPos, seed++);
  }
  for (const qx::PackDirNode& d : dir.dirs) walk(d, data, size, seed);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qx::ibitstream in(std::make_unique<qx::BufFileCopy>(data, size));
  qx::PackDirNode root;
  uint32_t seed = size > 0 ? data[size - 1] * 977u : 0;
  if (qx::readPackDirectory(in, root)) walk(root, data, size, seed);
  exerciseEntry(data, size, seed);
  return 0;
}
