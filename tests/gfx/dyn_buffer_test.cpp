// Dynamic buffers: growth rules, lock flags and ranges, batches.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <numeric>
#include <thread>

#include "render/device/dyn_buffer.h"
#include "tests/gfx/rec_fixture.h"

using namespace qxgfx;
using ::testing::ElementsAre;

namespace {

TEST(GrowthRules, DefaultGrowsByHalfBatchRuleEarlyUpToOneMebibyte) {
  EXPECT_EQ(defaultGrowth(0, 0, 100), 384u);
  EXPECT_EQ(defaultGrowth(384, 3, 384), 0u) << "fits: no growth";
  EXPECT_EQ(defaultGrowth(384, 3, 400), 576u);
  EXPECT_EQ(defaultGrowth(384, 3, 1000), 1296u);  // 576, 864, 1296
  EXPECT_EQ(batchGrowth(0, 0, 100), 384u);
  EXPECT_EQ(batchGrowth(384, 1, 100), 576u) << "restarted early: grows though the data fits";
  EXPECT_EQ(batchGrowth(384, 32, 100), 0u) << "32 locks and the data fits: no growth";
  EXPECT_EQ(batchGrowth(384, 32, 500), 576u);
  EXPECT_EQ(batchGrowth(kBatchGrowthCap, 0, 3 * kBatchGrowthCap), 0u);
  // Toward min(needed, 1 MiB); the last step may pass the cap.
  EXPECT_EQ(batchGrowth(0xC0000, 0, 0x300000), 0x120000u);
}

class DynBufferTest : public qxtest::RecDeviceTest {
 protected:
  DynBufferTest() { vb.setStride(4); }
  std::vector<uint32_t> readBack(TP_Vert& b, uint32_t words) {
    auto* p = static_cast<uint32_t*>(b.vertexBuffer()->lock(0, 0, D3DLOCK_READONLY));
    std::vector<uint32_t> out(p, p + words);
    b.vertexBuffer()->unlock();
    rec->clearLog();
    return out;
  }
  std::vector<uint32_t> seq(uint32_t n, uint32_t from) {
    std::vector<uint32_t> v(n);
    std::iota(v.begin(), v.end(), from);
    return v;
  }
  TP_Vert vb;
};

TEST_F(DynBufferTest, LockFlagsFollowTheBatchRules) {
  auto a = seq(25, 0);
  ASSERT_TRUE(vb.append(a.data(), 25));  // 100 bytes into a new buffer
  const std::string id = std::to_string(vb.vertexBuffer()->id());
  EXPECT_THAT(rec->calls, ElementsAre("CreateVertexBuffer 384 0x208 0 0 -> vb" + id, "Lock vb" + id + " 0 0 0x0",
                                      "Unlock vb" + id));
  EXPECT_EQ(vb.capacity(), 384u);
  rec->clearLog();

  auto b = seq(10, 100);
  ASSERT_TRUE(vb.append(b.data(), 10));  // behind the first: only its own range, no overwrite
  EXPECT_THAT(rec->calls, ElementsAre("Lock vb" + id + " 100 40 0x1000", "Unlock vb" + id));
  EXPECT_EQ(vb.count(), 35u);
  EXPECT_EQ(vb.startIndex(), 0u);
  auto words = readBack(vb, 35);
  EXPECT_EQ(words[24], 24u);
  EXPECT_EQ(words[25], 100u) << "the earlier append survives";

  vb.reset();
  EXPECT_EQ(vb.nextLockFlags(), D3DLOCK_DISCARD);
  ASSERT_TRUE(vb.append(b.data(), 5));
  EXPECT_THAT(rec->calls, ElementsAre("Lock vb" + id + " 0 20 0x2000", "Unlock vb" + id));
  EXPECT_EQ(vb.count(), 5u);
}

TEST_F(DynBufferTest, AnAppendThatDoesNotFitRestartsAtZero) {
  auto a = seq(90, 0);
  ASSERT_TRUE(vb.append(a.data(), 90));  // 360 of 384 bytes
  auto big = seq(100, 1000);
  rec->clearLog();
  ASSERT_TRUE(vb.append(big.data(), 100));  // 400 bytes: grows to 576 and restarts
  ASSERT_EQ(rec->calls.size(), 3u);
  EXPECT_EQ(rec->calls[0].rfind("CreateVertexBuffer 576 0x208", 0), 0u) << rec->calls[0];
  EXPECT_EQ(rec->calls[1].substr(rec->calls[1].size() - 8), " 0 0 0x0");
  EXPECT_EQ(vb.capacity(), 576u);
  EXPECT_EQ(vb.count(), 100u) << "what the batch held before is dropped";
  EXPECT_EQ(readBack(vb, 1)[0], 1000u);

  // Fits the buffer but not the space left: the rule keeps the size, the lock discards.
  const std::string id = std::to_string(vb.vertexBuffer()->id());
  ASSERT_TRUE(vb.append(big.data(), 50));
  EXPECT_THAT(rec->calls, ElementsAre("Lock vb" + id + " 0 0 0x2000", "Unlock vb" + id));
  EXPECT_EQ(vb.count(), 50u);
  EXPECT_EQ(vb.capacity(), 576u);
}

TEST_F(DynBufferTest, CappedGrowthStillMakesRoomForTheData) {
  vb.useBatchGrowth();
  vb.setStride(4096);
  std::vector<uint8_t> chunk(4096 * 300, 0x5A);  // 1.2 MiB
  ASSERT_TRUE(vb.append(chunk.data(), 300));
  EXPECT_GE(vb.capacity(), 300u * 4096);
  EXPECT_EQ(vb.vertexBuffer()->length(), vb.capacity());
  // Past the cap the rule refuses; a bigger batch still gets a buffer that holds it.
  std::vector<uint8_t> more(4096 * 700, 0x33);
  ASSERT_TRUE(vb.append(more.data(), 700));
  EXPECT_GE(vb.capacity(), 700u * 4096);
  EXPECT_EQ(vb.count(), 700u);
}

TEST_F(DynBufferTest, AFailedRestartLeavesAnEmptyBatch) {
  auto a = seq(25, 0);
  ASSERT_TRUE(vb.append(a.data(), 25));
  auto big = seq(200, 0);  // does not fit: restarts in a bigger buffer
  bool ok = true;
  // Off the device's thread the new buffer is made but cannot be locked.
  std::thread([&] { ok = vb.append(big.data(), 200); }).join();
  EXPECT_FALSE(ok);
  EXPECT_EQ(vb.count(), 0u) << "no range over a buffer that holds nothing of the batch";
  EXPECT_EQ(vb.drawRange().count, 0u);
  ASSERT_TRUE(vb.append(a.data(), 25));
  EXPECT_EQ(vb.count(), 25u);
  EXPECT_EQ(readBack(vb, 25), a);
}

}  // namespace
