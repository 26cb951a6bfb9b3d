#include "runtime/fs/file_registry.h"

#include <gtest/gtest.h>

#include "runtime/fs/pack_format.h"
#include "runtime/fs/raw_files.h"
#include "temp_dir.h"

namespace {

using fstest::TempDir;
using fstest::w;
using qx::FileRegistry;

std::string text(const FileData& d) { return d.empty() ? "<none>" : std::string(d.chars(), d.size()); }

TEST(FileRegistry, MountOrderDecidesWhichFileIsRead) {
  TempDir dir;
  dir.write("resource/same.lua", "from resource");
  dir.write("script/same.lua", "from script");
  dir.write("script/$reg_empty", "on disk");
  qx::PackWriteDir root;
  root.file(u"p.txt").data = {'p', 'a', 'c', 'k'};
  {
    auto sink = std::make_unique<qx::BufFileO>();
    ASSERT_TRUE(sink->open(dir.at("game.pak"), true));
    qx::obitstream out(std::move(sink));
    ASSERT_TRUE(qx::writePackDirectory(out, root, nullptr));
  }
  FileRegistry reg;
  ASSERT_TRUE(reg.mountRead(u"$"));
  ASSERT_TRUE(reg.mountRead(w(dir.at("resource"))));
  ASSERT_TRUE(reg.mountRead(w(dir.path()) + u"\\script"));
  ASSERT_TRUE(reg.mountRead(w(dir.at("game.pak"))));
  EXPECT_FALSE(reg.mountRead(w(dir.at("nothing"))));
  EXPECT_EQ(text(reg.readFile(u"same.lua")), "from resource");
  EXPECT_EQ(reg.findFile(u"SAME.LUA"), reg.readSource(1));
  EXPECT_EQ(text(reg.readFile(u"p.txt")), "pack");
  EXPECT_EQ(reg.findFile(u"p.txt"), reg.readSource(3));
  FileData none = reg.readFile(u"none.txt");
  EXPECT_TRUE(none.empty());
  EXPECT_TRUE(none.owned());
  // A folder that vanished holds missing files, not errors.
  std::filesystem::remove_all(dir.at("resource"));
  EXPECT_EQ(reg.findFile(u"same.lua"), reg.readSource(2));
  EXPECT_EQ(text(reg.readFile(u"same.lua")), "from script");
  // Packs are never write targets.
  EXPECT_FALSE(reg.mountWrite(w(dir.at("game.pak"))));
  EXPECT_FALSE(reg.mountWrite(w(dir.at("nothing"))));
  ASSERT_TRUE(reg.mountWrite(u"$"));
  EXPECT_EQ(reg.writeTargetCount(), 1u);
  // An empty in-memory file exists (size 0) but does not hide a later source's bytes.
  ASSERT_EQ(reg.writeTarget(0)->writeWhole(u"$reg_empty", true, nullptr, 0), 0);
  EXPECT_EQ(text(reg.readFile(u"$reg_empty")), "on disk");
  EXPECT_EQ(reg.findFile(u"$reg_empty"), reg.readSource(0));

  reg.teardown();
  EXPECT_EQ(reg.readSourceCount(), 0u);
  EXPECT_EQ(reg.writeTargetCount(), 0u);
  EXPECT_EQ(reg.findFile(u"$anything"), nullptr);
}

TEST(FileRegistry, WritesGoToFirstTargetThatCreates) {
  TempDir dir;
  std::filesystem::create_directories(dir.at("save"));
  FileRegistry reg;
  ASSERT_TRUE(reg.mountWrite(u"$"));
  ASSERT_TRUE(reg.mountWrite(w(dir.at("save"))));
  ASSERT_TRUE(reg.mountWrite(dir.wide()));
  ASSERT_TRUE(reg.mountRead(u"$"));

  qx::IFiles* mem = reg.createFile(u"$reg_slot", false);
  EXPECT_EQ(mem, reg.writeTarget(0));
  qx::IFiles* save = reg.createFile(u"slot.dat", false);
  EXPECT_EQ(save, reg.writeTarget(1));
  EXPECT_TRUE(dir.exists("save/slot.dat"));
  // Exists in "save" now: a new-only create falls through to the next target.
  EXPECT_EQ(reg.createFile(u"slot.dat", false), reg.writeTarget(2));
  EXPECT_EQ(reg.createFile(u"missing\\slot.dat", false), nullptr);

  ASSERT_EQ(mem->writeWhole(u"$reg_slot", true, "mem", 3), 3);
  EXPECT_EQ(text(reg.readFile(u"$REG_SLOT")), "mem");
}

}  // namespace
