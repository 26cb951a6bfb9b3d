// An animation: the slots (clips) of one sprite sheet, read from a JSON ".spr" file. The
// root entry gives the defaults; each member of "slot" is a named slot that takes from
// the root whatever it does not give itself.
//
//   Animation a;
//   std::string why;
//   if (!a.build(text, &why)) log(why);     // a failed parse leaves it empty
//   int32_t walk = a.findSlot("walk");      // -1 when absent
//   const AnimSlot* s = a.slotOrNull(walk);
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "scene/anim/anim_props.h"
#include "scene/anim/anim_texture.h"

struct AnimSlot {
  static constexpr size_t kNameSize = 64;

  AnimTexHandle texture;
  char name[kNameSize] = {};  // UTF-8, cut to 63 bytes at a character boundary
  const IFAnimRect* rect = nullptr;
  const IFAnimHS* hotspot = nullptr;
  const IFAnimDelay* delay = nullptr;
  const IFAnimTag* tag = nullptr;
};

class Animation {
 public:
  // Files larger than this are refused unread.
  static constexpr size_t kMaxFileBytes = 4u << 20;
  static constexpr int kMaxDepth = 32;

  Animation() = default;
  Animation(const Animation&) = delete;
  Animation& operator=(const Animation&) = delete;

  // Parses the whole text and builds the slots. False with a reason when the text is not
  // a JSON object: the animation is then left empty (no root properties, no members).
  bool build(std::string_view text, std::string* why);

  // The root for a negative index, else the member; index must be below slotCount.
  const AnimSlot& slotAt(int32_t index) const { return index < 0 ? root_ : members_[static_cast<size_t>(index)]; }
  // The same, null for an index at or past slotCount.
  const AnimSlot* slotOrNull(int32_t index) const;
  int32_t slotCount() const { return static_cast<int32_t>(members_.size()); }
  // The first member whose name equals name exactly, or -1 (the root has no name).
  int32_t findSlot(std::string_view name) const;
  // True when nothing was built.
  bool empty() const { return root_.rect == nullptr; }

 private:
  AnimSlot root_;
  std::vector<AnimSlot> members_;
  std::vector<std::unique_ptr<AnimProp>> owned_;  // every property object of any slot
};
