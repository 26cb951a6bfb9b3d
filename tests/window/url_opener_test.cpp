// Opening a URL: the address reaches the opener as one argument, never through a shell.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/thread/thread.h"
#include "platform/window/ui_thread.h"
#include "platform/window/url_opener.h"
#include "window_test_env.h"

namespace {

using namespace qxplat;

class UrlOpenerTest : public testing::Test {
 protected:
  void SetUp() override {
    qxtest::useHeadlessVideo();
    char tmpl[] = "/tmp/qx-url-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    recorder_ = dir_ + "/recorder";
    // Writes each argument followed by a NUL, so the file shows exactly how argv arrived.
    writeScript(recorder_, "#!/bin/sh\nprintf '%s\\0' \"$@\" > \"$0.args.tmp\"\nmv \"$0.args.tmp\" \"$0.args\"\n");
    failing_ = dir_ + "/failing";
    writeScript(failing_, "#!/bin/sh\nexit 3\n");
  }
  void TearDown() override {
    setUrlOpener("xdg-open");
    std::filesystem::remove_all(dir_);
  }

  static void writeScript(const std::string& path, const std::string& body) {
    std::ofstream(path) << body;
    ASSERT_EQ(chmod(path.c_str(), 0755), 0);
  }
  std::vector<std::string> recordedArgs() const {
    std::ifstream in(recorder_ + ".args", std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    std::vector<std::string> args;
    std::string s = all.str();
    size_t start = 0;
    for (size_t i = 0; i < s.size(); ++i) {
      if (s[i] == '\0') {
        args.push_back(s.substr(start, i - start));
        start = i + 1;
      }
    }
    return args;
  }
  bool exists(const std::string& path) const { return access(path.c_str(), F_OK) == 0; }

  std::string dir_, recorder_, failing_;
};

TEST_F(UrlOpenerTest, ShellMetacharactersArriveAsOneArgument) {
  const std::string url = "https://example.com/a b?x=1&y=2;touch " + dir_ + "/pwned|cat `id` $(id) 'q' \"d\" * -x";
  EXPECT_TRUE(openUrl(url, recorder_));
  EXPECT_EQ(recordedArgs(), std::vector<std::string>{url});
  EXPECT_FALSE(exists(dir_ + "/pwned"));
}

TEST_F(UrlOpenerTest, FailureShowsTheBrowserMessage) {
  testing::internal::CaptureStderr();
  EXPECT_FALSE(openUrl("https://example.com/", failing_));
  EXPECT_FALSE(openUrl("https://example.com/", dir_ + "/no-such-program"));
  const std::string err = testing::internal::GetCapturedStderr();
  const std::string line = std::string(kBrowserFailedText) + "\n";
  EXPECT_EQ(err, line + line);
}

TEST_F(UrlOpenerTest, UiThreadRequestRunsTheConfiguredOpener) {
  const std::string url = "https://example.com/oauth?token=a&b=$(x)";
  setUrlOpener(recorder_);
  runUiThread([&](uint32_t) {
    EXPECT_TRUE(uiOpenUrl(url));
    EXPECT_TRUE([&] {
      for (int i = 0; i < 5000 && !exists(recorder_ + ".args"); ++i) sleepMs(1);
      return exists(recorder_ + ".args");
    }());
  });
  EXPECT_EQ(recordedArgs(), std::vector<std::string>{url});
}

}  // namespace
