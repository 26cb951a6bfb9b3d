#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "net/download/download.h"
#include "net/sock/sth_mgr.h"
#include "platform/core/utf.h"
#include "runtime/fs/file_registry.h"
#include "script/lua/script_report.h"
#include "script/lua/script_files.h"

namespace {

namespace fs = std::filesystem;

std::string reply(const char* status, const char* type, const std::string& body) {
  return std::string("HTTP/1.1 ") + status + "\r\nContent-Type: " + type + "\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\n\r\n" + body;
}

class DownloadTest : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qx-download-XXXXXX";
    dir_ = mkdtemp(pattern);
    files_.mountWrite(qcore::utf8ToUtf16(dir_.string()));
    attached_ = std::make_unique<AttachedFileSources>(files_);
  }
  void TearDown() override {
    attached_.reset();
    fs::remove_all(dir_);
  }
  std::string read(const std::string& name) {
    std::ifstream f(dir_ / name, std::ios::binary);
    return f ? std::string(std::istreambuf_iterator<char>(f), {}) : std::string("<none>");
  }
  void put(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  }

  fs::path dir_;
  qx::FileRegistry files_;
  std::unique_ptr<AttachedFileSources> attached_;
};

TEST_F(DownloadTest, OnlyAGoodRawReplyIsWritten) {
  std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\xff", 18);
  const struct {
    const char* what;
    std::string data;
    bool overwrite;
    bool ok;
    std::string after;  // the file's content afterwards ("<none>": no file)
    std::string why;    // why nothing was written
  } cases[] = {
      {"png, new file", reply("200 OK", "image/png", png), false, true, png, ""},
      {"png over an old file", reply("200 OK", "image/png", png), true, true, png, ""},
      {"404", reply("404 Not Found", "image/png", png), true, false, "old", "the reply is 404 Not Found"},
      {"404, new file", reply("404 Not Found", "image/png", png), false, false, "", "the reply is 404 Not Found"},
      {"json", reply("200 OK", "application/json", "{\"a\":1}"), true, false, "old",
       "the reply is \"application/json\", not a file"},
      {"form", reply("200 OK", "application/x-www-form-urlencoded", "a=1"), true, false, "old",
       "the reply is \"application/x-www-form-urlencoded\", not a file"},
      {"empty body", reply("200 OK", "image/png", ""), true, false, "old", "the reply has no body"},
      {"not HTTP", "\x00\x01garbage\r\n\r\n", true, false, "old", "the reply is not HTTP"},
  };
  int n = 0;
  for (const auto& c : cases) {
    const std::string name = "f" + std::to_string(++n);
    // Without overwrite the file was created empty when the download was queued.
    put(name, c.overwrite ? "old" : "");
    const std::u16string path = qcore::utf8ToUtf16((dir_ / name).string());
    std::string why;
    EXPECT_EQ(saveDownload(path, c.data.data(), static_cast<uint32_t>(c.data.size()), &why), c.ok)
        << c.what;
    EXPECT_EQ(why, c.why) << c.what;
    EXPECT_EQ(read(name), c.after) << c.what;
    EXPECT_FALSE(fs::exists(dir_ / (name + ".part"))) << c.what;
  }
  EXPECT_FALSE(saveDownload(u"/no/such/folder/x.png", cases[0].data.data(), static_cast<uint32_t>(cases[0].data.size())));
  EXPECT_FALSE(saveDownload(qcore::utf8ToUtf16((dir_ / "null").string()), nullptr, 0));
}

// A folder whose files can be created but not opened for writing (a disk that filled, a
// permission that changed after the download was queued).
class UnwritableFolder : public qx::IFiles {
 public:
  explicit UnwritableFolder(qx::IFiles* folder) : folder_(folder) {}
  std::unique_ptr<qx::ibitstream> openRead(std::u16string_view n) override { return folder_->openRead(n); }
  FileData readWhole(std::u16string_view n, uint32_t flag) override { return folder_->readWhole(n, flag); }
  int32_t size(std::u16string_view n) override { return folder_->size(n); }
  std::unique_ptr<qx::obitstream> openWrite(std::u16string_view, bool) override { return nullptr; }
  int32_t writeWhole(std::u16string_view, bool, const void*, uint32_t) override { return -1; }
  bool create(std::u16string_view n, bool overwrite) override { return folder_->create(n, overwrite); }
  bool rename(std::u16string_view from, std::u16string_view to) override { return folder_->rename(from, to); }
  bool remove(std::u16string_view n) override { return folder_->remove(n); }

 private:
  qx::IFiles* folder_;
};

// A file-size limit on this process while it lives: a write past it fails (EFBIG) instead
// of raising SIGXFSZ. It stops root, where a read-only folder would not.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    rlimit cut = old_;
    cut.rlim_cur = bytes;
    handler_ = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &cut);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, handler_);
  }

 private:
  rlimit old_{};
  void (*handler_)(int) = SIG_DFL;
};

