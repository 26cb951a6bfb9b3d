// Animation events reach their game object at once, not through the message queue: the
// object's recvmsg runs inside the caller's own script call.
#pragma once
#include <cstdint>

// recvmsg(object, 0, name, id[, tag]) of the game object target, in the state that made
// it, run protected (a failing handler is logged and ends only itself). Nothing happens
// when target names no live game object or the object has no recvmsg.
void sendAnimEvent(uint32_t target, const char* name, int32_t id, const char* tag);
