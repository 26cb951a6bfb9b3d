#include "program/main/engine_run.h"

#include <cstdio>
#include <exception>
#include <optional>

#include "program/main/engine_files.h"
#include "program/main/engine_singletons.h"
#include "program/main/script_calls.h"
#include "program/main/script_setup.h"
#include "platform/core/utf.h"
#include "platform/window/message_box.h"
#include "platform/window/ui_thread.h"
#include "render/device/device_mgr.h"
#include "render/effect/effect_mgr.h"
#include "render/material/mtl_mgr.h"
#include "render/texture/texture_mgr.h"
#include "runtime/core/profiler.h"
#include "runtime/core/thread_ctx.h"
#include "runtime/fs/path_stack.h"
#include "runtime/res/hdl_lock.h"
#include "runtime/res/res_registry.h"
#include "script/lua/script_mgr.h"
#include "script/lua/script_report.h"

namespace {

using StateLock = kesto::HdlLock<ScriptHdl>;

// Everything the run owns between start-up and shutdown.
struct EngineRun {
  const EngineRunOptions& options;
  PacerClock& clock;
  EngineRunReport report;
  EngineFiles files;
  ScriptHdl state;
  std::u16string startError;  // createState's error slot; the script log has the text
  std::optional<FramePacer> pacer;

  // Frame loop state.
  bool keepRunning = false;
  int status = -1;
  float updateMs = 0.0f;
  float drawMs = 0.0f;
  int32_t fps = 0;
  int32_t drawsThisSecond = 0;

  EngineRun(const EngineRunOptions& o, PacerClock& c) : options(o), clock(c) {}

  float msSince(int64_t start) {
    return static_cast<float>(static_cast<double>(clock.now() - start) * 1000.0 /
                              static_cast<double>(clock.frequency()));
  }

  // Keeps the status and the first yielded value of one call. A state that cannot be
  // locked any more counts as a failed call.
  template <class Call>
  void callMain(const char* phase, Call call) {
    StateLock record(state);
    if (!record) {
      status = LUA_ERRRUN;
      keepRunning = false;
      fail(phase, "the script state no longer exists");
      return;
    }
    LuaCallRes result = call(*record);
    LuaCallRes rest = readMainResults(result, keepRunning);
    status = result.status();
    if (status != 0 && status != LUA_YIELD) fail(phase, result.errorText());
  }

  // Keeps the first failure; the user sees it once the run is over.
  void fail(const char* caption, std::string text) {
    if (!report.failureCaption.empty()) return;
    report.failureCaption = caption;
    report.failureText = std::move(text);
  }

  bool mainIsFunction();

