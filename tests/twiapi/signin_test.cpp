#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "net/twiapi/token_file.h"
#include "net/twiapi/twiapi.h"
#include "platform/core/utf.h"
#include "runtime/fs/path_stack.h"
#include "script/lua/script_report.h"

namespace {

namespace fs = std::filesystem;

class TokenFileTest : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qx-token-XXXXXX";
    dir_ = mkdtemp(pattern);
    saved_ = programPath().str();
    programPath().set(qcore::utf8ToUtf16(dir_.string()));
  }
  void TearDown() override {
    programPath().set(saved_);
    fs::remove_all(dir_);
  }
  std::string read(const char* name) {
    std::ifstream f(dir_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  }
  void put(const char* name, const std::string& bytes) { std::ofstream(dir_ / name, std::ios::binary) << bytes; }
  static std::string xored(std::string text, uint8_t key) {
    for (char& c : text) c = static_cast<char>(static_cast<uint8_t>(c) ^ key);
    return text;
  }

  fs::path dir_;
  std::u16string saved_;
};

TEST_F(TokenFileTest, SavedFileIsExactPrivateAndLoadsBack) {
  put("ac.dat", "an older file, readable by all");
  fs::permissions(dir_ / "ac.dat", fs::perms(0644));
  TwiAPI api;
  api.oauth().setToken("12-tok", "s3cr=t");
  api.saveAcToken(u"ac.dat");
  EXPECT_EQ(read("ac.dat"), xored("12-tok\r\ns3cr=t", 0x5D));
  struct stat st {};
  ASSERT_EQ(stat((dir_ / "ac.dat").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_FALSE(fs::exists(dir_ / "ac.dat.tmp"));

  TwiAPI again;
  EXPECT_TRUE(again.loadAcToken(u"AC.DAT"));  // names match without regard to case
  EXPECT_EQ(again.oauth().token(), "12-tok");
  EXPECT_EQ(again.oauth().tokenSecret(), "s3cr=t");
  put("cs.dat", xored("  key\t \tsecret \n", 0x2E));
  EXPECT_TRUE(again.loadCSKey(u"cs.dat"));
  EXPECT_EQ(again.oauth().consumerKey(), "key");
  EXPECT_EQ(again.oauth().token(), "12-tok");
  // A file of exactly the cap is read.
  put("cap.dat", xored("a b" + std::string(kTokenFileMax - 3, ' '), 0x5D));
  EXPECT_TRUE(again.loadAcToken(u"cap.dat"));
  EXPECT_EQ(again.oauth().tokenSecret(), "b");
}

// Each refusal says why in the log.
TEST_F(TokenFileTest, FilesWithoutTwoWordsChangeNothing) {
  const struct {
    const char* what;
    std::string bytes;
    const char* why;    // in the log line
    bool fifo = false;  // a FIFO no one writes to, in place of a file
  } cases[] = {
      {"truncated after the first word", xored("acctok\r\n", 0x5D), "does not hold two words"},
      {"empty", "", "does not hold two words"},
      {"whitespace only", xored(" \r\n\t", 0x5D), "does not hold two words"},
      {"two words past the size cap", xored("tok sec" + std::string(kTokenFileMax - 6, ' '), 0x5D),
       "holds more than 4096 bytes"},
      {"a FIFO", "", "is not a regular file", true},
  };
  std::vector<std::string> logged;
  setScriptDebugLogSink([&](std::string_view line) { logged.emplace_back(line); });
  auto loggedWhy = [&](const char* why) {
    const bool found = !logged.empty() && logged.back().find(why) != std::string::npos;
    logged.clear();
    return found;
  };
  for (const auto& c : cases) {
    fs::remove(dir_ / "t.dat");
    if (c.fifo) ASSERT_EQ(mkfifo((dir_ / "t.dat").c_str(), 0600), 0);
    else put("t.dat", c.bytes);
    TwiAPI api;
    api.oauth().setToken("held", "heldsecret");
    api.oauth().setConsumer("ck", "cs");
    EXPECT_FALSE(api.loadAcToken(u"t.dat")) << c.what;
    EXPECT_TRUE(loggedWhy(c.why)) << c.what;
    EXPECT_FALSE(api.loadCSKey(u"t.dat")) << c.what;
    EXPECT_EQ(api.oauth().token(), "held") << c.what;
    EXPECT_EQ(api.oauth().tokenSecret(), "heldsecret") << c.what;
    EXPECT_EQ(api.oauth().consumerKey(), "ck") << c.what;
  }
  TwiAPI api;
  EXPECT_FALSE(api.loadAcToken(u"missing.dat"));
  EXPECT_TRUE(loggedWhy("cannot open"));
  EXPECT_FALSE(api.loadAcToken(u""));
  EXPECT_TRUE(loggedWhy("no path for \"\" in the program's folder"));
  EXPECT_FALSE(api.loadCSKey(u""));
  EXPECT_TRUE(loggedWhy("no path for \"\" in the program's folder"));
  setScriptDebugLogSink(nullptr);
}

// A leftover temporary file, or a link planted in its place, is removed, never written
// through; the saved file is private whatever the old one was.
TEST_F(TokenFileTest, ALeftoverOrPlantedTemporaryFileIsReplaced) {
  std::string why;
  for (bool link : {false, true}) {
    SCOPED_TRACE(link);
    put("victim", "untouched");
    fs::remove(dir_ / "t.dat.tmp");
    if (link) {
      fs::create_symlink(dir_ / "victim", dir_ / "t.dat.tmp");
    } else {
      put("t.dat.tmp", "left over, readable by all");
      fs::permissions(dir_ / "t.dat.tmp", fs::perms(0666));
    }
    ASSERT_TRUE(writeTokenFile((dir_ / "t.dat").string(), "new", why)) << why;
    EXPECT_EQ(read("t.dat"), "new");
    EXPECT_EQ(read("victim"), "untouched");
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir_ / "t.dat.tmp")));
    struct stat st {};
    ASSERT_EQ(stat((dir_ / "t.dat").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
  }
}

TEST_F(TokenFileTest, FailedSaveKeepsTheOldFile) {
  std::string why;
  EXPECT_FALSE(writeTokenFile((dir_ / "none" / "w.dat").string(), "abc", why));
  put("ac.dat", "old");
  fs::create_directory(dir_ / "ac.dat.tmp");  // the temporary file cannot be made
  EXPECT_FALSE(writeTokenFile((dir_ / "ac.dat").string(), "abc", why));
  EXPECT_EQ(why.rfind("cannot remove " + (dir_ / "ac.dat.tmp").string() + ": ", 0), 0u) << why;
  TwiAPI api;
  api.oauth().setToken("new", "newsecret");
  api.saveAcToken(u"ac.dat");
  EXPECT_EQ(read("ac.dat"), "old");
  fs::remove(dir_ / "ac.dat.tmp");
  fs::create_directory(dir_ / "dir.dat");  // the rename fails: the temporary file goes
  EXPECT_FALSE(writeTokenFile((dir_ / "dir.dat").string(), "abc", why));
  EXPECT_FALSE(fs::exists(dir_ / "dir.dat.tmp"));
}

TEST(SignInTest, RequestTokenDropsTheHeldTokenAndTheURLIsEncoded) {
  TwiAPI api;
  api.oauth().setToken("acc", "accsecret");
  api.getReqToken();  // no socket manager here: nothing is sent
  EXPECT_EQ(api.oauth().token(), "");
  EXPECT_EQ(api.oauth().tokenSecret(), "");

  api.oauth().setToken("a b/c&d=é", "");
  const std::string url = api.authorizeURL();
  EXPECT_EQ(url.substr(url.find("/oauth/")), "/oauth/authorize/?oauth_token=a%20b%2Fc%26d%3D%C3%A9");
}

}  // namespace
