#include "render/device/device_mgr.h"

DeviceMgr::~DeviceMgr() { release(); }

int32_t DeviceMgr::create(void* window, uint32_t width, uint32_t height) {
  kesto::SyncloGuard g(*this);
  if (device_) {
    error_ = "the device already exists";
    return qxgfx::D3DERR_INVALIDCALL;
  }
  qxgfx::GLDeviceParams p;
  p.sdlWindow = window;
  p.width = width;
  p.height = height;
  error_.clear();
  device_ = qxgfx::createGLDevice(p, &error_);
  if (device_ && log_) device_->setLog(log_);
  return device_ ? qxgfx::D3D_OK : qxgfx::D3DERR_NOTAVAILABLE;
}

void DeviceMgr::adopt(qxgfx::Ref<qxgfx::Device> device) {
  kesto::SyncloGuard g(*this);
  device_ = std::move(device);
  if (device_ && log_) device_->setLog(log_);
  error_.clear();
}

void DeviceMgr::setLog(std::function<void(std::string_view)> sink) {
  kesto::SyncloGuard g(*this);
  log_ = std::move(sink);
  if (device_) device_->setLog(log_);
}

void DeviceMgr::release() {
  kesto::SyncloGuard g(*this);
  device_ = nullptr;
}
