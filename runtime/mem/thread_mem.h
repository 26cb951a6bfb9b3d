// Each thread's own memory manager. Managers are lent from a pool rather than built per
// thread: a manager id is never handed out twice, so building one for every thread that
// ever asks would use the ids up. A lent manager is tied to its thread's lane and comes
// back when the thread detaches or ends: its remaining items are destroyed first, so
// handles from the earlier thread are stale (their slots' generations move on) and
// releasing them does nothing.
#pragma once
#include <cstddef>

#include "runtime/mem/mem_mgr.h"

// The calling thread's manager, lent on first call (the thread attaches a lock lane if
// it has none). Null only when no manager id is left for a new one.
MemMgr<kesto::SingleP>* getThreadMemMgr();

// Managers built for threads so far (each holds a manager id for the rest of the run).
size_t threadMemMgrCount();
