#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <stdexcept>

#include "runtime/fs/mem_files.h"
#include "runtime/fs/raw_files.h"
#include "temp_dir.h"

namespace {

using fstest::TempDir;
using fstest::w;
using qx::MemFile;
using qx::RawFile;

std::string asString(const FileData& d) { return d.empty() ? std::string() : std::string(d.chars(), d.size()); }

std::string readAll(qx::ibitstream& s) {
  std::string out(static_cast<size_t>(s.sourceSize()), '\0');
  out.resize(s.readBytes(out.data(), out.size()));
  return out;
}

TEST(FolderSource, FactoryTakesDirectoriesOnly) {
  TempDir dir;
  dir.write("file.txt", "x");
  EXPECT_NE(RawFile::create(dir.wide()), nullptr);
  EXPECT_NE(RawFile::create(dir.wide() + u"/"), nullptr);
  EXPECT_EQ(RawFile::create(dir.wide() + u"/file.txt"), nullptr);
  EXPECT_EQ(RawFile::create(dir.wide() + u"/missing"), nullptr);
  auto empty = RawFile::create(u"");
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->root(), u"");
  auto trimmed = RawFile::create(dir.wide() + u"\\");
  EXPECT_EQ(trimmed->root(), dir.wide());
}

TEST(FolderSource, ReadsThroughEitherSeparatorIgnoringCase) {
  TempDir dir;
  dir.write("Scripts/UI/Main.LUA", "print(1)");
  auto src = RawFile::create(dir.wide());
  for (const char16_t* name : {u"scripts\\ui\\main.lua", u"Scripts/UI/Main.LUA", u"SCRIPTS\\ui/MAIN.lua"}) {
    EXPECT_EQ(src->size(name), 8) << std::string(name, name + 3);
    EXPECT_EQ(asString(src->readWhole(name, 0)), "print(1)");
    auto s = src->openRead(name);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(readAll(*s), "print(1)");
  }
  EXPECT_EQ(src->size(u"scripts"), -1);  // a folder is not a file
  EXPECT_EQ(src->size(u"scripts\\nothing.lua"), -1);
  EXPECT_EQ(src->openRead(u"nothing"), nullptr);
  EXPECT_TRUE(src->readWhole(u"nothing", 0).empty());
  // Absolute names ignore the root.
  EXPECT_EQ(RawFile::create(u"")->size(w(dir.at("Scripts/UI/Main.LUA"))), 8);
}

TEST(FolderSource, ExactNamePreferredOverCaseMatch) {
  TempDir dir;
  dir.write("a.txt", "lower");
  dir.write("A.txt", "upper");
  auto src = RawFile::create(dir.wide());
  EXPECT_EQ(asString(src->readWhole(u"A.txt", 0)), "upper");
  EXPECT_EQ(asString(src->readWhole(u"a.txt", 0)), "lower");
}

TEST(FolderSource, ReadWholeAddsTwoZeroBytes) {
  TempDir dir;
  dir.write("empty.bin", "");
  dir.write("text.txt", "abc");
  auto src = RawFile::create(dir.wide());
  FileData empty = src->readWhole(u"empty.bin", 0);
  ASSERT_NE(empty.data(), nullptr);
  EXPECT_EQ(empty.size(), 0u);
  EXPECT_TRUE(empty.owned());
  EXPECT_EQ(empty.data()[0], 0);
  EXPECT_EQ(empty.data()[1], 0);
  FileData text = src->readWhole(u"text.txt", 0);
  EXPECT_STREQ(text.chars(), "abc");
  EXPECT_EQ(text.data()[4], 0);
}

