#include <gtest/gtest.h>

#include <cctype>
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

// The part bytes of a folder tree; refused trees give no bytes and the writer's error.
std::vector<uint8_t> partBytes(const PackWriteDir& root, std::string* error = nullptr) {
  std::vector<uint8_t> out;
  qx::obitstream s(std::make_unique<qx::BufVectorO>(out));
  std::string why;
  const bool ok = qx::writePackDirectory(s, root, &why);
  if (error) *error = ok ? "" : why;
  EXPECT_TRUE(ok || error) << why;
  s.close();
  return ok ? out : std::vector<uint8_t>();
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

std::vector<uint8_t> readAll(qx::ibitstream& s) {
  std::vector<uint8_t> out(static_cast<size_t>(s.sourceSize()));
  out.resize(s.readBytes(out.data(), out.size()));
  return out;
}

bool opens(const std::vector<uint8_t>& entry, qx::BufPack& pack) {
  return pack.open(std::make_unique<qx::BufFileCopy>(entry.data(), entry.size()));
}

// Hand-made part bytes for records the writer never produces.
struct RawPart {
  std::vector<uint8_t> bytes;
  RawPart& u8(uint8_t v) {
    bytes.push_back(v);
    return *this;
  }
  RawPart& pad(size_t n, uint8_t v) {
    bytes.insert(bytes.end(), n, v);
    return *this;
  }
  RawPart& u32(uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) bytes.push_back(static_cast<uint8_t>(v >> s));
    return *this;
  }
  RawPart& name(const std::u16string& n) {
    for (char16_t c : n) bytes.insert(bytes.end(), {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8)});
    bytes.insert(bytes.end(), {0, 0});
    return *this;
  }
  // A folder record up to its file count.
  RawPart& dir(const std::u16string& n, uint32_t files, uint8_t flag = 0) {
    return name(n).u8(flag).u32(files);
  }
  // A file record up to its entry: name and reserved bytes.
  RawPart& file(const std::u16string& n) { return name(n).pad(8, 0xEE); }
};

TEST(Huffman, MalformedTreesFailToOpen) {
  qx::BufPack pack;
  EXPECT_FALSE(pack.open(nullptr));
  // 600 inner nodes: more than a tree may hold.
  EXPECT_FALSE(opens(RawPart().u32(4 + 100).u32(10).pad(100, 0x00).bytes, pack));
  // A tree that runs past the entry's coded length (L says one byte).
  EXPECT_FALSE(opens(RawPart().u32(4 + 1).u32(10).u8(0x00).pad(20, 0xFF).bytes, pack));
  // L = 0 and size = 0 cannot be opened; nor can an entry cut short.
  EXPECT_FALSE(opens(RawPart().u32(0).u32(5).bytes, pack));
  const auto good = qx::encodePackEntry(reinterpret_cast<const uint8_t*>("hello"), 5);
  for (size_t cut = 0; cut + 1 < good.size(); ++cut)
    EXPECT_FALSE(opens(std::vector<uint8_t>(good.begin(), good.begin() + cut), pack)) << cut;
  // One leaf bit, then the symbol 0x61: the tree repeats it.
  ASSERT_TRUE(opens(RawPart().u32(4 + 2).u32(300).u8(0xB0).u8(0x80).bytes, pack));
  std::vector<uint8_t> out(300);
  ASSERT_EQ(pack.read(out.data(), out.size()), 300u);
  EXPECT_EQ(out, std::vector<uint8_t>(300, 0x61));
  // Such an entry claims any size for free: at most 1 MiB and 64 times its own 10 bytes,
  // whatever follows it in the part.
  // The writer keeps a one-leaf code only as far as that reaches.
  for (const uint32_t size : {(1u << 20) + 640, (1u << 20) + 641, 2000000u}) {
    const std::vector<uint8_t> same(size, 'z');
    const auto entry = qx::encodePackEntry(same.data(), same.size());
    EXPECT_EQ(entry.size() == 10, size <= (1u << 20) + 640) << size;
    ASSERT_TRUE(opens(entry, pack)) << size;
    std::vector<uint8_t> back(size + 1);
    EXPECT_EQ(pack.read(back.data(), back.size()), size);
    back.pop_back();
    EXPECT_EQ(back, same);
  }
  for (const size_t after : {0, 100000}) {
    EXPECT_TRUE(opens(RawPart().u32(4 + 2).u32((1u << 20) + 640).u8(0xB0).u8(0x80).pad(after, 0).bytes, pack));
    EXPECT_FALSE(opens(RawPart().u32(4 + 2).u32((1u << 20) + 641).u8(0xB0).u8(0x80).pad(after, 0).bytes, pack));
    EXPECT_FALSE(opens(RawPart().u32(4 + 2).u32(256u << 20).u8(0xB0).u8(0x80).pad(after, 0).bytes, pack));
  }
}

