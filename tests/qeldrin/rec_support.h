// An effect whose parameter writes are logged, a memory-item class whose objects queue
// the entries a test gives them and log their material and draw callbacks, and the
// effect file both draw with (shared by the tests and the benchmark).
#pragma once
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "program/main/engine_files.h"
#include "program/main/engine_singletons.h"
#include "app/qeldrin/item_lock.h"
#include "app/qeldrin/qeldrin.h"
#include "platform/core/utf.h"
#include "render/device/device_mgr.h"
#include "runtime/core/thread_ctx.h"
#include "runtime/fs/path_stack.h"
#include "runtime/mem/mem_mgr.h"
#include "runtime/res/hdl_lock.h"
#include "runtime/res/res_registry.h"

namespace qtest {

// Forwards to a built effect and keeps every value written, by parameter name.
class LoggingEffect final : public qxfx::IEffect {
 public:
  explicit LoggingEffect(std::unique_ptr<qxfx::IEffect> inner) : in_(std::move(inner)) {}
  std::vector<std::string> log;
  std::map<std::string, std::vector<float>> last;
  int writes(const std::string& name) const {
    int n = 0;
    for (const auto& l : log) n += l == "set " + name;
    return n;
  }
  int count(const std::string& what) const {
    int n = 0;
    for (const auto& l : log) n += l == what;
    return n;
  }

  qxfx::FxHandle getParameterByName(std::string_view n) const override { return in_->getParameterByName(n); }
  mutable int semanticLookups = 0;
  qxfx::FxHandle getParameterBySemantic(std::string_view s) const override {
    ++semanticLookups;
    return in_->getParameterBySemantic(s);
  }
  qxfx::FxHandle getParameter(uint32_t i) const override { return in_->getParameter(i); }
  uint32_t parameterCount() const override { return in_->parameterCount(); }
  bool getParameterInfo(qxfx::FxHandle p, qxfx::ParamInfo& o) const override { return in_->getParameterInfo(p, o); }
  qxfx::FxHandle getTechniqueByName(std::string_view n) const override { return in_->getTechniqueByName(n); }
  qxfx::FxHandle getTechnique(uint32_t i) const override { return in_->getTechnique(i); }
  uint32_t techniqueCount() const override { return in_->techniqueCount(); }
  bool getTechniqueInfo(qxfx::FxHandle t, qxfx::TechniqueInfo& o) const override {
    return in_->getTechniqueInfo(t, o);
  }
  qxfx::FxHandle getPass(qxfx::FxHandle t, uint32_t i) const override { return in_->getPass(t, i); }
  bool getPassInfo(qxfx::FxHandle p, qxfx::PassInfo& o) const override { return in_->getPassInfo(p, o); }
  bool getAnnotation(qxfx::FxHandle o, uint32_t i, qxfx::Annotation& a) const override {
    return in_->getAnnotation(o, i, a);
  }
  int32_t setTechnique(qxfx::FxHandle t) override { return in_->setTechnique(t); }
  qxfx::FxHandle currentTechnique() const override { return in_->currentTechnique(); }
  int32_t begin(uint32_t* passes, uint32_t flags) override {
    log.push_back("begin");
    return in_->begin(passes, flags);
  }
  // What was last written of each parameter when each pass began.
  std::vector<std::map<std::string, std::vector<float>>> atPass;
  int32_t beginPass(uint32_t pass) override {
    log.push_back("pass " + std::to_string(pass));
    atPass.push_back(last);
    return in_->beginPass(pass);
  }
  int32_t commitChanges() override {
    log.push_back("commit");
    return in_->commitChanges();
  }
  int32_t endPass() override { return in_->endPass(); }
  int32_t end() override { return in_->end(); }
  int32_t setFloat(qxfx::FxHandle p, float v) override { return record(p, &v, 1), in_->setFloat(p, v); }
  int32_t setVector(qxfx::FxHandle p, const float v[4]) override { return record(p, v, 4), in_->setVector(p, v); }
  int32_t setMatrix(qxfx::FxHandle p, const float m[16]) override {
    return record(p, m, 16), in_->setMatrix(p, m);
  }
  int32_t setInt(qxfx::FxHandle p, int32_t v) override { return in_->setInt(p, v); }
  int32_t setTexture(qxfx::FxHandle p, qxgfx::Texture* t) override {
    const float id = t ? float(t->id()) : 0.0f;
    return record(p, &id, 1), in_->setTexture(p, t);
  }
  bool getValue(qxfx::FxHandle p, float out[16]) const override { return in_->getValue(p, out); }
  qxgfx::Texture* getTexture(qxfx::FxHandle p) const override { return in_->getTexture(p); }

