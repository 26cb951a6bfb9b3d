#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>

#include "runtime/fs/huffman.h"
#include "runtime/fs/pack_files.h"
#include "runtime/fs/pack_format.h"
#include "runtime/fs/path_stack.h"
#include "temp_dir.h"

namespace {

using fstest::TempDir;
using fstest::w;
using qx::PackFile;
using qx::PackWriteDir;

std::vector<uint8_t> partBytes(const PackWriteDir& root) {
  std::vector<uint8_t> out;
  qx::obitstream s(std::make_unique<qx::BufVectorO>(out));
  std::string error;
  EXPECT_TRUE(qx::writePackDirectory(s, root, &error)) << error;
  s.close();
  return out;
}

std::vector<uint8_t> bytesOf(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

std::vector<uint8_t> randomBytes(size_t n, uint32_t seed, int alphabet = 256) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  // A skewed distribution, so codes have many lengths.
  for (auto& b : v) b = static_cast<uint8_t>(std::min<uint32_t>(rng() % alphabet, rng() % alphabet));
  return v;
}

// The file record of a key (dir\sub\name), made with its folders when missing.
qx::PackWriteFile& fileAt(PackWriteDir& root, const std::string& key) {
  PackWriteDir* dir = &root;
  size_t start = 0;
  for (size_t sep; (sep = key.find('\\', start)) != std::string::npos; start = sep + 1)
    dir = &dir->dir(w(key.substr(start, sep - start)));
  return dir->file(w(key.substr(start)));
}

void addFile(PackWriteDir& root, const std::string& key, std::vector<uint8_t> data) {
  fileAt(root, key).data = std::move(data);
}

void addDeletion(PackWriteDir& root, const std::string& key) { fileAt(root, key).deleted = true; }

std::vector<uint8_t> readAll(qx::ibitstream& s) {
  std::vector<uint8_t> out(static_cast<size_t>(s.sourceSize()));
  out.resize(s.readBytes(out.data(), out.size()));
  return out;
}

// Hand-made part bytes for records the writer never produces.
struct RawPart {
  std::vector<uint8_t> bytes;
  void u8(uint8_t v) { bytes.push_back(v); }
  void u32(uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) bytes.push_back(static_cast<uint8_t>(v >> s));
  }
  void name(const std::u16string& n, bool terminate = true) {
    for (char16_t c : n) {
      bytes.push_back(static_cast<uint8_t>(c));
      bytes.push_back(static_cast<uint8_t>(c >> 8));
    }
    if (terminate) bytes.insert(bytes.end(), {0, 0});
  }
  void reserved() { bytes.insert(bytes.end(), 8, 0xEE); }
  void append(const std::vector<uint8_t>& v) { bytes.insert(bytes.end(), v.begin(), v.end()); }
};

TEST(Huffman, EncodedEntriesDecodeAndSeek) {
  for (auto data : {randomBytes(200000, 1), randomBytes(5000, 2, 2), std::vector<uint8_t>(1000, 'z'),
                    bytesOf("a"), bytesOf("ab")}) {
    const std::vector<uint8_t> entry = qx::encodePackEntry(data.data(), data.size());
    qx::BufPack pack;
    ASSERT_TRUE(pack.open(std::make_unique<qx::BufFileCopy>(entry.data(), entry.size())));
    EXPECT_EQ(pack.size(), static_cast<int64_t>(data.size()));
    EXPECT_TRUE(pack.plausible());
    std::vector<uint8_t> out(data.size());
    ASSERT_EQ(pack.read(out.data(), out.size() + 10), data.size());
    EXPECT_EQ(out, data);
    EXPECT_TRUE(pack.eof());
    EXPECT_EQ(pack.read(out.data(), 1), 0u);
  }
}

TEST(Huffman, SingleLeafTreeRepeatsItsSymbol) {
  RawPart e;
  e.u32(4 + 2);  // L: size field and two bytes of tree
  e.u32(300);
  // Leaf bit 1, then the symbol 0x61 (0110 0001): 1011 0000 1000 0000.
  e.u8(0xB0);
  e.u8(0x80);
  qx::BufPack pack;
  ASSERT_TRUE(pack.open(std::make_unique<qx::BufFileCopy>(e.bytes.data(), e.bytes.size())));
  std::vector<uint8_t> out(300);
  ASSERT_EQ(pack.read(out.data(), out.size()), 300u);
  EXPECT_EQ(out, std::vector<uint8_t>(300, 0x61));
}

