// The program's two socket managers: made at start-up after the engine singletons (plain
// first), ended at shutdown before them (TLS first).
#pragma once

void createSockManagers();
void destroySockManagers();
