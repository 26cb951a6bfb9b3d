#include "tools/qxlua/extension.h"

#include <vector>

namespace {

std::vector<QxluaExtension::ManagersFn>& managerHooks() {
  static std::vector<QxluaExtension::ManagersFn> hooks;
  return hooks;
}

std::vector<QxluaExtension::StateFn>& stateHooks() {
  static std::vector<QxluaExtension::StateFn> hooks;
  return hooks;
}

}  // namespace

QxluaExtension::QxluaExtension(ManagersFn managers, StateFn state) {
  if (managers) managerHooks().push_back(managers);
  if (state) stateHooks().push_back(state);
}

void QxluaExtension::provideManagers(kesto::ManagerCatalogue& managers) {
  for (ManagersFn fn : managerHooks()) fn(managers);
}

void QxluaExtension::setUpState(const ScriptHdl& state) {
  for (StateFn fn : stateHooks()) fn(state);
}