TEST(Huffman, MalformedTreesFailToOpen) {
  // 600 inner nodes: more than a tree may hold.
  RawPart big;
  big.u32(4 + 100);
  big.u32(10);
  big.bytes.insert(big.bytes.end(), 100, 0x00);
  qx::BufPack pack;
  EXPECT_FALSE(pack.open(std::make_unique<qx::BufFileCopy>(big.bytes.data(), big.bytes.size())));

  // A tree that runs past the entry's coded length (L says one byte).
  RawPart over;
  over.u32(4 + 1);
  over.u32(10);
  over.u8(0x00);  // inner, inner, ... then the next record's bytes
  over.bytes.insert(over.bytes.end(), 20, 0xFF);
  EXPECT_FALSE(pack.open(std::make_unique<qx::BufFileCopy>(over.bytes.data(), over.bytes.size())));

  // L = 0 and size = 0 cannot be opened; nor can an entry cut short.
  RawPart zeroL;
  zeroL.u32(0);
  zeroL.u32(5);
  EXPECT_FALSE(pack.open(std::make_unique<qx::BufFileCopy>(zeroL.bytes.data(), zeroL.bytes.size())));
  const auto good = qx::encodePackEntry(reinterpret_cast<const uint8_t*>("hello"), 5);
  for (size_t cut = 0; cut + 1 < good.size(); ++cut)
    EXPECT_FALSE(pack.open(std::make_unique<qx::BufFileCopy>(good.data(), cut))) << cut;
}

TEST(Huffman, ShortCodedStreamGivesShortRead) {
  auto data = randomBytes(1000, 3);
  auto entry = qx::encodePackEntry(data.data(), data.size());
  // Claim more bytes than the coded bits hold.
  entry[4] = 0;
  entry[5] = 0;
  entry[6] = 0x27;
  entry[7] = 0x10;  // 10000
  qx::BufPack pack;
  ASSERT_TRUE(pack.open(std::make_unique<qx::BufFileCopy>(entry.data(), entry.size())));
  EXPECT_FALSE(pack.plausible());
  std::vector<uint8_t> out(10000);
  const size_t got = pack.read(out.data(), out.size());
  EXPECT_GE(got, 1000u);
  EXPECT_LT(got, 10000u);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), out.begin()));
  EXPECT_TRUE(pack.eof());
}

class PackFiles : public ::testing::Test {
 protected:
  void writePart(const std::string& name, const PackWriteDir& root) { dir.write(name, partBytes(root)); }
  void writePart(const std::string& name, const std::vector<uint8_t>& bytes) { dir.write(name, bytes); }
  std::unique_ptr<PackFile> open(const std::string& name) { return PackFile::create(w(dir.at(name))); }
  TempDir dir;
};

TEST_F(PackFiles, EveryFileOfAFolderReadsBackIdentical) {
  std::map<std::string, std::vector<uint8_t>> files{
      {"readme.txt", bytesOf("Hello, pack!\n")},
      {"one.bin", bytesOf("x")},
      {"textures\\ui\\button.png", randomBytes(70000, 4)},
      {"textures\\ui\\flat.dat", std::vector<uint8_t>(5000, 7)},
      {"sound\\long.ogg", randomBytes(300000, 5, 256)},
      {"sound\\two.bin", randomBytes(999, 6, 2)},
  };
  PackWriteDir root;
  for (auto& [key, data] : files) {
    // Half of them come from host files, as the packer tool does.
    if (data.size() % 2) {
      std::string rel = key;
      std::replace(rel.begin(), rel.end(), '\\', '/');
      const std::string host = dir.write("src/" + rel, data);
      fileAt(root, key).hostPath = host;
    } else {
      addFile(root, key, data);
    }
  }
  writePart("data.pak", root);
  auto pack = open("data.pak");
  ASSERT_NE(pack, nullptr);
  EXPECT_EQ(pack->partCount(), 1u);
  EXPECT_EQ(pack->index().size(), files.size());
  for (auto& [key, data] : files) {
    EXPECT_EQ(pack->size(w(key)), static_cast<int32_t>(data.size())) << key;
    FileData whole = pack->readWhole(w(key), 0);
    ASSERT_FALSE(whole.empty()) << key;
    EXPECT_TRUE(whole.owned());
    EXPECT_TRUE(std::equal(data.begin(), data.end(), whole.data(), whole.data() + whole.size())) << key;
    auto s = pack->openRead(w(key));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(readAll(*s), data) << key;
    EXPECT_TRUE(s->eof());
  }
}

