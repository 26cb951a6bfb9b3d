#include "scene/anim/animator.h"

#include <algorithm>
#include <cmath>

#include "runtime/res/hdl_lock.h"
#include "scene/anim/anim_notify.h"

namespace {

using AnimLock = kesto::HdlLock<AnimHdl>;

int32_t frameCountOf(const AnimSlot& slot) {
  return std::max(slot.rect ? slot.rect->frameCount() : 1, 1);
}

int32_t roundPixels(float v) {
  const float r = std::floor(v + 0.5f);
  if (!(r > -2147483648.0f)) return r < 0 ? INT32_MIN : 0;
  if (r >= 2147483647.0f) return INT32_MAX;
  return static_cast<int32_t>(r);
}

}  // namespace

void Animator::init(uint32_t animation, int32_t id) {
  remaining_ = -1;
  frame_ = 0;
  playing_ = false;
  callback_ = 0;
  queue_.clear();
  flipH_ = flipV_ = false;
  currentSlot_ = -1;
  ++revision_;
  animation_ = AnimHdl::fromValue(animation);
  id_ = id;
}

bool Animator::add(const char* slotName, int32_t loops) {
  AnimHdl keep = animation_;
  AnimLock lock(keep.value, AnimLock::kShared);
  if (!lock || !slotName) return false;
  const int32_t slot = lock->findSlot(slotName);
  if (slot < 0) return false;
  ++revision_;
  const bool wasEmpty = queue_.empty();
  queue_.push_back({slot, loops});
  if (wasEmpty) {
    frame_ = 0;
    enterFrame(*lock);
  }
  return true;
}

void Animator::start() {
  if (!queue_.empty()) setPlaying(true);
}

void Animator::clear() {
  playing_ = false;
  queue_.clear();
  frame_ = 0;
  currentSlot_ = -1;
  ++revision_;
}

bool Animator::enterFrame(const Animation& anim) {
  const AnimSlot* slot = anim.slotOrNull(queue_.front().slot);
  if (!slot) return true;
  int32_t ticks = slot->delay->get(frame_);
  if (ticks < 0) ticks = 0;
  if (ticks > kMaxDelay) ticks = kMaxDelay;
  remaining_ = static_cast<float>(ticks);
  if (callback_ == 0) return true;
  const char* tag = slot->tag->get(frame_);
  if (!tag) return true;
  const uint32_t before = revision_;
  sendAnimEvent(callback_, "ANIM_TAG", id_, tag);
  return revision_ == before;
}

void Animator::update(float dt) {
  entered_ = instant_ = 0;
  if (animation_.value == 0 || !playing_ || queue_.empty()) return;
  // An update run by one of this update's handlers counts as a change.
  ++revision_;
  float ticks = std::floor(dt * 60.0f + 0.5f);
  if (!(ticks > 0)) ticks = 0;  // negative and NaN steps
  if (ticks > kMaxTicks) ticks = kMaxTicks;

  // A handler may re-initialise this animator: the copy keeps the animation alive.
  AnimHdl keep = animation_;
  AnimLock lock(keep.value, AnimLock::kShared);
  if (!lock) return;
  const Animation& anim = *lock;
  const AnimSlot* slot = anim.slotOrNull(queue_.front().slot);
  if (!slot) return;
  int32_t n = frameCountOf(*slot);
  // Frames entered in a row without taking any time; more than a slot's frame count of
  // them means every frame lasts 0 ticks. Both counts stay below kMaxInstantFrames + 1.
  int32_t inRow = 0;

  while (remaining_ <= ticks) {
    if (remaining_ > 0) {
      inRow = 0;
    } else if (inRow >= std::min(n, kMaxInstantFrames) || instant_ >= kMaxInstantFrames) {
      return;
    } else {
      ++inRow;
      ++instant_;
    }
    ticks -= remaining_;
    ++frame_;
    if (frame_ >= n) {
      // Loops count the passes still owed; a negative count never runs out.
      Entry& head = queue_.front();
      if (head.loops > 0) {
        --head.loops;
      } else if (head.loops == 0) {
        queue_.pop_front();
        if (queue_.empty()) {
          playing_ = false;
          frame_ -= 1;  // the last frame stays shown
          if (callback_ != 0) sendAnimEvent(callback_, "ANIM_END", id_, nullptr);
          return;
        }
        slot = anim.slotOrNull(queue_.front().slot);
        if (!slot) return;
        n = frameCountOf(*slot);
        inRow = 0;
      }
      frame_ = 0;
    }
    ++entered_;
    if (!enterFrame(anim)) return;
  }
  remaining_ -= ticks;
}

void Animator::getSize(float& width, float& height) const {
  width = height = 0;
  AnimLock lock(animation_.value, AnimLock::kShared);
  if (!lock || lock->empty()) return;
  const AnimSlot& root = lock->slotAt(-1);
  float u0, v0, u1, v1;
  root.rect->get(frame_, u0, v0, u1, v1);
  int32_t w = 1, h = 1;
  animTextureScale(root.texture, w, h);
  width = static_cast<float>(w) * (u1 - u0);
  height = static_cast<float>(h) * (v1 - v0);
}

bool Animator::getFrameRect(AnimFrameInfo& out) {
  out = AnimFrameInfo();
  if (!queue_.empty()) currentSlot_ = queue_.front().slot;
  AnimLock lock(animation_.value, AnimLock::kShared);
  if (!lock || lock->empty()) return false;
  const AnimSlot* slot = lock->slotOrNull(currentSlot_);
  if (!slot) return false;
  slot->hotspot->get(frame_, out.hotspotX, out.hotspotY);
  slot->rect->get(frame_, out.u0, out.v0, out.u1, out.v1);
  out.texture = slot->texture;
  int32_t w = 1, h = 1;
  animTextureScale(slot->texture, w, h);
  out.width = roundPixels((out.u1 - out.u0) * static_cast<float>(w));
  out.height = roundPixels((out.v1 - out.v0) * static_cast<float>(h));
  if (flipH_) {
    std::swap(out.u0, out.u1);
    out.hotspotX = static_cast<int32_t>(static_cast<uint32_t>(out.width) - static_cast<uint32_t>(out.hotspotX));
  }
  if (flipV_) {
    std::swap(out.v0, out.v1);
    out.hotspotY = static_cast<int32_t>(static_cast<uint32_t>(out.height) - static_cast<uint32_t>(out.hotspotY));
  }
  return true;
}