  bool startUp();
  void frameLoop();
  void shutDown();
};

bool EngineRun::mainIsFunction() {
  StateLock record(state);
  lua_State* L = record ? record->state() : nullptr;
  if (!L) return false;
  lua_getglobal(L, "main");
  const bool isFunction = lua_isfunction(L, -1);
  lua_pop(L, 1);
  return isFunction;
}

bool EngineRun::startUp() {
  PathStack resourceBase = programPath();
  if (!options.resourceBase.empty()) resourceBase.set(options.resourceBase);
  if (std::string why = files.mount(resourceBase, programPath()); !why.empty()) {
    // The scripts would only fail later, and less clearly.
    fail("resource", why);
    scriptDebugLog(why);
    return false;
  }

  // Failures of effects, textures, materials and the device belong in the program's log.
  auto toLog = [](std::string_view m) { scriptDebugLog(m); };
  if (EffectMgr* effects = EffectMgr::instance()) effects->setLog(toLog);
  if (TextureMgr* textures = TextureMgr::instance()) textures->setLog(toLog);
  if (MtlMgr* materials = MtlMgr::instance()) materials->setLog(toLog);
  if (DeviceMgr* devices = DeviceMgr::instance()) devices->setLog(toLog);
  installScriptStateSetup();
  state = ScriptMgr::instance()->createState(&startError);
  if (!state.value) {
    fail("QXMain.lua", "the script state could not be created");
    return false;
  }
  report.stateCreated = true;
  bindEngineClasses(state);
  if (options.scriptReady) options.scriptReady(state);

  pacer.emplace(clock);
  if (!startError.empty()) {
    fail("QXMain.lua", qcore::utf16ToUtf8(startError));
  } else if (!mainIsFunction()) {
    fail("main", "no function main: QXMain.lua is missing or does not define it");
    scriptDebugLog(report.failureText);
  }
  if (!report.failureCaption.empty()) return true;
  const LuaFuncPath mainPath("main", 1);
  callMain("main", [&](LuaWrap<LVPolicyHdl>& w) { return callGlobal0(w, mainPath); });
  createThreadProfiler();
  pacer->wait();
  pacer->secondElapsed(true);
  return true;
}

void EngineRun::frameLoop() {
  const LuaFuncPath resumePath("", 1);
  while (keepRunning && status == LUA_YIELD) {
    if (options.stopRequested && options.stopRequested()) {
      report.stopRequested = true;
      break;
    }
    const PacerWait due = pacer->wait();
    Profiler* profiler = getThreadProfiler();
    if (profiler) {
      profiler->beginFrame();
      profiler->beginSample("MAIN");
    }
    ++report.frames;

    for (uint32_t step = 0; step < due.steps; ++step) {
      const int64_t start = clock.now();
      ResRegistry::instance().updateAll(kUpdateStepSeconds);
      callMain("update", [&](LuaWrap<LVPolicyHdl>& w) {
        return callFrameUpdate(w, resumePath, kUpdateStepSeconds, updateMs, drawMs, fps);
      });
      ++report.updateSteps;
      // The script asked to stop (or failed): no messages, no draw, straight to shutdown.
      if (status != LUA_YIELD || !keepRunning) return;
      updateMs = msSince(start);
    }

    deliverFrameMessages();

    const bool draw = due.drawForced || pacer->remainingMs() > kMinDrawRoomMs;
    if (draw) {
      if (pacer->secondElapsed(false)) {
        fps = drawsThisSecond;
        drawsThisSecond = 0;
      }
      ++drawsThisSecond;
      const int64_t start = clock.now();
      // Its status and keep-running value are looked at by the next frame's head.
      callMain("draw", [&](LuaWrap<LVPolicyHdl>& w) { return callFrameDraw(w, resumePath, 0); });
      ++report.draws;
      drawMs = msSince(start);
    }

    if (profiler) {
      profiler->endSample("MAIN");
      // Frames without a draw stay out of the statistics.
      profiler->endFrame(!draw);
      if (draw) {
        if (std::string* text = getThreadProfileReport()) profiler->buildReport(*text);
      }
    }
  }
}

void EngineRun::shutDown() {
  destroyThreadProfiler();
  pacer.reset();
  state.reset();
  startError.clear();
  waitForTextureUsers();
  detachThreadLane();
  destroyEngineSingletons();
  // Closing the state released handles, which takes a lane again for this thread.
  detachThreadLane();
  files.unmount();
}

// A box shown from this thread would have no owner on the UI thread's display.
void showOnUiThread(const std::string& text, const std::string& caption) {
  auto show = [&] { qxplat::showMessageBox(text, caption, qxplat::kMbIconError); };
  if (!qxplat::uiRunWaiting(show)) show();
}

}  // namespace

EngineRunReport runEngine(const EngineRunOptions& options) {
  EngineRun run(options, options.clock ? *options.clock : monotonicPacerClock());
  run.report.singletonsBuilt = initEngineSingletons(options.uiThreadId);
  if (run.report.singletonsBuilt) {
    attachThreadLane();
    try {
      if (run.startUp()) run.frameLoop();
    } catch (const QXExcept& e) {
      run.report.caughtException = true;
      qxplat::showMessageBox(qcore::utf16ToUtf8(e.message), qcore::utf16ToUtf8(e.caption), qxplat::kMbOk);
    } catch (const std::exception& e) {
      run.report.caughtException = true;
      std::fprintf(stderr, "engine stopped by an exception: %s\n", e.what());
    } catch (...) {
      // Whatever it was, the engine still goes down in order.
      run.report.caughtException = true;
      std::fputs("engine stopped by an exception\n", stderr);
    }
  } else {
    std::fputs("engine start-up: the resource managers did not get their ids\n", stderr);
  }
  if (!run.report.failureCaption.empty()) showOnUiThread(run.report.failureText, run.report.failureCaption);
  run.report.lastStatus = run.status;
  run.report.keepRunning = run.keepRunning;
  run.shutDown();
  return run.report;
}
