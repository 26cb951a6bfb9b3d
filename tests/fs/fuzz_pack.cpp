// Fuzzes the pack reader: the input is mounted as one part and every entry read; the whole
// input is also decoded as a single entry, which reaches the Huffman decoder with any tree.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/fs/pack_files.h"
#include "runtime/fs/pack_format.h"

namespace {

// Bounds the work per entry: a single-leaf tree may claim a 2 GiB size.
constexpr uint32_t kMaxDecode = 64 * 1024;

void exercise(qx::ibitstream& in, uint32_t seed) {
  static uint8_t buf[4096];
  const auto limit = static_cast<uint32_t>(std::min<int64_t>(in.sourceSize(), kMaxDecode));
  uint32_t total = 0;
  while (total < limit) {
    const size_t got = in.readBytes(buf, std::min<size_t>(sizeof(buf), limit - total));
    if (got == 0) break;
    total += static_cast<uint32_t>(got);
  }
  if (limit > 0) {
    in.seek(seed % limit);
    in.readBits(seed % 33);
    in.readBytes(buf, 100);
    in.seek(0);
    in.readBytes(buf, 100);
  }
}

// The part as a file without a name on disk: /proc/self/fd/<n> names it, and its
// continuation name (<n>.1) does not exist.
void exercisePackSource(const uint8_t* data, size_t size, uint32_t& seed) {
  const int fd = ::memfd_create("fuzz_pack", MFD_CLOEXEC);
  if (fd < 0) return;
  if (::write(fd, data, size) == static_cast<ssize_t>(size)) {
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    std::unique_ptr<qx::PackFile> pack;
    try {
      pack = qx::PackFile::create(std::u16string(path.begin(), path.end()));
    } catch (const qx::PackOpenError&) {
    }
    if (pack) {
      for (const auto& [key, entry] : pack->index()) {
        if (entry.size <= kMaxDecode) pack->readWhole(key, 0);
        if (auto in = pack->openRead(key)) exercise(*in, seed++);
      }
    }
  }
  ::close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint32_t seed = size > 0 ? data[size - 1] * 977u : 0;
  exercisePackSource(data, size, seed);
  auto entry = std::make_unique<qx::BufPack>();
  if (entry->open(std::make_unique<qx::BufFileCopy>(data, size))) {
    qx::ibitstream in(std::move(entry));
    exercise(in, seed);
  }
  return 0;
}