// A write that fails (the file cannot be opened, or is cut short part way as on a full
// disk) leaves the file as it was, the empty one made when the download was queued or the
// old one, and no part file.
TEST_F(DownloadTest, AWriteThatFailsLeavesTheFileAsItWas) {
  qx::FileRegistry unwritable;
  unwritable.mountWrite(std::make_unique<UnwritableFolder>(files_.writeTarget(0)));
  const std::string data = reply("200 OK", "image/png", std::string(10000, 'x'));
  const std::string part = (dir_ / "u.part").string();
  for (bool cut : {false, true}) {
    attached_.reset();
    attached_ = std::make_unique<AttachedFileSources>(cut ? files_ : unwritable);
    for (bool overwrite : {false, true}) {
      SCOPED_TRACE(std::string(cut ? "cut short" : "unopenable") + (overwrite ? ", overwrite" : ""));
      put("u", overwrite ? "old" : "");
      std::string why;
      bool ok = true;
      {
        FileSizeLimit limit(cut ? 1000 : RLIM_INFINITY);
        ok = saveDownload(qcore::utf8ToUtf16((dir_ / "u").string()), data.data(), static_cast<uint32_t>(data.size()),
                          &why);
      }
      EXPECT_FALSE(ok);
      EXPECT_EQ(why, cut ? "writing \"" + part + "\" failed after 1000 of 10000 bytes"
                         : "cannot open \"" + part + "\" for writing");
      EXPECT_EQ(read("u"), overwrite ? "old" : "");
      EXPECT_FALSE(fs::exists(part));
    }
  }
  attached_.reset();
}

// Every download that writes nothing says why in the debug log, with its path and job.
TEST_F(DownloadTest, ADownloadThatWritesNothingLogsWhy) {
  std::vector<std::string> lines;
  setScriptDebugLogSink([&](std::string_view line) { lines.emplace_back(line); });
  const std::string path = (dir_ / "x.png").string();
  const std::string head = "getFile \"" + path + "\"";
  const std::string notFound = reply("404 Not Found", "image/png", "x");
  const std::string png = reply("200 OK", "image/png", "x");
  SockFailure refused;
  refused.kind = qxnet::Failure::refused;
  put("x.png", "old");
  {
    ISSaveFile a(qcore::utf8ToUtf16(path), true);
    a.deliver(0x11, nullptr, nullptr, notFound.data(), static_cast<uint32_t>(notFound.size()));
    ISSaveFile b(qcore::utf8ToUtf16(path), true);
    b.failed(0x12, nullptr, refused);
    EXPECT_EQ(read("x.png"), "old");  // overwrite keeps the old file until a body came
    ISSaveFile cancelled(qcore::utf8ToUtf16(path), true);
    ISSaveFile fine(qcore::utf8ToUtf16(path), true);
    fine.deliver(0x13, nullptr, nullptr, png.data(), static_cast<uint32_t>(png.size()));
    // Refused before anything is queued, naming the overwrite flag it had.
    SockMgr mgr;
    EXPECT_EQ(queueDownload(mgr, qcore::utf8ToUtf16(path), "http://h/x.png", false, nullptr), 0u);
    EXPECT_EQ(queueDownload(mgr, u"/no/such/folder/x.png", "http://h/x.png", true, nullptr), 0u);
  }
  setScriptDebugLogSink(nullptr);
  EXPECT_EQ(lines,
            (std::vector<std::string>{
                head + " (job 00000011): not written: the reply is 404 Not Found",
                head + " (job 00000012): not written: connection refused",
                "getFile: no write target can create \"" + path + "\" (overwrite false: it must not exist yet)",
                "getFile: no write target can create \"/no/such/folder/x.png\" (overwrite true)",
                head + ": not written: cancelled, or the program ended first"}));
}

TEST(DownloadPortTest, TheURLsOwnPortElseTheManagersDefault) {
  const struct {
    const char* url;
    bool tls;
    uint16_t port;
  } cases[] = {
      {"http://h/x", false, 80},        {"http://h/x", true, 443},         {"https://h/x", false, 80},
      {"https://h/x", true, 443},       {"http://h:8080/x", true, 8080},   {"https://h:443/x", false, 443},
      {"http://h:80/x", true, 80},      {"http://[::1]:81/x", false, 81},  {"http://[::1]/x", true, 443},
  };
  for (const auto& c : cases) {
    qcore::UrlParts parts;
    ASSERT_TRUE(qcore::parseUrl(c.url, parts)) << c.url;
    EXPECT_EQ(downloadPort(parts, c.tls), c.port) << c.url << (c.tls ? " tls" : " plain");
  }
  qcore::UrlParts v6;
  ASSERT_TRUE(qcore::parseUrl("http://[::1]:81/x", v6));
  EXPECT_EQ(v6.host, "[::1]");  // kept for the Host header; the resolver drops the brackets
}

}  // namespace
