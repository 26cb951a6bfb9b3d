#include "render/draw/draw_sort.h"

#include "platform/core/checksum.h"

uint32_t drawEntryStateKey(const DrawEntry& e) { return GetMemCRC32(&e, 44); }

uint32_t traverseSortChain(DSortCBack& callback, uint32_t value, DrawRun run, std::span<DSortAlg* const> chain,
                           size_t pos) {
  if (pos >= chain.size()) return callback.drawRun(run.first, run.end, value);
  // Each level keeps its own run list: a callback may start another sorted draw.
  std::vector<DrawRun> runs;
  chain[pos]->sort(run.first, run.end, runs);
  for (const DrawRun& r : runs) value = traverseSortChain(callback, value, r, chain, pos + 1);
  return value;
}

int64_t drawSorted(std::string_view listName, std::span<DrawEntry> entries, std::span<DSortAlg* const> chain,
                   DSortCBack& callback) {
  if (entries.empty()) return 0;
  for (DrawEntry& e : entries) e.stateKey = drawEntryStateKey(e);
  const int32_t n = callback.select(listName, entries);
  if (n < 1) return n;
  uint32_t value = 0;
  const DrawRun all{entries.data(), entries.data() + entries.size()};
  for (int32_t i = 0; i < n; ++i) {
    callback.beginTraversal(i);
    value = traverseSortChain(callback, 0, all, chain, 0);
  }
  return value;
}