TEST_F(PackFiles, SeeksIntoTheMiddleOfEntries) {
  const auto data = randomBytes(400000, 7);
  PackWriteDir root;
  addFile(root, "a\\before.bin", randomBytes(100, 8));
  addFile(root, "a\\big.bin", data);
  addFile(root, "a\\after.bin", randomBytes(100, 9));
  writePart("seek.pak", root);
  auto pack = open("seek.pak");
  ASSERT_NE(pack, nullptr);
  auto s = pack->openRead(u"a\\big.bin");
  auto other = pack->openRead(u"a\\after.bin");  // a second entry of the same part, read in between
  ASSERT_NE(s, nullptr);
  std::mt19937 rng(10);
  std::vector<uint8_t> buf(9000);
  for (int i = 0; i < 60; ++i) {
    const int64_t target = rng() % data.size();
    ASSERT_EQ(s->seek(target), target);
    const size_t n = rng() % buf.size();
    const size_t got = s->readBytes(buf.data(), n);
    ASSERT_EQ(got, std::min<size_t>(n, data.size() - target));
    ASSERT_TRUE(std::equal(buf.begin(), buf.begin() + static_cast<ptrdiff_t>(got), data.begin() + target)) << target;
    other->seek(rng() % 100);
    other->readBits(8);
  }
  ASSERT_EQ(s->seek(0), 0);
  EXPECT_EQ(readAll(*s), data);
  EXPECT_EQ(s->seek(data.size() + 1000), static_cast<int64_t>(data.size()));
  EXPECT_TRUE(s->eof());

  // The entry buffer itself clamps too.
  std::vector<uint8_t> raw;
  {
    const auto entry = qx::encodePackEntry(data.data(), 1000);
    qx::BufPack p;
    ASSERT_TRUE(p.open(std::make_unique<qx::BufFileCopy>(entry.data(), entry.size())));
    EXPECT_EQ(p.seek(5000), 1000);
    EXPECT_EQ(p.seek(-5), 0);
    EXPECT_EQ(p.seekRelative(500), 500);
    uint8_t b;
    ASSERT_EQ(p.read(&b, 1), 1u);
    EXPECT_EQ(b, data[500]);
  }
}

TEST_F(PackFiles, StreamOutlivesItsPack) {
  const auto data = randomBytes(20000, 14);
  PackWriteDir root;
  addFile(root, "kept.bin", data);
  writePart("short.pak", root);
  auto pack = open("short.pak");
  ASSERT_NE(pack, nullptr);
  auto s = pack->openRead(u"kept.bin");
  ASSERT_NE(s, nullptr);
  pack.reset();
  // Files opened now may take the descriptor number the pack's part had.
  const std::string other = dir.write("other.bin", std::vector<uint8_t>(30000, 0xEE));
  std::vector<int> fds;
  for (int i = 0; i < 4; ++i) fds.push_back(::open(other.c_str(), O_RDONLY | O_CLOEXEC));
  EXPECT_EQ(readAll(*s), data);
  for (int fd : fds)
    if (fd >= 0) ::close(fd);
}

