// Script downloads: a GET of a URL whose reply body is written to a file, on a socket
// manager's worker. Only a reply below 400 with a body of the raw kind (no form, JSON or
// text) is written. The write target is chosen when the download is queued: without
// overwrite it is the one that creates the file, empty, then (an existing entry refuses
// it); with overwrite the file is not touched until a body came. The body goes to a new
// file of a fresh name beside it, "<path>.XXXXXX.part", which is renamed over the file
// only once whole and else removed; a program killed while it writes can leave one. A
// download opens, empties or removes nothing else (a "<path>.part" of anyone's stays as
// it is). Targets that keep no such files (the in-memory tree) take the body directly.
//
// A script callback runs on the main thread at the next message delivery after the job
// has ended, with the job id, whether the file was written and the path; it runs also
// when no reply came.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "net/sock/sock_notify.h"
#include "platform/core/url.h"
#include "script/lua/lstk_ref.h"

class SThMgr;
namespace qx {
class IFiles;
}

constexpr size_t kMaxDownloadURL = 255;

// The write target that takes a download into path: without overwrite the first that
// creates path, empty, where nothing stands; with overwrite the first that can make a file
// beside it (made and removed again; path itself is neither opened nor emptied). Null when
// none can.
qx::IFiles* downloadTarget(const std::u16string& path, bool overwrite);

// Writes a framed reply's body to path in target, through a fresh file beside it; true
// when the file now holds the body. Any other reply, and a write that fails, leaves the
// file as it was and no fresh file; why then says what the reply was (its status and
// reason, a type that is not a file) or how the write failed.
bool saveDownload(qx::IFiles& target, const std::u16string& path, const char* data, uint32_t length,
                  std::string* why = nullptr);

// The file sink of one download. A download that writes nothing logs why.
class ISSaveFile : public ISockNotify {
 public:
  // target: the one downloadTarget chose when the download was queued; it outlives the sink
  // (the socket managers end before the file sources are unmounted).
  ISSaveFile(qx::IFiles& target, std::u16string path, bool overwrite)
      : target_(target), path_(std::move(path)), overwrite_(overwrite) {}
  ~ISSaveFile() override;
  Readiness ready() override { return Readiness::ready; }
  bool deliver(uint32_t id, const void* user, const void* info, const char* data, uint32_t length) override;
  // No reply came: a file this download created is removed again (unlinked, never opened).
  void failed(uint32_t id, const void* user, const SockFailure& why) override;
  bool written() const { return written_; }

 private:
  void notWritten(uint32_t id, const std::string& why);

  qx::IFiles& target_;
  std::u16string path_;
  bool overwrite_;
  bool delivered_ = false;
  bool told_ = false;  // failed() came
  bool written_ = false;
};

// A file sink with a script function told of the outcome, once, on the main thread, after
// the job has ended.
class ISLua : public ISockNotify {
 public:
  // jobId is filled in once the job is queued; the callback reads it on the main thread,
  // which queued the job before it delivers anything.
  ISLua(std::unique_ptr<ISSaveFile> sink, std::shared_ptr<LStkRef> function, std::string path,
        std::shared_ptr<std::atomic<uint32_t>> jobId)
      : sink_(std::move(sink)), function_(std::move(function)), path_(std::move(path)), jobId_(std::move(jobId)) {}
  ~ISLua() override;
  Readiness ready() override { return sink_->ready(); }
  bool deliver(uint32_t id, const void* user, const void* info, const char* data, uint32_t length) override {
    return sink_->deliver(id, user, info, data, length);
  }
  void failed(uint32_t id, const void* user, const SockFailure& why) override { sink_->failed(id, user, why); }

 private:
  std::unique_ptr<ISSaveFile> sink_;
  std::shared_ptr<LStkRef> function_;
  std::string path_;
  std::shared_ptr<std::atomic<uint32_t>> jobId_;
};

// Calls function(QXInteger id, ok, path) on a fresh coroutine of its state; a failure is
// logged and shown.
void runDownloadCallback(LStkRef& function, uint32_t id, bool ok, const std::string& path);

// The port a download connects to: the URL's own, else the manager's default (80 plain,
// 443 TLS), whatever the URL's scheme.
uint16_t downloadPort(const qcore::UrlParts& parts, bool tls);

// Queues a download of url into path on mgr; the job id, or 0 when the URL cannot be
// read (control characters, over-long, not http/https) or no write target takes the file
// (downloadTarget). The worker resolves the host (never the calling thread): a name that
// does not resolve ends the job as a refused connection does. The port is the URL's own, else the
// manager's default (80 plain, 443 TLS), whatever the URL's scheme.
uint32_t queueDownload(SThMgr& mgr, const std::u16string& path, const std::string& url, bool overwrite,
                       std::shared_ptr<LStkRef> function);
