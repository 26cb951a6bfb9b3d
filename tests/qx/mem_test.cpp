// Memory items, class descriptors and the memory managers (the process's and each
// thread's own).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "runtime/core/thread_ctx.h"
#include "runtime/mem/mem_mgr.h"
#include "runtime/mem/thread_mem.h"
#include "runtime/res/hdl_lock.h"
#include "runtime/res/res_registry.h"

namespace {

using Multi = MemMgr<kesto::MultiP>;

// What the test classes record, reset by each test; items may end on any thread.
struct Journal {
  static inline std::mutex mutex;
  static inline std::vector<std::string> events;
  static inline std::atomic<int> alive = 0;
  static void note(const char* what) {
    std::lock_guard<std::mutex> g(mutex);
    events.push_back(what);
  }
};

struct Leaf {
  uint32_t self = 0;
  uint32_t firstWord = 0xDEAD;
  Leaf() {
    self = MemMgrBase::threadCurrentHandle();
    ++Journal::alive;
    Journal::note("leaf+");
  }
  ~Leaf() {
    --Journal::alive;
    Journal::note("leaf-");
  }
};

Multi* gNestMgr = nullptr;

// Builds a Leaf in its own constructor and keeps it.
struct Nest {
  uint32_t selfBefore = 0;
  uint32_t selfAfter = 0;
  Multi::HandleType child;
  Nest() {
    selfBefore = MemMgrBase::threadCurrentHandle();
    child = gNestMgr->createByName("MemTest.Leaf");
    selfAfter = MemMgrBase::threadCurrentHandle();
  }
};

struct Thrower {
  Thrower() { throw std::runtime_error("no"); }
};
bool gThrowerDestroyed = false;

struct Big {
  alignas(16) unsigned char bytes[100];
};

void registerTestClasses() {
  registerClassDesc(LuaClassDesc::forType<Leaf>("MemTest.Leaf"));
  registerClassDesc(LuaClassDesc::forType<Nest>("MemTest.Nest"));
  LuaClassDesc t = LuaClassDesc::forType<Thrower>("MemTest.Thrower");
  t.destroy = [](void*) { gThrowerDestroyed = true; };
  registerClassDesc(t);
  registerClassDesc(LuaClassDesc::make("MemTest.Raw", 100, nullptr, nullptr));
}

class MemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    attachThreadLane();
    registerTestClasses();
    Journal::events.clear();
    Journal::alive = 0;
    gNestMgr = &mgr;
  }
  Multi mgr;
};

TEST(LuaClassDesc, DefaultsAreHarmless) {
  LuaClassDesc d;
  int obj = 0;
  d.draw(&obj, nullptr, nullptr);
  d.collect(&obj, nullptr, nullptr, nullptr);
  d.hook4(&obj, nullptr);
  uint32_t h = 77;
  d.getHandle(&obj, &h, nullptr, nullptr);
  EXPECT_EQ(h, 0u);
  HandlePair pair;
  EXPECT_EQ(d.getHandlePair(&obj, &pair, nullptr), &pair);
  EXPECT_EQ(pair.first(), 0u);
  EXPECT_FALSE(d.colNotify(&obj, nullptr, nullptr));
  EXPECT_EQ(d.construct, nullptr);
  EXPECT_STREQ(d.name, "");
}

TEST(LuaClassDesc, RegistrationKeepsTheFirstAndFillsClearedCallbacks) {
  LuaClassDesc a = LuaClassDesc::make("MemTest.First", 8, nullptr, nullptr);
  a.colNotify = [](void*, void*, void*) { return true; };
  const LuaClassDesc* kept = registerClassDesc(a);
  ASSERT_NE(kept, nullptr);
  LuaClassDesc b = LuaClassDesc::make("MemTest.First", 16, nullptr, nullptr);
  EXPECT_EQ(registerClassDesc(b), kept);
  EXPECT_EQ(findClassDesc("MemTest.First")->size, 8u);
  EXPECT_TRUE(kept->colNotify(nullptr, nullptr, nullptr));

  LuaClassDesc cleared = LuaClassDesc::make("MemTest.Cleared", 4, nullptr, nullptr);
  cleared.draw = nullptr;
  const LuaClassDesc* c = registerClassDesc(cleared);
  ASSERT_NE(c, nullptr);
  ASSERT_NE(c->draw, nullptr);
  c->draw(nullptr, nullptr, nullptr);

  EXPECT_EQ(registerClassDesc(LuaClassDesc()), nullptr);  // no name
}

