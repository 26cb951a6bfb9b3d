#include "app/qeldrin/qeldrin.h"

#include "app/input/res_input.h"
#include "platform/window/ime_events.h"
#include "platform/window/ui_thread.h"
#include "platform/window/window.h"
#include "render/device/device_mgr.h"
#include "runtime/mem/mem_mgr.h"
#include "runtime/res/hdl_lock.h"
#include "script/gobj/gobj_mgr.h"
#include "script/lua/lua_var.h"
#include "script/lua/script_report.h"

namespace {

using CamLock = kesto::HdlLock<CamMgr::CamHandle>;

}  // namespace

Qeldrin::Qeldrin() {
  if (CamMgr* cams = CamMgr::instance()) camera_ = cams->create().handle;
  if (TextureMgr* textures = TextureMgr::instance()) {
    setTarget(0, textures->backBufferTexture().value);
    setDepth(textures->depthStencilTexture().value);
  }
  streamDirty_ = 0xFFFFFFFFu;
  camRevision_ = 0xFFFFFFFFu;
  worldDirty_ = 0xFFFFFFFFu;
}

Qeldrin::~Qeldrin() {
  if (inScene_) {
    // A frame left open (the script stopped inside it) must not keep the device locked.
    inScene_ = false;
    if (DeviceMgr* devices = DeviceMgr::instance()) devices->unlock();
  }
  for (auto& s : streams_) s = nullptr;
  indices_ = nullptr;
  lists_.clear();
  current_ = nullptr;
  if (window_) {
    qxplat::detachImeTranslator(window_);
    qxplat::uiCloseWindow(window_);
  }
  // Only an object with a window made the device (init gives up the window otherwise).
  TextureMgr* textures = TextureMgr::instance();
  if (window_ && textures) {
    // Back to the device's own targets before the texture manager lets go of them.
    setTarget(0, textures->backBufferTexture().value);
    for (uint32_t i = 1; i < 4; ++i) setTarget(i, 0);
    setDepth(textures->depthStencilTexture().value);
    applyState();
  }
  for (auto& t : targets_) t.reset();
  depth_.reset();
  if (window_) {
    if (textures) textures->releaseDeviceTargets();
    if (DeviceMgr* devices = DeviceMgr::instance()) devices->release();
  }
}

void Qeldrin::report(const std::string& text) { scriptDebugLog("Qeldrin: " + text); }

void Qeldrin::init(int32_t width, int32_t height, std::string title, bool) {
  if (window_) {
    report("init: the window already exists");
    return;
  }
  if (width <= 0 || height <= 0 || width > 16384 || height > 16384) {
    report("init: no window of " + std::to_string(width) + "x" + std::to_string(height));
    return;
  }
  DeviceMgr* devices = DeviceMgr::instance();
  if (devices && devices->device()) {
    // The first application object keeps the device; this one makes no window and takes
    // nothing from it (input, targets), so its end releases nothing either.
    report("init: no window: another application object holds the device (release it first)");
    return;
  }
  width_ = width;
  height_ = height;
  qxplat::WindowSpec spec;
  spec.clientWidth = uint32_t(width);
  spec.clientHeight = uint32_t(height);
  spec.title = qxplat::makeWindowTitle(title);
  window_ = qxplat::uiCreateWindow(spec);
  if (!window_) {
    report("init: the window could not be made");
    return;
  }
  if (!devices || devices->create(window_->sdlWindow()) != qxgfx::D3D_OK) {
    report("init: no device (" + (devices ? devices->lastError() : std::string("no device manager")) + ")");
    // Nothing could be drawn in it: the window goes, so has_window tells the script.
    qxplat::uiCloseWindow(window_);
    window_ = nullptr;
    return;
  }
  std::shared_ptr<ImeLink> link = ime_;
  qxplat::attachImeTranslator(
      window_, [link](const qxplat::ImeEvent& e) { postImeEvent(link->receiver.load(std::memory_order_acquire), e); },
      &link->active);
  if (ResInput* input = ResInput::instance()) input->init(window_);
  useDeviceTargets();
}

void Qeldrin::useDeviceTargets() {
  TextureMgr* textures = TextureMgr::instance();
  if (!textures) return;
  textures->createDeviceTargets();
  setTarget(0, textures->backBufferTexture().value);
  setDepth(textures->depthStencilTexture().value);
}

namespace {

qxgfx::Device* device() { return DeviceMgr::currentDevice(); }

}  // namespace

void Qeldrin::clearCurrentBuffer(uint32_t colour, float z, uint32_t stencil) {
  flushAll();
  applyState();
  if (qxgfx::Device* d = device()) d->clear(0, nullptr, 7, colour, z, stencil);
}

void Qeldrin::clearColorBuffer(uint32_t colour) {
  flushAll();
  applyState();
  if (qxgfx::Device* d = device()) d->clear(0, nullptr, qxgfx::D3DCLEAR_TARGET, colour, 0.0f, 0);
}

