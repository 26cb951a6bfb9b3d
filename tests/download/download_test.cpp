#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <future>
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
  // Only a regular file is opened: "<none>" when nothing stands there, else "<other>".
  std::string read(const std::string& name) {
    const fs::file_status st = fs::symlink_status(dir_ / name);
    if (!fs::is_regular_file(st)) return fs::exists(st) ? "<other>" : "<none>";
    std::ifstream f(dir_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  }
  // The "<name>.*.part" files a download left.
  size_t freshFiles(const std::string& name) {
    size_t n = 0;
    for (const auto& e : fs::directory_iterator(dir_)) {
      const std::string f = e.path().filename().string();
      n += f.size() > name.size() + 6 && f.starts_with(name + ".") && f.ends_with(".part");
    }
    return n;
  }
  qx::IFiles& folder() { return *files_.writeTarget(0); }
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
    EXPECT_EQ(saveDownload(folder(), path, c.data.data(), static_cast<uint32_t>(c.data.size()), &why), c.ok)
        << c.what;
    EXPECT_EQ(why, c.why) << c.what;
    EXPECT_EQ(read(name), c.after) << c.what;
    EXPECT_EQ(freshFiles(name), 0u) << c.what;
  }
  std::string why;
  EXPECT_FALSE(saveDownload(folder(), u"/no/such/folder/x.png", cases[0].data.data(),
                            static_cast<uint32_t>(cases[0].data.size()), &why));
  EXPECT_EQ(why, "cannot make a file beside \"/no/such/folder/x.png\": no such folder, or not a valid name");
  EXPECT_FALSE(saveDownload(folder(), qcore::utf8ToUtf16((dir_ / "null").string()), nullptr, 0));
}

