// What a class's registration function works with: the class table of one bound class,
// on top of the stack while the function runs. Each entry stores one generated glue and
// marks it in fvt_b (false for a method, true for a field):
//
//   void registerCamData(qxbind::ClassTable& t) {
//     t.method<&CamData::set_pos>("set_pos")          // (vec3) -> self
//      .method<&CamData::get_pos>("get_pos")          // () -> vec
//      .field<&CamData::fov>("fov")                   // number field
//      .colour<&CamData::tint>("tint")                // 32-bit colour field
//      .subObject<&CamData::frame>("frame", "RectInfo");
//   }
//
// Handle classes (objects of a manager, memory items) get their entries in fvt_hdl and
// take the object behind argument 1 as self; pointer classes (managers, socket managers)
// get them in fvt_ptr and take their one engine object. A method's class must be the
// bound class itself (a base's member is bound through a free function R f(Cls&, ...)).
#pragma once
#include <cstdint>

#include "runtime/mem/mem_item.h"
#include "script/bind/class_def.h"
#include "script/bind/class_notes.h"
#include "script/bind/glue_signature.h"

namespace qxbind {

class ClassTable {
 public:
  enum class Kind { handle, pointer };

  ClassTable(lua_State* L, const char* name, Kind kind, void* object, const void* objectKey,
             const LuaClassDesc* desc)
      : L_(L), name_(name), kind_(kind), object_(object), objectKey_(objectKey), desc_(desc) {}

  lua_State* state() const { return L_; }
  const char* name() const { return name_; }
  Kind kind() const { return kind_; }
  // The class descriptor of a memory-item class (null for other kinds).
  const LuaClassDesc* desc() const { return desc_; }
  // When set, every entry stored is also described there, in registration order, and
  // the class's notes are kept.
  void describeInto(std::vector<EntryDesc>* out, const ClassNotes** notes = nullptr) {
    described_ = out;
    notes_ = notes;
  }
  // The notes written beside the registration (class_notes.h); only the generator reads them.
  ClassTable& notes(const ClassNotes& n) {
    if (notes_) *notes_ = &n;
    return *this;
  }

  template <auto Fn, bool Exclusive = true>
  ClassTable& method(const char* name) {
    if (described_) described_->push_back(describeMethod<Fn>(name));
    if (kind_ == Kind::pointer) {
      pushPointerUpvalues(name);
      storeGlue(L_, "fvt_ptr", name, &pointerMethodGlue<Fn>, 3, false);
    } else {
      lua_pushstring(L_, name);
      storeGlue(L_, "fvt_hdl", name, &handleMethodGlue<Fn, Exclusive>, 1, false);
    }
    return *this;
  }

  // A number, integer, boolean, vec3 or counted-handle field, by the member's type.
  template <auto Field>
  ClassTable& field(const char* name) {
    return storeField<Field, FieldKind::value>(name);
  }
  // A 32-bit colour: written as a number, hexadecimal text or QXInteger, read as a QXInteger.
  template <auto Field>
  ClassTable& colour(const char* name) {
    return storeField<Field, FieldKind::colour>(name);
  }
  // A plain 32-bit handle value (not counted): written from a handle object, read as one.
  template <auto Field>
  ClassTable& handleField(const char* name) {
    return storeField<Field, FieldKind::handle>(name);
  }

  // A field holding an object of the bound class className. Handle classes only; the
  // sub-object becomes a kind of this class's objects.
  template <auto Field>
  ClassTable& subObject(const char* name, const char* className) {
    using MT = MemberTraits<decltype(Field)>;
    if (described_) {
      described_->push_back(describeSubObject(name, className));  // only read: no kind to add
    } else {
      addSubObjectKind(kindKey<typename MT::Type>(), name,
                       [](void* p) -> void* { return &(static_cast<typename MT::Class*>(p)->*Field); });
    }
    lua_pushstring(L_, name);
    lua_pushstring(L_, className);
    storeGlue(L_, "fvt_hdl", name, &subObjectGlue<Field>, 2, true);
    return *this;
  }

 private:
  template <auto Field, FieldKind K>
  ClassTable& storeField(const char* name) {
    if (described_) described_->push_back(describeField<typename MemberTraits<decltype(Field)>::Type, K>(name));
    if (kind_ == Kind::pointer) {
      pushPointerUpvalues(name);
      storeGlue(L_, "fvt_ptr", name, &fieldGlue<Field, K, true>, 3, true);
    } else {
      lua_pushstring(L_, name);
      storeGlue(L_, "fvt_hdl", name, &fieldGlue<Field, K, false>, 1, true);
    }
    return *this;
  }

  void pushPointerUpvalues(const char* name) {
    lua_pushlightuserdata(L_, object_);
    lua_pushlightuserdata(L_, const_cast<void*>(objectKey_));
    lua_pushstring(L_, name);
  }

  void addSubObjectKind(const void* key, const char* name, KindStep step);

  lua_State* L_;
  const char* name_;
  Kind kind_;
  void* object_;
  const void* objectKey_;
  const LuaClassDesc* desc_;
  std::vector<EntryDesc>* described_ = nullptr;
  const ClassNotes** notes_ = nullptr;
};

}  // namespace qxbind
