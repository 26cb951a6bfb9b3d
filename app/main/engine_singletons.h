// The engine's singletons: the rendering device's manager, then the twelve resource
// managers in catalogue order (each takes its manager id from that order; those whose
// subsystem is not built are stand-ins that hold its place), then the two socket managers.
#pragma once
#include <cstdint>

namespace kesto {
class ManagerCatalogue;
}

// Stores the UI thread's id and builds every singleton. False when a manager did not get
// the id its place requires (another manager registered first): what was built stays
// until destroyEngineSingletons, which must follow either way.
bool initEngineSingletons(uint32_t uiThreadId);
// Destroys them in reverse order of construction, skipping what was never built, then
// clears the stored UI thread id. Safe to call again.
void destroyEngineSingletons();

// The built resource managers, null outside initEngineSingletons..destroyEngineSingletons.
kesto::ManagerCatalogue* engineManagers();