// A folder whose files can be created but not opened for writing (a disk that filled, a
// permission that changed after the download was queued), and that makes no fresh files.
class UnwritableFolder : public qx::IFiles {
 public:
  explicit UnwritableFolder(qx::IFiles* folder) : folder_(folder) {}
  std::unique_ptr<qx::ibitstream> openRead(std::u16string_view n) override { return folder_->openRead(n); }
  FileData readWhole(std::u16string_view n, uint32_t flag) override { return folder_->readWhole(n, flag); }
  int32_t size(std::u16string_view n) override { return folder_->size(n); }
  std::unique_ptr<qx::obitstream> openWrite(std::u16string_view, bool) override { return nullptr; }
  int32_t writeWhole(std::u16string_view, bool, const void*, uint32_t) override { return -1; }
  bool create(std::u16string_view n, bool overwrite) override { return folder_->create(n, overwrite); }

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
// old one, and no fresh file. A link, FIFO, folder or file of someone's at "u.part" is
// never opened and stays; so does what a link put at "u" after queueing points to.
TEST_F(DownloadTest, AWriteThatFailsLeavesTheFileAsItWas) {
  const std::string body(10000, 'x'), found = reply("200 OK", "image/png", body);
  const std::string missing = reply("404 Not Found", "image/png", "x");
  const std::string path = (dir_ / "u").string(), logged = "getFile \"" + path + "\" (job 00000001): not written: ";
  const std::string cantOpen = "cannot open \"" + path + "\" for writing";
  const std::string cutShort = "writing \"" + path + "\" failed after 1000 of 10000 bytes";
  enum Sink { plain, unopenable, cut };
  enum Odd { none, link, fifo, folderThere, own };
  const struct {
    const char* what;
    Odd odd;
    bool atPath;  // odd stands at "u", put there after queueing; else at "u.part" before
    bool overwrite;
    const std::string* data;  // null: no reply
    Sink sink;
    std::string why;    // logged; empty when written
    std::string after;  // "u" afterwards
  } rows[] = {
      {"unopenable", none, false, false, &found, unopenable, cantOpen, ""},
      {"unopenable, overwrite", none, false, true, &found, unopenable, cantOpen, "old"},
      {"cut short", none, false, false, &found, cut, cutShort, ""},
      {"cut short, overwrite", none, false, true, &found, cut, cutShort, "old"},
      {"link, 200", link, false, false, &found, plain, "", body},
      {"link, 200, overwrite", link, false, true, &found, plain, "", body},
      {"link, 404", link, false, false, &missing, plain, "the reply is 404 Not Found", ""},
      {"link, 404, overwrite", link, false, true, &missing, plain, "the reply is 404 Not Found", "old"},
      {"link, no reply, overwrite", link, false, true, nullptr, plain, "connection refused", "old"},
      {"fifo, 200", fifo, false, false, &found, plain, "", body},
      {"fifo, 200, overwrite", fifo, false, true, &found, plain, "", body},
      {"folder, 200, overwrite", folderThere, false, true, &found, plain, "", body},
      {"own file, 404", own, false, false, &missing, plain, "the reply is 404 Not Found", ""},
      {"link at u, no reply", link, true, false, nullptr, plain, "connection refused", "<none>"},
      {"fifo at u, no reply", fifo, true, false, nullptr, plain, "connection refused", "<none>"},
      {"folder at u, 200, overwrite", folderThere, true, true, &found, plain,
       "cannot replace \"" + path + "\" with the new file", "<other>"},
  };
  UnwritableFolder unwritable(&folder());
  std::vector<std::string> lines;
  setScriptDebugLogSink([&](std::string_view line) { lines.emplace_back(line); });
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    for (const char* name : {"u", "u.part", "victim"}) fs::remove_all(dir_ / name);
    put("victim", "victim");
    if (r.overwrite) put("u", "old");
    const fs::path odd = dir_ / (r.atPath ? "u" : "u.part");
    auto place = [&] {
      if (r.odd == link) fs::create_symlink(dir_ / "victim", odd);
      if (r.odd == fifo) mkfifo(odd.c_str(), 0666);
      if (r.odd == folderThere) fs::create_directory(odd);
      if (r.odd == own) put("u.part", "mine");
    };
    lines.clear();
    // Queued and handled on a thread of its own: an open of a FIFO that waits for a reader
    // is let go below rather than hanging the test.
    auto done = std::async(std::launch::async, [&] {
      if (!r.atPath) place();
      qx::IFiles* target = downloadTarget(qcore::utf8ToUtf16(path), r.overwrite);
      ASSERT_EQ(target, &folder());
      if (r.atPath) {
        fs::remove(dir_ / "u");
        place();
      }
      FileSizeLimit limit(r.sink == cut ? 1000 : RLIM_INFINITY);
      ISSaveFile sink(r.sink == unopenable ? unwritable : *target, qcore::utf8ToUtf16(path), r.overwrite);
      SockFailure refused;
      refused.kind = qxnet::Failure::refused;
      if (r.data) {
        sink.deliver(1, nullptr, nullptr, r.data->data(), static_cast<uint32_t>(r.data->size()));
      } else {
        sink.failed(1, nullptr, refused);
      }
    });
    if (done.wait_for(std::chrono::seconds(5)) == std::future_status::timeout) {
      const int reader = ::open(odd.c_str(), O_RDONLY | O_NONBLOCK);
      done.wait();
      ::close(reader);
      ADD_FAILURE() << "blocked opening the FIFO";
    }
    EXPECT_EQ(lines, r.why.empty() ? std::vector<std::string>{} : std::vector<std::string>{logged + r.why});
    const std::string after = read("u");
    EXPECT_TRUE(after == r.after) << after.size() << " bytes: " << after.substr(0, 20);
    EXPECT_EQ(read("victim"), "victim");
    EXPECT_EQ(freshFiles("u"), 0u);
    if (r.atPath) continue;
    const fs::file_status st = fs::symlink_status(odd);
    EXPECT_TRUE(r.odd == link          ? fs::is_symlink(st) && fs::read_symlink(odd) == dir_ / "victim"
                : r.odd == fifo        ? fs::is_fifo(st)
                : r.odd == folderThere ? fs::is_directory(st)
                : r.odd == own         ? read("u.part") == "mine"
                                       : !fs::exists(st));
  }
  setScriptDebugLogSink(nullptr);
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
    ISSaveFile a(folder(), qcore::utf8ToUtf16(path), true);
    a.deliver(0x11, nullptr, nullptr, notFound.data(), static_cast<uint32_t>(notFound.size()));
    ISSaveFile b(folder(), qcore::utf8ToUtf16(path), true);
    b.failed(0x12, nullptr, refused);
    EXPECT_EQ(read("x.png"), "old");  // overwrite keeps the old file until a body came
    ISSaveFile cancelled(folder(), qcore::utf8ToUtf16(path), true);
    ISSaveFile fine(folder(), qcore::utf8ToUtf16(path), true);
    fine.deliver(0x13, nullptr, nullptr, png.data(), static_cast<uint32_t>(png.size()));
    // Refused before anything is queued, naming the overwrite flag it had.
    SockMgr mgr;
    EXPECT_EQ(queueDownload(mgr, qcore::utf8ToUtf16(path), "http://h/x.png", false, nullptr), 0u);
    EXPECT_EQ(queueDownload(mgr, u"/no/such/folder/x.png", "http://h/x.png", true, nullptr), 0u);
    EXPECT_EQ(downloadTarget(u"", true), nullptr);
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
