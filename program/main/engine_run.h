// The engine's life on its main thread: start-up, the 60 Hz frame loop driving the
// script's `main` coroutine, and shutdown in reverse order. mainThreadProc runs it for the
// program; tests run it directly, without a window, against a resource folder of their
// own and a pacer clock they control.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "app/pacer/frame_pacer.h"
#include "script/lua/script_fwd.h"

struct EngineRunOptions {
  uint32_t uiThreadId = 0;
  // The folder that holds "resource"; empty: the program's folder (programPath()).
  std::u16string resourceBase;
  // Null: the monotonic clock. Update and draw times are measured on it too.
  PacerClock* clock = nullptr;
  // Asked at the head of every frame; true ends the loop (the window was closed).
  std::function<bool()> stopRequested;
  // Runs once the state exists and every class is bound, before `main` starts.
  std::function<void(const ScriptHdl& state)> scriptReady;
};

struct EngineRunReport {
  bool singletonsBuilt = false;  // every manager got its id
  bool stateCreated = false;
  int lastStatus = -1;           // of the last script call: 0 ended, 1 yielded, else a Lua error
  bool keepRunning = false;      // the last value the script yielded first
  bool stopRequested = false;    // the loop ended because stopRequested said so
  bool caughtException = false;  // start-up or the loop ended by an exception
  uint64_t frames = 0;
  uint64_t updateSteps = 0;
  uint64_t draws = 0;
  // What ended the run when it failed (the message box shown): caption "QXMain.lua"
  // (it did not load or run), "main" (start, or no `main`), "update" or "draw"; the text
  // is the Lua message with its traceback. Both empty after a clean end.
  std::string failureCaption;
  std::string failureText;

  // The process's exit code: 0 when `main` returned or yielded false or the window was
  // closed, 1 when a failure ended the run.
  int exitCode() const { return failureCaption.empty() && singletonsBuilt && !caughtException ? 0 : 1; }
};

// One 1/60 s update step as the script receives it.
constexpr float kUpdateStepSeconds = 1.0f / 60.0f;
// A draw that is not forced starts only when more than this many milliseconds remain
// before the next update is due.
constexpr int32_t kMinDrawRoomMs = 6;

EngineRunReport runEngine(const EngineRunOptions& options);
