#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

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

TEST(FolderSource, ReadsThroughEitherSeparatorIgnoringCase) {
  TempDir dir;
  dir.write("Scripts/UI/Main.LUA", "print(1)");
  dir.write("a.txt", "lower");
  dir.write("A.txt", "upper");
  auto src = RawFile::create(dir.wide());
  for (const char16_t* name : {u"Scripts/UI/Main.LUA", u"SCRIPTS\\ui/MAIN.lua"}) {
    EXPECT_EQ(src->size(name), 8);
    FileData whole = src->readWhole(name, 0);
    EXPECT_STREQ(whole.chars(), "print(1)");  // two zero bytes follow the data
    EXPECT_EQ(whole.data()[9], 0);
    auto s = src->openRead(name);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(readAll(*s), "print(1)");
  }
  // An exact name is preferred over a case match.
  EXPECT_EQ(asString(src->readWhole(u"A.txt", 0)), "upper");
  EXPECT_EQ(asString(src->readWhole(u"a.txt", 0)), "lower");
  // Absolute names ignore the root.
  EXPECT_EQ(RawFile::create(u"")->size(w(dir.at("Scripts/UI/Main.LUA"))), 8);
}

TEST(FolderSource, MissingOrBrokenNamesFail) {
  auto gone = std::make_unique<TempDir>();
  gone->write("empty.bin", "");
  gone->write("sub/x.txt", "x");
  auto src = RawFile::create(gone->wide());
  FileData empty = src->readWhole(u"empty.bin", 0);
  ASSERT_NE(empty.data(), nullptr);
  EXPECT_EQ(empty.size(), 0u);
  EXPECT_EQ(empty.data()[1], 0);
  const std::u16string names[] = {u"sub", u"nothing", u"", std::u16string(600, u'a'),
                                  std::u16string(u"a\0b", 3)};
  for (const auto& name : names) {
    EXPECT_EQ(src->size(name), -1) << name.size();
    EXPECT_EQ(src->openRead(name), nullptr);
    EXPECT_TRUE(src->readWhole(name, 0).empty());
    EXPECT_EQ(src->writeWhole(name, true, "x", 1), name == u"nothing" ? 1 : -1);
  }
  EXPECT_EQ(src->openWrite(std::u16string(600, u'a'), true), nullptr);
  EXPECT_EQ(src->writeWhole(u"null.bin", true, nullptr, 3), -1);
  // A root that vanished since the mount holds no files.
  gone.reset();
  EXPECT_EQ(src->size(u"nothing"), -1);
  EXPECT_TRUE(src->readWhole(u"nothing", 0).empty());
  EXPECT_EQ(src->writeWhole(u"anything", true, "x", 1), -1);
}

