// One material: its values in one table per type, keyed by member name, and the other
// materials it refers to. Include render/material/mtl_mgr.h to use it (its handles need
// the manager).
//
//   auto m = MtlMgr::instance()->acquire(u"stone.mtl");
//   kesto::HdlLock<MtlMgr::MtlHandle> lock(m, kesto::HdlLock<MtlMgr::MtlHandle>::kShared);
//   if (IFMtl<float>* v = lock->value<float>("shine")) use(*v->get(IFMtl<float>::kRandomIndex));
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>

#include <json/value.h>

#include "render/material/mtl_value.h"
#include "runtime/core/handle.h"
#include "runtime/math/vec.h"

class MtlMgr;
class MtlData;
using MtlHandle = kesto::Handle<MtlMgr, MtlData>;

class MtlData {
 public:
  // Type indices 0..5.
  using Types = std::tuple<std::string, int32_t, float, Vec3, Vec4, MtlHandle>;
  template <class T>
  using Table = std::map<std::string, std::unique_ptr<IFMtl<T>>>;

  // Builds the values from the file's text. False when the text is not JSON (the
  // material then has no values); a root that is not an object gives none either.
  bool loadFromText(std::string_view text, std::string* why);

  template <class T>
  Table<T>& table() {
    return std::get<Table<T>>(tables_);
  }
  // The value of that type under the name, or null.
  template <class T>
  IFMtl<T>* value(const std::string& name) {
    auto& t = table<T>();
    auto it = t.find(name);
    return it == t.end() ? nullptr : it->second.get();
  }
  const std::map<std::string, MtlHandle>& references() const { return references_; }
  bool loaded() const { return loaded_; }

 private:
  void buildMember(const std::string& name, const Json::Value& v);
  void buildList(const std::string& name, const Json::Value& array);
  void buildRange(const std::string& name, const Json::Value& object);

  std::tuple<Table<std::string>, Table<int32_t>, Table<float>, Table<Vec3>, Table<Vec4>, Table<MtlHandle>> tables_;
  std::map<std::string, MtlHandle> references_;
  bool loaded_ = false;
  Json::Value document_;
};
