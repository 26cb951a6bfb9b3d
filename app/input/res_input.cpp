#include "app/input/res_input.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "app/input/device_ctrls.h"
#include "platform/core/utf.h"
#include "platform/input/sdl_input.h"
#include "runtime/fs/host_path.h"
#include "runtime/res/hdl_lock.h"
#include "script/lua/lua_api.h"

namespace {

using Lock = kesto::HdlLock<ResInput::Hdl>;

// A script's path argument as a host path: UTF-8 through the engine's path form.
std::optional<std::string> hostPathOf(const std::string& utf8, bool forWrite) {
  auto host = qx::toHostPath(qcore::utf8ToUtf16(utf8));
  if (!host) return std::nullopt;
  return forWrite ? qx::hostPathForWrite(*host) : qx::findHostPath(*host);
}

// Removes pair i; later pairs move down one place.
void removePair(ResInput::InputBinding& b, int32_t i) {
  std::move(b.pairs.begin() + i + 1, b.pairs.begin() + b.count, b.pairs.begin() + i);
  b.pairs[--b.count] = ResInput::Pair{};
}

}  // namespace

ResInput::ResInput() : hub_(std::make_shared<qxinput::InputHub>()) {}

ResInput::~ResInput() {
  // Handles into this manager go while it can still take them back.
  log_.stop();
  bindings_.clear();
  updates_.clear();
  for (Hdl& h : traced_) h.reset();
}

void ResInput::init(qxplat::Window* window) {
  if (!window) return;
  link_ = qxinput::SdlInputLink::attach(*window, hub_);
  if (!link_) {
    std::fputs("input: the window's events cannot be reached\n", stderr);
    return;
  }
  link_->centreCursor();
  server_.reset();  // the link's desktop tells from now on
}

ResInput::Hdl ResInput::adopt(std::unique_ptr<qxin::IFCtrl> ctrl) {
  Hdl h = ResourceMgrNoName::create().handle;
  if (!h.value) return h;
  Lock lock(h);
  if (!lock) return Hdl();
  lock->ctrl = ctrl.get();
  ctrl->handleWord = ctrl->kind() == qxin::kLog ? h.value : 0;
  ctrls_.push_back(std::move(ctrl));
  return h;
}

ResInput::Hdl ResInput::createDevice(std::string guid, bool background) {
  qxinput::DeviceId id{};
  if (guid.size() != id.size()) return Hdl();
  std::copy(guid.begin(), guid.end(), id.begin());
  std::unique_ptr<qxinput::Device> device = hub_->createDevice(id);
  if (!device) return Hdl();
  std::unique_ptr<qxin::IFCtrl> ctrl;
  switch (device->type()) {
    case qxinput::kTypeMouse:
      ctrl = qxin::IFMouseCtrl::create(std::move(device), hub_->systemValues());
      break;
    case qxinput::kTypeKeyboard:
      ctrl = qxin::IFKeybdCtrl::create(std::move(device), !background);
      break;
    case qxinput::kTypeJoystick:
    case qxinput::kTypeGamepad:
      ctrl = qxin::IFJoypadCtrl::create(std::move(device), !background);
      break;
    default:
      break;
  }
  if (!ctrl) return Hdl();
  return adopt(std::move(ctrl));
}

qxbind::Pushed ResInput::enumDevices(lua_State* L, std::string_view kind) {
  lua_newtable(L);
  qxinput::DeviceClass cls;
  if (kind == "keyboard") cls = qxinput::DeviceClass::keyboard;
  else if (kind == "mouse") cls = qxinput::DeviceClass::mouse;
  else if (kind == "gamepad") cls = qxinput::DeviceClass::gamepad;
  else return {1};
  const auto devices = hub_->enumDevices(cls);
  for (size_t i = 0; i < devices.size(); ++i) {
    const qxinput::DeviceInfo& d = devices[i];
    lua_newtable(L);
    lua_pushlstring(L, reinterpret_cast<const char*>(d.id.data()), d.id.size());
    lua_setfield(L, -2, "guid");
    qxbind::pushU16String(L, d.instanceName);
    lua_setfield(L, -2, "instanceN");
    qxbind::pushU16String(L, d.productName);
    lua_setfield(L, -2, "productN");
    lua_rawseti(L, -2, static_cast<int>(i + 1));
  }
  return {1};
}

const ResInput::InputBinding* ResInput::binding(const std::string& name) const {
  auto it = bindings_.find(name);
  return it == bindings_.end() ? nullptr : &it->second;
}