TEST(LuaClassDesc, NamesAreCutTo63BytesAndMatchedExactly) {
  std::string longName(80, 'n');
  LuaClassDesc d = LuaClassDesc::make(longName, 4, nullptr, nullptr);
  EXPECT_EQ(std::string(d.name), longName.substr(0, 63));
  registerClassDesc(LuaClassDesc::make("MemTest.Case", 4, nullptr, nullptr));
  EXPECT_TRUE(MemMgrBase::hasType("MemTest.Case"));
  EXPECT_FALSE(MemMgrBase::hasType("memtest.case"));
  EXPECT_FALSE(MemMgrBase::hasType("MemTest.Cas"));
}

TEST_F(MemTest, UnknownClassGivesNullAndLeavesNothingBehind) {
  uint32_t used = mgr.usedCount();
  auto h = mgr.createByName("MemTest.NoSuchClass");
  EXPECT_EQ(h.value, 0u);
  EXPECT_EQ(mgr.usedCount(), used);
  EXPECT_EQ(MemMgrBase::threadCurrentHandle(), 0u);
  EXPECT_STREQ(MemMgrBase::threadCurrentName(), "");
}

TEST_F(MemTest, ItemIsBuiltInZeroedAlignedStorageAndDestroyedWithItsLastReference) {
  auto h = mgr.createByName("MemTest.Leaf");
  ASSERT_NE(h.value, 0u);
  EXPECT_EQ(Journal::alive, 1);
  EXPECT_EQ(mgr.refCount(h.value), 1u);
  EXPECT_EQ(mgr.className(h.value), "MemTest.Leaf");
  {
    kesto::HdlLock<Multi::HandleType> lock(h);
    ASSERT_TRUE(lock);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(lock->data()) % 16, 0u);
    EXPECT_EQ(lock->size(), sizeof(Leaf));
    EXPECT_EQ(static_cast<Leaf*>(lock->data())->self, h.value);
  }
  {
    auto raw = mgr.createByName("MemTest.Raw");
    kesto::HdlLock<Multi::HandleType> lock(raw);
    ASSERT_TRUE(lock);
    const auto* bytes = static_cast<const unsigned char*>(lock->data());
    for (int i = 0; i < 100; ++i) ASSERT_EQ(bytes[i], 0) << i;
  }
  uint32_t v = h.value;
  h.reset();
  EXPECT_EQ(Journal::alive, 0);
  EXPECT_FALSE(mgr.isValidHandle(v));
}

TEST_F(MemTest, ConstructorsThatMakeItemsEachSeeTheirOwnHandle) {
  auto h = mgr.createByName("MemTest.Nest");
  ASSERT_NE(h.value, 0u);
  kesto::HdlLock<Multi::HandleType> lock(h);
  auto* nest = static_cast<Nest*>(lock->data());
  EXPECT_EQ(nest->selfBefore, h.value);
  EXPECT_EQ(nest->selfAfter, h.value);
  ASSERT_NE(nest->child.value, 0u);
  EXPECT_NE(nest->child.value, h.value);
  kesto::HdlLock<Multi::HandleType> childLock(nest->child);
  EXPECT_EQ(static_cast<Leaf*>(childLock->data())->self, nest->child.value);
  EXPECT_EQ(MemMgrBase::threadCurrentHandle(), 0u);
}

TEST_F(MemTest, AFailedConstructorLeavesNoItemAndIsNotDestroyed) {
  uint32_t used = mgr.usedCount();
  gThrowerDestroyed = false;
  EXPECT_THROW(mgr.createByName("MemTest.Thrower"), std::runtime_error);
  EXPECT_EQ(mgr.usedCount(), used);
  EXPECT_FALSE(gThrowerDestroyed);
  EXPECT_EQ(MemMgrBase::threadCurrentHandle(), 0u);
}

TEST_F(MemTest, OnlyTheLastReleaseListsTheHandleOnce) {
  auto h = mgr.createByName("MemTest.Leaf");
  uint32_t v = h.value;
  Multi::HandleType second = h;
  h.reset();
  std::vector<uint32_t> lost;
  mgr.swapFrameItems();
  mgr.copyFrameItems(lost);
  EXPECT_TRUE(lost.empty());
  second.reset();
  mgr.swapFrameItems();
  mgr.copyFrameItems(lost);
  EXPECT_EQ(lost, std::vector<uint32_t>{v});
  // The list stays readable until the next swap, then the empty one takes its place.
  mgr.copyFrameItems(lost);
  EXPECT_EQ(lost.size(), 1u);
  mgr.swapFrameItems();
  mgr.copyFrameItems(lost);
  EXPECT_TRUE(lost.empty());
}

