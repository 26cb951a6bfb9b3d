// What an object's draw-collection callback queues its entries through, and the camera
// values it may sort by (cached at the last camera binding).
#pragma once
#include "render/draw/draw_entry.h"
#include "runtime/math/vec.h"

class IDTagQ {
 public:
  virtual ~IDTagQ() = default;
  // The current draw list copies the entry.
  virtual void addEntry(const DrawEntry& entry) = 0;
  virtual Vec3 eyePosition() const = 0;
  // 0 right, 1 up, 2 view direction.
  virtual Vec3 cameraAxis(int axis) const = 0;
};

// The first argument of the material and draw callbacks: the entry's pass word and the
// keep mask the material callback may change (batched entries keep their material key
// through the bits it leaves set).
struct DrawCallArgs {
  uint32_t passWord = 0;
  uint32_t keepMask = 0;
};
