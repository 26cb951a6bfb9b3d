// The sorted draw traversal with stand-in sort algorithms and callback.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/core/checksum.h"
#include "render/draw/draw_sort.h"

namespace {

// Sorts by one field and splits into runs of equal value.
class SplitBy : public DSortAlg {
 public:
  explicit SplitBy(uint32_t DrawEntry::*field) : field_(field) {}
  void sort(DrawEntry* first, DrawEntry* end, DrawEntry*, std::vector<DrawRun>& runs) override {
    std::stable_sort(first, end, [&](const DrawEntry& a, const DrawEntry& b) { return a.*field_ < b.*field_; });
    for (DrawEntry* b = first; b != end;) {
      DrawEntry* e = b;
      while (e != end && e->*field_ == b->*field_) ++e;
      runs.push_back(DrawRun{b, e});
      b = e;
    }
  }

 private:
  uint32_t DrawEntry::*field_;
};

class Recorder : public DSortCBack {
 public:
  int32_t selection = 1;
  std::vector<std::string> log;
  std::vector<uint32_t> keysAtSelect;

  uint32_t drawRun(DrawEntry* first, DrawEntry* end, uint32_t value) override {
    std::string run = "draw v" + std::to_string(value) + ":";
    for (DrawEntry* e = first; e != end; ++e) run += " " + std::to_string(e->passWord);
    log.push_back(run);
    return value + 1;
  }
  int32_t select(std::string_view name, std::span<DrawEntry> entries) override {
    log.push_back("select " + std::string(name) + " " + std::to_string(entries.size()));
    for (const DrawEntry& e : entries) keysAtSelect.push_back(e.stateKey);
    return selection;
  }
  void beginTraversal(int32_t i) override { log.push_back("begin " + std::to_string(i)); }
};

// Six entries: passWord numbers them, transparency and primType give two keys.
std::vector<DrawEntry> sixEntries() {
  std::vector<DrawEntry> v(6);
  const uint32_t transp[] = {1, 0, 1, 0, 1, 0};
  const uint32_t prim[] = {4, 4, 2, 2, 4, 2};
  for (uint32_t i = 0; i < 6; ++i) {
    v[i].passWord = i;
    v[i].transparency = transp[i];
    v[i].primType = prim[i];
  }
  return v;
}

TEST(DrawSorted, ChainsDrawNestedRunsAndEachSelectionWalksFromZero) {
  auto entries = sixEntries();
  SplitBy byTransp(&DrawEntry::transparency), byPrim(&DrawEntry::primType);
  DSortAlg* chain[] = {&byTransp, &byPrim};
  Recorder cb;
  std::vector<DrawEntry> scratch;
  EXPECT_EQ(drawSorted("hud", entries, scratch, chain, cb), 4);
  EXPECT_EQ(cb.log, (std::vector<std::string>{"select hud 6", "begin 0", "draw v0: 3 5", "draw v1: 1",
                                              "draw v2: 2", "draw v3: 0 4"}));
  EXPECT_EQ(scratch.size(), 6u) << "the sorts' space grows to the list";
  entries = sixEntries();
  Recorder twice;
  twice.selection = 2;
  EXPECT_EQ(drawSorted("list", entries, scratch, std::span<DSortAlg*>(chain, 1), twice), 2);
  EXPECT_EQ(twice.log, (std::vector<std::string>{"select list 6", "begin 0", "draw v0: 1 3 5", "draw v1: 0 2 4",
                                                 "begin 1", "draw v0: 1 3 5", "draw v1: 0 2 4"}));
}

TEST(DrawSorted, StateKeysAreSetBeforeTheSelection) {
  auto entries = sixEntries();
  entries[2].textures[0] = kesto::HdlBase(0x1234);
  entries[3].distance = 99.0f;  // not part of the key
  Recorder cb;
  std::vector<DrawEntry> scratch;
  EXPECT_EQ(drawSorted("x", entries, scratch, {}, cb), 1);
  EXPECT_EQ(cb.log.back(), "draw v0: 0 1 2 3 4 5") << "no chain: one run in queue order";
  EXPECT_TRUE(scratch.empty()) << "nothing to sort, no space taken";
  ASSERT_EQ(cb.keysAtSelect.size(), 6u);
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(cb.keysAtSelect[i], GetMemCRC32(&entries[i], 44));
  EXPECT_NE(cb.keysAtSelect[0], cb.keysAtSelect[2]);
  DrawEntry same = entries[3];
  same.distance = 1.0f;
  same.passWord = 77;
  EXPECT_EQ(drawEntryStateKey(same), cb.keysAtSelect[3]);
}

// Entries that repeat the one before them take its key without a checksum of their own:
// every key must still be the checksum of its entry's first eleven words.
TEST(DrawSorted, RepeatedEntriesShareKeysThatAreStillTheirChecksums) {
  DrawEntry base = sixEntries()[0];
  DrawKey::init(base.key, 2, 0);
  base.textures[0] = kesto::HdlBase(0x4321);
  std::vector<DrawEntry> entries;
  for (int word = 0; word < 15; ++word) {
    DrawEntry changed = base;
    reinterpret_cast<uint32_t*>(&changed)[word] += 0x10001;
    entries.push_back(base);
    entries.push_back(base);
    entries.push_back(changed);
    entries.push_back(changed);
  }
  for (DrawEntry& e : entries) e.stateKey = 0xBAD;  // stale keys from an earlier flush
  setStateKeys(entries);
  for (size_t i = 0; i < entries.size(); ++i)
    EXPECT_EQ(entries[i].stateKey, GetMemCRC32(&entries[i], 44)) << "entry " << i << ", word " << i / 4;
  EXPECT_NE(entries[2].stateKey, entries[1].stateKey);
  EXPECT_EQ(entries[46].stateKey, entries[45].stateKey) << "a changed sort distance keeps the key";
}

// A draw callback that starts another sorted draw (a widget drawing into a texture
// mid-flush) must leave the outer walk's runs as they were.
class Nesting : public Recorder {
 public:
  std::vector<DrawEntry> inner = sixEntries();
  SplitBy byPrim{&DrawEntry::primType}, byTransp{&DrawEntry::transparency};
  Recorder innerLog;
  std::vector<DrawEntry> scratch;
  bool nested = false;
  uint32_t drawRun(DrawEntry* first, DrawEntry* end, uint32_t value) override {
    if (!nested) {
      nested = true;
      DSortAlg* chain[] = {&byPrim, &byTransp};
      drawSorted("inner", inner, scratch, chain, innerLog);
    }
    return Recorder::drawRun(first, end, value);
  }
};

TEST(DrawSorted, ACallbackMayStartAnotherSortedDraw) {
  auto entries = sixEntries();
  SplitBy byTransp(&DrawEntry::transparency), byPrim(&DrawEntry::primType);
  DSortAlg* chain[] = {&byTransp, &byPrim};
  Nesting cb;
  std::vector<DrawEntry> scratch;
  EXPECT_EQ(drawSorted("hud", entries, scratch, chain, cb), 4);
  EXPECT_EQ(cb.log, (std::vector<std::string>{"select hud 6", "begin 0", "draw v0: 3 5", "draw v1: 1",
                                              "draw v2: 2", "draw v3: 0 4"}));
  EXPECT_EQ(cb.innerLog.log, (std::vector<std::string>{"select inner 6", "begin 0", "draw v0: 3 5", "draw v1: 2",
                                                       "draw v2: 1", "draw v3: 0 4"}));
}

TEST(DrawSorted, NothingToDrawAndRefusedSelections) {
  Recorder cb;
  std::vector<DrawEntry> none, scratch;
  EXPECT_EQ(drawSorted("x", none, scratch, {}, cb), 0);
  EXPECT_TRUE(cb.log.empty()) << "an empty list selects nothing";
  auto entries = sixEntries();
  cb.selection = 0;
  EXPECT_EQ(drawSorted("x", entries, scratch, {}, cb), 0);
  cb.selection = -1;
  EXPECT_EQ(drawSorted("x", entries, scratch, {}, cb), -1);
  EXPECT_EQ(cb.log, (std::vector<std::string>{"select x 6", "select x 6"}));
}

}  // namespace
