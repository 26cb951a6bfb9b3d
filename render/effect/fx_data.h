// One loaded effect and where it stands between technique selection, Begin and passes,
// so that the draw path and scripts can switch technique and pass in any order without
// unbalanced Begin/End or BeginPass/EndPass.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/effect/effect.h"

class FxData {
 public:
  // Pass states: a technique set but not begun (also right after creation), begun
  // without a pass, or the index of the active pass.
  static constexpr int32_t kNotBegun = -2;
  static constexpr int32_t kBegun = -1;
  // The effect calls Begin with: no state of any kind is saved.
  static constexpr uint32_t kBeginFlags = 7;

  FxData() = default;
  FxData(const FxData&) = delete;
  FxData& operator=(const FxData&) = delete;

  // Builds the effect from the file's text on the engine's device. Tried once: a file
  // that does not compile leaves no effect, and the compiler's message goes to log.
  // Built from a file of the mounted sources (the effect manager names it), the effect
  // is built again from that file on the current device when that device has been
  // replaced since.
  bool createEffect(std::string_view text, std::string_view fileName, std::string* log);
  void setFileName(std::u16string name) { fileName_ = std::move(name); }
  // Adopts a built effect (tests use a recording one).
  void adopt(std::unique_ptr<qxfx::IEffect> effect);

  // Closes what is open and selects the technique; returns its pass count. An unknown
  // name returns 0 and leaves everything as it was.
  int32_t set_tech(std::string_view name);
  // Makes pass n active: ends another active pass, begins the technique when needed.
  void pass(int32_t n);
  // Closes what is open, then Begin; returns the pass count.
  uint32_t begin();
  // BeginPass(n) without the checks of pass(); the state follows only when it succeeds.
  void beginPass(int32_t n);
  void commit();

  // Parameter setters (a null handle or a missing effect does nothing).
  void setMatrix(qxfx::FxHandle param, const float m[16]);
  // An affine 4x3 transform (four rows of three), completed with the column 0, 0, 0, 1.
  void setMatrix43(qxfx::FxHandle param, const float m[12]);
  void setVector(qxfx::FxHandle param, const float v[4]);
  void setTexture(qxfx::FxHandle param, qxgfx::Texture* texture);

  int32_t passState() const { return passState_; }
  // The effect on the current device (built again first when that has been replaced).
  qxfx::IEffect* effect() { return live(); }

 private:
  qxfx::IEffect* live();

  int32_t passState_ = kNotBegun;
  std::unique_ptr<qxfx::IEffect> effect_;
  // The device it was built on, kept alive by the effect itself; null for an adopted one.
  const qxgfx::Device* builtOn_ = nullptr;
  std::u16string fileName_;
};