TEST(FolderSource, CreateAndWriteRespectOverwrite) {
  TempDir dir;
  dir.write("Save/Slot.dat", "old");
  auto src = RawFile::create(dir.wide());
  EXPECT_FALSE(src->create(u"save\\slot.dat", false));
  EXPECT_EQ(dir.read("Save/Slot.dat").size(), 3u);
  EXPECT_TRUE(src->create(u"save\\slot.dat", true));
  EXPECT_EQ(dir.read("Save/Slot.dat").size(), 0u);  // emptied, not a second file
  EXPECT_FALSE(dir.exists("save"));

  EXPECT_EQ(src->writeWhole(u"save\\slot.dat", false, "new", 3), -1);
  EXPECT_EQ(src->writeWhole(u"save\\slot.dat", true, "newer", 5), 5);
  EXPECT_EQ(asString(src->readWhole(u"Save\\Slot.dat", 0)), "newer");
  EXPECT_EQ(src->writeWhole(u"save\\new.dat", false, "n", 1), 1);
  EXPECT_TRUE(dir.exists("Save/new.dat"));
  // Folders are not made on the way.
  EXPECT_EQ(src->writeWhole(u"nofolder\\x.dat", true, "n", 1), -1);
  EXPECT_FALSE(src->create(u"nofolder\\x.dat", true));

  {
    auto out = src->openWrite(u"save\\stream.dat", false);
    ASSERT_NE(out, nullptr);
    out->writeBytes("12345", 5);
    out->writeZeroBits(3);
  }
  EXPECT_EQ(dir.read("Save/stream.dat"), (std::vector<uint8_t>{'1', '2', '3', '4', '5', 0}));
  EXPECT_EQ(src->openWrite(u"save\\stream.dat", false), nullptr);
}

TEST(FolderSource, SetsAccessAndWriteTimes) {
  TempDir dir;
  auto src = RawFile::create(dir.wide());
  {
    auto out = src->openWrite(u"timed.dat", true);
    ASSERT_NE(out, nullptr);
    out->writeBytes("x", 1);
    out->flush();
    // 2001-09-09 01:46:40 UTC is 1e9 seconds after 1970.
    const uint64_t ticks = 116444736000000000ull + 1000000000ull * 10000000ull;
    out->sink()->setFileTime(ticks, ticks, ticks + 10000000ull);
  }
  struct stat st;
  ASSERT_EQ(::stat(dir.at("timed.dat").c_str(), &st), 0);
  EXPECT_EQ(st.st_atime, 1000000000);
  EXPECT_EQ(st.st_mtime, 1000000001);
}

TEST(FolderSource, RootThatVanishedHoldsNoFiles) {
  auto dir = std::make_unique<TempDir>();
  auto src = RawFile::create(dir->wide());
  dir.reset();
  EXPECT_EQ(src->size(u"anything"), -1);
  EXPECT_EQ(src->openRead(u"anything"), nullptr);
  EXPECT_TRUE(src->readWhole(u"anything", 0).empty());
  EXPECT_EQ(src->writeWhole(u"anything", true, "x", 1), -1);
}

TEST(FolderSource, OverlongOrBrokenNamesFail) {
  TempDir dir;
  auto src = RawFile::create(dir.wide());
  const std::u16string tooLong(600, u'a');
  EXPECT_EQ(src->size(tooLong), -1);
  EXPECT_TRUE(src->readWhole(tooLong, 0).empty());
  EXPECT_EQ(src->writeWhole(tooLong, true, "x", 1), -1);
  EXPECT_EQ(src->openWrite(tooLong, true), nullptr);
  EXPECT_EQ(src->size(std::u16string(u"a\0b", 3)), -1);
  EXPECT_EQ(src->size(u""), -1);
}

TEST(MemorySource, FactoryTakesDollarNamesOnly) {
  EXPECT_NE(MemFile::create(u"$"), nullptr);
  EXPECT_EQ(MemFile::create(u"save"), nullptr);
  EXPECT_EQ(MemFile::create(u""), nullptr);
}

TEST(MemorySource, NamesFoldToLowerCase) {
  MemFile mem;
  EXPECT_EQ(mem.writeWhole(u"$Save\\Slot1", true, "abc", 3), 3);
  EXPECT_EQ(mem.size(u"$save\\slot1"), 3);
  EXPECT_EQ(mem.size(u"$SAVE/SLOT1"), 3);
  EXPECT_EQ(mem.size(u"save\\slot1"), -1);  // not an in-memory name
}

TEST(MemorySource, FoldersAreNotFiles) {
  MemFile mem;
  ASSERT_EQ(mem.writeWhole(u"$mf_a\\b", true, "xyz", 3), 3);
  EXPECT_EQ(mem.size(u"$mf_a\\b"), 3);
  EXPECT_EQ(mem.size(u"$mf_a"), -1);
  EXPECT_EQ(mem.openRead(u"$mf_a"), nullptr);
  FileData d = mem.readWhole(u"$mf_a\\b", 0);
  EXPECT_EQ(asString(d), "xyz");
  EXPECT_FALSE(d.owned());
  // A file does not become a folder, and a folder does not become a file.
  EXPECT_EQ(mem.writeWhole(u"$mf_a\\b\\c", true, "q", 1), 0);
  EXPECT_EQ(mem.size(u"$mf_a\\b"), 3);
  EXPECT_EQ(mem.writeWhole(u"$mf_a", true, "q", 1), 0);
}

