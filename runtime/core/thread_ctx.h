// The per-thread record: lock lane, the thread's own memory manager and its profiler.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

namespace kesto {

// Eight lock lanes: lane n (1..8) owns byte n-1 of a slot's 64-bit reader word.
constexpr int kLaneCount = 8;

// Something a thread owns for its lifetime (its memory manager); ended when the thread
// detaches its lane or exits.
class ThreadOwned {
 public:
  virtual ~ThreadOwned() = default;
};

}  // namespace kesto

class Profiler;

struct ThreadCtx {
  int laneIndex = -1;              // 1..8 once attached
  uint64_t laneUnit = ~0ull;       // 1 << (8 * (laneIndex - 1)) once attached
  std::unique_ptr<kesto::ThreadOwned> memMgr;
  std::unique_ptr<Profiler> profiler;
  std::unique_ptr<std::string> report;

  ThreadCtx();
  ~ThreadCtx();  // detaches the lane and ends what the thread owns
};

// The calling thread's record.
ThreadCtx& threadCtx();

// Takes a free lane for the calling thread (the pool is a stack: the first thread to
// attach gets lane 8). Does nothing when already attached; aborts with a message when
// every lane is taken.
void attachThreadLane();
// Ends the thread's memory manager and gives its lane back.
void detachThreadLane();
// The lane of the calling thread, attaching it first when it has none: every slot lock
// goes through here, so a thread without a lane never reaches one.
int ensureThreadLane();
int freeThreadLaneCount();

Profiler* createThreadProfiler();
Profiler* getThreadProfiler();
std::string* getThreadProfileReport();
void destroyThreadProfiler();

// The UI thread's id, the target of every request to it (0 when unset).
uint32_t getUIThreadId();
void setUIThreadId(uint32_t id);

// A scoped section of the thread's profiler; does nothing when there is none.
class ProfScope {
 public:
  explicit ProfScope(const char* tag);
  ~ProfScope();
  ProfScope(const ProfScope&) = delete;
  ProfScope& operator=(const ProfScope&) = delete;

 private:
  char tag_[64];
  Profiler* profiler_;
};
