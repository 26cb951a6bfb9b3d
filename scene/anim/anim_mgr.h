// The animation manager: ".spr" files loaded and shared by name (any letter case finds
// the same animation). A file that does not parse still gives an animation, an empty
// one, with the reason in the debug log; an animator on it shows nothing.
#pragma once
#include <string>

#include "runtime/res/resource_mgr.h"
#include "scene/anim/animation.h"

namespace qx {
class IFiles;
}

class AnimMgr : public kesto::ResourceMgr<AnimMgr, Animation, kesto::MultiP, 0> {
 public:
  AnimMgr() { addExtension(u"spr"); }
  const char* dataTypeName() const override { return "Animation"; }

  bool loadData(Animation& data, qx::IFiles* source, const std::u16string& name);
};

using AnimHdl = kesto::Handle<AnimMgr, Animation>;
