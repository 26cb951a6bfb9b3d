// Slot indices, page growth, reuse order, generations and the end of objects.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "tests/res/res_test_types.h"

namespace {

using kesto::HdlBase;
using restest::Counted;
using restest::CountedHandle;
using restest::CountedMgr;

TEST(ResourceMgr, IndicesPageGrowthAndReuse) {
  CountedMgr mgr;
  EXPECT_EQ(mgr.capacity(), 2u);
  std::vector<CountedHandle> hs;
  const uint32_t pages[] = {1, 1, 2, 2, 3};  // of 2, 2 and 4 slots
  for (uint32_t i = 0; i < 5; ++i) {
    hs.push_back(mgr.create().handle);
    EXPECT_EQ(hs[i].index(), i);
    EXPECT_EQ(hs[i].mgrId(), mgr.id());
      EXPECT_EQ(hs[i].refCount(), 1u);
    EXPECT_EQ(mgr.pageCount(), pages[i]);
    EXPECT_EQ(mgr.capacity(), 2u << (pages[i] - 1));
  }
  EXPECT_EQ(mgr.usedCount(), 5u);
  EXPECT_EQ(Counted::alive.load(), 5);
  // Freed slots are reused last in, first out.
  hs[3].reset();
  hs[1].reset();
  hs[1] = mgr.create().handle;
  hs[3] = mgr.create().handle;
  EXPECT_EQ(hs[1].index(), 1u);
  EXPECT_EQ(hs[3].index(), 3u);
  EXPECT_EQ(mgr.highWater(), 5u);
  hs[2].reset();
  std::vector<uint32_t> live;
  mgr.forEachLive([&](uint32_t h, Counted&) { live.push_back(HdlBase(h).index()); });
  EXPECT_EQ(live, (std::vector<uint32_t>{0, 1, 3, 4}));
}

TEST(ResourceMgr, StaleAndForgedHandlesAreRejected) {
  CountedMgr mgr;
  CountedHandle h = mgr.create().handle;
  const uint32_t old = h.value;
  EXPECT_TRUE(mgr.isValidHandle(old));
  h.reset();
  EXPECT_EQ(Counted::alive.load(), 0);
  EXPECT_FALSE(mgr.isValidHandle(old));

  CountedHandle again = mgr.create().handle;
  EXPECT_EQ(again.index(), HdlBase(old).index());
  EXPECT_NE(again.value, old);
  EXPECT_EQ(again.generation(), kesto::nextGeneration(HdlBase(old).generation()));

  // The stale value can neither pin, free nor lock the new object.
  CountedMgr::addRefValue(old);
  CountedMgr::releaseValue(old);
  CountedMgr::releaseValue(old);
  EXPECT_EQ(mgr.refCount(again.value), 1u);
  EXPECT_EQ(mgr.refCount(old), 0u);
  EXPECT_EQ(mgr.lockExclusive(old), nullptr);
  EXPECT_TRUE(CountedHandle::fromValue(old).isNull());
  EXPECT_EQ(CountedHandle::fromValue(again.value).refCount(), 2u);  // a counted copy, while it lives
  EXPECT_EQ(Counted::alive.load(), 1);

  const uint32_t gen = again.generation();
  EXPECT_FALSE(mgr.isValidHandle(0));
  EXPECT_FALSE(mgr.isValidHandle(kesto::formHandle(0, mgr.id() + 1, gen)));  // other manager
  EXPECT_FALSE(mgr.isValidHandle(kesto::formHandle(1, mgr.id(), gen)));      // beyond high water
  EXPECT_FALSE(mgr.isValidHandle(kesto::formHandle(4095, mgr.id(), gen)));   // beyond every page
  EXPECT_FALSE(mgr.isValidHandle(kesto::formHandle(0, mgr.id(), gen + 1)));  // wrong generation
  EXPECT_TRUE(mgr.isValidHandle(again.value));
  // A handle of another manager type with this manager's id is not taken for ours.
  restest::SingleMgr other;
  EXPECT_EQ(restest::SingleMgr::ofValue(again.value), nullptr);
  EXPECT_EQ(CountedMgr::ofValue(again.value), &mgr);
}

TEST(ResourceMgr, FullTableGivesNullHandle) {
  CountedMgr mgr;
  std::vector<CountedHandle> hs;
  for (uint32_t i = 0; i < kesto::kMaxSlots; ++i) {
    auto r = mgr.create();
    ASSERT_EQ(r.handle.index(), i);
    hs.push_back(std::move(r.handle));
  }
  auto full = mgr.create();
  EXPECT_FALSE(full.created);
  EXPECT_TRUE(full.handle.isNull());
  EXPECT_EQ(Counted::alive.load(), static_cast<int>(kesto::kMaxSlots));
  // Freeing one slot makes room again.
  hs[100].reset();
  auto again = mgr.create();
  EXPECT_TRUE(again.created);
  EXPECT_EQ(again.handle.index(), 100u);
}

// Objects holding a handle of their own manager, counting destructors run inside its lock.
struct Link;
class LinkMgr : public kesto::ResourceMgrNoName<LinkMgr, Link> {
 public:
  const char* dataTypeName() const override { return "Link"; }
};
struct Link {
  static inline int destroyedUnderLock = 0;
  static inline int destroyed = 0;
  kesto::Handle<LinkMgr, Link> next;
  ~Link() {
    if (LinkMgr::instance() && LinkMgr::instance()->managerLock().heldByMe()) ++destroyedUnderLock;
    ++destroyed;
  }
};

TEST(ResourceMgr, DestructorsRunOutsideTheManagerLock) {
  LinkMgr mgr;
  auto a = mgr.create().handle;
  {
    auto b = mgr.create().handle;
    auto c = mgr.create().handle;
    kesto::HdlLock<decltype(b)>(b)->next = c;
    kesto::HdlLock<decltype(a)>(a)->next = b;
  }
  EXPECT_EQ(mgr.usedCount(), 3u);
  a.reset();  // ends a, which ends b, which ends c
  EXPECT_EQ(Link::destroyed, 3);
  EXPECT_EQ(Link::destroyedUnderLock, 0);
  EXPECT_EQ(mgr.usedCount(), 0u);
}

TEST(ResourceMgr, EndingTheManagerEndsItsObjects) {
  uint32_t stale = 0;
  {
    CountedMgr mgr;
    auto h = mgr.create().handle;
    stale = h.detach();
    mgr.create().handle.detach();
    EXPECT_EQ(Counted::alive.load(), 2);
    EXPECT_EQ(CountedMgr::instance(), &mgr);
  }
  EXPECT_EQ(Counted::alive.load(), 0);
  EXPECT_EQ(CountedMgr::instance(), nullptr);
  // Handles that outlive their manager do nothing.
  CountedMgr::releaseValue(stale);
  EXPECT_TRUE(CountedHandle::fromValue(stale).isNull());
}

}  // namespace
