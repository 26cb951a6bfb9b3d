// A DeviceMgr holding a recording device, for tests of the engine's draw code.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/gfx/device.h"
#include "render/device/device_mgr.h"

namespace qxtest {

class RecDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rec = qxgfx::createRecordingDevice(64, 64);
    mgr.adopt(rec);
    rec->clearLog();
  }
  void TearDown() override { mgr.release(); }

  // The traced calls whose text starts with prefix, in order.
  std::vector<std::string> callsStarting(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const std::string& c : rec->calls)
      if (c.rfind(prefix, 0) == 0) out.push_back(c);
    return out;
  }

  DeviceMgr mgr;
  qxgfx::Ref<qxgfx::RecordingDevice> rec;
};

}  // namespace qxtest
