// The sorted draw traversal: the first sort algorithm of a chain orders the whole list
// and splits it into runs of equal key, the next sorts each run, and so on; each run of
// the last level goes to the draw callback. The callback may ask for the whole walk to
// be repeated (one traversal per selection it makes, e.g. per pass of a technique).
#pragma once
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "render/draw/draw_entry.h"

struct DrawRun {
  DrawEntry* first = nullptr;
  DrawEntry* end = nullptr;
};

class DSortAlg {
 public:
  virtual ~DSortAlg() = default;
  // Sorts [first, end) in place and appends its runs, in order, covering the range.
  // scratch has room for end - first entries, for the sort to work in.
  virtual void sort(DrawEntry* first, DrawEntry* end, DrawEntry* scratch, std::vector<DrawRun>& runs) = 0;
};

class DSortCBack {
 public:
  virtual ~DSortCBack() = default;
  // Draws one run; value is the running value (the state key of the material applied
  // last) and the result the value handed to the next run.
  virtual uint32_t drawRun(DrawEntry* first, DrawEntry* end, uint32_t value) = 0;
  // Chooses what to draw the list with (a technique) and says how many traversals to
  // make (its passes).
  virtual int32_t select(std::string_view listName, std::span<DrawEntry> entries) = 0;
  virtual void beginTraversal(int32_t index) = 0;
};

// Draws the entries in the chain's order: sets every entry's state key, asks the
// callback how many traversals to make, and walks the chain once per traversal with the
// running value starting at 0. Returns the running value after the last traversal (0
// for no entries; the selection count itself when it is below 1). scratch is the sorts'
// working space, kept by the caller: it grows to the entries' count when shorter.
int64_t drawSorted(std::string_view listName, std::span<DrawEntry> entries, std::vector<DrawEntry>& scratch,
                   std::span<DSortAlg* const> chain, DSortCBack& callback);

// Sets every entry's state key (drawEntryStateKey).
void setStateKeys(std::span<DrawEntry> entries);

// One level of the walk: the algorithm at chain[pos] sorts the run and each of its runs
// is walked with the next one; past the chain's end the run is drawn. scratch has room
// for the run's entries.
uint32_t traverseSortChain(DSortCBack& callback, uint32_t value, DrawRun run, DrawEntry* scratch,
                           std::span<DSortAlg* const> chain, size_t pos);
