// The engine's singletons: the rendering device's manager, then the twelve resource
// managers in catalogue order (each takes its manager id from that order; those whose
// subsystem is not built are stand-ins that hold its place), then the two socket managers.
#pragma once
#include <cstdint>
#include <functional>

namespace kesto {
class ManagerCatalogue;
}

// Gives the catalogue the factory of every manager whose subsystem is built.
void provideEngineManagers(kesto::ManagerCatalogue& managers);

// Stores the UI thread's id and builds every singleton; adjust (qxlua's test runners) may
// replace or add factories before the managers are built. False when a manager did not
// get the id its place requires (another manager registered first): what was built stays
// until destroyEngineSingletons, which must follow either way.
bool initEngineSingletons(uint32_t uiThreadId, const std::function<void(kesto::ManagerCatalogue&)>& adjust = {});
// Destroys them in reverse order of construction, skipping what was never built, then
// clears the stored UI thread id. Safe to call again.
void destroyEngineSingletons();

// The built resource managers, null outside initEngineSingletons..destroyEngineSingletons.
kesto::ManagerCatalogue* engineManagers();
