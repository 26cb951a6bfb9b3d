#include "runtime/mem/lua_class_desc.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <string>

#include "runtime/core/handle.h"
#include "runtime/core/synclo.h"
#include "runtime/res/res_base.h"

namespace {

void noop1(void*, void*) {}
void noop2(void*, void*, void*) {}
void noop3(void*, void*, void*, void*) {}

void nullHandle(void*, uint32_t* out, void*, void*) {
  if (out) *out = 0;
}

HandlePair* nullPair(void*, HandlePair* out, void*) {
  if (out) out->reset();
  return out;
}

bool noNotify(void*, void*, void*) { return false; }

void addRefValue(uint32_t h) {
  if (h == 0) return;
  if (kesto::ResBasePtr* m = kesto::HdlBase(h).manager()) m->addRef(h);
}

void releaseValue(uint32_t h) {
  if (h == 0) return;
  if (kesto::ResBasePtr* m = kesto::HdlBase(h).manager()) m->release(h);
}

struct DescTable {
  kesto::Synclo lock;
  std::map<std::string, LuaClassDesc, std::less<>> byName;  // nodes never move
};

// Never destroyed: items ended by static destructors late in exit still find their
// descriptors.
DescTable& descTable() {
  static DescTable* table = new DescTable();
  return *table;
}

}  // namespace

HandlePair::HandlePair(uint32_t first, uint32_t second) : first_(first), second_(second) {
  addRefValue(first_);
  addRefValue(second_);
}

HandlePair& HandlePair::operator=(const HandlePair& other) {
  if (this != &other) {
    addRefValue(other.first_);
    addRefValue(other.second_);
    reset();
    first_ = other.first_;
    second_ = other.second_;
  }
  return *this;
}

void HandlePair::reset() {
  uint32_t first = first_, second = second_;
  first_ = second_ = 0;
  releaseValue(second);
  releaseValue(first);
}

LuaClassDesc::LuaClassDesc()
    : draw(noop2),
      material(noop2),
      collect(noop3),
      hook1(noop1),
      hook2(noop1),
      hook3(noop1),
      hook4(noop1),
      drawDrawer(noop3),
      update(noop3),
      hook5(noop2),
      hook6(noop2),
      getHandle(nullHandle),
      getHandlePair(nullPair),
      colStep1(noop2),
      colStep2(noop2),
      colStep3(noop2),
      colStep4(noop2),
      colStep5(noop2),
      colStep6(noop2),
      colNotify(noNotify) {}

LuaClassDesc LuaClassDesc::make(std::string_view name, uint32_t size, Fn0 construct, Fn0 destroy) {
  LuaClassDesc d;
  d.construct = construct;
  d.destroy = destroy;
  d.size = size;
  size_t n = std::min(name.size(), kNameSize - 1);
  std::memcpy(d.name, name.data(), n);
  d.name[n] = '\0';
  return d;
}

namespace {

// A callback a class cleared by mistake acts as the default instead of crashing its caller.
void fillMissingCallbacks(LuaClassDesc& d) {
  const LuaClassDesc defaults;
  auto fill = [](auto& fn, auto fallback) {
    if (!fn) fn = fallback;
  };
  fill(d.draw, defaults.draw);
  fill(d.material, defaults.material);
  fill(d.collect, defaults.collect);
  fill(d.hook1, defaults.hook1);
  fill(d.hook2, defaults.hook2);
  fill(d.hook3, defaults.hook3);
  fill(d.hook4, defaults.hook4);
  fill(d.drawDrawer, defaults.drawDrawer);
  fill(d.update, defaults.update);
  fill(d.hook5, defaults.hook5);
  fill(d.hook6, defaults.hook6);
  fill(d.getHandle, defaults.getHandle);
  fill(d.getHandlePair, defaults.getHandlePair);
  fill(d.colStep1, defaults.colStep1);
  fill(d.colStep2, defaults.colStep2);
  fill(d.colStep3, defaults.colStep3);
  fill(d.colStep4, defaults.colStep4);
  fill(d.colStep5, defaults.colStep5);
  fill(d.colStep6, defaults.colStep6);
  fill(d.colNotify, defaults.colNotify);
}

}  // namespace

const LuaClassDesc* registerClassDesc(const LuaClassDesc& desc) {
  std::string name(desc.name, strnlen(desc.name, LuaClassDesc::kNameSize - 1));
  if (name.empty()) return nullptr;
  DescTable& t = descTable();
  kesto::SyncloGuard g(t.lock);
  auto it = t.byName.find(name);
  if (it == t.byName.end()) {
    it = t.byName.emplace(name, desc).first;
    it->second.name[name.size()] = '\0';
    fillMissingCallbacks(it->second);
  }
  return &it->second;
}

const LuaClassDesc* findClassDesc(std::string_view name) {
  DescTable& t = descTable();
  kesto::SyncloGuard g(t.lock);
  auto it = t.byName.find(name);
  return it == t.byName.end() ? nullptr : &it->second;
}
