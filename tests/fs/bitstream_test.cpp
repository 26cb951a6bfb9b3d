#include "runtime/fs/bitstream.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "temp_dir.h"

namespace {

using qx::BufFile;
using qx::BufFileCopy;
using qx::ibitstream;

std::vector<uint8_t> randomBytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

// The plain meaning of each stream operation over a byte array, one bit at a time.
struct Model {
  const std::vector<uint8_t>& data;
  uint64_t bit = 0;
  uint32_t bitAt(uint64_t b) const {
    return b / 8 < data.size() ? (data[b / 8] >> (7 - b % 8)) & 1 : 0;
  }
  uint32_t readBits(unsigned n) {
    uint32_t v = 0;
    for (unsigned i = 0; i < n; ++i) v = (v << 1) | bitAt(bit++);
    return v;
  }
  void align() { bit = (bit + 7) / 8 * 8; }
  int64_t tell() const { return std::min<int64_t>(static_cast<int64_t>(bit / 8), static_cast<int64_t>(data.size())); }
  void seek(int64_t p) {
    align();
    bit = static_cast<uint64_t>(std::clamp<int64_t>(p, 0, static_cast<int64_t>(data.size()))) * 8;
  }
  size_t readBytes(uint8_t* out, size_t n) {
    align();
    const size_t at = static_cast<size_t>(tell());
    const size_t m = std::min(n, data.size() - at);
    std::copy_n(data.begin() + static_cast<ptrdiff_t>(at), m, out);
    bit = (at + m) * 8;
    return m;
  }
  bool eof() const { return bit >= data.size() * 8; }
};

void randomWalk(ibitstream& s, const std::vector<uint8_t>& data, uint32_t seed) {
  Model m{data};
  std::mt19937 rng(seed);
  std::vector<uint8_t> got(12000), want(12000);
  for (int step = 0; step < 3000; ++step) {
    switch (rng() % 8) {
      case 0:
      case 1: {
        const unsigned n = rng() % 33;
        ASSERT_EQ(s.readBits(n), m.readBits(n)) << "step " << step << " n " << n;
        break;
      }
      case 2:
        ASSERT_EQ(s.read16(), static_cast<uint16_t>(__builtin_bswap16(static_cast<uint16_t>(m.readBits(16)))));
        break;
      case 3: {
        const int64_t target = static_cast<int64_t>(rng() % (data.size() + 40)) - 20;
        m.seek(target);
        ASSERT_EQ(s.seek(target), m.tell()) << "step " << step;
        break;
      }
      case 4: {
        const size_t n = (rng() % 4 == 0) ? rng() % 12000 : rng() % 40;
        const size_t k = m.readBytes(want.data(), n);
        ASSERT_EQ(s.readBytes(got.data(), n), k) << "step " << step;
        ASSERT_TRUE(std::equal(got.begin(), got.begin() + static_cast<ptrdiff_t>(k), want.begin()));
        break;
      }
      case 5: {
        const int64_t d = static_cast<int64_t>(rng() % 9000) - 4500;
        m.align();
        m.seek(m.tell() + d);
        ASSERT_EQ(s.skip(d), m.tell());
        break;
      }
      case 6:
        m.align();
        s.alignToByte();
        break;
      case 7: {
        const unsigned n = 1 + rng() % 24;
        Model ahead = m;
        ASSERT_EQ(s.peekBits(n), ahead.readBits(n)) << "step " << step;
        break;
      }
    }
    ASSERT_EQ(s.tell(), m.tell()) << "step " << step;
    ASSERT_EQ(s.eof(), m.eof()) << "step " << step;
  }
}

TEST(BitStream, RandomOperationsMatchPlainModel) {
  // Sizes around the window (4096 bytes) and an empty source.
  for (size_t size : {size_t{0}, size_t{3}, size_t{4093}, size_t{4100}, size_t{20000}}) {
    const auto v = randomBytes(size, static_cast<uint32_t>(size));
    ibitstream fromMemory(std::make_unique<BufFileCopy>(v.data(), v.size()));
    randomWalk(fromMemory, v, 7u + static_cast<uint32_t>(size));
  }
  fstest::TempDir dir;
  const auto v = randomBytes(30011, 3);
  auto file = std::make_unique<BufFile>();
  ASSERT_TRUE(file->open(dir.write("data.bin", v)));
  ibitstream fromFile(std::move(file));
  randomWalk(fromFile, v, 11);
}

TEST(BufFile, ClosesWhatItOpensAndStopsAtAShrunkFile) {
  fstest::TempDir dir;
  const std::string path = dir.write("f.bin", randomBytes(10000, 5));
  auto openFds = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); };
  const auto before = openFds();
  {
    BufFile f;
    ASSERT_TRUE(f.open(path));
    EXPECT_EQ(openFds(), before + 1);
    // The file shrinks under the reader: it gives what is left, then stops.
    ASSERT_EQ(::truncate(path.c_str(), 4000), 0);
    std::vector<uint8_t> out(10000);
    EXPECT_EQ(f.read(out.data(), out.size()), 4000u);
  }
  EXPECT_EQ(openFds(), before);
}

}  // namespace