TEST_F(PackFiles, LaterPartsOverrideAndDelete) {
  PackWriteDir base, one, two;
  addFile(base, "keep.txt", bytesOf("base keep"));
  addFile(base, "dir\\over.txt", bytesOf("base over"));
  addFile(base, "dir\\gone.txt", bytesOf("base gone"));
  addFile(base, "back.txt", bytesOf("base back"));
  addFile(one, "dir\\over.txt", bytesOf("part1 over"));
  addDeletion(one, "dir\\gone.txt");
  addDeletion(one, "back.txt");
  addDeletion(one, "never.txt");
  addFile(two, "back.txt", bytesOf("part2 back"));
  addFile(two, "new.txt", bytesOf("part2 new"));
  writePart("base.pak", base);
  writePart("base.pak1", one);
  writePart("base.pak2", two);
  writePart("base.pak4", base);  // after a gap: not a part
  auto pack = open("base.pak");
  ASSERT_NE(pack, nullptr);
  EXPECT_EQ(pack->partCount(), 3u);
  auto text = [&](const char16_t* n) {
    FileData d = pack->readWhole(n, 0);
    return d.empty() ? std::string("<none>") : std::string(d.chars(), d.size());
  };
  EXPECT_EQ(text(u"keep.txt"), "base keep");
  EXPECT_EQ(text(u"dir\\over.txt"), "part1 over");
  EXPECT_EQ(text(u"dir\\gone.txt"), "<none>");
  EXPECT_EQ(pack->size(u"dir\\gone.txt"), -1);
  EXPECT_EQ(pack->openRead(u"dir\\gone.txt"), nullptr);
  EXPECT_EQ(text(u"back.txt"), "part2 back");
  EXPECT_EQ(text(u"new.txt"), "part2 new");
  EXPECT_EQ(pack->index().size(), 4u);
}

TEST_F(PackFiles, KeysMatchIgnoringCaseAndSeparator) {
  PackWriteDir root;
  addFile(root, "Textures\\UI\\Button.PNG", bytesOf("png"));
  writePart("case.pak", root);
  auto pack = open("case.pak");
  ASSERT_NE(pack, nullptr);
  EXPECT_EQ(pack->size(u"textures\\ui\\button.png"), 3);
  EXPECT_EQ(pack->size(u"TEXTURES/ui/Button.png"), 3);
  EXPECT_EQ(pack->size(u"textures\\ui"), -1);
  EXPECT_EQ(pack->index().begin()->second.key, u"Textures\\UI\\Button.PNG");
}

TEST_F(PackFiles, EmptyEntriesCannotBeOpened) {
  PackWriteDir root;
  addFile(root, "empty.txt", {});
  writePart("empty.pak", root);
  auto pack = open("empty.pak");
  ASSERT_NE(pack, nullptr);
  EXPECT_EQ(pack->size(u"empty.txt"), 0);
  EXPECT_EQ(pack->openRead(u"empty.txt"), nullptr);
  FileData d = pack->readWhole(u"empty.txt", 0);
  EXPECT_TRUE(d.empty());
  EXPECT_TRUE(d.owned());
}

TEST_F(PackFiles, DocumentedExampleReads) {
  // The example part of docs/pack-format.md.
  const std::vector<uint8_t> part{0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x61, 0x00, 0x2E, 0x00, 0x74,
                                  0x00, 0x78, 0x00, 0x74, 0x00, 0x00, 0x00, 0,    0,    0,    0,    0,
                                  0,    0,    0,    0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00, 0x03, 0x58,
                                  0xAC, 0x38, 0x00, 0x00, 0x00, 0x00};
  writePart("doc.pak", part);
  auto pack = open("doc.pak");
  ASSERT_NE(pack, nullptr);
  FileData d = pack->readWhole(u"a.txt", 0);
  EXPECT_EQ(std::string(d.chars(), d.size()), "aab");
}

TEST_F(PackFiles, RecordEdgeCasesParse) {
  const auto entry = qx::encodePackEntry(reinterpret_cast<const uint8_t*>("data"), 4);
  const std::u16string name63(63, u'n');
  RawPart p;
  p.name(u"root");
  p.u8(1);
  p.u32(3);
  p.name(u"deleted.txt");  // deleted record followed directly by the next record
  p.reserved();
  p.u32(0xFFFFFFFF);
  p.name(name63, false);  // 63 units: no terminator
  p.reserved();
  p.append(entry);
  p.name(u"after.txt");
  p.reserved();
  p.append(entry);
  p.u32(1);
  p.name(u"sub");
  p.u8(0);
  p.u32(0);
  p.u32(0);
  writePart("edge.pak", p.bytes);
  auto pack = open("edge.pak");
  ASSERT_NE(pack, nullptr);
  EXPECT_EQ(pack->size(u"deleted.txt"), -1);
  EXPECT_EQ(pack->size(name63), 4);
  EXPECT_EQ(pack->size(u"after.txt"), 4);
  FileData d = pack->readWhole(u"after.txt", 0);
  EXPECT_EQ(std::string(d.chars(), d.size()), "data");
  // A 64-unit name does not fit the format.
  PackWriteDir bad;
  addFile(bad, std::string(64, 'n'), bytesOf("x"));
  std::vector<uint8_t> out;
  qx::obitstream s(std::make_unique<qx::BufVectorO>(out));
  std::string error;
  EXPECT_FALSE(qx::writePackDirectory(s, bad, &error));
  EXPECT_NE(error.find("63"), std::string::npos);
}