bool ResInput::repeated(const std::string& name) const {
  const InputBinding* b = binding(name);
  return b && qxin::isRepeatTick(b->counter, b->delay, b->interval);
}
bool ResInput::pressed(const std::string& name) const {
  const InputBinding* b = binding(name);
  return b && b->counter == 1;
}
bool ResInput::pressing(const std::string& name) const {
  const InputBinding* b = binding(name);
  return b && b->counter > 0;
}
bool ResInput::clicked(const std::string& name) const {
  const InputBinding* b = binding(name);
  return b && b->counter == -1;
}

void ResInput::entry_upd(qxbind::ObjectRef ctrl) {
  Hdl h = Hdl::fromValue(ctrl.handle);
  if (!h.value || std::find(updates_.begin(), updates_.end(), h) != updates_.end()) return;
  updates_.push_back(std::move(h));
}

void ResInput::remove_upd(qxbind::ObjectRef ctrl) {
  if (!ctrl.handle) return;
  auto it = std::find_if(updates_.begin(), updates_.end(), [&](const Hdl& h) { return h.value == ctrl.handle; });
  if (it != updates_.end()) updates_.erase(it);
  for (auto& [name, b] : bindings_) {
    for (int32_t i = 0; i < b.count; ++i) {
      if (b.pairs[i].ctrl.value != ctrl.handle) continue;
      removePair(b, i);
      break;
    }
  }
}

void ResInput::registerName(const std::string& name) { bindings_.try_emplace(name); }

void ResInput::bindHandle(const std::string& name, const Hdl& ctrl, int32_t channel) {
  auto it = bindings_.find(name);
  if (it == bindings_.end() || !ctrl.value) return;
  InputBinding& b = it->second;
  if (b.count >= 3) return;
  b.pairs[b.count++] = Pair{ctrl, channel};
}

void ResInput::bind(const std::string& name, qxbind::ObjectRef ctrl, int32_t channel) {
  bindHandle(name, Hdl::fromValue(ctrl.handle), channel);
}

void ResInput::bindName(const std::string& name, uint32_t handle, int32_t channel) {
  bindHandle(name, Hdl::fromValue(handle), channel);
}

void ResInput::unbind(const std::string& name, uint32_t ctrl, int32_t channel) {
  auto it = bindings_.find(name);
  if (it == bindings_.end()) return;
  InputBinding& b = it->second;
  for (int32_t i = 0; i < b.count; ++i) {
    if (b.pairs[i].ctrl.value != ctrl || b.pairs[i].channel != channel) continue;
    removePair(b, i);
    return;
  }
}

void ResInput::rbind(const std::string& name, int32_t delay, int32_t interval) {
  auto it = bindings_.find(name);
  if (it == bindings_.end()) return;
  it->second.delay = delay;
  it->second.interval = interval < 0 ? 0 : interval;
}

void ResInput::clearName(const std::string& name) { bindings_.erase(name); }

void ResInput::reset(const std::string& name) {
  auto it = bindings_.find(name);
  if (it != bindings_.end() && it->second.counter > 0) it->second.counter = -1;
}

void ResInput::start_log(const std::string& path) {
  // A name the reader would take differently would make a replay drive other bindings.
  for (const auto& entry : bindings_) {
    if (!qxin::logNameReadsBack(entry.first)) {
      throw std::runtime_error("start_log: the binding name \"" + qxin::printableLogName(entry.first) +
                               "\" cannot be read back from a log");
    }
  }
  log_.stop();
  std::vector<std::pair<std::string, int32_t>> names;
  names.reserve(bindings_.size());
  for (const auto& [name, b] : bindings_) names.emplace_back(name, b.level);
  const auto host = hostPathOf(path, true);
  if (!host || !log_.start(*host, names)) {
    std::fprintf(stderr, "input: the log \"%s\" cannot be written\n", path.c_str());
  }
}

ResInput::Hdl ResInput::log_load(const std::string& path) {
  const auto host = hostPathOf(path, false);
  if (!host || !qx::isHostRegularFile(*host)) return Hdl();
  auto ctrl = qxin::IFLogCtrl::open(*host, this);
  if (!ctrl) return Hdl();
  qxin::IFLogCtrl* log = ctrl.get();
  Hdl h = adopt(std::move(ctrl));
  if (h.value) log->readFrames();
  return h;
}

