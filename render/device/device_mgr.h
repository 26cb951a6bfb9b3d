// The one rendering device of the engine. Its lock is held by the draw path from
// begin-draw to present; every buffer, texture and effect is made on its device.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/gfx/device.h"
#include "runtime/core/synclo.h"
#include "runtime/res/singleton.h"

class DeviceMgr : public kesto::Singleton<DeviceMgr>, public kesto::Synclo {
 public:
  DeviceMgr() = default;
  ~DeviceMgr() override;

  // Makes the device for the window (an SDL window made with the OpenGL flag), or, with
  // no window, an offscreen device of the given back-buffer size. Returns D3D_OK or a
  // failure code, with the reason in lastError(); a device that exists stays.
  int32_t create(void* window, uint32_t width = 0, uint32_t height = 0);
  // Takes a device made elsewhere (the recording device of tests, a tool's device).
  void adopt(qxgfx::Ref<qxgfx::Device> device);
  // Lets go of the device; it ends once the last resource made on it is released.
  void release();

  // Where the devices it holds report what they could not keep (stderr until set).
  void setLog(std::function<void(std::string_view)> sink);

  qxgfx::Device* device() const { return device_.get(); }
  const std::string& lastError() const { return error_; }
  // The published manager's device, or null.
  static qxgfx::Device* currentDevice() {
    DeviceMgr* m = instance();
    return m ? m->device() : nullptr;
  }

 private:
  qxgfx::Ref<qxgfx::Device> device_;
  std::string error_;
  std::function<void(std::string_view)> log_;
};