TEST(MemorySource, OverwriteRules) {
  MemFile mem;
  ASSERT_EQ(mem.writeWhole(u"$mf_ow", false, "one", 3), 3);
  EXPECT_EQ(mem.writeWhole(u"$mf_ow", false, "two", 3), 0);
  EXPECT_EQ(asString(mem.readWhole(u"$mf_ow", 0)), "one");
  EXPECT_EQ(mem.writeWhole(u"$mf_ow", true, "three", 5), 5);
  EXPECT_EQ(asString(mem.readWhole(u"$mf_ow", 0)), "three");
  EXPECT_EQ(mem.openWrite(u"$mf_ow", false), nullptr);

  EXPECT_FALSE(mem.create(u"$mf_ow", false));
  EXPECT_TRUE(mem.create(u"$mf_new", false));
  EXPECT_TRUE(mem.create(u"$mf_ow", true));
  EXPECT_EQ(mem.size(u"$mf_new"), -1);  // create makes nothing
  EXPECT_EQ(asString(mem.readWhole(u"$mf_ow", 0)), "three");
}

TEST(MemorySource, EmptyFilesAndZeroByteWrites) {
  MemFile mem;
  EXPECT_EQ(mem.writeWhole(u"$mf_empty", true, nullptr, 0), 0);
  EXPECT_EQ(mem.size(u"$mf_empty"), 0);
  EXPECT_TRUE(mem.readWhole(u"$mf_empty", 0).empty());
  auto s = mem.openRead(u"$mf_empty");
  ASSERT_NE(s, nullptr);
  EXPECT_TRUE(s->eof());
}

TEST(MemorySource, StreamsWriteAndRead) {
  MemFile mem;
  {
    auto out = mem.openWrite(u"$mf_stream\\deep\\f.bin", true);
    ASSERT_NE(out, nullptr);
    out->writeBits(0xABCD, 16);
    out->writeBytes("tail", 4);
  }
  EXPECT_EQ(mem.size(u"$mf_stream\\deep\\f.bin"), 6);
  auto in = mem.openRead(u"$MF_STREAM\\DEEP\\F.BIN");
  ASSERT_NE(in, nullptr);
  EXPECT_EQ(in->readBits(16), 0xABCDu);
  EXPECT_EQ(readAll(*in).substr(0, 4), "tail");
}

TEST(MemorySource, ReadersKeepTheirBytesAcrossRewrites) {
  MemFile mem;
  ASSERT_EQ(mem.writeWhole(u"$mf_cow", true, "first", 5), 5);
  FileData held = mem.readWhole(u"$mf_cow", 0);
  auto stream = mem.openRead(u"$mf_cow");
  ASSERT_EQ(mem.writeWhole(u"$mf_cow", true, "second!", 7), 7);
  {
    auto out = mem.openWrite(u"$mf_cow", true);
    out->writeBytes("third", 5);
  }
  EXPECT_EQ(asString(held), "first");
  EXPECT_EQ(readAll(*stream), "first");
  EXPECT_EQ(asString(mem.readWhole(u"$mf_cow", 0)), "third");
}

TEST(MemorySource, MalformedNamesFail) {
  MemFile mem;
  EXPECT_EQ(mem.writeWhole(u"$", true, "x", 1), 0);
  EXPECT_EQ(mem.writeWhole(u"$\\lead", true, "x", 1), 0);
  EXPECT_EQ(mem.writeWhole(u"$" + std::u16string(600, u'a'), true, "x", 1), 0);
  EXPECT_EQ(mem.size(u"$" + std::u16string(600, u'a')), -1);
  EXPECT_FALSE(mem.create(u"nodollar", true));
}

TEST(FileData, MovesOwnership) {
  FileData a(new uint8_t[4]{1, 2, 3, 4}, 4, true);
  FileData b(std::move(a));
  EXPECT_TRUE(a.empty());
  EXPECT_TRUE(a.owned());
  EXPECT_EQ(b.size(), 4u);
  FileData c;
  c = std::move(b);
  EXPECT_EQ(c.data()[3], 4);
  c = FileData();
  EXPECT_TRUE(c.empty());
}

}  // namespace
