// ResInput: the engine's input manager. Its resources (RIData) each name one controller
// (keyboard, mouse, joypad or input-log replay); on top of them it keeps named bindings
// of up to three controller channels, which scripts ask each tick whether a name is
// pressed, held, released or repeating. Once per update tick it polls the controllers in
// its update list, recomputes every binding, records an open input log, and traces the
// chosen keyboard and mouse into the typed-key buffer and the mouse trackers.
//
// Scripts see it as the class "input" and its controllers as "RIData" (input_bind.h).
// Main thread only. Controllers live until the manager ends, whatever their handles do.
#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "app/input/ctrl.h"
#include "app/input/key_trace.h"
#include "app/input/log_ctrl.h"
#include "app/input/log_writer.h"
#include "platform/input/input_hub.h"
#include "runtime/res/resource_mgr.h"
#include "script/bind/glue_types.h"

namespace qxplat {
class Window;
}
namespace qxinput {
class SdlInputLink;
}

struct RIData {
  qxin::IFCtrl* ctrl = nullptr;  // owned by the manager
};

class ResInput : public kesto::ResourceMgrNoName<ResInput, RIData>, public qxin::LogBinder {
 public:
  using Hdl = kesto::Handle<ResInput, RIData>;

  struct Pair {
    Hdl ctrl;
    int32_t channel = 0;
  };
  struct InputBinding {
    int32_t count = 0;
    int32_t level = 0;
    int32_t counter = 0;
    int32_t delay = -1;
    int32_t interval = 0;
    std::array<Pair, 3> pairs;
  };

  ResInput();
  ~ResInput() override;

  const char* dataTypeName() const override { return "RIData"; }
  void update(float dt) override;

  // Takes input from the window's events and centres the cursor. Before it, and without a
  // window, the hub simply reports nothing (tests feed it themselves).
  void init(qxplat::Window* window);
  qxinput::InputHub& hub() { return *hub_; }

  // ---- the script class "input" ----
  Hdl createDevice(std::string guid, bool background);
  qxbind::Pushed enumDevices(lua_State* L, std::string_view kind);
  bool repeated(const std::string& name) const;
  bool pressed(const std::string& name) const;
  bool pressing(const std::string& name) const;
  bool clicked(const std::string& name) const;
  void entry_upd(qxbind::ObjectRef ctrl);
  void remove_upd(qxbind::ObjectRef ctrl);
  void registerName(const std::string& name);
  void bind(const std::string& name, qxbind::ObjectRef ctrl, int32_t channel);
  void rbind(const std::string& name, int32_t delay, int32_t interval);
  void clearName(const std::string& name);
  void start_log(const std::string& path);
  void stop_log() { log_.stop(); }
  Hdl log_load(const std::string& path);
  std::tuple<int32_t, int32_t> get_cspos();
  bool keybuff(bool on);
  void settrace(int32_t kind, qxbind::ObjectRef ctrl);
  std::tuple<std::string, int32_t> getkeybuff();
  void setkeystop(std::string_view spec) { keys_.setStops(spec); }
  int32_t getkeybddelay() const;
  int32_t getkeybdspeed() const;
  int32_t getcaretblink() const;
  int32_t reg_mpos();
  std::tuple<int32_t, int32_t, int32_t> get_mposaxis(int32_t index) { return trackers_.takeAxes(index); }
  std::tuple<bool, int32_t> get_mposbtn(int32_t index, int32_t button) { return trackers_.takeButton(index, button); }
  void rem_mpos(int32_t index) { trackers_.remove(index); }
  void reset(const std::string& name);

  // Removes the first pair equal to (controller, channel) from the name's binding.
  void unbind(const std::string& name, uint32_t ctrl, int32_t channel);

  // The log controller's side.
  void bindName(const std::string& name, uint32_t handle, int32_t channel) override;
  void unbindName(const std::string& name, uint32_t handle, int32_t channel) override {
    unbind(name, handle, channel);
  }

  const InputBinding* binding(const std::string& name) const;
  const std::vector<Hdl>& updateList() const { return updates_; }
  const qxin::KeyBuffer& keyBuffer() const { return keys_; }

  // Runs the trace of the keyboard (0) or mouse (1); flush drops pending events.
  void trace(int kind, bool flush);

 private:
  Hdl adopt(std::unique_ptr<qxin::IFCtrl> ctrl);
  void bindHandle(const std::string& name, const Hdl& ctrl, int32_t channel);
  int32_t bindingLevel(const InputBinding& b) const;
  void keyRepeat(int32_t& delayMs, int32_t& intervalMs) const;

  std::shared_ptr<qxinput::InputHub> hub_;
  std::unique_ptr<qxinput::SdlInputLink> link_;
  // Until the window's link exists, the desktop is asked without it (on X11).
  mutable std::shared_ptr<qxinput::DesktopSource> server_;
  mutable bool serverOpened_ = false;
  std::map<std::string, InputBinding> bindings_;
  std::vector<Hdl> updates_;
  std::vector<std::unique_ptr<qxin::IFCtrl>> ctrls_;
  qxin::InputLogWriter log_;
  qxin::KeyBuffer keys_;
  qxin::MouseTrackers trackers_;
  std::array<Hdl, 2> traced_;
};
