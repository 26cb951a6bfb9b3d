// Memory items and the memory managers (the process's and each thread's own).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "runtime/core/thread_ctx.h"
#include "runtime/mem/mem_mgr.h"
#include "runtime/mem/thread_mem.h"
#include "runtime/res/hdl_lock.h"

namespace {

using Multi = MemMgr<kesto::MultiP>;
using Single = MemMgr<kesto::SingleP>;

std::atomic<int> gAlive = 0;  // Leaf objects; items may end on any thread

struct Leaf {
  uint32_t self = MemMgrBase::threadCurrentHandle();
  Leaf() { ++gAlive; }
  ~Leaf() { --gAlive; }
};

Multi* gNestMgr = nullptr;

// Builds a Leaf in its own constructor and keeps it.
struct Nest {
  uint32_t selfBefore = MemMgrBase::threadCurrentHandle();
  Multi::HandleType child = gNestMgr->createByName("MemTest.Leaf");
  uint32_t selfAfter = MemMgrBase::threadCurrentHandle();
};

struct Thrower {
  Thrower() { throw std::runtime_error("no"); }
};
bool gThrowerDestroyed = false;

// Holds another item of the thread's manager.
struct Holder {
  Single::HandleType held;
};

class MemTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    attachThreadLane();
    registerClassDesc(LuaClassDesc::forType<Leaf>("MemTest.Leaf"));
    registerClassDesc(LuaClassDesc::forType<Nest>("MemTest.Nest"));
    registerClassDesc(LuaClassDesc::forType<Holder>("MemTest.Holder"));
    LuaClassDesc t = LuaClassDesc::forType<Thrower>("MemTest.Thrower");
    t.destroy = [](void*) { gThrowerDestroyed = true; };
    registerClassDesc(t);
  }
  void SetUp() override {
    gAlive = 0;
    gNestMgr = &mgr;
  }
  // The handles the manager listed as lost by the last swap.
  std::vector<uint32_t> swapAndCopy() {
    std::vector<uint32_t> lost{0xBAD};
    mgr.swapFrameItems();
    mgr.copyFrameItems(lost);
    return lost;
  }
  Multi mgr;
};

TEST_F(MemTest, ItemsSeeTheirOwnHandlesAndFailedConstructorsLeaveNothingBehind) {
  const uint32_t used = mgr.usedCount();
  EXPECT_THROW(mgr.createByName("MemTest.Thrower"), std::runtime_error);
  EXPECT_FALSE(gThrowerDestroyed);
  EXPECT_EQ(mgr.usedCount(), used);
  EXPECT_EQ(MemMgrBase::threadCurrentHandle(), 0u);

  auto h = mgr.createByName("MemTest.Nest");
  {
    kesto::HdlLock<Multi::HandleType> lock(h);
    ASSERT_TRUE(lock);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(lock->data()) % 16, 0u);
    auto* nest = static_cast<Nest*>(lock->data());
    EXPECT_EQ(nest->selfBefore, h.value);
    EXPECT_EQ(nest->selfAfter, h.value);
    kesto::HdlLock<Multi::HandleType> childLock(nest->child);
    ASSERT_TRUE(childLock);
    EXPECT_EQ(static_cast<Leaf*>(childLock->data())->self, nest->child.value);
  }
  EXPECT_EQ(MemMgrBase::threadCurrentHandle(), 0u);
  h.reset();
  EXPECT_EQ(gAlive, 0);
}

TEST_F(MemTest, OnlyTheLastReleaseListsTheHandleOnceAndForOneFrame) {
  auto h = mgr.createByName("MemTest.Leaf");
  uint32_t v = h.value;
  Multi::HandleType second = h;
  h.reset();
  EXPECT_TRUE(swapAndCopy().empty());
  std::thread([&second] { second.reset(); }).join();  // released on another thread
  EXPECT_EQ(swapAndCopy(), std::vector<uint32_t>{v});
  EXPECT_TRUE(swapAndCopy().empty());
}

TEST_F(MemTest, EndingAManagerOrItsThreadDestroysItsItemsEvenThoseReleasingOthers) {
  auto other = std::make_unique<Multi>();
  uint32_t v = other->createByName("MemTest.Leaf").detach();
  other.reset();
  EXPECT_EQ(gAlive, 0);
  EXPECT_EQ(kesto::HdlBase(v).refCount(), 0u);

  Single* mine = getThreadMemMgr();
  auto outer = mine->createByName("MemTest.Holder");
  {
    kesto::HdlLock<Single::HandleType> lock(outer);
    ASSERT_TRUE(lock);
    static_cast<Holder*>(lock->data())->held = mine->createByName("MemTest.Leaf");
  }
  outer.detach();
  mine->destroyAllItems();
  EXPECT_EQ(gAlive, 0);
  EXPECT_EQ(mine->usedCount(), 0u);

  // Each thread has its own manager; the thread's end destroys what it held, and the
  // manager is lent again to the next thread, not built anew.
  Single* theirs = nullptr;
  uint32_t theirItem = 0;
  std::thread([&] {
    theirs = getThreadMemMgr();
    theirItem = theirs->createByName("MemTest.Leaf").detach();
  }).join();
  ASSERT_NE(theirs, nullptr);
  EXPECT_NE(theirs, mine);
  EXPECT_EQ(gAlive, 0);
  EXPECT_FALSE(theirs->isValidHandle(theirItem));
  const size_t built = threadMemMgrCount();
  std::thread([] { getThreadMemMgr()->createByName("MemTest.Leaf"); }).join();
  EXPECT_EQ(threadMemMgrCount(), built);
}

}  // namespace

std::vector<std::string> gReports;

TEST_F(MemTest, AFullManagerSaysSoOnceWithTheClassUntilItHasRoomAgain) {
  setMemMgrReporter([](std::string_view m) { gReports.emplace_back(m); });
  std::vector<Multi::HandleType> all;
  while (all.size() < Multi::kMaxItems) {
    all.push_back(mgr.createByName("MemTest.Leaf"));
    ASSERT_NE(all.back().value, 0u) << all.size();
  }
  EXPECT_TRUE(gReports.empty());
  EXPECT_EQ(mgr.createByName("MemTest.Leaf").value, 0u);
  EXPECT_EQ(mgr.createByName("MemTest.Nest").value, 0u);
  ASSERT_EQ(gReports.size(), 1u);
  EXPECT_NE(gReports[0].find("\"MemTest.Leaf\""), std::string::npos) << gReports[0];
  EXPECT_NE(gReports[0].find("4096"), std::string::npos) << gReports[0];
  // Room again, then full again: told again.
  all.pop_back();
  all.push_back(mgr.createByName("MemTest.Leaf"));
  EXPECT_NE(all.back().value, 0u);
  EXPECT_EQ(mgr.createByName("MemTest.Holder").value, 0u);
  ASSERT_EQ(gReports.size(), 2u);
  EXPECT_NE(gReports[1].find("\"MemTest.Holder\""), std::string::npos);
  setMemMgrReporter(nullptr);
  all.clear();
  EXPECT_EQ(gAlive, 0);
}
