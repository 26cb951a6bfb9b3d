// Runs the qx_packer tool end to end and reads its packs back through the engine's reader.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "runtime/fs/pack_files.h"
#include "temp_dir.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
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


TEST(PackerTool, AFailedBuildOrAppendChangesNoPart) {
  TempDir dir;
  const std::string pak = dir.at("p.pak");
  dir.write("f1/a.txt", "first build");
  dir.write("f2/b.txt", "second part");
  dir.write("f3/c.txt", "third part");
  ASSERT_EQ(runPacker(dir, {"build", pak, dir.at("f1"), dir.at("f2"), dir.at("f3")}).status, 0);
  const std::vector<std::string> parts{"p.pak", "p.pak1", "p.pak2"};
  std::vector<std::vector<uint8_t>> before;
  for (const std::string& p : parts) before.push_back(dir.read(p));
  const auto unchanged = [&](const std::string& what) {
    for (size_t i = 0; i < parts.size(); ++i) EXPECT_TRUE(dir.read(parts[i]) == before[i]) << what << ": " << parts[i];
    for (const char* temp : {"p.pak.partial", "p.pak1.partial", "p.pak3.partial"})
      EXPECT_FALSE(fs::exists(fs::symlink_status(dir.at(temp)))) << what << ": " << temp;
    EXPECT_FALSE(dir.exists("p.pak3")) << what;
  };

  // A file too large for an entry, in the second folder, is refused before the first part
  // is written; and a shorter build removes no stale part. Sparse: nothing of it is read.
  dir.write("n1/a.txt", "second build");
  dir.write("big/b.txt", "x");
  const std::string huge = dir.write("big/huge.bin", "");
  ASSERT_EQ(::truncate(huge.c_str(), off_t{1} << 31), 0);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"build", pak, dir.at("n1"), dir.at("big"), dir.at("f3")},
        std::vector<std::string>{"build", pak, dir.at("n1"), dir.at("big")},
        std::vector<std::string>{"append", pak, dir.at("big")}}) {
    const ToolRun r = runPacker(dir, args);
    EXPECT_EQ(r.status, 1) << args.size();
    EXPECT_NE(r.err.find("too large for a pack entry: " + huge + " (2147483648 bytes"), std::string::npos) << r.err;
    unchanged(args[0] + " with a 2 GiB file");
  }

  // Whatever stands at a temporary name (a link, a leftover) is refused and left as it
  // was, and only once every file has passed; the temporary files made before it are removed.
  const std::string victim = dir.write("victim.txt", "keep me");
  ASSERT_EQ(::symlink(victim.c_str(), dir.at("p.pak.partial").c_str()), 0);
  dir.write("hollow/e.txt", "");
  const std::string locked = dir.write("locked/l.txt", "secret");
  ::chmod(locked.c_str(), 0);
  std::vector<std::pair<std::string, std::string>> refusals{{"hollow", "empty file"}};
  if (::access(locked.c_str(), R_OK) != 0) refusals.push_back({"locked", "cannot read " + locked});  // not as root
  for (const auto& [folder, why] : refusals) {
    const ToolRun r = runPacker(dir, {"build", pak, dir.at("n1"), dir.at(folder)});
    EXPECT_EQ(r.status, 1) << folder;
    EXPECT_NE(r.err.find(why), std::string::npos) << r.err;
  }
  ToolRun r = runPacker(dir, {"build", pak, dir.at("n1")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(dir.at("p.pak.partial") + " already exists"), std::string::npos) << r.err;
  EXPECT_EQ(slurp(victim), "keep me");
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir.at("p.pak.partial"))));
  fs::remove(dir.at("p.pak.partial"));
  unchanged("a link at p.pak.partial");
  dir.write("p.pak2.partial", "leftover");
  EXPECT_EQ(runPacker(dir, {"build", pak, dir.at("n1"), dir.at("f2"), dir.at("f3")}).status, 1);
  EXPECT_EQ(slurp(dir.at("p.pak2.partial")), "leftover");
  unchanged("a leftover p.pak2.partial");

  // A set of renames cannot be atomic: one that fails names the parts already replaced.
  fs::create_directories(dir.at("q.pak1/in"));
  r = runPacker(dir, {"build", dir.at("q.pak"), dir.at("n1"), dir.at("f2")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot rename " + dir.at("q.pak1.partial") + " to " + dir.at("q.pak1")), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("already replaced: " + dir.at("q.pak") + "\n"), std::string::npos) << r.err;
  EXPECT_FALSE(dir.exists("q.pak1.partial"));
  EXPECT_TRUE(dir.exists("q.pak1/in"));
}

}  // namespace