TEST_F(MemTest, TwoSwapsInARowLeaveBothListsEmpty) {
  mgr.createByName("MemTest.Leaf");  // released at once: listed
  mgr.swapFrameItems();
  mgr.swapFrameItems();
  std::vector<uint32_t> lost{1, 2};
  mgr.copyFrameItems(lost);
  EXPECT_TRUE(lost.empty());
  mgr.swapFrameItems();
  mgr.copyFrameItems(lost);
  EXPECT_TRUE(lost.empty());
}

TEST_F(MemTest, ReleasesFromOtherThreadsAreListed) {
  std::vector<Multi::HandleType> handles;
  for (int i = 0; i < 64; ++i) handles.push_back(mgr.createByName("MemTest.Leaf"));
  std::thread a([&] {
    for (int i = 0; i < 32; ++i) handles[i].reset();
  });
  std::thread b([&] {
    for (int i = 32; i < 64; ++i) handles[i].reset();
  });
  a.join();
  b.join();
  mgr.swapFrameItems();
  std::vector<uint32_t> lost;
  mgr.copyFrameItems(lost);
  EXPECT_EQ(lost.size(), 64u);
  EXPECT_EQ(Journal::alive, 0);
}

TEST_F(MemTest, EndingTheManagerDestroysItsItems) {
  auto other = std::make_unique<Multi>();
  auto h = other->createByName("MemTest.Leaf");
  uint32_t v = h.detach();
  EXPECT_EQ(Journal::alive, 1);
  other.reset();
  EXPECT_EQ(Journal::alive, 0);
  EXPECT_EQ(kesto::HdlBase(v).refCount(), 0u);
}

TEST_F(MemTest, ThreadManagersAreOwnPerThreadAndLentAgainAfterTheThreadEnds) {
  MemMgr<kesto::SingleP>* mine = getThreadMemMgr();
  ASSERT_NE(mine, nullptr);
  EXPECT_EQ(getThreadMemMgr(), mine);

  MemMgr<kesto::SingleP>* theirs = nullptr;
  uint32_t theirItem = 0;
  std::thread t([&] {
    theirs = getThreadMemMgr();
    theirItem = theirs->createByName("MemTest.Leaf").detach();
  });
  t.join();
  ASSERT_NE(theirs, nullptr);
  EXPECT_NE(theirs, mine);
  EXPECT_NE(theirs->id(), mine->id());
  // The thread's end destroyed what it still held; its handle is stale now.
  EXPECT_EQ(Journal::alive, 0);
  EXPECT_FALSE(theirs->isValidHandle(theirItem));
  EXPECT_FALSE(theirs->release(theirItem));

  size_t built = threadMemMgrCount();
  uint32_t ids = ResRegistry::instance().managerCount();
  for (int i = 0; i < 20; ++i) {
    std::thread n([&] {
      auto* m = getThreadMemMgr();
      ASSERT_NE(m, nullptr);
      EXPECT_NE(m, mine);
      auto h = m->createByName("MemTest.Leaf");
      EXPECT_FALSE(m->isValidHandle(theirItem));
      EXPECT_NE(h.value, theirItem);
      EXPECT_EQ(m->refCount(h.value), 1u);
    });
    n.join();
  }
  EXPECT_EQ(threadMemMgrCount(), built);
  EXPECT_EQ(ResRegistry::instance().managerCount(), ids);
}

TEST_F(MemTest, SingleThreadLocksNeverRefuse) {
  auto* m = getThreadMemMgr();
  auto h = m->createByName("MemTest.Leaf");
  using H = MemMgr<kesto::SingleP>::HandleType;
  kesto::HdlLock<H> a(h), b(h, kesto::HdlLock<H>::kShared), c(h);
  EXPECT_TRUE(a && b && c);
  EXPECT_EQ(a.data(), c.data());
}

TEST_F(MemTest, DestroyingAllItemsCopesWithDestructorsThatReleaseOthers) {
  auto* m = getThreadMemMgr();
  struct Holder {
    MemMgr<kesto::SingleP>::HandleType held;
  };
  registerClassDesc(LuaClassDesc::forType<Holder>("MemTest.Holder"));
  auto outer = m->createByName("MemTest.Holder");
  {
    kesto::HdlLock<MemMgr<kesto::SingleP>::HandleType> lock(outer);
    static_cast<Holder*>(lock->data())->held = m->createByName("MemTest.Leaf");
  }
  outer.detach();
  EXPECT_EQ(Journal::alive, 1);
  m->destroyAllItems();
  EXPECT_EQ(Journal::alive, 0);
  EXPECT_EQ(m->usedCount(), 0u);
}

}  // namespace
