// A draw list's effect parameters: bindings made from its technique's annotations, and
// the table of values last given to the effect and values set since. A value reaches the
// effect only when it differs from the one last given under its name.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/effect/effect.h"
#include "render/state/param_value.h"

class FxData;

struct ParamBinding {
  ParamValue defaultValue;
  qxfx::FxHandle param = 0;
  bool keep = false;  // "EXT_" parameters keep their value between objects
};

using BindingMap = std::map<std::string, ParamBinding, std::less<>>;

// A default written with fewer numbers than its parameter has: the others read 0.
struct ShortDefault {
  std::string binding;    // the binding's name
  std::string parameter;  // the effect parameter's
  int given = 0;
  int wanted = 0;
};

// What a technique's annotations give.
struct TechniqueBindings {
  int32_t vertexFormat = -1;  // index in the vertex-format table, -1 for none
  BindingMap technique;
  std::vector<BindingMap> passes;
  std::vector<ShortDefault> shortDefaults;  // for the caller to warn of
};

// Reads the "SYS_", "OBJ_" and "EXT_" annotations of the technique and every annotation
// of its passes. loadTexture turns a default's file name into a texture handle value
// (with a reference the binding takes over). A number default is read with the number
// scan (parseFloatList): up to four numbers, separated by spaces, tabs, commas or
// brackets.
TechniqueBindings buildTechniqueBindings(const qxfx::IEffect& effect, qxfx::FxHandle technique,
                                         const std::function<uint32_t(std::string_view)>& loadTexture);

class ParamTable {
 public:
  // Pending values are replaced; otherwise a value equal to the one last given changes
  // nothing. True when the value became pending.
  bool set(std::string_view name, const ParamValue& value);
  // Sends every pending value through its binding (technique first, then pass p), else
  // through the effect parameter of that semantic; a name with neither is dropped. A name
  // only another pass binds stays pending for that pass. True when anything reached the
  // effect.
  bool apply(FxData& fx, const TechniqueBindings& bindings, int32_t pass);
  // At a technique's begin: every value given becomes pending again (a pending one is
  // kept) and the record of values given is emptied.
  void resend();
  // The value last given or pending under the name (pending first), or null.
  const ParamValue* find(std::string_view name) const;
  bool hasPending() const { return pendingCount_ != 0; }
  void clear();

 private:
  // One node per name for the table's life: a steady frame sets and sends values without
  // allocating.
  struct Slot {
    ParamValue given, pending;
    bool hasGiven = false, hasPending = false;
    qxfx::FxHandle semantic = 0;  // the effect parameter of that semantic, looked up once
    bool semanticLooked = false;
  };
  std::map<std::string, Slot, std::less<>> slots_;
  size_t pendingCount_ = 0;
};

// Every binding of the map is set to its default (only those without keep when
// onlyObject is true).
void setDefaults(ParamTable& table, const BindingMap& bindings, bool onlyObject);
