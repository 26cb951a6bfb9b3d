// ScriptMgr: the resource manager whose objects are Lua states (LuaWrap records). A state
// is reached only through its handle. The manager also knows which state is current on
// each thread (script calls make their state current while they run), so native code
// reached from Lua finds the state it runs in.
#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>

#include "runtime/core/synclo.h"
#include "runtime/res/resource_mgr.h"
#include "script/lua/lua_wrap.h"

class ScriptMgr : public kesto::ResourceMgrNoName<ScriptMgr, LuaWrap<LVPolicyHdl>> {
 public:
  ScriptMgr() = default;
  ~ScriptMgr() override;

  const char* dataTypeName() const override { return "LuaWrap"; }

  // Creates a main state: the engine's allocator and loader, the collector settings, the
  // engine globals, then "QXMain.lua" when a mounted source holds it. The state is
  // returned even when "QXMain.lua" fails; errorText then receives Lua's message.
  ScriptHdl createState(std::u16string* errorText = nullptr);

  // Completes every new main state before its "QXMain.lua" runs (the engine's global
  // functions are registered this way); set once at start-up.
  using StateSetupFn = void (*)(lua_State* L);
  static void setStateSetup(StateSetupFn fn);

  // The state handle current on the calling thread (0 when none).
  uint32_t lookupThreadEntry();
  // Makes handle current on the calling thread and gives the previous entry.
  uint32_t exchangeThreadEntry(uint32_t handle);

  // The state record whose main lua_State is L (0 when none); coroutine threads of a
  // state are not listed.
  uint32_t handleOfMainState(lua_State* L);
  // The state a value read from L belongs to: L's own record when L is a main state,
  // else the calling thread's current state.
  uint32_t stateFor(lua_State* L);

  // Keeps the map of main states up to date (the records call these).
  void noteStateOpened(lua_State* L, uint32_t handle);
  void noteStateClosed(lua_State* L);

 private:
  using ThreadEntries = std::unordered_map<uint32_t, uint32_t>;
  kesto::Synclo mapLock_;
  ThreadEntries threadEntries_;
  // The node of the entry erased last, put back by the next insert: a script call adds an
  // entry and erases it again, and steady frames must not allocate for that.
  ThreadEntries::node_type spareEntry_;
  std::unordered_map<lua_State*, uint32_t> mainStates_;
};

// A counted handle of the state current on the calling thread (null when none).
ScriptHdl currentScriptState();
