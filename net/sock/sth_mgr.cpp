#include "net/sock/sth_mgr.h"

#include <cstdio>
#include <cstring>

#include "platform/net/resolver.h"
#include "runtime/core/thread_ctx.h"
#include "script/lua/script_report.h"

namespace {

constexpr uint32_t kLowBits = 0x0FFFFFFFu;

}  // namespace

SThMgr* sockManagerOf(uint32_t id) {
  if ((id >> 28) == SThMgr::kPlain) return SockMgr::instance();
  return SSockMgr::instance();
}

SThMgr::SThMgr(PolicyFactory factory, Kind kind, Timeouts timeouts)
    : factory_(factory), kind_(kind), timeouts_(timeouts) {
  qxnet::ignoreSigpipe();
  if (std::string why; !qxnet::initResolver(why)) log(0, why);
  if (std::string note = qxnet::takeResolverNotice(); !note.empty()) log(0, note);
  counter_ = ((counter_ + 1) & kLowBits) | (static_cast<uint32_t>(kind) << 28);
  kesto::SyncloGuard g(*this);
  addWorker(false);
  dispatcher_ = std::thread([this] { dispatcherLoop(); });
}

SThMgr::~SThMgr() {
  lock();
  quit_ = true;
  for (auto& w : workers_) {
    w->status = "closed";
    w->closed = true;
    w->abort.set();
    w->work.set();
  }
  unlock();
  wake_.set();
  if (dispatcher_.joinable()) dispatcher_.join();
  // No thread starts workers any more.
  for (auto& w : workers_) {
    if (w->thread.joinable()) w->thread.join();
  }
  workers_.clear();
  queue_.clear();
}

SThMgr::Worker* SThMgr::addWorker(bool stream) {
  auto w = std::make_unique<Worker>();
  w->stream = stream;
  w->policy = factory_();
  Worker* raw = w.get();
  workers_.push_back(std::move(w));
  raw->thread = std::thread([this, raw] { workerLoop(raw); });
  return raw;
}

void SThMgr::log(uint32_t id, const std::string& what) {
  char head[48];
  std::snprintf(head, sizeof head, "socket job %08x: ", id);
  scriptDebugLog(head + what);
}

uint32_t SThMgr::enqueue(std::string host, uint16_t port, std::string request, std::unique_ptr<IHeaderCheck> framer,
                         std::unique_ptr<ISockNotify> notify, const void* user, bool stream) {
  SThJob job;
  job.host = std::move(host);
  job.port = port;
  job.request = std::move(request);
  job.framer = std::move(framer);
  job.notify = std::move(notify);
  job.user = user;
  job.stream = stream;
  uint32_t id;
  {
    kesto::SyncloGuard g(*this);
    id = job.id = counter_;
    counter_ = ((counter_ + 1) & kLowBits) | (static_cast<uint32_t>(kind_) << 28);
    queue_.push_back(std::move(job));
  }
  wake_.set();
  return id;
}

int SThMgr::cancel(uint32_t id) {
  SThJob removed;  // destroyed after the lock is released
  kesto::SyncloGuard g(*this);
  for (auto it = queue_.begin(); it != queue_.end(); ++it) {
    if (it->id == id) {
      removed = std::move(*it);
      queue_.erase(it);
      return 0;
    }
  }
  for (auto& w : workers_) {
    if (w->current == id) {
      w->abort.set();
      return 0;
    }
  }
  if (!queue_.empty() && ownsId(id) && (id & kLowBits) > (queue_.back().id & kLowBits)) return 2;
  return 1;
}

bool SThMgr::isCompleted(uint32_t id) {
  kesto::SyncloGuard g(*this);
  for (const SThJob& j : queue_) {
    if (j.id == id) return false;
  }
  for (auto& w : workers_) {
    if (w->current == id) return false;
  }
  return !(ownsId(id) && (id & kLowBits) >= (counter_ & kLowBits));
}

std::vector<std::string> SThMgr::getThreadStatus() {
  kesto::SyncloGuard g(*this);
  std::vector<std::string> out;
  for (auto& w : workers_) {
    if (!w->exited) out.push_back(w->status);
  }
  return out;
}

