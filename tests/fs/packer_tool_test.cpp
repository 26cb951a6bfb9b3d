// Runs the qx_packer tool end to end and reads its packs back through the engine's reader.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>

#include "runtime/fs/pack_files.h"
#include "temp_dir.h"

extern char** environ;

namespace {

using fstest::TempDir;
using fstest::w;

struct ToolRun {
  int status;
  std::string out, err;
};

std::string slurp(const std::string& path) {
  std::ifstream f(path);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

ToolRun runPacker(const TempDir& dir, std::vector<std::string> args) {
  args.insert(args.begin(), QX_PACKER_PATH);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const std::string outPath = dir.at("packer.out"), errPath = dir.at("packer.err");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid;
  int status = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) waitpid(pid, &status, 0);
  posix_spawn_file_actions_destroy(&actions);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(outPath), slurp(errPath)};
}

std::string text(qx::PackFile& pack, const char16_t* name) {
  FileData d = pack.readWhole(name, 0);
  return d.empty() ? "<none>" : std::string(d.chars(), d.size());
}

TEST(PackerTool, BuildAppendListAndRefuse) {
  TempDir dir;
  dir.write("v1/readme.txt", "version one");
  dir.write("v1/Data/Level1.json", "{\"level\":1}");
  dir.write("v1/Data/old.bin", std::string(5000, 'o'));
  dir.write("v2/Data/Level1.json", "{\"level\":2}");
  const std::string pak = dir.at("game.pak");

  ASSERT_EQ(runPacker(dir, {"build", pak, dir.at("v1")}).status, 0);
  ASSERT_EQ(runPacker(dir, {"append", pak, dir.at("v2"), "--delete", "data/old.bin"}).status, 0);
  EXPECT_TRUE(dir.exists("game.pak1"));

  auto pack = qx::PackFile::create(w(pak));
  ASSERT_NE(pack, nullptr);
  EXPECT_EQ(pack->partCount(), 2u);
  EXPECT_EQ(text(*pack, u"readme.txt"), "version one");
  EXPECT_EQ(text(*pack, u"data\\level1.json"), "{\"level\":2}");
  EXPECT_EQ(text(*pack, u"data\\old.bin"), "<none>");

  const ToolRun listed = runPacker(dir, {"list", pak});
  EXPECT_EQ(listed.status, 0);
  EXPECT_EQ(listed.out, "Data\\Level1.json\t11\t1\nreadme.txt\t11\t0\n");

  // A name the format cannot hold, or a folder that is not there, leaves the pack as it was.
  const auto before = dir.read("game.pak");
  dir.write("bad/" + std::string(64, 'n'), "x");
  EXPECT_EQ(runPacker(dir, {"build", pak, dir.at("bad")}).status, 1);
  EXPECT_EQ(runPacker(dir, {"build", pak, dir.at("v2"), dir.at("nowhere")}).status, 1);
  EXPECT_EQ(dir.read("game.pak"), before);
  EXPECT_FALSE(dir.exists("game.pak.partial"));
  EXPECT_EQ(runPacker(dir, {"build"}).status, 2);

  // Names the case-blind index would merge are refused, naming both files.
  dir.write("clash/d/A.json", "upper");
  dir.write("clash/d/a.json", "lower");
  const ToolRun clash = runPacker(dir, {"build", pak, dir.at("clash")});
  EXPECT_EQ(clash.status, 1);
  EXPECT_NE(clash.err.find(dir.at("clash/d/A.json") + " and " + dir.at("clash/d/a.json")), std::string::npos) << clash.err;
  EXPECT_EQ(dir.read("game.pak"), before);

  // An empty module beside normal files would read as missing: refused by name, with no
  // part written, also when it is in a later folder of a build.
  dir.write("hollow/lib/empty.lua", "");
  dir.write("hollow/lib/full.lua", "return 1");
  const auto beforeAppend = dir.read("game.pak1");
  for (const std::vector<std::string>& args : {std::vector<std::string>{"build", pak, dir.at("v2"), dir.at("hollow")},
                                               std::vector<std::string>{"append", pak, dir.at("hollow")}}) {
    const ToolRun empty = runPacker(dir, args);
    EXPECT_EQ(empty.status, 1) << args[0];
    EXPECT_NE(empty.err.find(dir.at("hollow/lib/empty.lua")), std::string::npos) << empty.err;
    EXPECT_NE(empty.err.find("remove it or give it content"), std::string::npos) << empty.err;
  }
  EXPECT_EQ(dir.read("game.pak"), before);
  EXPECT_EQ(dir.read("game.pak1"), beforeAppend);
  EXPECT_FALSE(dir.exists("game.pak2"));
}

TEST(PackerTool, AFileOfOneByteValueReadsBackWhole) {
  TempDir dir;
  const std::string same(2000000, 'x');
  dir.write("in/same.bin", same);
  const std::string pak = dir.at("one.pak");
  ASSERT_EQ(runPacker(dir, {"build", pak, dir.at("in")}).status, 0);
  EXPECT_EQ(runPacker(dir, {"list", pak}).out, "same.bin\t2000000\t0\n");
  auto pack = qx::PackFile::create(w(pak));
  ASSERT_NE(pack, nullptr);
  EXPECT_TRUE(text(*pack, u"same.bin") == same);
}

}  // namespace