TEST_F(PackFiles, NameHoldingSeparatorsKeepsLaterKeysApart) {
  const auto entry = qx::encodePackEntry(reinterpret_cast<const uint8_t*>("data"), 4);
  RawPart p;
  p.name(u"root");
  p.u8(0);
  p.u32(2);
  for (const char16_t* n : {u"x\\y\\z.txt", u"plain.txt"}) {
    p.name(n);
    p.reserved();
    p.append(entry);
  }
  p.u32(1);
  p.name(u"d/e");
  p.u8(0);
  p.u32(1);
  p.name(u"in.txt");
  p.reserved();
  p.append(entry);
  p.u32(0);
  p.u32(0);
  writePart("sep.pak", p.bytes);
  auto pack = open("sep.pak");
  ASSERT_NE(pack, nullptr);
  EXPECT_EQ(pack->size(u"x\\y\\z.txt"), 4);
  EXPECT_EQ(pack->size(u"plain.txt"), 4);
  EXPECT_EQ(pack->size(u"d\\e\\in.txt"), 4);
  EXPECT_EQ(pack->index().size(), 3u);
}

TEST_F(PackFiles, WriterRefusesWhatTheReaderWouldNotRead) {
  auto refuses = [](const PackWriteDir& root, const char* why) {
    std::vector<uint8_t> out;
    qx::obitstream s(std::make_unique<qx::BufVectorO>(out));
    std::string error;
    EXPECT_FALSE(qx::writePackDirectory(s, root, &error)) << why;
    EXPECT_FALSE(error.empty()) << why;
  };
  PackWriteDir separator;
  separator.file(u"a\\b.txt").data = bytesOf("x");
  refuses(separator, "separator in a file name");
  PackWriteDir slashDir;
  slashDir.dir(u"a/b").file(u"c.txt").data = bytesOf("x");
  refuses(slashDir, "separator in a folder name");
  PackWriteDir unnamed;
  unnamed.file(u"").data = bytesOf("x");
  refuses(unnamed, "empty name");

  // Folders as deep as the reader takes are written and read; one more level is refused.
  PackWriteDir deep;
  PackWriteDir* d = &deep;
  for (int i = 0; i < qx::kPackMaxDepth; ++i) d = &d->dir(u"d");
  d->file(u"f").data = bytesOf("deep");
  writePart("deep.pak", deep);
  auto pack = open("deep.pak");
  ASSERT_NE(pack, nullptr);
  EXPECT_EQ(pack->index().size(), 1u);
  d->dir(u"d");
  refuses(deep, "too deep");

  // A key of exactly a path's capacity is written and read; a longer one is refused.
  PackWriteDir longKey;
  PackWriteDir* k = &longKey;
  for (int i = 0; i < 7; ++i) k = &k->dir(std::u16string(63, static_cast<char16_t>(u'a' + i)));
  k = &k->dir(std::u16string(62, u'h'));  // 7 x (63 + 1) + 62 = 510 units so far
  k->file(u"q").data = bytesOf("q");        // 512 units
  writePart("long.pak", longKey);
  pack = open("long.pak");
  ASSERT_NE(pack, nullptr);
  ASSERT_EQ(pack->index().size(), 1u);
  EXPECT_EQ(pack->index().begin()->second.key.size(), PathStack::kCapacity);
  k->file(u"qq").data = bytesOf("qq");
  refuses(longKey, "key longer than a path holds");
}

TEST_F(PackFiles, EveryTruncationFailsCleanly) {
  PackWriteDir root;
  addFile(root, "a.txt", bytesOf("alpha alpha alpha"));
  addFile(root, "d\\b.txt", bytesOf("beta"));
  const auto bytes = partBytes(root);
  for (size_t cut = 0; cut < bytes.size(); ++cut) {
    writePart("cut.pak", std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(cut)));
    EXPECT_EQ(open("cut.pak"), nullptr) << cut;
  }
  writePart("cut.pak", bytes);
  EXPECT_NE(open("cut.pak"), nullptr);
  // A broken continuation part fails the whole mount.
  writePart("cut.pak1", std::vector<uint8_t>(bytes.begin(), bytes.end() - 1));
  EXPECT_EQ(open("cut.pak"), nullptr);
}

