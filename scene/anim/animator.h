// Animator: plays the slots of one animation in sequence on a rectangle widget. A queue
// of {slot, loops} entries is played head first; frames advance by whole ticks of 1/60 s
// when the owner calls update. A game object set as callback hears "ANIM_TAG" (id, tag)
// when a tagged frame is entered and "ANIM_END" (id) when the queue has run out; both
// run at once, inside the call that caused them.
//
//   Animator a;
//   a.init(animHandle, 7);
//   a.setCallback(gobj);
//   a.add("walk", -1);        // loops: 0 once, n n+1 times, negative endlessly
//   a.start();
//   a.update(1.0f / 60);      // each step
//   AnimFrameInfo f;  a.getFrameRect(f);
#pragma once
#include <cstdint>
#include <deque>

#include "scene/anim/anim_mgr.h"
#include "scene/anim/anim_texture.h"

struct AnimFrameInfo {
  int32_t hotspotX = 0, hotspotY = 0;
  int32_t width = 0, height = 0;  // pixels
  float u0 = 0, u1 = 0, v0 = 0, v1 = 0;
  AnimTexHandle texture;
};

class Animator {
 public:
  // Ticks one update may advance: more would make huge steps spin through frames
  // (and float tick counts past 2^24 stop going down).
  static constexpr float kMaxTicks = 65536.0f;
  // Longest frame honoured, in ticks, for the same reason.
  static constexpr int32_t kMaxDelay = 1 << 24;
  // Frames one update enters without time passing: in a row at most the slot's frame count
  // (one pass of zero-tick frames), and in all at most this; the rest waits for the next
  // update, so a file's counts never make one update unbounded.
  static constexpr int32_t kMaxInstantFrames = 65536;

  Animator() = default;
  Animator(const Animator&) = delete;
  Animator& operator=(const Animator&) = delete;

  // Resets everything (callback too), then holds the animation when it is live.
  void init(uint32_t animation, int32_t id);
  // Appends the member slot of that name; false when there is none. Into an empty
  // queue the slot starts at frame 0, entered at once.
  bool add(const char* slotName, int32_t loops);
  void start();
  void stop() { setPlaying(false); }
  void clear();
  void update(float dt);
  bool isActive() const { return playing_; }
  // The root slot's rectangle at the current frame, in pixels of the root's texture;
  // 0, 0 without an animation.
  void getSize(float& width, float& height) const;
  void setFlip(bool h, bool v) {
    flipH_ = h;
    flipV_ = v;
  }
  void setCallback(uint32_t gobj) { callback_ = gobj; }
  // The frame to show; false (and an empty record) when there is nothing to show.
  bool getFrameRect(AnimFrameInfo& out);

  int32_t frame() const { return frame_; }
  // Frames the last update entered, and how many of them without time passing.
  int32_t enteredFrames() const { return entered_; }
  int32_t instantFrames() const { return instant_; }
  int32_t currentSlot() const { return currentSlot_; }
  size_t queued() const { return queue_.size(); }
  uint32_t animation() const { return animation_.value; }

 private:
  struct Entry {
    int32_t slot;
    int32_t loops;
  };

  // Sets the current frame's duration (of the head entry's slot) and announces its tag.
  // False when a handler changed this animator.
  bool enterFrame(const Animation& anim);
  void setPlaying(bool p) {
    playing_ = p;
    ++revision_;
  }

  AnimHdl animation_;
  uint32_t callback_ = 0;  // not counted: checked for liveness before each call
  int32_t frame_ = 0;
  float remaining_ = -1;
  int32_t id_ = 0;
  bool playing_ = false;
  bool flipH_ = false;
  bool flipV_ = false;
  int32_t currentSlot_ = -1;
  std::deque<Entry> queue_;
  int32_t entered_ = 0;
  int32_t instant_ = 0;
  // Bumped by every change and every update, so an update notices what its handlers did.
  uint32_t revision_ = 0;
};
