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

template <class H>
void* dataOf(const kesto::HdlLock<H>& lock) {
  return lock ? lock->data() : nullptr;
}

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

TEST_F(MemTest, UnknownClassesAndFailedConstructorsLeaveNothingBehind) {
  uint32_t used = mgr.usedCount();
  EXPECT_EQ(mgr.createByName("MemTest.NoSuchClass").value, 0u);
  gThrowerDestroyed = false;
  EXPECT_THROW(mgr.createByName("MemTest.Thrower"), std::runtime_error);
  EXPECT_FALSE(gThrowerDestroyed);
  EXPECT_EQ(mgr.usedCount(), used);
  EXPECT_EQ(MemMgrBase::threadCurrentHandle(), 0u);
}

TEST_F(MemTest, ItemsAreBuiltInAlignedStorageSeeingTheirOwnHandles) {
  auto h = mgr.createByName("MemTest.Nest");
  ASSERT_NE(h.value, 0u);
  {
    kesto::HdlLock<Multi::HandleType> lock(h);
    ASSERT_TRUE(lock);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(lock->data()) % 16, 0u);
    EXPECT_EQ(lock->size(), sizeof(Nest));
    auto* nest = static_cast<Nest*>(lock->data());
    EXPECT_EQ(nest->selfBefore, h.value);
    EXPECT_EQ(nest->selfAfter, h.value);
    ASSERT_NE(nest->child.value, 0u);
    kesto::HdlLock<Multi::HandleType> childLock(nest->child);
    EXPECT_EQ(static_cast<Leaf*>(dataOf(childLock))->self, nest->child.value);
  }
  EXPECT_EQ(MemMgrBase::threadCurrentHandle(), 0u);
  EXPECT_EQ(gAlive, 1);
  uint32_t v = h.value;
  h.reset();
  EXPECT_EQ(gAlive, 0);
  EXPECT_FALSE(mgr.isValidHandle(v));
}

TEST_F(MemTest, OnlyTheLastReleaseListsTheHandleOnceAndForOneFrame) {
  auto h = mgr.createByName("MemTest.Leaf");
  uint32_t v = h.value;
  Multi::HandleType second = h;
  h.reset();
  EXPECT_TRUE(swapAndCopy().empty());
  second.reset();
  EXPECT_EQ(swapAndCopy(), std::vector<uint32_t>{v});
  EXPECT_TRUE(swapAndCopy().empty());

  // Releases from other threads are listed too.
  std::vector<Multi::HandleType> handles;
  for (int i = 0; i < 64; ++i) handles.push_back(mgr.createByName("MemTest.Leaf"));
  std::thread a([&] {
    for (int i = 0; i < 32; ++i) handles[i].reset();
  });
  for (int i = 32; i < 64; ++i) handles[i].reset();
  a.join();
  EXPECT_EQ(swapAndCopy().size(), 64u);
  EXPECT_EQ(gAlive, 0);
}

TEST_F(MemTest, EndingAManagerDestroysItsItemsEvenThoseReleasingOthers) {
  auto other = std::make_unique<Multi>();
  uint32_t v = other->createByName("MemTest.Leaf").detach();
  EXPECT_EQ(gAlive, 1);
  other.reset();
  EXPECT_EQ(gAlive, 0);
  EXPECT_EQ(kesto::HdlBase(v).refCount(), 0u);

  Single* m = getThreadMemMgr();
  auto outer = m->createByName("MemTest.Holder");
  {
    kesto::HdlLock<Single::HandleType> lock(outer);
    static_cast<Holder*>(dataOf(lock))->held = m->createByName("MemTest.Leaf");
  }
  outer.detach();
  m->destroyAllItems();
  EXPECT_EQ(gAlive, 0);
  EXPECT_EQ(m->usedCount(), 0u);
}

TEST_F(MemTest, ThreadManagersAreOwnPerThreadAndLentAgainAfterTheThreadEnds) {
  Single* mine = getThreadMemMgr();
  ASSERT_NE(mine, nullptr);
  EXPECT_EQ(getThreadMemMgr(), mine);

  Single* theirs = nullptr;
  uint32_t theirItem = 0;
  std::thread t([&] {
    theirs = getThreadMemMgr();
    theirItem = theirs->createByName("MemTest.Leaf").detach();
  });
  t.join();
  ASSERT_NE(theirs, nullptr);
  EXPECT_NE(theirs, mine);
  // The thread's end destroyed what it still held; its handle is stale now.
  EXPECT_EQ(gAlive, 0);
  EXPECT_FALSE(theirs->isValidHandle(theirItem));
  EXPECT_FALSE(theirs->release(theirItem));

  // Managers of ended threads are lent again, not built anew.
  size_t built = threadMemMgrCount();
  std::thread([] { getThreadMemMgr()->createByName("MemTest.Leaf"); }).join();
  EXPECT_EQ(threadMemMgrCount(), built);
}

}  // namespace