TEST(FolderSource, CreateAndWriteRespectOverwrite) {
  TempDir dir;
  dir.write("Save/Slot.dat", "old");
  auto src = RawFile::create(dir.wide());
  EXPECT_FALSE(src->create(u"save\\slot.dat", false));
  EXPECT_TRUE(src->create(u"save\\slot.dat", true));
  EXPECT_EQ(dir.read("Save/Slot.dat").size(), 0u);  // emptied, not a second file
  EXPECT_FALSE(dir.exists("save"));
  EXPECT_EQ(src->writeWhole(u"save\\slot.dat", false, "new", 3), -1);
  EXPECT_EQ(src->writeWhole(u"save\\slot.dat", true, "newer", 5), 5);
  EXPECT_EQ(asString(src->readWhole(u"Save\\Slot.dat", 0)), "newer");
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

// Fresh files are new each time and keep the umask's mode (not a private 0600); the
// in-memory tree makes none. remove unlinks, so a folder is never taken.
TEST(FolderSource, FreshFilesKeepTheUsualModeAndRemoveLeavesFolders) {
  TempDir dir;
  dir.write("save/x", "old");
  auto src = RawFile::create(dir.wide());
  const mode_t mask = ::umask(022);
  auto a = src->createFresh(u"save\\x", u".part");
  auto b = src->createFresh(u"save\\x", u".part");
  ::umask(mask);
  ASSERT_TRUE(a && a->out && b && b->out);
  EXPECT_NE(a->name, b->name);
  ASSERT_EQ(a->name.size(), 18u);
  EXPECT_EQ(a->name.substr(0, 7) + a->name.substr(13), u"save\\x..part");
  struct stat st {};
  ASSERT_EQ(::stat(dir.at("save/" + std::string(a->name.begin() + 5, a->name.end())).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
  EXPECT_FALSE(MemFile().createFresh(u"$save\\x", u".part"));
  std::filesystem::create_directory(dir.at("save/dir"));
  EXPECT_FALSE(src->remove(u"save\\dir"));
  EXPECT_TRUE(dir.exists("save/dir"));
}

TEST(MemorySource, NamesFoldFoldersAreNotFilesAndOverwriteIsAsked) {
  EXPECT_NE(MemFile::create(u"$"), nullptr);
  EXPECT_EQ(MemFile::create(u"save"), nullptr);
  EXPECT_EQ(MemFile::create(u""), nullptr);
  MemFile mem;
  EXPECT_EQ(mem.writeWhole(u"$Save\\AZ", true, "abc", 3), 3);
  EXPECT_EQ(mem.size(u"$save\\az"), 3);
  EXPECT_EQ(mem.size(u"save\\az"), -1);  // not an in-memory name
  EXPECT_EQ(mem.size(u"$save"), -1);
  EXPECT_EQ(mem.openRead(u"$save"), nullptr);
  FileData d = mem.readWhole(u"$save\\az", 0);
  EXPECT_EQ(asString(d), "abc");
  EXPECT_FALSE(d.owned());
  // A file does not become a folder, and a folder does not become a file.
  EXPECT_EQ(mem.writeWhole(u"$save\\az\\c", true, "q", 1), 0);
  EXPECT_EQ(mem.size(u"$save\\az"), 3);
  EXPECT_EQ(mem.writeWhole(u"$save", true, "q", 1), 0);
  // Overwrite rules; create makes nothing.
  EXPECT_EQ(mem.writeWhole(u"$save\\az", false, "two", 3), 0);
  EXPECT_FALSE(mem.create(u"$save\\az", false));
  EXPECT_TRUE(mem.create(u"$save\\az", true));
  EXPECT_TRUE(mem.create(u"$save\\new", false));
  EXPECT_EQ(mem.size(u"$save\\new"), -1);
  EXPECT_EQ(asString(mem.readWhole(u"$save\\az", 0)), "abc");
  // Malformed names.
  EXPECT_EQ(mem.writeWhole(u"$x", true, "x", 1), 1);
  const std::u16string badNames[] = {u"$", u"$\\lead", u"$" + std::u16string(600, u'a')};
  for (const std::u16string& bad : badNames)
    EXPECT_EQ(mem.writeWhole(bad, true, "x", 1), 0);
}

TEST(MemorySource, StreamsWriteAndReadersKeepTheirBytes) {
  MemFile mem;
  {
    auto out = mem.openWrite(u"$mf_stream\\deep\\f.bin", true);
    ASSERT_NE(out, nullptr);
    out->writeBits(0xABCD, 16);
    out->writeBytes("tail", 4);
  }
  auto in = mem.openRead(u"$MF_STREAM\\DEEP\\F.BIN");
  ASSERT_NE(in, nullptr);
  EXPECT_EQ(in->readBits(16), 0xABCDu);
  EXPECT_EQ(readAll(*in).substr(0, 4), "tail");

  FileData held = mem.readWhole(u"$mf_stream\\deep\\f.bin", 0);
  auto stream = mem.openRead(u"$mf_stream\\deep\\f.bin");
  ASSERT_EQ(mem.writeWhole(u"$mf_stream\\deep\\f.bin", true, "second!", 7), 7);
  {
    auto out = mem.openWrite(u"$mf_stream\\deep\\f.bin", true);
    out->writeBytes("third", 5);
  }
  EXPECT_EQ(asString(held), "\xAB\xCDtail");
  EXPECT_EQ(readAll(*stream), "\xAB\xCDtail");
  EXPECT_EQ(asString(mem.readWhole(u"$mf_stream\\deep\\f.bin", 0)), "third");
}

}  // namespace
