// The engine's resource managers in their fixed construction order. The order fixes
// each manager's id, and so the keys scripts see the managers under, so a manager
// whose subsystem is not provided is replaced by a stand-in that takes its id.
//
//   kesto::ManagerCatalogue cat;
//   cat.provide(kesto::ManagerKind::texture, [] { return std::make_unique<TextureMgr>(); });
//   cat.constructAll();      // at engine start, before any other manager registers
//   ...
//   cat.destroyAll();        // reverse order (also done by the destructor)
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "runtime/res/res_base.h"

namespace kesto {

// Enumerator values are the manager ids.
enum class ManagerKind : uint32_t {
  sound = 0,
  memory = 1,
  material = 2,
  texture = 3,
  input = 4,
  collision = 5,
  collisionPipe = 6,
  gameObject = 7,
  camera = 8,
  effect = 9,
  animation = 10,
  script = 11,
};

struct CatalogueEntry {
  ManagerKind kind;
  const char* className;
  const char* dataTypeName;
  std::array<std::u16string_view, 5> extensions;  // empty views end the list
};

class ManagerCatalogue {
 public:
  static constexpr size_t kCount = 12;
  using Factory = std::function<std::unique_ptr<ResBasePtr>()>;

  static const CatalogueEntry& entry(ManagerKind kind);

  ManagerCatalogue() = default;
  ~ManagerCatalogue();
  ManagerCatalogue(const ManagerCatalogue&) = delete;
  ManagerCatalogue& operator=(const ManagerCatalogue&) = delete;

  // Sets how the manager of that kind is built; before constructAll.
  void provide(ManagerKind kind, Factory factory);
  // Builds every manager in order, a stand-in where no factory was given or a factory
  // gave null. False when a manager did not get the id its kind requires (another
  // manager registered first, or the catalogue was already built).
  bool constructAll();
  // Destroys the managers in reverse order of construction.
  void destroyAll();

  ResBasePtr* manager(ManagerKind kind) const { return managers_[index(kind)].get(); }
  bool isStandIn(ManagerKind kind) const { return standIn_[index(kind)]; }

 private:
  static size_t index(ManagerKind kind) { return static_cast<size_t>(kind); }

  std::array<Factory, kCount> factories_;
  std::array<std::unique_ptr<ResBasePtr>, kCount> managers_;
  std::array<bool, kCount> standIn_ = {};
};

}  // namespace kesto