void Qeldrin::clearZBuffer(float z) {
  flushAll();
  applyState();
  if (qxgfx::Device* d = device()) d->clear(0, nullptr, qxgfx::D3DCLEAR_ZBUFFER, 0, z, 0);
}

void Qeldrin::beginDraw() {
  DeviceMgr* devices = DeviceMgr::instance();
  if (inScene_ || !devices || !devices->device()) return;
  devices->lock();
  inScene_ = true;
  ++frame_;
  devices->device()->beginScene();
}

void Qeldrin::endDraw() {
  DeviceMgr* devices = DeviceMgr::instance();
  if (!inScene_ || !devices) return;
  inScene_ = false;
  devices->unlock();
  if (qxgfx::Device* d = devices->device()) {
    d->endScene();
    d->present();
  }
}

void Qeldrin::setShader(qxbind::ObjectRef effect) {
  EffectMgr::FxHandle h = EffectMgr::FxHandle::fromValue(effect.handle);
  if (effect.handle && !h.value) {
    report("setShader: not an effect");
    return;
  }
  shader_ = std::move(h);
}

void Qeldrin::clear_losthandle(bool memoryItems) {
  if (memoryItems) {
    if (MemMgrMulti* mem = MemMgrMulti::instance()) mem->swapFrameItems();
  } else if (GobjMgr* gobjs = GobjMgr::instance()) {
    gobjs->flipLostList();
  }
}

bool Qeldrin::has_window() const { return window_ && window_->isOpen(); }

void Qeldrin::setIMENotify(qxbind::ObjectRef receiver) {
  ime_->receiver.store(receiver.handle, std::memory_order_release);
}

void Qeldrin::resetIMENotify() { ime_->receiver.store(0, std::memory_order_release); }

void Qeldrin::cancelIMECP() {
  if (window_) qxplat::cancelImeComposition(window_);
}

qxbind::QXInt Qeldrin::getWnd() const { return {window_ ? window_->sdlWindowId() : 0}; }

void Qeldrin::postImeEvent(uint32_t receiver, const qxplat::ImeEvent& event) {
  GobjMgr* gobjs = GobjMgr::instance();
  if (!receiver || !gobjs) return;
  if (event.kind == qxplat::ImeEvent::Kind::start) {
    gobjs->postMsg0(receiver, event.name());
    return;
  }
  LuaVar table;
  table.setNewTable();
  table.field("string") = LuaVar(event.text);
  if (event.kind == qxplat::ImeEvent::Kind::composition) {
    LuaVar& attribute = table.field("attribute");
    attribute.setNewTable();
    for (size_t i = 0; i < event.attribute.size(); ++i) attribute.item(int32_t(i + 1)).setInt(event.attribute[i]);
    LuaVar& clause = table.field("clause");
    clause.setNewTable();
    for (size_t i = 0; i < event.clause.size(); ++i) clause.item(int32_t(i + 1)).setInt(event.clause[i]);
    table.field("cursor").setInt(event.cursor);
  }
  gobjs->postMsg1(receiver, event.name(), std::move(table));
}

qxbind::Pushed Qeldrin::cam_axis(lua_State* L, int32_t axis) const {
  if (axis < 0 || axis > 2) {
    lua_pushnil(L);
    return {1};
  }
  return {qxbind::ResultPusher<Vec3>::push(L, axes_[axis])};
}

void Qeldrin::setCamera(qxbind::ObjectRef camera) {
  if (camera.handle == camera_.value) return;
  CamMgr::CamHandle h = CamMgr::CamHandle::fromValue(camera.handle);
  if (!h.value) {
    report("setCamera: not a camera");
    return;
  }
  flushAll();
  camera_ = std::move(h);
  CamLock cam(camera_, CamLock::kShared);
  camRevision_ = cam ? cam->revision() - 1 : 0xFFFFFFFFu;
  cameraRebind_ = true;
}

std::tuple<float, float> Qeldrin::sp2vp(int32_t x, int32_t y) const {
  if (width_ <= 0 || height_ <= 0) return {0.0f, 0.0f};
  return {2.0f * float(x) / float(width_) - 1.0f, 1.0f - 2.0f * float(y) / float(height_)};
}

Vec3 Qeldrin::sp2wp(int32_t x, int32_t y, float depth) {
  const auto [vx, vy] = sp2vp(x, y);
  CamLock cam(camera_);
  return cam ? cam->vp2wp(vx, vy, depth) : Vec3{};
}

std::tuple<Vec3, Vec3> Qeldrin::getRay(int32_t x, int32_t y) {
  Vec3 from;
  {
    CamLock cam(camera_, CamLock::kShared);
    if (cam) from = cam->get_pos();
  }
  return {from, sp2wp(x, y, 1.0f)};
}

TextureMgr::TexHandle Qeldrin::getTargetTex(int32_t index) const {
  if (index < 0 || index > 3) return {};
  return targets_[index];
}