class PackFiles : public ::testing::Test {
 protected:
  void writePart(const std::string& name, const PackWriteDir& root) { dir.write(name, partBytes(root)); }
  std::unique_ptr<PackFile> open(const std::string& name) { return PackFile::create(w(dir.at(name))); }
  TempDir dir;
};

std::string text(PackFile& pack, const char16_t* name) {
  FileData d = pack.readWhole(name, 0);
  return d.empty() ? std::string("<none>") : std::string(d.chars(), d.size());
}

TEST_F(PackFiles, EveryFileOfAFolderReadsBackIdentical) {
  std::map<std::string, std::vector<uint8_t>> files{
      {"readme.txt", bytesOf("Hello, pack!\n")},
      {std::string(63, 'n'), bytesOf("x")},  // the longest name has no terminator
      {"two.bin", bytesOf("ab")},
      {"Textures\\UI\\Button.PNG", randomBytes(70000, 4)},
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
      fileAt(root, key).hostPath = dir.write("src/" + rel, data);
    } else {
      addFile(root, key, data);
    }
  }
  writePart("data.pak", root);
  auto pack = open("data.pak");
  ASSERT_NE(pack, nullptr);
  EXPECT_EQ(pack->index().size(), files.size());
  for (auto& [key, data] : files) {
    // Keys match ignoring case and separator, and keep their spelling.
    std::string folded = key;
    for (char& c : folded) c = c == '\\' ? '/' : static_cast<char>(std::toupper(c));
    EXPECT_EQ(pack->size(w(folded)), static_cast<int32_t>(data.size())) << key;
    EXPECT_EQ(pack->index().at(qx::packKey(w(key))).key, w(key));
    FileData whole = pack->readWhole(w(key), 0);
    EXPECT_TRUE(whole.owned());
    EXPECT_EQ(std::vector<uint8_t>(whole.data(), whole.data() + whole.size()), data) << key;
    auto s = pack->openRead(w(key));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(readAll(*s), data) << key;
    EXPECT_TRUE(s->eof());
    // Back into the middle of the coded entry after reading it to the end.
    const size_t mid = data.size() / 3;
    ASSERT_EQ(s->seek(static_cast<int64_t>(mid)), static_cast<int64_t>(mid));
    std::vector<uint8_t> rest(data.size());
    ASSERT_EQ(s->readBytes(rest.data(), rest.size()), data.size() - mid) << key;
    EXPECT_TRUE(std::equal(data.begin() + static_cast<ptrdiff_t>(mid), data.end(), rest.begin())) << key;
    EXPECT_EQ(s->seek(static_cast<int64_t>(data.size()) + 1000), static_cast<int64_t>(data.size()));
  }
}

TEST_F(PackFiles, LaterPartsOverrideAndDeleteAndNoneIsWritable) {
  PackWriteDir base, one, two;
  for (const char* key : {"keep.txt", "dir\\over.txt", "dir\\gone.txt", "back.txt"})
    addFile(base, key, bytesOf(std::string("base ") + key));
  addFile(base, "d\\empty.txt", {});
  addFile(one, "dir\\over.txt", bytesOf("part1 over"));
  for (const char* key : {"dir\\gone.txt", "back.txt", "never.txt"}) fileAt(one, key).deleted = true;
  addFile(two, "back.txt", bytesOf("part2 back"));
  addFile(two, "new.txt", bytesOf("part2 new"));
  writePart("base.pak", base);
  writePart("base.pak1", one);
  writePart("base.pak2", two);
  writePart("base.pak4", base);  // after a gap: not a part
  auto pack = open("base.pak");
  ASSERT_NE(pack, nullptr);
  EXPECT_EQ(pack->partCount(), 3u);
  EXPECT_EQ(text(*pack, u"keep.txt"), "base keep.txt");
  EXPECT_EQ(text(*pack, u"dir\\over.txt"), "part1 over");
  EXPECT_EQ(text(*pack, u"dir\\gone.txt"), "<none>");
  EXPECT_EQ(pack->size(u"dir\\gone.txt"), -1);
  EXPECT_EQ(text(*pack, u"back.txt"), "part2 back");
  EXPECT_EQ(text(*pack, u"new.txt"), "part2 new");
  EXPECT_EQ(pack->index().size(), 5u);
  // Packs are read-only; an empty entry has a size but cannot be opened; a folder is no file.
  EXPECT_EQ(pack->openWrite(u"keep.txt", true), nullptr);
  EXPECT_EQ(pack->writeWhole(u"keep.txt", true, "x", 1), -1);
  EXPECT_EQ(pack->size(u"d\\empty.txt"), 0);
  EXPECT_EQ(pack->openRead(u"d\\empty.txt"), nullptr);
  EXPECT_EQ(pack->size(u"dir"), -1);
}

