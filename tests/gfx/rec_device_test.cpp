// The device rules every backend shares, on the recording device.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/gfx/device.h"

using namespace qxgfx;

namespace {

class RecDevice : public ::testing::Test {
 protected:
  Ref<RecordingDevice> dev = createRecordingDevice(32, 16);
};

TEST_F(RecDevice, ResourcesKeepTheDeviceAfterItsLastOutsideReference) {
  Ref<Device> a = dev, b = dev, c(dev.get());
  dev->addRef();
  EXPECT_EQ(dev->release(), 4u) << "release answers the references left";
  auto tex = dev->createTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
  auto vb = dev->createVertexBuffer(64, D3DUSAGE_DYNAMIC, 0, D3DPOOL_DEFAULT);
  dev->setStreamSource(0, vb.get(), 0, 16);
  Device* raw = dev.get();
  dev = nullptr;
  a = nullptr;
  b = nullptr;
  c = nullptr;
  EXPECT_EQ(raw->refCount(), 0u);
  EXPECT_EQ(raw->liveResourceCount(), 2u) << "bindings went with the last reference; the back buffer too";
  LockedRect lr;
  ASSERT_TRUE(tex->lockRect(0, lr, nullptr, 0));
  tex->unlockRect(0);
  vb = nullptr;
  EXPECT_EQ(raw->liveResourceCount(), 1u);
  tex = nullptr;  // the device goes with its last resource (the sanitizer build checks)
}

TEST_F(RecDevice, IdsNameLiveResourcesOfTheirOwnKind) {
  auto vb = dev->createVertexBuffer(64, 0, 0, D3DPOOL_DEFAULT);
  auto ib = dev->createIndexBuffer(64, 0, D3DFMT_INDEX16, D3DPOOL_DEFAULT);
  EXPECT_NE(vb->id(), ib->id());
  const uint32_t held = vb->refCount();
  vb->addRef();
  EXPECT_EQ(vb->release(), held) << "release answers the references left";
  EXPECT_EQ(dev->findVertexBuffer(vb->id()), vb.get());
  EXPECT_EQ(dev->findIndexBuffer(vb->id()), nullptr);
  EXPECT_EQ(dev->findIndexBuffer(ib->id()), ib.get());
  const uint32_t gone = vb->id();
  vb = nullptr;
  EXPECT_EQ(dev->findVertexBuffer(gone), nullptr);
  auto again = dev->createVertexBuffer(64, 0, 0, D3DPOOL_DEFAULT);
  EXPECT_NE(again->id(), gone) << "ids are never reused";
  EXPECT_EQ(dev->findVertexBuffer(0), nullptr);
}

TEST_F(RecDevice, LocksCheckTheirRange) {
  auto vb = dev->createVertexBuffer(100, 0, 0, D3DPOOL_DEFAULT);
  EXPECT_EQ(vb->lock(100, 1, 0), nullptr);
  EXPECT_EQ(vb->lock(60, 41, 0), nullptr);
  auto* bytes = static_cast<uint8_t*>(vb->lock(60, 0, 0));  // to the end
  ASSERT_NE(bytes, nullptr);
  std::memset(bytes, 7, 40);
  EXPECT_EQ(vb->lock(0, 4, 0), nullptr) << "already locked";
  EXPECT_TRUE(vb->unlock());
  EXPECT_FALSE(vb->unlock());
  // A discard leaves nothing to rely on.
  vb->lock(0, 10, D3DLOCK_DISCARD);
  vb->unlock();
  EXPECT_NE(static_cast<uint8_t*>(vb->lock(60, 10, D3DLOCK_READONLY))[0], 7);
  vb->unlock();
}

TEST_F(RecDevice, DrawsNeedIndicesADeclarationAndIndicesInRange) {
  auto ib = dev->createIndexBuffer(12, 0, D3DFMT_INDEX16, D3DPOOL_DEFAULT);
  EXPECT_EQ(dev->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 1), D3DERR_INVALIDCALL);
  dev->setIndices(ib.get());
  EXPECT_EQ(dev->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 1), D3DERR_INVALIDCALL) << "no declaration";
  const VertexElement pos = {0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0};
  auto decl = dev->createVertexDeclaration(&pos, 1);
  dev->setVertexDeclaration(decl.get());
  EXPECT_EQ(dev->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 2), D3D_OK);
  EXPECT_EQ(dev->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 1, 2), D3DERR_INVALIDCALL) << "past the buffer";
  EXPECT_EQ(dev->drawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(dev->drawIndexedPrimitive(99, 0, 0, 3, 0, 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(dev->draws.size(), 1u);
  const uint32_t counts[][3] = {{D3DPT_POINTLIST, 5, 5},    {D3DPT_LINELIST, 5, 10},    {D3DPT_LINESTRIP, 5, 6},
                                {D3DPT_LINESTRIP, 0, 0},    {D3DPT_TRIANGLELIST, 2, 6}, {D3DPT_TRIANGLESTRIP, 2, 4},
                                {D3DPT_TRIANGLEFAN, 0, 0},  {99, 4, 0}};
  for (const auto& c : counts) EXPECT_EQ(indexCountFor(c[0], c[1]), c[2]) << c[0] << " " << c[1];
}

TEST_F(RecDevice, VertexDeclarationsAreChecked) {
  const VertexElement dup[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                               {1, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0}};
  EXPECT_FALSE(dev->createVertexDeclaration(dup, 2));
  const VertexElement farStream = {16, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0};
  EXPECT_FALSE(dev->createVertexDeclaration(&farStream, 1));
  const VertexElement badType = {0, 0, D3DDECLTYPE_UNUSED, 0, D3DDECLUSAGE_POSITION, 0};
  EXPECT_FALSE(dev->createVertexDeclaration(&badType, 1));
  const VertexElement ok[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                              {0, 12, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_COLOR, 0},
                              {15, 0, D3DDECLTYPE_FLOAT2, 0, D3DDECLUSAGE_TEXCOORD, 7}};
  auto d = dev->createVertexDeclaration(ok, 3);
  ASSERT_TRUE(d);
  EXPECT_EQ(d->elements().size(), 3u);
}

}  // namespace
