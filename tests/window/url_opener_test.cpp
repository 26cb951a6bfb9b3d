// Opening a URL: the address reaches the opener as one argument, never through a shell.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

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
    // Writes each argument followed by a NUL, so the file shows exactly how argv arrived.
    std::ofstream(recorder_ = dir_ + "/recorder")
        << "#!/bin/sh\nprintf '%s\\0' \"$@\" > \"$0.args.tmp\"\nmv \"$0.args.tmp\" \"$0.args\"\n";
    std::ofstream(failing_ = dir_ + "/failing") << "#!/bin/sh\nexit 3\n";
    ASSERT_EQ(chmod(recorder_.c_str(), 0755) | chmod(failing_.c_str(), 0755), 0);
  }
  void TearDown() override {
    std::filesystem::remove_all(dir_);
  }

  std::string dir_, recorder_, failing_;
};

TEST_F(UrlOpenerTest, ShellMetacharactersArriveAsOneArgument) {
  const std::string url = "https://example.com/a b?x=1&y=2;touch " + dir_ + "/pwned|cat `id` $(id) 'q' \"d\" * -x";
  EXPECT_TRUE(openUrl(url, recorder_));
  std::stringstream args;
  args << std::ifstream(recorder_ + ".args", std::ios::binary).rdbuf();
  EXPECT_EQ(args.str(), url + '\0');
  EXPECT_NE(access((dir_ + "/pwned").c_str(), F_OK), 0);
}

TEST_F(UrlOpenerTest, FailureShowsTheBrowserMessage) {
  testing::internal::CaptureStderr();
  EXPECT_FALSE(openUrl("https://example.com/", failing_));
  EXPECT_FALSE(openUrl("https://example.com/", dir_ + "/no-such-program"));
  const std::string line = std::string(kBrowserFailedText) + "\n";
  EXPECT_EQ(testing::internal::GetCapturedStderr(), line + line);
}

TEST_F(UrlOpenerTest, AnOpenerThatCannotBeWaitedForIsAFailure) {
  const auto previous = signal(SIGCHLD, SIG_IGN);  // children are reaped at once: no status to wait for
  testing::internal::CaptureStderr();
  const bool opened = openUrl("https://example.com/", recorder_);
  testing::internal::GetCapturedStderr();
  signal(SIGCHLD, previous);
  EXPECT_FALSE(opened);
}

}  // namespace
