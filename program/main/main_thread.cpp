#include "program/main/main_thread.h"

#include "program/main/engine_run.h"
#include "platform/window/ui_thread.h"
#include "script/lua/script_report.h"
#include "script/qx/qx_log.h"

int mainThreadProc(uint32_t uiThreadId, const std::u16string& resourceBase) {
  // The script bridge's reports (failed calls, load errors) join the script's own lines.
  openQXLog();
  setScriptDebugLogSink(writeQXLog);

  EngineRunOptions options;
  options.uiThreadId = uiThreadId;
  options.resourceBase = resourceBase;
  options.stopRequested = [] { return qxplat::uiPumpEnded(); };
  const int code = runEngine(options).exitCode();

  setScriptDebugLogSink(nullptr);
  closeQXLog();
  return code;
}
