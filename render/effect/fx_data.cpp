#include "render/effect/fx_data.h"

#include "render/device/device_mgr.h"
#include "render/effect/effect_mgr.h"

bool FxData::createEffect(std::string_view text, std::string_view fileName, std::string* log) {
  effect_.reset();
  passState_ = kNotBegun;
  qxgfx::Device* d = DeviceMgr::currentDevice();
  if (!d) {
    if (log) *log = std::string(fileName) + ": no device to build the effect on";
    return false;
  }
  effect_ = qxfx::createEffect(*d, text, fileName, log);
  builtOn_ = effect_ ? d : nullptr;
  return effect_ != nullptr;
}

void FxData::adopt(std::unique_ptr<qxfx::IEffect> effect) {
  effect_ = std::move(effect);
  builtOn_ = nullptr;
  passState_ = kNotBegun;
}

qxfx::IEffect* FxData::live() {
  const qxgfx::Device* d = DeviceMgr::currentDevice();
  if (!effect_ || !builtOn_ || !d || d == builtOn_) return effect_.get();
  // Its programs belong to a device that has been replaced: nothing of it would draw.
  effect_.reset();
  builtOn_ = nullptr;
  passState_ = kNotBegun;
  EffectMgr* effects = EffectMgr::instance();
  if (effects && !fileName_.empty()) effects->rebuild(*this, fileName_);
  return effect_.get();
}

int32_t FxData::set_tech(std::string_view name) {
  if (!live()) return 0;
  const qxfx::FxHandle tech = effect_->getTechniqueByName(name);
  if (!tech) return 0;
  if (passState_ >= 0) effect_->endPass();
  if (passState_ >= kBegun) effect_->end();
  effect_->setTechnique(tech);
  passState_ = kNotBegun;
  qxfx::TechniqueInfo info;
  return effect_->getTechniqueInfo(tech, info) ? int32_t(info.passes) : 0;
}

void FxData::pass(int32_t n) {
  if (!live() || n < 0) return;
  if (passState_ >= 0 && passState_ != n) {
    effect_->endPass();
    passState_ = kBegun;
  }
  if (passState_ == kNotBegun) {
    uint32_t passes = 0;
    if (effect_->begin(&passes, kBeginFlags) != qxgfx::D3D_OK) return;
    passState_ = kBegun;
  }
  if (effect_->beginPass(uint32_t(n)) == qxgfx::D3D_OK) passState_ = n;
}

uint32_t FxData::begin() {
  if (!live()) return 0;
  if (passState_ >= 0) effect_->endPass();
  if (passState_ >= kBegun) effect_->end();
  uint32_t passes = 0;
  passState_ = effect_->begin(&passes, kBeginFlags) == qxgfx::D3D_OK ? kBegun : kNotBegun;
  return passState_ == kBegun ? passes : 0;
}

void FxData::beginPass(int32_t n) {
  // A refused pass (no such index, nothing begun) leaves the state as it is: recording
  // it would make the next set_tech skip the End the effect still needs.
  if (live() && n >= 0 && effect_->beginPass(uint32_t(n)) == qxgfx::D3D_OK) passState_ = n;
}

void FxData::commit() {
  if (live()) effect_->commitChanges();
}

void FxData::setMatrix(qxfx::FxHandle param, const float m[16]) {
  if (param && live()) effect_->setMatrix(param, m);
}

void FxData::setMatrix43(qxfx::FxHandle param, const float m[12]) {
  const float full[16] = {m[0], m[1], m[2],  0.0f, m[3], m[4],  m[5],  0.0f,
                          m[6], m[7], m[8],  0.0f, m[9], m[10], m[11], 1.0f};
  setMatrix(param, full);
}

void FxData::setVector(qxfx::FxHandle param, const float v[4]) {
  if (param && live()) effect_->setVector(param, v);
}

void FxData::setTexture(qxfx::FxHandle param, qxgfx::Texture* texture) {
  if (param && live()) effect_->setTexture(param, texture);
}
