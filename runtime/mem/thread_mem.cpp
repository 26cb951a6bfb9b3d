#include "runtime/mem/thread_mem.h"

#include <memory>
#include <vector>

#include "runtime/core/synclo.h"
#include "runtime/core/thread_ctx.h"

namespace {

struct ThreadMemPool {
  kesto::Synclo lock;
  std::vector<std::unique_ptr<MemMgr<kesto::SingleP>>> all;
  std::vector<MemMgr<kesto::SingleP>*> idle;

  MemMgr<kesto::SingleP>* lend() {
    kesto::SyncloGuard g(lock);
    if (!idle.empty()) {
      MemMgr<kesto::SingleP>* m = idle.back();
      idle.pop_back();
      return m;
    }
    auto m = std::make_unique<MemMgr<kesto::SingleP>>();
    if (m->id() >= kesto::kNoManagerId) return nullptr;  // the registry is full
    all.push_back(std::move(m));
    return all.back().get();
  }

  void giveBack(MemMgr<kesto::SingleP>* m) {
    kesto::SyncloGuard g(lock);
    idle.push_back(m);
  }
};

// Never destroyed: threads that end during exit still give their managers back.
ThreadMemPool& pool() {
  static ThreadMemPool* p = new ThreadMemPool();
  return *p;
}

// What the thread record owns: the lent manager, ended with the thread's lane.
class ThreadMemLease : public kesto::ThreadOwned {
 public:
  explicit ThreadMemLease(MemMgr<kesto::SingleP>* m) : mgr(m) {}
  ~ThreadMemLease() override {
    mgr->destroyAllItems();
    pool().giveBack(mgr);
  }
  MemMgr<kesto::SingleP>* const mgr;
};

}  // namespace

MemMgr<kesto::SingleP>* getThreadMemMgr() {
  ThreadCtx& ctx = threadCtx();
  if (auto* lease = dynamic_cast<ThreadMemLease*>(ctx.memMgr.get())) return lease->mgr;
  ensureThreadLane();
  MemMgr<kesto::SingleP>* m = pool().lend();
  if (!m) return nullptr;
  ctx.memMgr = std::make_unique<ThreadMemLease>(m);
  return m;
}

size_t threadMemMgrCount() {
  ThreadMemPool& p = pool();
  kesto::SyncloGuard g(p.lock);
  return p.all.size();
}