int SThMgr::nThread() {
  kesto::SyncloGuard g(*this);
  int n = 0;
  for (auto& w : workers_) n += w->exited ? 0 : 1;
  return n;
}

void SThMgr::dispatcherLoop() {
  for (;;) {
    wake_.wait();
    // An exited worker leaves the list under the lock but is freed only after its thread
    // has ended: the thread still runs its transport's term() after marking itself.
    std::vector<std::unique_ptr<Worker>> ended;
    {
      kesto::SyncloGuard g(*this);
      if (quit_) return;
      int liveStreams = 0;
      for (auto it = workers_.begin(); it != workers_.end();) {
        if ((*it)->exited) {
          ended.push_back(std::move(*it));
          it = workers_.erase(it);
          continue;
        }
        if ((*it)->stream) ++liveStreams;
        ++it;
      }
      int streams = 0;
      bool requests = false;
      for (const SThJob& j : queue_) {
        if (j.stream) {
          ++streams;
        } else {
          requests = true;
        }
      }
      if (requests) workers_.front()->work.set();
      // Stream workers that are running hold a stream each; a queued stream gets a new one.
      for (int i = 0; i < streams && liveStreams < kMaxStreamWorkers; ++i, ++liveStreams) addWorker(true);
    }
    for (auto& w : ended) w->thread.join();
  }
}

bool SThMgr::takeJob(Worker* w, SThJob& job) {
  kesto::SyncloGuard g(*this);
  if (w->closed) return false;
  for (auto it = queue_.begin(); it != queue_.end(); ++it) {
    if (it->stream == w->stream) {
      job = std::move(*it);
      queue_.erase(it);
      w->current = job.id;
      w->abort.clear();  // an abort belongs to the job it was meant for
      w->status = "sending";
      return true;
    }
  }
  return false;
}

bool SThMgr::closing(Worker* w) {
  kesto::SyncloGuard g(*this);
  return w->closed;
}

void SThMgr::setStatus(Worker* w, const char* status) {
  kesto::SyncloGuard g(*this);
  if (!w->closed) w->status = status;
}

void SThMgr::workerLoop(Worker* w) {
  std::string why;
  if (!w->policy->init(why)) log(0, why);
  std::unique_ptr<char[]> buffer(new char[kBufferSize]);
  for (;;) {
    SThJob job;
    if (takeJob(w, job)) {
      Ending end;
      runJob(w, job, buffer.get(), end);
      tellFailure(w, job, end);
      w->policy->close();
      {
        kesto::SyncloGuard g(*this);
        w->current = kNoJob;
        if (!w->closed) w->status = "idle";
      }
      job = SThJob();  // the notify object ends on this thread, without the lock
      detachThreadLane();  // a lane is held only while a job runs
      continue;
    }
    bool leave;
    {
      kesto::SyncloGuard g(*this);
      leave = w->closed || w->stream;
      if (w->stream) {
        w->exited = true;
        w->status = "closed";
      }
    }
    if (leave) break;
    w->work.wait();
  }
  w->policy->term();
  if (w->stream) wake_.set();  // the dispatcher joins this thread
}

void SThMgr::runJob(Worker* w, SThJob& job, char* buffer, Ending& end) {
  if (!w->policy->connect(job.host, job.port, w->abort, timeouts_.connectMs, end.error)) {
    if (end.error.kind == qxnet::Failure::none) end.error.set(qxnet::Failure::connectFailed, "connect failed");
    return;
  }
  size_t sent = 0;
  while (sent < job.request.size()) {
    long n = waitedIo(w, true, job.request.data() + sent, job.request.size() - sent, end.error);
    if (n <= 0) return;
    sent += static_cast<size_t>(n);
  }
  setStatus(w, "recving");
  receive(w, job, buffer, end);
}