TEST_F(PackFiles, AbsurdCountsAndDepthFail) {
  RawPart huge;
  huge.name(u"r");
  huge.u8(0);
  huge.u32(0xFFFFFFF0);
  huge.bytes.insert(huge.bytes.end(), 64, 0);
  writePart("huge.pak", huge.bytes);
  EXPECT_EQ(open("huge.pak"), nullptr);

  RawPart deep;
  for (int i = 0; i < 200; ++i) {
    deep.name(u"d");
    deep.u8(0);
    deep.u32(0);
    deep.u32(1);
  }
  deep.bytes.insert(deep.bytes.end(), 64, 0);
  writePart("deep.pak", deep.bytes);
  EXPECT_EQ(open("deep.pak"), nullptr);

  RawPart longEntry;  // L runs past the part's end
  longEntry.name(u"r");
  longEntry.u8(0);
  longEntry.u32(1);
  longEntry.name(u"f");
  longEntry.reserved();
  longEntry.u32(1000);
  longEntry.u32(10);
  longEntry.u32(0);
  writePart("long.pak", longEntry.bytes);
  EXPECT_EQ(open("long.pak"), nullptr);
}

TEST_F(PackFiles, CorruptedBytesNeverCrash) {
  PackWriteDir root;
  addFile(root, "x\\a.bin", randomBytes(3000, 11));
  addFile(root, "x\\b.txt", bytesOf("some text that repeats, some text that repeats"));
  addFile(root, "c.bin", randomBytes(500, 12, 3));
  const auto bytes = partBytes(root);
  std::mt19937 rng(13);
  int opened = 0;
  for (int round = 0; round < 300; ++round) {
    auto bad = bytes;
    for (int k = 0; k < 3; ++k) bad[rng() % bad.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
    writePart("bad.pak", bad);
    auto pack = open("bad.pak");
    if (!pack) continue;
    ++opened;
    for (auto& [key, e] : pack->index()) {
      FileData d = pack->readWhole(key, 0);
      if (!d.empty()) {
        EXPECT_EQ(d.size(), e.size);
      }
      if (auto s = pack->openRead(key)) {
        std::vector<uint8_t> buf(4000);
        s->readBytes(buf.data(), buf.size());
        s->seek(static_cast<int64_t>(rng() % (e.size + 1)));
        s->readBytes(buf.data(), 100);
      }
    }
  }
  EXPECT_GT(opened, 0);
}

TEST_F(PackFiles, UnreadablePartRaisesBadException) {
  // A write-only kernel setting is a regular file that nobody, root included, may read.
  const char* writeOnly = "/proc/sys/vm/drop_caches";
  if (::access(writeOnly, F_OK) != 0) GTEST_SKIP() << "no write-only file to stand for an unreadable part";
  PackWriteDir root;
  addFile(root, "a.txt", bytesOf("a"));
  writePart("locked.pak", root);
  ASSERT_EQ(::symlink(writeOnly, dir.at("locked.pak1").c_str()), 0);
  try {
    open("locked.pak");
    FAIL();
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "bad exception");
  }
}

TEST_F(PackFiles, PacksAreReadOnlyAndMissingNamesFail) {
  PackWriteDir root;
  addFile(root, "a.txt", bytesOf("a"));
  writePart("ro.pak", root);
  auto pack = open("ro.pak");
  ASSERT_NE(pack, nullptr);
  EXPECT_EQ(pack->openWrite(u"a.txt", true), nullptr);
  EXPECT_EQ(pack->writeWhole(u"a.txt", true, "x", 1), -1);
  EXPECT_FALSE(pack->create(u"a.txt", true));
  EXPECT_EQ(pack->size(u"b.txt"), -1);
  EXPECT_EQ(pack->openRead(u"b.txt"), nullptr);
  EXPECT_TRUE(pack->readWhole(u"b.txt", 0).empty());
  EXPECT_EQ(open("missing.pak"), nullptr);
  EXPECT_EQ(PackFile::create(dir.wide()), nullptr);  // a folder is not a pack
}

}  // namespace