std::tuple<int32_t, int32_t> ResInput::get_cspos() {
  // Motion events stop at the window's edge: outside it, only the system knows the cursor.
  if (link_) link_->sampleCursor();
  int32_t x = 0, y = 0, w = 0, h = 0;
  hub_->cursor(x, y, w, h);
  return {std::clamp(x, 0, std::max(w, 0)), std::clamp(y, 0, std::max(h, 0))};
}

void ResInput::keyRepeat(int32_t& delayMs, int32_t& intervalMs) const {
  if (!link_) {
    if (!serverOpened_) {
      serverOpened_ = true;
      server_ = qxinput::openServerDesktop();
    }
    if (server_ && server_->keyRepeat(delayMs, intervalMs)) return;
  }
  hub_->keyRepeat(delayMs, intervalMs);
}

// The desktop's key repeat in 16 ms frames.
int32_t ResInput::getkeybddelay() const {
  int32_t delay = 0, interval = 0;
  keyRepeat(delay, interval);
  return std::max(delay, 0) / 16;
}

int32_t ResInput::getkeybdspeed() const {
  int32_t delay = 0, interval = 0;
  keyRepeat(delay, interval);
  return std::max(interval, 0) / 16;
}

int32_t ResInput::getcaretblink() const {
  const uint32_t ms = hub_->systemValues().caretBlinkMs;
  return ms == UINT32_MAX ? 0 : static_cast<int32_t>(ms / 16);
}

void ResInput::settrace(int32_t kind, qxbind::ObjectRef ctrl) {
  if (kind != 0 && kind != 1) return;
  Hdl h = Hdl::fromValue(ctrl.handle);
  {
    Lock lock(h, Lock::kShared);
    if (!lock || !lock->ctrl || lock->ctrl->kind() != (kind == 0 ? qxin::kKeyboard : qxin::kMouse)) return;
  }
  traced_[kind] = std::move(h);
}

bool ResInput::keybuff(bool on) {
  const bool was = keys_.setOn(on);
  trace(0, true);
  return was;
}

std::tuple<std::string, int32_t> ResInput::getkeybuff() {
  auto [text, code] = keys_.take();
  return {std::move(text), code};
}

int32_t ResInput::reg_mpos() {
  Lock lock(traced_[1], Lock::kShared);
  return trackers_.add(lock ? lock->ctrl : nullptr);
}

void ResInput::trace(int kind, bool flush) {
  if (kind == 0) {
    if (flush) {
      Lock lock(traced_[0], Lock::kShared);
      keys_.flush(lock ? lock->ctrl : nullptr);
    }
    if (!keys_.on()) return;
  } else if (flush) {
    trackers_.zeroAll();
  }
  Lock lock(traced_[kind]);
  if (!lock || !lock->ctrl || !lock->ctrl->device()) return;
  qxinput::Device& d = *lock->ctrl->device();
  using qxinput::Result;
  Result hr = d.poll();
  d.acquire();
  if (hr == Result::notAcquired) hr = d.acquire();
  const bool ok = !failed(hr);
  const bool swap = hub_->systemValues().swapButtons;
  for (uint32_t n = ok ? 1 : 0; n > 0;) {
    qxinput::DeviceEvent events[qxinput::kEventBufferSize];
    Result r = d.getData(events, qxinput::kEventBufferSize, n);
    if (r == Result::notAcquired) {
      r = d.acquire();
      n = 0;
    }
    if (failed(r)) return;
    if (flush) continue;
    for (uint32_t i = 0; i < n; ++i) {
      if (kind == 0) keys_.onKey(events[i].offset, (events[i].data & 0x80) != 0);
      else trackers_.onEvent(events[i].offset, events[i].data, swap);
    }
  }
  if (kind == 1 && !ok) trackers_.allUp();
}

int32_t ResInput::bindingLevel(const InputBinding& b) const {
  int32_t level = 0;
  for (int32_t i = 0; i < b.count; ++i) {
    Lock lock(b.pairs[i].ctrl, Lock::kShared);
    if (lock && lock->ctrl) level = std::max(level, lock->ctrl->level(b.pairs[i].channel));
  }
  return level;
}

void ResInput::update(float) {
  for (size_t i = 0; i < updates_.size(); ++i) {
    // A log controller binds while it updates; the list itself does not change here.
    Lock lock(updates_[i]);
    if (lock && lock->ctrl) lock->ctrl->update();
  }
  for (auto& [name, b] : bindings_) {
    b.level = bindingLevel(b);
    log_.note(name, b.level);
    b.counter = qxin::advanceCounter(b.counter, b.level);
  }
  log_.endTick();
  trace(0, false);
  trace(1, false);
}