void SThMgr::receive(Worker* w, SThJob& job, char* buffer, Ending& end) {
  IHeaderCheck& framer = *job.framer;
  size_t rd = 0, wr = 0;
  for (;;) {
    const int used = framer.feed(buffer + rd, static_cast<int>(wr - rd));
    rd += static_cast<size_t>(used);
    const int state = framer.state();
    if (state == IHeaderCheck::kNeedMore) {
      if (used > 0 && rd < wr) continue;
      if (rd == wr) {
        rd = wr = 0;
      } else if (kBufferSize - wr < kMinFree) {
        std::memmove(buffer, buffer + rd, wr - rd);
        wr -= rd;
        rd = 0;
      }
      if (wr == kBufferSize) {
        end.error.set(qxnet::Failure::malformed, "the reply framer takes nothing from a full buffer");
        end.bytes = framer.buffered();
        return;
      }
      if (w->abort.isSet() || closing(w)) {
        end.error.set(qxnet::Failure::aborted, "aborted");
        return;
      }
      long n = waitedIo(w, false, buffer + wr, kBufferSize - wr, end.error);
      if (n == 0) end.error.set(qxnet::Failure::closed, "the peer closed the connection before the reply was complete");
      if (n <= 0) return;
      wr += static_cast<size_t>(n);
    } else if (state == IHeaderCheck::kComplete || state == IHeaderCheck::kLast) {
      if (!waitReady(w, *job.notify)) {
        end.error.set(qxnet::Failure::aborted, "the reply has nobody to go to");
        return;
      }
      FramedData d = framer.buffered();
      const bool stop = job.notify->deliver(job.id, job.user, d.info, d.data, d.length);
      end.afterReply = true;
      framer.reset();
      if (stop || state == IHeaderCheck::kLast) return;
    } else if (state == IHeaderCheck::kSkip) {
      framer.reset();
    } else {
      end.error.set(qxnet::Failure::malformed, "malformed reply: the connection is dropped");
      end.bytes = framer.buffered();
      return;
    }
  }
}

void SThMgr::tellFailure(Worker* w, SThJob& job, const Ending& end) {
  const qxnet::Failure kind = end.error.kind;
  if (kind == qxnet::Failure::none || kind == qxnet::Failure::aborted) return;
  log(job.id, end.error.detail);
  if (!job.notify || !waitReady(w, *job.notify)) return;
  SockFailure why;
  why.kind = kind;
  why.afterReply = end.afterReply;
  if (kind == qxnet::Failure::malformed) {
    why.data = end.bytes.data;
    why.length = end.bytes.length;
  }
  job.notify->failed(job.id, job.user, why);
}

long SThMgr::waitedIo(Worker* w, bool send, char* data, size_t n, qxnet::NetError& fail) {
  const qxnet::Failure broken = send ? qxnet::Failure::sendFailed : qxnet::Failure::closed;
  for (;;) {
    long r = send ? w->policy->send(data, n) : w->policy->recv(data, n);
    if (r > 0 || (!send && r == 0)) return r;
    const qxnet::Want want = w->policy->want();
    if (want == qxnet::Want::nothing) {
      fail.set(broken, (send ? "sending the request failed: " : "receiving failed: ") + w->policy->error());
      return -1;
    }
    const int limit = send ? timeouts_.sendMs : timeouts_.recvMs;
    qxnet::WaitResult res = qxnet::waitFd(w->policy->fd(), want == qxnet::Want::write, w->abort, limit);
    if (res == qxnet::WaitResult::aborted) {
      fail.set(qxnet::Failure::aborted, "aborted");
      return -1;
    }
    if (res == qxnet::WaitResult::timeout) {
      fail.set(qxnet::Failure::timeout, "no progress within the time limit: the connection is dropped");
      return -1;
    }
    if (res != qxnet::WaitResult::ready) {
      fail.set(broken, "waiting on the socket failed");
      return -1;
    }
  }
}

bool SThMgr::waitReady(Worker* w, ISockNotify& notify) {
  for (int spins = 0;; ++spins) {
    if (w->abort.isSet() || closing(w)) return false;
    switch (notify.ready()) {
      case ISockNotify::Readiness::ready:
        return true;
      case ISockNotify::Readiness::gone:
        return false;
      case ISockNotify::Readiness::retry:
        break;
    }
    if (spins < 64) {
      qxplat::yieldThread();
    } else {
      qxplat::sleepMs(1);
    }
  }
}

