// The five sort algorithms: the runs each gives.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "render/draw/sort_algs.h"

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
  alg.sort(v.data(), v.data() + v.size(), runs);
  return runsText(runs);
}

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

}  // namespace
