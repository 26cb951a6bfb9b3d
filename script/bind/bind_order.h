// The bind order: the 32 steps, in their fixed order, that make the engine's classes
// visible to scripts once at start-up (after "QXMain.lua" has run, before `main`). The
// table fixes each step's classes and kind; each subsystem provides the C++ side of its
// own classes when it exists, and a step nobody provided is skipped.
//
//   qxbind::BindOrder order;
//   order.provide(gobjBinding());          // step 9, from script/gobj
//   order.provide(hudTextBinding());       // step 16, from the HUD, ...
//   order.run(mainState);
#pragma once
#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

#include "script/bind/class_binding.h"
#include "script/lua/script_fwd.h"

namespace qxbind {

struct BindStep {
  int number;                    // 1..32
  BindKind kind;
  const char* className;         // the class (the manager class of a manager step)
  const char* secondName;        // the resource class, or the base of a derived class
  std::u16string_view scriptBase;  // module the class definition requires first
};

class BindOrder {
 public:
  static constexpr int kStepCount = 32;

  // Step n (1..32).
  static const BindStep& step(int number);
  // The step that binds that class (first or second name), or null.
  static const BindStep* stepOf(std::string_view className);

  // Fills in the step whose class the binding names; false (nothing changed) when no
  // step binds that class or the binding's kind or second class differ from the step's.
  bool provide(const ClassBinding& binding);
  bool isProvided(int number) const;
  // The binding provided for a step, or null.
  const ClassBinding* binding(int number) const {
    return isProvided(number) ? &*bindings_[static_cast<size_t>(number - 1)] : nullptr;
  }

  // Runs every provided step in order on the state, each under the state's lock. Gives
  // the number of steps that bound everything they should.
  int run(const ScriptHdl& state) const;

 private:
  std::array<std::optional<ClassBinding>, kStepCount> bindings_;
};

}  // namespace qxbind
