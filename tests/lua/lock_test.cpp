// The script-state lock: re-entry by the holder, waiting by other threads.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "lua_test_support.h"
#include "platform/thread/thread.h"

namespace {

TEST(ScriptLock, NestedLocksOnOneThreadTakeTheSlotOnce) {
  ScriptHdl h = ScriptMgr::instance()->createState();
  LVPolicyHdl p(h);
  lua_State* a = p.lock();
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(p.lock(), a);
  EXPECT_EQ(p.depth(), 2);
  // A second policy of the same state on the same thread does not block.
  LVPolicyHdl other(h);
  EXPECT_EQ(other.lock(), a);
  other.unlock();
  p.unlock();
  EXPECT_TRUE(p.heldByMe());
  p.unlock();
  EXPECT_FALSE(p.heldByMe());
  EXPECT_EQ(p.depth(), 0);
}

TEST(ScriptLock, OtherThreadsWaitForEveryLevelEvenThroughTheSamePolicyObject) {
  ScriptHdl h = ScriptMgr::instance()->createState();
  LVPolicyHdl mine(h);
  ASSERT_NE(mine.lock(), nullptr);
  ASSERT_NE(mine.lock(), nullptr);
  std::atomic<int> phase{0};
  std::thread other([&] {
    phase = 1;
    lua_State* L = mine.lock();  // shared by both threads: waits, does not re-enter
    phase = L ? 2 : -1;
    mine.unlock();
  });
  while (phase.load() < 1) qxplat::yieldThread();
  qxplat::sleepMs(20);
  EXPECT_EQ(phase.load(), 1);
  mine.unlock();
  qxplat::sleepMs(20);
  EXPECT_EQ(phase.load(), 1);  // one level is still held
  mine.unlock();
  other.join();
  EXPECT_EQ(phase.load(), 2);
}

TEST(ScriptLockDeathTest, UnlockByANonOwnerAborts) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  ScriptHdl h = ScriptMgr::instance()->createState();
  EXPECT_DEATH(
      {
        LVPolicyHdl p(h);
        p.unlock();
      },
      "does not hold it");
}

}  // namespace
