// The per-frame properties of an animation slot: texture rectangle, hotspot, duration
// and tag. Each comes in a shared form (one value for every frame) and a list form; a
// slot that gives none of its own points at its root's objects.
//
// Lookups never read past what is stored: a frame beyond a list takes its last entry.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Common base so that an animation can own property objects of every kind in one list.
class AnimProp {
 public:
  virtual ~AnimProp() = default;
};

class IFAnimRect : public AnimProp {
 public:
  // The frame's rectangle in texture-normalised units.
  virtual void get(int32_t frame, float& u0, float& v0, float& u1, float& v1) const = 0;
  virtual int32_t frameCount() const = 0;
};

class IFAnimHS : public AnimProp {
 public:
  virtual void get(int32_t frame, int32_t& x, int32_t& y) const = 0;
};

class IFAnimDelay : public AnimProp {
 public:
  // Ticks of 1/60 s.
  virtual int32_t get(int32_t frame) const = 0;
};

// The base is itself the default: no frame has a tag.
class IFAnimTag : public AnimProp {
 public:
  // The frame's tag, or null.
  virtual const char* get(int32_t frame) const;
};

struct AnimRect {
  float u0 = 0, v0 = 0, u1 = 1, v1 = 1;
};

// A grid of equal cells over a rectangle, read row by row.
class ARectMat : public IFAnimRect {
 public:
  // Columns and rows below 1 count as 1.
  ARectMat(const AnimRect& area, int32_t columns, int32_t rows, int32_t frames);
  void get(int32_t frame, float& u0, float& v0, float& u1, float& v1) const override;
  int32_t frameCount() const override { return frames_; }

 private:
  float u0_, v0_, u1_, v1_;
  int32_t columns_;
  int32_t rows_;
  int32_t frames_;
};

// Needs at least one rectangle.
class ARectList : public IFAnimRect {
 public:
  explicit ARectList(std::vector<AnimRect> frames) : frames_(std::move(frames)) {}
  void get(int32_t frame, float& u0, float& v0, float& u1, float& v1) const override;
  int32_t frameCount() const override { return static_cast<int32_t>(frames_.size()); }

 private:
  std::vector<AnimRect> frames_;
};

class HSShare : public IFAnimHS {
 public:
  HSShare(int32_t x, int32_t y) : x_(x), y_(y) {}
  void get(int32_t, int32_t& x, int32_t& y) const override {
    x = x_;
    y = y_;
  }

 private:
  int32_t x_, y_;
};

// Entries in ascending frame order; each holds from its frame until the next entry's.
// Needs at least one entry.
class HSList : public IFAnimHS {
 public:
  struct Entry {
    int32_t frame, x, y;
  };
  explicit HSList(std::vector<Entry> entries) : entries_(std::move(entries)) {}
  void get(int32_t frame, int32_t& x, int32_t& y) const override;

 private:
  std::vector<Entry> entries_;
};

class ADelayShare : public IFAnimDelay {
 public:
  explicit ADelayShare(int32_t ticks) : ticks_(ticks) {}
  int32_t get(int32_t) const override { return ticks_; }

 private:
  int32_t ticks_;
};

// One duration per frame; the last repeats for later frames. Needs at least one.
class ADelayList : public IFAnimDelay {
 public:
  explicit ADelayList(std::vector<int32_t> ticks) : ticks_(std::move(ticks)) {}
  int32_t get(int32_t frame) const override;

 private:
  std::vector<int32_t> ticks_;
};

class ATagList : public IFAnimTag {
 public:
  struct Entry {
    int32_t frame;
    std::string name;
  };
  explicit ATagList(std::vector<Entry> entries);
  // The first entry (in file order) of that frame: a lookup per frame entered stays
  // cheap however many tags a file lists.
  const char* get(int32_t frame) const override;

 private:
  std::vector<Entry> entries_;
  std::vector<uint32_t> byFrame_;  // entry indices, by frame, file order within a frame
};
