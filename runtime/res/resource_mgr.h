// The two shapes of resource manager. A concrete manager derives from one of them,
// naming itself as the first argument:
//
//   struct CamData { float fov = 1.0f; };
//   class CamMgr : public kesto::ResourceMgrNoName<CamMgr, CamData> {
//    public:
//     const char* dataTypeName() const override { return "CamData"; }
//   };
//   using CamHandle = kesto::Handle<CamMgr, CamData>;   // CamMgr::HandleType
//
//   class TextureMgr : public kesto::ResourceMgr<TextureMgr, TexData, kesto::MultiP, 1> {
//    public:
//     TextureMgr() { addExtension(u"png"); }
//     const char* dataTypeName() const override { return "TexData"; }
//     // Fills a new object; source is null for a generated "@no_name_<n>" name.
//     bool loadData(TexData& data, qx::IFiles* source, const std::u16string& name);
//   };
//
// Build one instance (it registers and takes its manager id), then:
//   CamHandle cam = CamMgr::instance()->create().handle;
//   kesto::HdlLock<CamHandle> lock(cam);        // lock->fov = 0.5f;
//   auto tex = TextureMgr::instance()->acquireByName(u"Foo.PNG").handle;
#pragma once
#include <algorithm>
#include <cstdint>
#include <map>
#include <utility>
#include <string>
#include <vector>

#include "runtime/res/base_path.h"
#include "runtime/res/res_registry.h"
#include "runtime/res/resource_mgr_base.h"
#include "runtime/res/singleton.h"

namespace kesto {

// Objects made by create, without names.
template <class Mgr, class Data, class Policy = MultiP>
class ResourceMgrNoName : public ResourceMgrBase<Mgr, Data, Policy>, public Singleton<Mgr>, public BasePath {
  using Base = ResourceMgrBase<Mgr, Data, Policy>;

 public:
  using typename Base::Result;

  // A new default-built object with one reference for the caller; a null handle when
  // the table is full. The flag is kept for callers that pass one.
  virtual Result create(uint32_t flag = 1) {
    (void)flag;
    Result r;
    SyncloGuard g(this->lock_);
    uint32_t h = this->takeSlot();
    if (h == 0) return r;
    this->slotAt(HdlBase(h).index()).refs = 1;
    r.handle.adopt(h);
    r.created = true;
    return r;
  }
};

// Objects found or made by a resource name: names are UTF-16 and compared after ASCII
// case folding. Flag 1: an empty name makes a new object under a generated name;
// Flag 0: an empty name is refused.
template <class Mgr, class Data, class Policy = MultiP, int Flag = 1>
class ResourceMgr : public ResourceMgrBase<Mgr, Data, Policy>, public Singleton<Mgr>, public BasePath {
  using Base = ResourceMgrBase<Mgr, Data, Policy>;

 public:
  using typename Base::Result;
  static constexpr size_t kMaxNameLength = 259;

  // An existing object of that name gets one reference for the caller (created false).
  // Otherwise, when a mounted read source holds the file, a new object is loaded by
  // the manager's loadData and named; a failed load leaves nothing behind. Names
  // longer than kMaxNameLength, unknown files and a full table give a null handle.
  Result acquireByName(const std::u16string& name) {
    Result r;
    if (name.size() > kMaxNameLength) return r;
    std::u16string key;
    qx::IFiles* source = nullptr;
    if (name.empty()) {
      if constexpr (Flag == 0) {
        return r;
      } else {
        key = nextGeneratedName();
      }
    } else {
      key = name;
      if (!this->normalizeName(key)) return r;
      source = ResRegistry::instance().findFile(key);
      if (!source) return r;
    }

    SyncloGuard g(this->lock_);
    auto found = names_.find(key);
    if (found != names_.end()) {
      if (this->addRefChecked(found->second, true)) {
        r.handle.adopt(found->second);
      }
      return r;
    }
    // A file that refers to itself, directly or through other files, would load for ever:
    // the lookup made while that name is loading gets nothing. Loads run under the
    // manager lock, so the names loading are those of the calling thread.
    if (std::find(loading_.begin(), loading_.end(), key) != loading_.end()) return r;
    uint32_t h = this->takeSlot();
    if (h == 0) return r;
    const uint32_t index = HdlBase(h).index();
    bool loaded = false;
    loading_.push_back(key);
    try {
      loaded = static_cast<Mgr*>(this)->loadData(*this->slotAt(index).data(), source, key);
    } catch (...) {
      loaded = false;
    }
    loading_.pop_back();
    if (!loaded) {
      this->discardSlot(h);
      return r;
    }
    auto inserted = names_.emplace(std::move(key), h).first;
    if (nameOf_.size() <= index) nameOf_.resize(index + 1, nullptr);
    nameOf_[index] = &inserted->first;
    this->slotAt(index).refs = 1;
    r.handle.adopt(h);
    r.created = true;
    return r;
  }

  // The reference taken for the push is given back; the userdata holds its own.
  bool pushByName(lua_State* L, const std::u16string& name) override {
    Result r = acquireByName(name);
    return this->pushStrong(L, r.handle.value, 0);
  }

  int32_t extensionIndex(const std::u16string& fileName) const override {
    return this->indexOfExtension(fileName);
  }

  // Named objects currently held.
  size_t nameCount() {
    SyncloGuard g(this->lock_);
    return names_.size();
  }
  // The name of a live object, empty when the handle names none.
  std::u16string nameOf(uint32_t handle) {
    SyncloGuard g(this->lock_);
    if (!this->liveSlot(handle)) return {};
    uint32_t index = HdlBase(handle).index();
    return index < nameOf_.size() && nameOf_[index] ? *nameOf_[index] : std::u16string();
  }

  // The default loader leaves the object as default-built.
  bool loadData(Data&, qx::IFiles*, const std::u16string&) { return true; }

  void unlinkSlot(uint32_t index) {
    if (index >= nameOf_.size() || !nameOf_[index]) return;
    auto it = names_.find(*nameOf_[index]);
    nameOf_[index] = nullptr;
    if (it != names_.end()) names_.erase(it);
  }

 private:
  std::map<std::u16string, uint32_t> names_;
  std::vector<std::u16string> loading_;  // names whose loader is running, innermost last
  std::vector<const std::u16string*> nameOf_;  // by slot index, into names_
};

}  // namespace kesto
