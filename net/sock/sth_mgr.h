// The socket thread managers: SThMgrT<SThP_RAW> over plain TCP and SThMgrT<SThP_SSL>
// over TLS. A caller queues a job (host and port, the request text, a framer, a notify
// object) and gets a 32-bit id at once; a worker thread resolves, connects, sends,
// receives into a 64 KiB buffer, feeds the framer and hands every complete reply to
// the notify object on the worker thread.
//
// A job that ends without its reply (no lookup, no connection, a refused certificate, a
// time limit, a peer that closed early, a malformed reply) tells its notify object why,
// unless it was cancelled or the manager is ending.
//
// Ordinary jobs run one after the other on the manager's request worker. A stream job
// (a kept-open connection) runs on a stream worker of its own, started for it and ended
// with it, so no request waits behind an open stream; at most kMaxStreamWorkers run at
// once, further streams wait in the queue.
//
// Ids: the top 4 bits name the manager (0 plain, 1 TLS), the low 28 count from 1.
#pragma once
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "net/sock/sth_job.h"
#include "net/sock/sth_policy.h"
#include "platform/thread/thread.h"
#include "runtime/core/synclo.h"
#include "runtime/res/singleton.h"

struct SThTimeouts {
  int connectMs = 10000;  // resolving, connecting and the TLS handshake, each
  int sendMs = 30000;     // a send that makes no progress
  int recvMs = 120000;    // silence while a reply or stream is open
};

class SThMgr : public kesto::Synclo {
 public:
  enum Kind : uint32_t { kPlain = 0, kTls = 1 };
  static constexpr uint32_t kNoJob = 0xFFFFFFFFu;
  static constexpr size_t kBufferSize = 0x10000;
  static constexpr size_t kMinFree = 0x4000;
  static constexpr int kMaxStreamWorkers = 2;

  using Timeouts = SThTimeouts;

  using PolicyFactory = std::unique_ptr<SThPolicy> (*)();

  SThMgr(PolicyFactory factory, Kind kind, Timeouts timeouts = Timeouts());
  virtual ~SThMgr();
  SThMgr(const SThMgr&) = delete;
  SThMgr& operator=(const SThMgr&) = delete;

  // Queues a job and returns its id; takes the framer and notify object over.
  uint32_t enqueue(std::string host, uint16_t port, std::string request, std::unique_ptr<IHeaderCheck> framer,
                   std::unique_ptr<ISockNotify> notify, const void* user = nullptr, bool stream = false);
  // 0: the job was queued (now removed) or running (now aborted); 1: no such job (done,
  // unknown, or not given yet while nothing is queued); 2: an id newer than every queued
  // one.
  int cancel(uint32_t id);
  // False while the job is queued or running, and for an id not given yet.
  bool isCompleted(uint32_t id);
  // The workers' states in worker order: "idle", "sending", "recving" or "closed".
  std::vector<std::string> getThreadStatus();
  int nThread();
  Kind kind() const { return kind_; }
  bool ownsId(uint32_t id) const { return (id >> 28) == kind_; }

 private:
  struct Worker {
    std::thread thread;
    std::string status = "idle";
    uint32_t current = kNoJob;
    bool closed = false;
    bool stream = false;
    bool exited = false;
    qxplat::Event work;
    qxnet::AbortEvent abort;
    std::unique_ptr<SThPolicy> policy;
  };
  // How a job ended: kind none after its last delivery, aborted when nobody is told.
  struct Ending {
    qxnet::NetError error;
    bool afterReply = false;
    FramedData bytes;  // a malformed reply's bytes
  };

  void dispatcherLoop();
  void workerLoop(Worker* w);
  bool takeJob(Worker* w, SThJob& job);
  void runJob(Worker* w, SThJob& job, char* buffer, Ending& end);
  void receive(Worker* w, SThJob& job, char* buffer, Ending& end);
  void tellFailure(Worker* w, SThJob& job, const Ending& end);
  // > 0 bytes moved; 0: the peer closed (receiving); < 0: failed as fail says.
  long waitedIo(Worker* w, bool send, char* data, size_t n, qxnet::NetError& fail);
  bool waitReady(Worker* w, ISockNotify& notify);
  bool closing(Worker* w);
  void setStatus(Worker* w, const char* status);
  Worker* addWorker(bool stream);
  void log(uint32_t id, const std::string& what);

  PolicyFactory factory_;
  const Kind kind_;
  const Timeouts timeouts_;
  uint32_t counter_ = 0;
  bool quit_ = false;
  std::deque<SThJob> queue_;
  std::vector<std::unique_ptr<Worker>> workers_;
  qxplat::Event wake_;
  std::thread dispatcher_;
};

template <class P>
class SThMgrT : public SThMgr, public kesto::Singleton<SThMgrT<P>> {
 public:
  explicit SThMgrT(Timeouts timeouts = Timeouts())
      : SThMgr([]() -> std::unique_ptr<SThPolicy> { return std::make_unique<P>(); },
               std::is_same_v<P, SThP_SSL> ? kTls : kPlain, timeouts) {}
  static constexpr const char* scheme() { return P::kScheme; }
  static constexpr uint16_t defaultPort() { return P::kDefaultPort; }
};

using SockMgr = SThMgrT<SThP_RAW>;
using SSockMgr = SThMgrT<SThP_SSL>;

// The manager that gave an id: the plain one when its top bits name it, else the TLS one.
SThMgr* sockManagerOf(uint32_t id);
