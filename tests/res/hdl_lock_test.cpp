// Lane rules of slot locks and the blocking and try forms of handle locks.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/res/res_test_types.h"

namespace {

using kesto::SlotLockResult;
using restest::CountedHandle;
using restest::CountedMgr;
using Lock = kesto::HdlLock<CountedHandle>;

TEST(HdlLock, ExclusiveOverOwnSharedHoldsUpToThree) {
  CountedMgr mgr;
  auto h = mgr.create().handle;
  Lock s1(h, Lock::kShared), s2(h, Lock::kShared), s3(h, Lock::kShared);
  ASSERT_TRUE(s1 && s2 && s3);
  {
    Lock x(h);
    EXPECT_TRUE(x.locked());
    EXPECT_EQ(x.data(), s1.data());
  }
  Lock s4(h, Lock::kShared);
  ASSERT_TRUE(s4.locked());
  SlotLockResult why;
  EXPECT_EQ(mgr.tryLockSlot(h.value, true, why), nullptr);
  EXPECT_EQ(why, SlotLockResult::selfBlocked);
  // Waiting on its own holds would never end: the blocking form gives up.
  Lock x(h);
  EXPECT_FALSE(x.locked());
  s4.unlock();
  EXPECT_TRUE(x.lock(h.value));
}

TEST(HdlLock, ExclusiveNestsForItsOwner) {
  CountedMgr mgr;
  auto h = mgr.create().handle;
  Lock a(h), b(h);
  ASSERT_TRUE(a && b);
  Lock mine(h, Lock::kShared);  // the owner may read too
  EXPECT_TRUE(mine.locked());
  mine.unlock();
  auto otherLaneTries = [&](bool exclusive) {
    SlotLockResult why = SlotLockResult::granted;
    std::thread t([&] {
      void* d = mgr.tryLockSlot(h.value, exclusive, why);
      if (d) mgr.unlockSlot(h.value, exclusive);
    });
    t.join();
    return why;
  };
  EXPECT_EQ(otherLaneTries(false), SlotLockResult::busy);
  a.unlock();
  EXPECT_EQ(otherLaneTries(true), SlotLockResult::busy);  // depth 1 left
  b.unlock();
  EXPECT_EQ(otherLaneTries(true), SlotLockResult::granted);
  EXPECT_EQ(otherLaneTries(false), SlotLockResult::granted);
  EXPECT_EQ(mgr.pageLockCount(h.index()), 0u);
}

TEST(HdlLock, SharedHoldsOfTwoLanesCoexistAndBlockExclusive) {
  CountedMgr mgr;
  auto h = mgr.create().handle;
  Lock mine(h, Lock::kShared);
  std::atomic<int> stage{0};
  SlotLockResult otherExclusive = SlotLockResult::granted;
  std::thread t([&] {
    Lock theirs(h, Lock::kShared, false);
    EXPECT_TRUE(theirs.locked());
    stage = 1;
    while (stage.load() != 2) std::this_thread::yield();
    mgr.tryLockSlot(h.value, true, otherExclusive);
  });
  while (stage.load() != 1) std::this_thread::yield();
  Lock tryX(h, Lock::kExclusive, false);
  EXPECT_FALSE(tryX.locked());  // another lane reads
  EXPECT_EQ(tryX.handle(), 0u);
  stage = 2;
  t.join();
  EXPECT_EQ(otherExclusive, SlotLockResult::busy);  // this lane reads
  // With the other lane gone, this lane's single shared hold does not stand in the way.
  EXPECT_TRUE(tryX.lock(h.value, Lock::kExclusive, false));
}

TEST(HdlLock, DeadHandleGivesUpInsteadOfSpinning) {
  CountedMgr mgr;
  auto h = mgr.create().handle;
  const uint32_t v = h.value;
  h.reset();
  Lock x(v);
  EXPECT_FALSE(x.locked());
  SlotLockResult why;
  EXPECT_EQ(mgr.tryLockSlot(v, true, why), nullptr);
  EXPECT_EQ(why, SlotLockResult::dead);
}

}  // namespace
