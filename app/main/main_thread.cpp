#include "app/main/main_thread.h"

#include "app/main/engine_run.h"
#include "platform/window/ui_thread.h"

void mainThreadProc(uint32_t uiThreadId, const std::u16string& resourceBase) {
  EngineRunOptions options;
  options.uiThreadId = uiThreadId;
  options.resourceBase = resourceBase;
  options.stopRequested = [] { return qxplat::uiPumpEnded(); };
  runEngine(options);
}
