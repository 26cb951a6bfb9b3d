// Runners built from qxlua's sources (qx_qxlua in CMake) with set-up of their own
// (classes bound only for a group of tests, say) add it through an object file that
// defines one extension:
//
//   static QxluaExtension extension{&provideManagers, &setUpState};
//
// provideManagers runs after the program's own factories are given, before the managers
// are built; setUpState after the script state exists (QXMain.lua has run) and the bind
// order has run, before the test file.
#pragma once
#include "runtime/res/catalogue.h"
#include "script/lua/script_fwd.h"

struct QxluaExtension {
  using ManagersFn = void (*)(kesto::ManagerCatalogue& managers);
  using StateFn = void (*)(const ScriptHdl& state);

  QxluaExtension(ManagersFn managers, StateFn state);

  static void provideManagers(kesto::ManagerCatalogue& managers);
  static void setUpState(const ScriptHdl& state);
};
