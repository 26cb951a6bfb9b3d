// The five sort algorithms: the runs each gives.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "render/draw/sort_algs.h"
#include "tests/support/alloc_count.h"

namespace {

// Entries numbered by passWord; the runs an algorithm gives as "0 1|2" (entries in run
// order, runs split by '|').
std::string runsText(const std::vector<DrawRun>& runs) {
  std::string s;
  for (const DrawRun& r : runs) {
    if (!s.empty()) s += "|";
    for (DrawEntry* e = r.first; e != r.end; ++e) s += (e == r.first ? "" : " ") + std::to_string(e->passWord);
  }
  return s;
}

std::vector<DrawEntry> byDistance(std::vector<float> d) {
  std::vector<DrawEntry> v(d.size());
  for (size_t i = 0; i < d.size(); ++i) {
    v[i].passWord = uint32_t(i);
    v[i].distance = d[i];
  }
  return v;
}

std::string sorted(DSortAlg& alg, std::vector<DrawEntry> v) {
  std::vector<DrawRun> runs;
  std::vector<DrawEntry> scratch(v.size());
  alg.sort(v.data(), v.data() + v.size(), scratch.data(), runs);
  return runsText(runs);
}

// Draws nothing; counts the runs.
class CountingDraw : public DSortCBack {
 public:
  uint32_t drawRun(DrawEntry*, DrawEntry*, uint32_t value) override { return value + 1; }
  int32_t select(std::string_view, std::span<DrawEntry>) override { return 1; }
  void beginTraversal(int32_t) override {}
};

const float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(DrawSort, DistanceOrderAndTolerance) {
  struct Case {
    bool nearFirst;
    float tolerance;
    std::vector<float> d;
    std::string runs;
  } cases[] = {
      {true, 0.0f, {3, 1, 2, 1}, "1 3|2|0"},      // each distinct distance its own run
      {false, 0.0f, {3, 1, 2}, "0|2|1"},          // far first
      {true, -1.0f, {3, 1, 2}, "1 2 0"},          // negative: one run
      {true, kNaN, {3, 1, 2}, "1 2 0"},           // NaN tolerance: one run
      {true, 1.5f, {0, 1, 2, 3, 4}, "0 1|2 3|4"},  // the run's first entry is the reference
      {true, 0.0f, {kNaN, 2, kNaN, 1}, "3|1|0|2"},  // NaN last (and never within tolerance)
      {false, 0.0f, {kNaN, 2, 1}, "1|2|0"},
  };
  for (const Case& c : cases) {
    SA_Dist alg(c.nearFirst, c.tolerance);
    EXPECT_EQ(sorted(alg, byDistance(c.d)), c.runs) << c.nearFirst << " " << c.tolerance;
  }
  // Ties keep queue order, also past the size where sorts stop inserting.
  std::vector<float> ties(40, 10.0f);
  ties[0] = ties[39] = 1.0f;
  std::string inOrder;
  for (int i = 1; i < 39; ++i) inOrder += std::to_string(i) + " ";
  for (bool nearFirst : {true, false}) {
    SA_Dist alg(nearFirst, -1.0f);
    EXPECT_EQ(sorted(alg, byDistance(ties)), nearFirst ? "0 39 " + inOrder.substr(0, inOrder.size() - 1)
                                                       : inOrder + "0 39");
  }
  std::vector<DrawEntry> tiedClasses = byDistance(ties);
  for (size_t i = 0; i < tiedClasses.size(); ++i) tiedClasses[i].transparency = uint32_t(i % 2);
  SA_Transp transp;
  std::string opaque = "0", blended;
  for (int i = 1; i < 39; ++i) (i % 2 ? blended : opaque) += " " + std::to_string(i);
  EXPECT_EQ(sorted(transp, tiedClasses), opaque + blended + " 39");
}

TEST(DrawSort, KeysOfTexturesStreamsPrimitivesAndTransparency) {
  std::vector<DrawEntry> v(5);
  const uint32_t tex[5][2] = {{2, 0}, {1, 9}, {2, 0}, {1, 3}, {0, 0}};
  for (uint32_t i = 0; i < 5; ++i) {
    v[i].passWord = i;
    v[i].textures[0] = kesto::HdlBase(tex[i][0]);
    v[i].textures[1] = kesto::HdlBase(tex[i][1]);
  }
  SA_Texture byTexture;
  EXPECT_EQ(sorted(byTexture, v), "4|3|1|0 2");

  // Own-buffer entries (index buffers 5 and 7) and batched ones (0xFFFFFFFF).
  std::vector<DrawEntry> s(4);
  for (uint32_t i = 0; i < 4; ++i) s[i].passWord = i;
  DrawKey::init(s[0].key, 2, 0);
  DrawKey::setStreams(s[1].key, 7, {3});
  DrawKey::init(s[2].key, 2, 1);
  DrawKey::setStreams(s[3].key, 5, {3, 4});
  SA_Stream split(true), twoGroups(false);
  EXPECT_EQ(sorted(split, s), "3|1|0|2");
  EXPECT_EQ(sorted(twoGroups, s), "3 1|0 2");
  std::vector<DrawEntry> batchedOnly = {s[0], s[2]};
  EXPECT_EQ(sorted(twoGroups, batchedOnly), "0 2") << "an empty part makes no group";

  std::vector<DrawEntry> p(4);
  const uint32_t prim[4] = {4, 2, 4, 5};
  for (uint32_t i = 0; i < 4; ++i) {
    p[i].passWord = i;
    p[i].primType = prim[i];
  }
  SA_PrimType up(true), down(false);
  EXPECT_EQ(sorted(up, p), "1|0 2|3");
  EXPECT_EQ(sorted(down, p), "3|0 2|1");

  // Opaque entries near first, each blended class far first, all in one run.
  std::vector<DrawEntry> t = byDistance({5, 1, 9, 3, 2, 7});
  const uint32_t cls[6] = {1, 0, 1, 0, 2, 2};
  for (uint32_t i = 0; i < 6; ++i) t[i].transparency = cls[i];
  SA_Transp transp;
  EXPECT_EQ(sorted(transp, t), "1 3 2 0 5 4");
}

// Each algorithm over keys drawn from a few values: at lengths that end inside the first
// short run, on its edge, past it by one, and over several rounds of merging.
struct KeyedAlg {
  const char* name;
  DSortAlg* alg;
  void (*setKey)(DrawEntry&, uint32_t k);
  int64_t (*rank)(const DrawEntry&);  // ascending in the order the algorithm gives
};

SA_Dist farFirst(false, 0.0f);
SA_Texture byTexture;
SA_Stream byStream(true);
SA_PrimType primDown(false);

// Distance and transparency ties are pinned above, over 40 entries.
const KeyedAlg kKeyed[] = {
    {"far first", &farFirst, [](DrawEntry& e, uint32_t k) { e.distance = float(k); },
     [](const DrawEntry& e) { return -int64_t(e.distance); }},
    {"texture", &byTexture,
     [](DrawEntry& e, uint32_t k) {
       e.textures[0] = kesto::HdlBase(k / 3);
       e.textures[1] = kesto::HdlBase(k % 3);
     },
     [](const DrawEntry& e) { return int64_t(e.textures[0].value) * 3 + e.textures[1].value; }},
    {"stream", &byStream, [](DrawEntry& e, uint32_t k) { DrawKey::setStreams(e.key, k / 2, {k % 2 + 1}); },
     [](const DrawEntry& e) { return int64_t(e.key.indexBuffer) * 2 + e.key.streams[0] - 1; }},
    {"primitive down", &primDown, [](DrawEntry& e, uint32_t k) { e.primType = k; },
     [](const DrawEntry& e) { return -int64_t(e.primType); }},
};

// n entries in queue order (passWord), keys 0..4 in a scrambled order.
std::vector<DrawEntry> keyed(const KeyedAlg& a, size_t n) {
  std::vector<DrawEntry> v(n);
  uint32_t seed = 7;
  for (size_t i = 0; i < n; ++i) {
    seed = seed * 1664525u + 1013904223u;
    v[i].passWord = uint32_t(i);
    a.setKey(v[i], (seed >> 16) % 5);
  }
  return v;
}

TEST(DrawSort, EveryAlgorithmKeepsTiesInQueueOrder) {
  for (const KeyedAlg& a : kKeyed) {
    // One list flushed at each length in turn: its kept space must grow with it.
    std::vector<DrawEntry> space;
    DSortAlg* chain[] = {a.alg, &primDown};
    for (size_t n : {2, 16, 17, 33, 300}) {
      std::vector<DrawEntry> v = keyed(a, n);
      std::vector<DrawEntry> scratch(n);
      std::vector<DrawRun> runs;
      a.alg->sort(v.data(), v.data() + n, scratch.data(), runs);
      std::vector<DrawEntry> flushed = keyed(a, n);
      CountingDraw draw;
      drawSorted("list", flushed, space, chain, draw);
      for (size_t i = 0; i < n; ++i)
        ASSERT_EQ(flushed[i].passWord, v[i].passWord) << a.name << " " << n << ": flushed through the chain, at " << i;
      std::vector<bool> seen(n);
      for (size_t i = 0; i < n; ++i) {
        ASSERT_LT(v[i].passWord, n);
        EXPECT_FALSE(seen[v[i].passWord]) << a.name << " " << n << ": entry " << v[i].passWord << " twice";
        seen[v[i].passWord] = true;
        if (i == 0) continue;
        const int64_t before = a.rank(v[i - 1]), here = a.rank(v[i]);
        EXPECT_LE(before, here) << a.name << " " << n << " at " << i;
        if (before == here) {
          EXPECT_LT(v[i - 1].passWord, v[i].passWord) << a.name << " " << n << " at " << i;
        }
      }
    }
  }
}

// What a draw list does every frame: its entries queued afresh, then sorted and drawn
// through the chain with the space the list keeps.
TEST(DrawSort, SteadyFramesOfEverySortAllocateNothing) {
  SA_Dist byDistance(true, 0.5f);
  SA_Stream twoGroups(false);
  SA_PrimType primUp(true);
  SA_Transp byClass;
  const struct {
    const char* name;
    DSortAlg* alg;
  } rows[] = {{"distance", &byDistance}, {"texture", &byTexture}, {"stream", &byStream},
              {"stream, two groups", &twoGroups}, {"primitive", &primUp}, {"transparency", &byClass}};
  for (const auto& row : rows) {
    std::vector<DrawEntry> queued(500);
    for (uint32_t i = 0; i < queued.size(); ++i) {
      DrawEntry& e = queued[i];
      e.distance = float(i % 13);
      e.transparency = i % 3;
      e.primType = 2 + i % 2;
      e.textures[0] = kesto::HdlBase(i % 8);
      i % 4 ? DrawKey::setStreams(e.key, i % 5, {1}) : DrawKey::init(e.key, 2, 0);
    }
    std::vector<DrawEntry> list(queued.size()), space;
    DSortAlg* chain[] = {row.alg, &primDown};  // a second level sorts each run again
    CountingDraw draw;
    int64_t drawn = 0;
    for (int frame = 0; frame < 6; ++frame) {
      if (frame == 2) qxtest::startCountingAllocations();  // after warm-up
      std::copy(queued.begin(), queued.end(), list.begin());
      drawn = drawSorted("list", list, space, chain, draw);
    }
    EXPECT_EQ(qxtest::stopCountingAllocations(), 0u) << row.name;
    EXPECT_GT(drawn, 1) << row.name;
  }
}

}  // namespace
