// The root every resource manager derives from: what generic code (handle locks, the
// registry, the script bridge) may ask of a manager without knowing its data type.
#pragma once
#include <cstdint>
#include <string>

struct lua_State;

namespace kesto {

// Why a slot lock was or was not granted.
enum class SlotLockResult : uint8_t {
  granted,
  busy,         // another lane holds the slot in a conflicting way: worth retrying
  selfBlocked,  // only the caller's own holds stand in the way: retrying would never succeed
  dead,         // the handle names no live object of this manager
};

// How a handle becomes a Lua value. The script layer installs these once; until then
// every push gives false.
using StrongPushFn = bool (*)(lua_State* L, uint32_t handle, uint32_t word);
using WeakPushFn = bool (*)(lua_State* L, uint32_t handle);
void setHandlePushers(StrongPushFn strong, WeakPushFn weak);

class ResBasePtr {
 public:
  ResBasePtr(const ResBasePtr&) = delete;
  ResBasePtr& operator=(const ResBasePtr&) = delete;
  virtual ~ResBasePtr() = default;

  virtual bool pushByName(lua_State* L, const std::u16string& name);
  virtual bool pushStrong(lua_State* L, uint32_t handle, uint32_t word);
  virtual bool pushWeak(lua_State* L, uint32_t handle);
  virtual const char* dataTypeName() const = 0;
  // True only for a live object of this manager whose generation matches.
  virtual bool isValidHandle(uint32_t handle) = 0;
  // 0 for a handle that names no live object.
  virtual uint32_t refCount(uint32_t handle) = 0;
  virtual void update(float dt);
  // Position of the name's extension in the accepted list, -1 when not accepted.
  virtual int32_t extensionIndex(const std::u16string& fileName) const;
  // Folds A-Z to a-z and '/' to '\'; resource names are compared after this.
  virtual bool normalizeName(std::u16string& name) const;

  // The counted-handle and lock callbacks. A stale or foreign handle does nothing
  // (the locks give null).
  virtual bool addRef(uint32_t handle) = 0;
  virtual bool release(uint32_t handle) = 0;
  virtual void* lockShared(uint32_t handle) = 0;
  virtual void* lockExclusive(uint32_t handle) = 0;
  virtual void unlockShared(uint32_t handle) = 0;
  virtual void unlockExclusive(uint32_t handle) = 0;
  // A lock attempt that also says why it failed (handle locks use it to give up).
  virtual void* tryLock(uint32_t handle, bool exclusive, SlotLockResult& why) = 0;

  // The id the registry gave this manager (63 when it has none).
  uint32_t id() const { return id_; }
  // Identifies the concrete manager class, so a manager found by id can be checked
  // before it is cast.
  const void* typeTag() const { return typeTag_; }

 protected:
  explicit ResBasePtr(const void* typeTag) : typeTag_(typeTag) {}
  // Registers with the registry and records the id; deregister before the object ends.
  void registerSelf();
  void deregisterSelf();

 private:
  const void* typeTag_;
  uint32_t id_ = 63;
};

// Folds the ASCII capitals of a UTF-16 name in place.
void foldAsciiCase(std::u16string& name);

// The next generated name "@no_name_<n>" from the counter shared by all named managers.
std::u16string nextGeneratedName();

}  // namespace kesto
