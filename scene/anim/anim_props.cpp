#include "scene/anim/anim_props.h"

#include <algorithm>

const char* IFAnimTag::get(int32_t) const { return nullptr; }

ARectMat::ARectMat(const AnimRect& area, int32_t columns, int32_t rows, int32_t frames)
    : u0_(area.u0),
      v0_(area.v0),
      u1_(area.u1),
      v1_(area.v1),
      columns_(std::max(columns, 1)),
      rows_(std::max(rows, 1)),
      frames_(frames) {}

void ARectMat::get(int32_t frame, float& u0, float& v0, float& u1, float& v1) const {
  const int32_t f = std::max(frame, 0);
  const int32_t column = f % columns_;
  const int32_t row = f / columns_;
  const float w = (u1_ - u0_) / static_cast<float>(columns_);
  const float h = (v1_ - v0_) / static_cast<float>(rows_);
  u0 = u0_ + static_cast<float>(column) * w;
  u1 = u0 + w;
  v0 = v0_ + static_cast<float>(row) * h;
  v1 = v0 + h;
}

void ARectList::get(int32_t frame, float& u0, float& v0, float& u1, float& v1) const {
  if (frames_.empty()) {
    u0 = v0 = u1 = v1 = 0;
    return;
  }
  size_t i = static_cast<size_t>(std::max(frame, 0));
  if (i >= frames_.size()) i = frames_.size() - 1;
  const AnimRect& r = frames_[i];
  u0 = r.u0;
  v0 = r.v0;
  u1 = r.u1;
  v1 = r.v1;
}

void HSList::get(int32_t frame, int32_t& x, int32_t& y) const {
  x = y = 0;
  if (entries_.empty()) return;
  const Entry* pick = &entries_.back();
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].frame > frame) {
      pick = &entries_[i > 0 ? i - 1 : 0];
      break;
    }
  }
  x = pick->x;
  y = pick->y;
}

int32_t ADelayList::get(int32_t frame) const {
  if (ticks_.empty()) return 0;
  size_t i = static_cast<size_t>(std::max(frame, 0));
  return ticks_[i < ticks_.size() ? i : ticks_.size() - 1];
}

ATagList::ATagList(std::vector<Entry> entries) : entries_(std::move(entries)), byFrame_(entries_.size()) {
  for (size_t i = 0; i < byFrame_.size(); ++i) byFrame_[i] = static_cast<uint32_t>(i);
  std::stable_sort(byFrame_.begin(), byFrame_.end(),
                   [this](uint32_t a, uint32_t b) { return entries_[a].frame < entries_[b].frame; });
}

const char* ATagList::get(int32_t frame) const {
  auto it = std::lower_bound(byFrame_.begin(), byFrame_.end(), frame,
                             [this](uint32_t i, int32_t f) { return entries_[i].frame < f; });
  if (it == byFrame_.end() || entries_[*it].frame != frame) return nullptr;
  return entries_[*it].name.c_str();
}
