// "HUDText3D": the editable text widget placed in the scene through a billboard part.
// Its layout coordinates (y down) are centred on the part's position and turned upright.
#pragma once
#include <cstdint>
#include <vector>

#include "hud/billboard/billboard.h"
#include "hud/widget/hud_text.h"
#include "render/draw/dtag_queue.h"
#include "runtime/mem/lua_class_desc.h"

// What the text widget's collect sees while a HUDText3D collects: the entries it pushes
// are kept so their distances can be replaced; its camera answers are zero.
class DmTagList final : public IDTagQ {
 public:
  void addEntry(const DrawEntry& entry) override { entries.push_back(entry); }
  Vec3 eyePosition() const override { return unset_; }
  Vec3 cameraAxis(int) const override { return unset_; }

  std::vector<DrawEntry> entries;

 private:
  Vec3 unset_{0, 0, 0};
};

class HUDText3D : public hudwidget::HUDText {
 public:
  void setPos(Vec3 p) { bb.setPos(p); }
  Vec3 getPos() const { return bb.getPos(); }
  void setAxis(Vec3 a) { bb.setAxis(a); }
  void disableAxis() { bb.disableAxis(); }
  void setDistGain(float a, float b) { bb.setDistGain(a, b); }
  void setScale(float x, float y) { bb.setSize(x, y); }

  // The world matrix for this frame and camera (kept until either changes).
  void rebuildWorld(const billboard::CameraView& cam, uint32_t frameNumber);
  void collect(PassWord* passWord, void* passThrough, IDTagQ& q);

  static void collectCallback(void* obj, void* passWord, void* passThrough, void* list);
  static void drawCallback(void* obj, void* args, void* app);

  BillboardBase bb;
  Mat43 world;
  uint32_t frame = 0;
  billboard::CameraView builtFor{};
};