 private:
  void record(qxfx::FxHandle p, const float* v, int n) {
    qxfx::ParamInfo info;
    in_->getParameterInfo(p, info);
    log.push_back("set " + info.semantic);
    last[info.semantic].assign(v, v + n);
  }
  std::unique_ptr<qxfx::IEffect> in_;
};

// What a test object does: the entries it queues (their item word is filled in), the
// parameter its material callback sets, and the world matrix its draw callback sets.
struct TObj {
  uint32_t self = 0;
  std::string name;
  std::vector<DrawEntry> entries;
  float colour[4] = {};
  bool setsColour = false;
  bool setsWorld = false;
  float world[12] = {};
  TObj() : self(MemMgrBase::threadCurrentHandle()) {}
};

inline std::vector<std::string>& callLog() {
  static std::vector<std::string> log;
  return log;
}
// Off in the benchmark.
inline bool& logCalls() {
  static bool on = true;
  return on;
}

struct HudPos {
  float x, y, z;
  uint32_t colour;
};
struct HudUV {
  float u, v, a;
};

inline void registerTObj() {
  LuaClassDesc d = LuaClassDesc::forType<TObj>("TObj");
  d.collect = [](void* obj, void*, void*, void* q) {
    auto* o = static_cast<TObj*>(obj);
    for (DrawEntry e : o->entries) {
      e.item = kesto::HdlBase(o->self);
      static_cast<IDTagQ*>(q)->addEntry(e);
    }
  };
  d.material = [](void* obj, void* args, void* q) {
    auto* o = static_cast<TObj*>(obj);
    auto* a = static_cast<DrawCallArgs*>(args);
    if (logCalls()) callLog().push_back("M" + o->name + " p" + std::to_string(a->passWord));
    if (o->setsColour) static_cast<Qeldrin*>(q)->setParamVector("colour", o->colour, 4);
  };
  d.draw = [](void* obj, void*, void* qv) {
    auto* o = static_cast<TObj*>(obj);
    auto* q = static_cast<Qeldrin*>(qv);
    if (logCalls()) callLog().push_back("D" + o->name + " m" + std::to_string(q->drawMode()));
    if (o->setsWorld) q->setWorldMatrix(o->world);
    static const HudPos pos[3] = {{0, 0, 0, 0xFFFFFFFF}, {8, 0, 0, 0xFFFFFFFF}, {0, 8, 0, 0xFFFFFFFF}};
    static const HudUV uv[3] = {{0, 0, 1}, {1, 0, 1}, {0, 1, 1}};
    const void* streams[2] = {pos, uv};
    q->drawFan(1, streams);
  };
  registerClassDesc(d);
}

inline const char* kEffect = R"fx(
vec4 colour : COLOR = (0, 0, 0, 0);
vec2 screenSize : SCREENSIZE = (1, 1);
mat4 world : WORLD;
mat4 vp : VIEWPROJECTION;
mat4 wvp : WORLDVIEWPROJECTION;
vec3 eye : EYEPOS;
float gain : GAIN = 0;
float bias : BIAS = 0;
sampler2D tex : DIFFUSE;
vertex_shader v %{ void main() { gl_Position = vec4(0.0) * wvp * vp * world + vec4(eye, screenSize.x); } %}
fragment_shader f %{ void main() { qx_Color = colour; } %}
technique T < string SYS_VType = "HudVtx"; string OBJ_colour = "COLOR:1 2 3 4"; string OBJ_tex = "DIFFUSE"; string Note = "COLOR"; > {
  pass p0 < string PGAIN = "GAIN:5"; > { VertexShader = v; FragmentShader = f; }
}
technique U < string SYS_VType = "HudVtx"; > { pass { VertexShader = v; FragmentShader = f; } }
technique NoFormat { pass { VertexShader = v; FragmentShader = f; } }
technique Short < string SYS_VType = "HudVtx"; string OBJ_colour = "COLOR:1, 2"; > { pass { VertexShader = v; FragmentShader = f; } }
technique M < string SYS_VType = "HudVtx"; > {
  pass p0 < string PG = "GAIN:1"; string PB = "BIAS:4"; > { VertexShader = v; FragmentShader = f; }
  pass p1 < string PG = "BIAS:2"; string PG1 = "GAIN:3"; > { VertexShader = v; FragmentShader = f; }
}
)fx";

}  // namespace qtest
