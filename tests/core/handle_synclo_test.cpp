// Handle bit layout, counted handles and the recursive spin lock.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "runtime/core/handle.h"
#include "runtime/core/synclo.h"

namespace {

using kesto::HdlBase;

// A manager stand-in that counts references per handle value.
struct CountingMgr {
  static inline std::vector<std::pair<uint32_t, int>> log;  // value, +1 / -1
  static inline int refs = 0;
  static void addRefValue(uint32_t v) {
    log.emplace_back(v, +1);
    ++refs;
  }
  static void releaseValue(uint32_t v) {
    log.emplace_back(v, -1);
    --refs;
  }
};
struct Thing {};
using ThingHandle = kesto::Handle<CountingMgr, Thing>;

TEST(Handle, BitLayoutAndGenerations) {
  EXPECT_EQ(HdlBase(kesto::formHandle(5, 3, 0)).value, 0x3005u);
  HdlBase g(kesto::formHandle(4095, 63, 0x3FFF));
  EXPECT_EQ(g.index(), 4095u);
  EXPECT_EQ(g.mgrId(), kesto::kNoManagerId);
  EXPECT_EQ(g.generation(), 0x3FFFu);
  // Putting a manager id into a word leaves the index and generation alone.
  const HdlBase withId(kesto::withManagerId(kesto::formHandle(17, 0, 42), 9));
  EXPECT_EQ(withId.value, kesto::formHandle(17, 9, 42));
  // The index never spills into the manager bits.
  EXPECT_EQ(HdlBase(kesto::formHandle(4096 + 7, 2, 1)).mgrId(), 2u);
  EXPECT_EQ(kesto::nextGeneration(0), 1u);
  EXPECT_EQ(kesto::nextGeneration(kesto::kHandleGenMax), 1u);
  // A live object's handle is never the null handle, even at slot 0 of manager 0.
  EXPECT_FALSE(HdlBase(kesto::formHandle(0, 0, 1)).isNull());
}

TEST(Handle, SelfAssignmentNeverDropsTheLastReference) {
  CountingMgr::log.clear();
  CountingMgr::refs = 0;
  ThingHandle a(0x2002);
  CountingMgr::log.clear();
  ThingHandle& alias = a;
  a = alias;
  // The new reference comes first, so the count never touches zero.
  ASSERT_EQ(CountingMgr::log.size(), 2u);
  EXPECT_EQ(CountingMgr::log[0].second, +1);
  EXPECT_EQ(CountingMgr::log[1].second, -1);
  EXPECT_EQ(CountingMgr::refs, 1);
  a.reset();
  EXPECT_EQ(CountingMgr::refs, 0);
}

TEST(Synclo, RecursiveForItsOwnerOnly) {
  kesto::Synclo s;
  EXPECT_TRUE(s.lock(true));
  EXPECT_TRUE(s.lock(false));
  bool got = true;
  std::thread([&] { got = s.lock(false); }).join();
  EXPECT_FALSE(got);
  EXPECT_EQ(s.count(), 2u);
  s.unlock();
  s.unlock();
  EXPECT_EQ(s.owner(), 0u);
  s.unlock();  // an extra unlock of a free lock changes nothing
  EXPECT_EQ(s.count(), 0u);
}

}  // namespace
