// Effects: techniques of ordered passes, each pass a GLSL program with render states,
// and named parameters that reach every program as uniforms. The interface follows the
// effect calls the engine makes (technique selection, Begin/BeginPass/EndPass/End,
// CommitChanges, parameter look-up by name or semantic, annotations).
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/effect/effect_desc.h"
#include "platform/gfx/device.h"

namespace qxfx {

// Names parameters, techniques, passes and annotations; 0 names nothing.
using FxHandle = uint32_t;

struct ParamInfo {
  std::string name;
  std::string semantic;
  ParamType type = ParamType::Vec4;
  uint32_t annotations = 0;
};
struct TechniqueInfo {
  std::string name;
  uint32_t passes = 0;
  uint32_t annotations = 0;
};
struct PassInfo {
  std::string name;
  uint32_t annotations = 0;
};

class IEffect {
 public:
  virtual ~IEffect() = default;

  // Parameters by name: an exact name first, else the first name equal without regard
  // to ASCII case; by semantic: without regard to ASCII case. Techniques compare exactly.
  virtual FxHandle getParameterByName(std::string_view name) const = 0;
  virtual FxHandle getParameterBySemantic(std::string_view semantic) const = 0;
  virtual FxHandle getParameter(uint32_t index) const = 0;
  virtual uint32_t parameterCount() const = 0;
  virtual bool getParameterInfo(FxHandle param, ParamInfo& out) const = 0;
  virtual FxHandle getTechniqueByName(std::string_view name) const = 0;
  virtual FxHandle getTechnique(uint32_t index) const = 0;
  virtual uint32_t techniqueCount() const = 0;
  virtual bool getTechniqueInfo(FxHandle technique, TechniqueInfo& out) const = 0;
  virtual FxHandle getPass(FxHandle technique, uint32_t index) const = 0;
  virtual bool getPassInfo(FxHandle pass, PassInfo& out) const = 0;
  // Annotation index of a parameter, technique or pass: its name and string value.
  virtual bool getAnnotation(FxHandle object, uint32_t index, Annotation& out) const = 0;

  // Results are qxgfx::D3D_OK or D3DERR_INVALIDCALL.
  virtual int32_t setTechnique(FxHandle technique) = 0;
  virtual FxHandle currentTechnique() const = 0;
  // flags are kept for the callers' sake: no device state is ever saved or restored.
  virtual int32_t begin(uint32_t* passes, uint32_t flags) = 0;
  virtual int32_t beginPass(uint32_t pass) = 0;
  // Sends values set since the pass began (or since the last commit) to the device.
  virtual int32_t commitChanges() = 0;
  virtual int32_t endPass() = 0;
  virtual int32_t end() = 0;

  virtual int32_t setFloat(FxHandle param, float v) = 0;
  // Fills as many components as the parameter has (1 to 4).
  virtual int32_t setVector(FxHandle param, const float v[4]) = 0;
  // 16 floats in Direct3D order.
  virtual int32_t setMatrix(FxHandle param, const float m[16]) = 0;
  virtual int32_t setInt(FxHandle param, int32_t v) = 0;
  // Null unbinds. The effect holds a reference while the texture is set.
  virtual int32_t setTexture(FxHandle param, qxgfx::Texture* texture) = 0;
  // The current value: up to 16 floats (Int as a float); false for textures.
  virtual bool getValue(FxHandle param, float out[16]) const = 0;
  virtual qxgfx::Texture* getTexture(FxHandle param) const = 0;
};

// The GLSL of all the programs of one effect, common blocks included, is capped.
constexpr size_t kMaxProgramSourceBytes = 32u << 20;
// Compiling costs time on the main thread: a file may ask for at most this many distinct
// programs (vertex and fragment shader pairs), each of at most this much GLSL. Both are
// checked before anything is compiled.
constexpr size_t kMaxPrograms = 64;
constexpr size_t kMaxProgramBytes = 64u << 10;

// Reads and builds an effect for the device. Every pass's program is built now: a file
// that does not read or compile gives null, with the reason in log.
std::unique_ptr<IEffect> createEffect(qxgfx::Device& device, std::string_view text, std::string_view fileName,
                                      std::string* log);

// The GLSL program text of one pass, as the effect gives it to the device (exposed for
// tests and for the documentation's sake).
qxgfx::ProgramSource buildProgramSource(const EffectDesc& desc, const ShaderBlock& vertex,
                                        const ShaderBlock& fragment);

}  // namespace qxfx
