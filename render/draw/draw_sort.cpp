#include "render/draw/draw_sort.h"

#include <cstring>
#include <deque>

#include "platform/core/checksum.h"

namespace {

constexpr size_t kKeyBytes = 44;

// Run lists by nesting depth, kept per thread so that steady frames allocate nothing.
// Each level of a walk takes its own list (a callback may start another sorted draw);
// a deque keeps the outer levels' lists in place while deeper ones are added.
struct RunLists {
  std::deque<std::vector<DrawRun>> lists;
  size_t depth = 0;
};
thread_local RunLists tRuns;

class RunListLease {
 public:
  RunListLease() {
    if (tRuns.depth == tRuns.lists.size()) tRuns.lists.emplace_back();
    list_ = &tRuns.lists[tRuns.depth++];
    list_->clear();
  }
  ~RunListLease() { --tRuns.depth; }
  RunListLease(const RunListLease&) = delete;
  RunListLease& operator=(const RunListLease&) = delete;
  std::vector<DrawRun>& list() { return *list_; }

 private:
  std::vector<DrawRun>* list_;
};

}  // namespace

uint32_t drawEntryStateKey(const DrawEntry& e) { return GetMemCRC32(&e, kKeyBytes); }

void setStateKeys(std::span<DrawEntry> entries) {
  // An object queues its entries together and they mostly share their state words:
  // such an entry takes the key of the one before it instead of a checksum of its own.
  const DrawEntry* previous = nullptr;
  for (DrawEntry& e : entries) {
    e.stateKey = previous && std::memcmp(previous, &e, kKeyBytes) == 0 ? previous->stateKey : drawEntryStateKey(e);
    previous = &e;
  }
}

uint32_t traverseSortChain(DSortCBack& callback, uint32_t value, DrawRun run, DrawEntry* scratch,
                           std::span<DSortAlg* const> chain, size_t pos) {
  if (pos >= chain.size()) return callback.drawRun(run.first, run.end, value);
  RunListLease lease;
  std::vector<DrawRun>& runs = lease.list();
  chain[pos]->sort(run.first, run.end, scratch, runs);
  // A run's sort is over before the next level starts, so every level shares the space.
  for (size_t i = 0; i < runs.size(); ++i)
    value = traverseSortChain(callback, value, runs[i], scratch, chain, pos + 1);
  return value;
}

int64_t drawSorted(std::string_view listName, std::span<DrawEntry> entries, std::vector<DrawEntry>& scratch,
                   std::span<DSortAlg* const> chain, DSortCBack& callback) {
  if (entries.empty()) return 0;
  if (!chain.empty() && scratch.size() < entries.size()) scratch.resize(entries.size());
  setStateKeys(entries);
  const int32_t n = callback.select(listName, entries);
  if (n < 1) return n;
  uint32_t value = 0;
  const DrawRun all{entries.data(), entries.data() + entries.size()};
  for (int32_t i = 0; i < n; ++i) {
    callback.beginTraversal(i);
    value = traverseSortChain(callback, 0, all, scratch.data(), chain, 0);
  }
  return value;
}