TEST_F(PackFiles, WriterRefusesWhatTheReaderWouldNotRead) {
  auto refuses = [](const PackWriteDir& root, const char* why) {
    std::string error;
    EXPECT_TRUE(partBytes(root, &error).empty()) << why;
    EXPECT_FALSE(error.empty()) << why;
  };
  for (const std::u16string& name : {std::u16string(u"a\\b.txt"), std::u16string(), std::u16string(64, u'n')}) {
    PackWriteDir bad;
    bad.file(name).data = bytesOf("x");
    refuses(bad, "a separator, an empty or a 64-unit name");
  }
  PackWriteDir slashDir;
  slashDir.dir(u"a/b").file(u"c.txt").data = bytesOf("x");
  refuses(slashDir, "separator in a folder name");
  PackWriteDir emptied;  // a host file emptied after its folder was listed
  emptied.file(u"e.lua").hostPath = dir.write("emptied/e.lua", "");
  refuses(emptied, "an empty host file");

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
}

TEST_F(PackFiles, TruncatedOrAbsurdPartsFailCleanly) {
  PackWriteDir root;
  addFile(root, "a.txt", bytesOf("alpha alpha alpha"));
  addFile(root, "d\\b.txt", bytesOf("beta"));
  const auto bytes = partBytes(root);
  for (size_t cut = 0; cut < bytes.size(); ++cut) {
    dir.write("cut.pak", std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(cut)));
    EXPECT_EQ(open("cut.pak"), nullptr) << cut;
  }
  dir.write("cut.pak", bytes);
  EXPECT_NE(open("cut.pak"), nullptr);
  EXPECT_EQ(open("missing.pak"), nullptr);
  // A broken continuation part fails the whole mount.
  dir.write("cut.pak1", std::vector<uint8_t>(bytes.begin(), bytes.end() - 1));
  EXPECT_EQ(open("cut.pak"), nullptr);

  RawPart huge, deep, longEntry;
  huge.dir(u"r", 0xFFFFFFF0).pad(64, 0);
  for (int i = 0; i < 200; ++i) deep.dir(u"d", 0).u32(1);
  deep.pad(64, 0);
  longEntry.dir(u"r", 1).file(u"f").u32(1000).u32(10).u32(0);  // L runs past the part's end
  // A 55-byte pack whose one-leaf entry claims 256 MiB: refused before the block is made.
  for (const uint32_t size : {64u, 256u << 20}) {
    RawPart claim;
    claim.dir(u"r", 1).file(u"f").u32(4 + 2).u32(size).u8(0xB0).u8(0x80).u32(0);
    dir.write("claim.pak", claim.bytes);
    auto claimed = open("claim.pak");
    ASSERT_NE(claimed, nullptr);
    EXPECT_EQ(text(*claimed, u"f"), size == 64 ? std::string(64, 'a') : "<none>");
  }
  // A 10-byte entry claiming 2 GiB in front of a 32 MiB one: refused as it is opened, so
  // nothing of its claim is ever made (were it opened, the test stops before a read).
  RawPart big;
  big.dir(u"r", 2).file(u"f").u32(4 + 2).u32(qx::kPackMaxEntryBytes).u8(0xB0).u8(0x80);
  big.file(u"g").u32(4 + (32u << 20)).u32(1).u8(0xB0).u8(0x80).pad((32u << 20) - 2, 0).u32(0);
  dir.write("big.pak", big.bytes);
  auto bigPack = open("big.pak");
  ASSERT_NE(bigPack, nullptr);
  ASSERT_EQ(bigPack->openRead(u"f"), nullptr);
  EXPECT_EQ(text(*bigPack, u"f"), "<none>");
  EXPECT_EQ(text(*bigPack, u"g"), "a");
  for (const RawPart* bad : {&huge, &deep, &longEntry}) {
    dir.write("bad.pak", bad->bytes);
    EXPECT_EQ(open("bad.pak"), nullptr) << bad->bytes.size();
  }
}

}  // namespace
