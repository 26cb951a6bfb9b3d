// Gobj: the engine record that stands for one of a script's own objects. It carries a
// position, a direction and two integer levels that scripts read and write as fields,
// and above all it is an address for messages (see GobjMgr).
#pragma once
#include <cstdint>

#include "runtime/math/vec.h"

struct Gobj {
  Vec3 _pos;
  Vec3 _dir;
  Vec3 vel;  // not a script field; the sound listener reads it with _pos and _dir
  int32_t upriority = 0;
  uint32_t scriptState = 0;  // the state that created the object; not counted, so a
                             // game object never keeps a whole Lua state alive
  uint32_t self = 0;         // the object's own handle value, not counted
  int32_t _upd_level = 0;
  // Set, under the manager lock, when the last reference went and "delete_gobj" was
  // (or is being) called, so a script that revives the object is not told twice.
  bool deathHeard = false;

  void init(int32_t priority, uint32_t selfHandle, uint32_t state) {
    upriority = priority;
    self = selfHandle;
    scriptState = state;
  }
};
