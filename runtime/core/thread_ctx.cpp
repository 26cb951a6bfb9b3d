#include "runtime/core/thread_ctx.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/core/profiler.h"
#include "runtime/core/synclo.h"

namespace {

struct LanePair {
  uint64_t unit;
  int index;
};

// A stack of free lanes filled from lane 1 upward, so the first thread gets lane 8.
struct LanePool {
  kesto::Synclo lock;
  LanePair pairs[kesto::kLaneCount];
  int count;

  LanePool() : count(kesto::kLaneCount) {
    for (int i = 0; i < kesto::kLaneCount; ++i) pairs[i] = LanePair{uint64_t(1) << (8 * i), i + 1};
  }
};

LanePool& lanePool() {
  static LanePool pool;
  return pool;
}

std::atomic<uint32_t> gUIThreadId{0};

}  // namespace

ThreadCtx::ThreadCtx() = default;

ThreadCtx::~ThreadCtx() {
  profiler.reset();
  report.reset();
  if (laneIndex > 0) detachThreadLane();
  memMgr.reset();
}

ThreadCtx& threadCtx() {
  thread_local ThreadCtx ctx;
  return ctx;
}

void attachThreadLane() {
  ThreadCtx& ctx = threadCtx();
  if (ctx.laneIndex > 0) return;
  LanePool& pool = lanePool();
  pool.lock.lock(true);
  if (pool.count == 0) {
    pool.lock.unlock();
    std::fprintf(stderr, "fatal: all %d lock lanes are taken; no more threads can lock engine objects\n",
                 kesto::kLaneCount);
    std::abort();
  }
  LanePair p = pool.pairs[--pool.count];
  pool.lock.unlock();
  ctx.laneUnit = p.unit;
  ctx.laneIndex = p.index;
}

void detachThreadLane() {
  ThreadCtx& ctx = threadCtx();
  ctx.memMgr.reset();
  if (ctx.laneIndex <= 0) return;
  LanePool& pool = lanePool();
  pool.lock.lock(true);
  pool.pairs[pool.count++] = LanePair{ctx.laneUnit, ctx.laneIndex};
  pool.lock.unlock();
  ctx.laneIndex = -1;
  ctx.laneUnit = ~0ull;
}

int ensureThreadLane() {
  ThreadCtx& ctx = threadCtx();
  if (ctx.laneIndex <= 0) attachThreadLane();
  return ctx.laneIndex;
}

int freeThreadLaneCount() {
  LanePool& pool = lanePool();
  pool.lock.lock(true);
  int n = pool.count;
  pool.lock.unlock();
  return n;
}

Profiler* createThreadProfiler() {
  ThreadCtx& ctx = threadCtx();
  ctx.profiler = std::make_unique<Profiler>();
  ctx.report = std::make_unique<std::string>();
  return ctx.profiler.get();
}

Profiler* getThreadProfiler() { return threadCtx().profiler.get(); }

std::string* getThreadProfileReport() { return threadCtx().report.get(); }

void destroyThreadProfiler() {
  ThreadCtx& ctx = threadCtx();
  ctx.profiler.reset();
  ctx.report.reset();
}

uint32_t getUIThreadId() { return gUIThreadId.load(std::memory_order_acquire); }

void setUIThreadId(uint32_t id) { gUIThreadId.store(id, std::memory_order_release); }

ProfScope::ProfScope(const char* tag) : profiler_(getThreadProfiler()) {
  tag_[0] = '\0';
  if (!profiler_) return;  // draw runs open one each: without a profiler, copy nothing
  std::strncpy(tag_, tag ? tag : "", sizeof tag_ - 1);
  tag_[sizeof tag_ - 1] = '\0';
  profiler_->beginSample(tag_);
}

ProfScope::~ProfScope() {
  if (profiler_) profiler_->endSample(tag_);
}
