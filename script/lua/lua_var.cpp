#include "script/lua/lua_var.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "platform/core/utf.h"
#include "script/lua/lstk_ref.h"
#include "script/lua/lua_var_json.h"

// ---- ordering ---------------------------------------------------------------------

namespace {

template <class T>
bool lessByAddress(const T* a, const T* b) {
  return reinterpret_cast<uintptr_t>(a) < reinterpret_cast<uintptr_t>(b);
}

// NaN sorts after every number and equals every other NaN.
bool floatLess(double a, double b) {
  if (std::isnan(a)) return false;
  if (std::isnan(b)) return true;
  return a < b;
}

}  // namespace

bool LuaVarLess::operator()(const LuaVar& a, const LuaVar& b) const {
  if (a.kind_ != b.kind_) return a.kind_ < b.kind_;
  switch (a.kind_) {
    case LuaVar::kNil:
    case LuaVar::kTable:
      return lessByAddress(&a, &b);
    case LuaVar::kBool: {
      bool x = a.asBool(), y = b.asBool();
      if (x != y) return !x;
      return lessByAddress(&a, &b);
    }
    case LuaVar::kInt:
    case LuaVar::kEmpty:
      return a.u_.i < b.u_.i;
    case LuaVar::kLightUdata:
    case LuaVar::kBytes:
      return reinterpret_cast<uintptr_t>(a.u_.p) < reinterpret_cast<uintptr_t>(b.u_.p);
    case LuaVar::kCFunction:
      return reinterpret_cast<uintptr_t>(a.u_.fn) < reinterpret_cast<uintptr_t>(b.u_.fn);
    case LuaVar::kNumber:
      return floatLess(a.u_.d, b.u_.d);
    case LuaVar::kString:
      return a.u_.str->compare(*b.u_.str) < 0;  // unsigned bytes, shorter first
    case LuaVar::kVec3:
    case LuaVar::kVec4:
      for (int c = (a.kind_ == LuaVar::kVec4 ? 3 : 2); c >= 0; --c) {
        if (a.u_.f[c] != b.u_.f[c]) return floatLess(a.u_.f[c], b.u_.f[c]);
      }
      return false;
    default:  // vec2, pinned references and JSON: one key per kind
      return false;
  }
}

// ---- LuaVarTable ------------------------------------------------------------------

LuaVarTable::LuaVarTable(const LuaVarTable& other) { *this = other; }

// Pairs are inserted one by one so that address-ordered keys (nil, table) take their
// places by the addresses of the new copies.
LuaVarTable& LuaVarTable::operator=(const LuaVarTable& other) {
  if (this == &other) return *this;
  clear();
  for (const auto& [k, v] : other.map_) map_.emplace_hint(map_.end(), k, v);
  return *this;
}

LuaVarTable::~LuaVarTable() { clear(); }

void LuaVarTable::clear() {
  // Nested tables are taken apart level by level here so that a very deep tree never
  // recurses through the destructors.
  std::vector<LuaVarTable*> pending;
  auto collect = [&pending](LuaVar& v) {
    if (v.kind_ == LuaVar::kTable) {
      pending.push_back(v.u_.tbl);
      v.u_.p = nullptr;
      v.kind_ = LuaVar::kNil;
    }
  };
  auto drain = [&collect](Map& m) {
    for (auto it = m.begin(); it != m.end(); ++it) {
      collect(const_cast<LuaVar&>(it->first));
      collect(it->second);
    }
    m.clear();
  };
  drain(map_);
  while (!pending.empty()) {
    LuaVarTable* t = pending.back();
    pending.pop_back();
    drain(t->map_);
    delete t;
  }
}

LuaVar& LuaVarTable::operator[](const LuaVar& key) {
  auto it = map_.lower_bound(key);
  if (it != map_.end() && !map_.key_comp()(key, it->first)) return it->second;
  return map_.emplace_hint(it, key, LuaVar())->second;
}

LuaVar& LuaVarTable::insertTaking(LuaVar&& key, LuaVar&& value) {
  auto it = map_.lower_bound(key);
  if (it != map_.end() && !map_.key_comp()(key, it->first)) return it->second;
  return map_.emplace_hint(it, std::move(key), std::move(value))->second;
}

// ---- LuaVar -------------------------------------------------------------------------

LuaVar::LuaVar(const LuaVar& other) : LuaVar() { assign(other); }

LuaVar::LuaVar(const LuaVarTable& table) : LuaVar() { assignTable(table); }

LuaVar::LuaVar(const std::string& text) : LuaVar() {
  u_.str = new std::string(text);
  kind_ = kString;
}

LuaVar::LuaVar(const char* text) : LuaVar() {
  u_.str = new std::string(text ? text : "");
  kind_ = kString;
}

LuaVar::LuaVar(const std::u16string& wide) : LuaVar() {
  u_.str = new std::string(qcore::utf16ToUtf8(wide));
  kind_ = kString;
}

LuaVar::LuaVar(const char16_t* wide) : LuaVar() {
  u_.str = new std::string(wide ? qcore::utf16ToUtf8(wide) : std::string());
  kind_ = kString;
}

void LuaVar::setBool(bool b) {
  destroy();
  u_.w[0] = b ? 1 : 0;
  kind_ = kBool;
}

void LuaVar::setInt(int32_t i) {
  destroy();
  u_.p = nullptr;
  u_.i = i;
  kind_ = kInt;
}

void LuaVar::setNumber(double d) {
  destroy();
  u_.p = nullptr;
  u_.d = d;
  kind_ = kNumber;
}

void LuaVar::setLightUdata(void* p) {
  destroy();
  u_.p = p;
  kind_ = kLightUdata;
}

void LuaVar::setCFunction(lua_CFunction f) {
  destroy();
  u_.fn = f;
  kind_ = kCFunction;
}

void LuaVar::setNewTable() {
  auto* fresh = new LuaVarTable;
  destroy();
  u_.tbl = fresh;
  kind_ = kTable;
}

void LuaVar::setEmpty() {
  destroy();
  kind_ = kEmpty;
}

void LuaVar::setVec(int dims, const float* components) {
  destroy();
  if (dims < 2 || dims > 4) return;
  for (int c = 0; c < 4; ++c) u_.f[c] = c < dims ? components[c] : 0.0f;
  size_ = 0;
  kind_ = kVec2 + (dims - 2);
}

void LuaVar::resetToTable() {
  destroy();
  setNewTable();
}

void LuaVar::assignTable(const LuaVarTable& table) {
  auto* copy = new LuaVarTable(table);
  destroy();
  u_.tbl = copy;
  kind_ = kTable;
}

void LuaVar::takeTable(LuaVarTable& table) {
  auto* fresh = new LuaVarTable;
  fresh->swap(table);
  destroy();
  u_.tbl = fresh;
  kind_ = kTable;
}

void LuaVar::fromBytes(const void* data, uint32_t size) {
  auto* copy = new uint8_t[size ? size : 1];
  if (size) std::memcpy(copy, data, size);
  destroy();
  u_.bytes = copy;
  size_ = size;
  kind_ = kBytes;
}

void LuaVar::adoptBytes(std::pair<uint8_t*, uint32_t> bytes) {
  destroy();
  u_.bytes = bytes.first;
  size_ = bytes.second;
  kind_ = kBytes;
}

void LuaVar::adoptRef(LStkRef* ref) {
  destroy();
  u_.ref = ref;
  size_ = 0;
  kind_ = kRef;
}

void LuaVar::takeJSON(JSONValue& json) {
  JSONValue* owned = luavar_json::takeOver(json);
  destroy();
  u_.json = owned;
  kind_ = kJSON;
}

void LuaVar::assign(const LuaVar& source) {
  if (this == &source) return;
  LuaVar copy;  // built first, so assigning a value's own child works
  copy.kind_ = source.kind_;
  copy.size_ = source.size_;
  switch (source.kind_) {
    case kString:
      copy.u_.str = new std::string(*source.u_.str);
      break;
    case kTable:
      copy.u_.tbl = new LuaVarTable(*source.u_.tbl);
      break;
    case kBytes:
      copy.u_.bytes = new uint8_t[source.size_ ? source.size_ : 1];
      if (source.size_) std::memcpy(copy.u_.bytes, source.u_.bytes, source.size_);
      break;
    case kRef:
      copy.u_.ref = new LStkRef(*source.u_.ref);
      break;
    case kJSON:
      copy.u_.json = luavar_json::copyOf(*source.u_.json);
      break;
    case kEmpty:
      copy.u_.p = nullptr;
      break;
    default:
      copy.u_ = source.u_;
      break;
  }
  destroy();
  swap(copy);
}

void LuaVar::takeFrom(LuaVar& source) {
  if (this == &source) return;
  destroy();
  swap(source);
}

void LuaVar::swap(LuaVar& other) noexcept {
  std::swap(u_, other.u_);
  std::swap(size_, other.size_);
  std::swap(kind_, other.kind_);
}

void LuaVar::destroy() {
  switch (kind_) {
    case kString:
      delete u_.str;
      break;
    case kTable:
      delete u_.tbl;  // its destructor takes nested tables apart without recursion
      break;
    case kBytes:
      delete[] u_.bytes;
      break;
    case kRef:
      delete u_.ref;
      break;
    case kJSON:
      luavar_json::destroy(u_.json);
      break;
    default:
      break;
  }
  u_.p = nullptr;
  u_.w[2] = u_.w[3] = 0;
  kind_ = kNil;
}

const char* LuaVar::asCStr() const { return kind_ == kString ? u_.str->c_str() : nullptr; }

int32_t LuaVar::asInt() const {
  if (kind_ == kInt) return u_.i;
  double d = u_.d;
  if (std::isnan(d)) return 0;
  if (d >= 2147483648.0) return std::numeric_limits<int32_t>::max();
  if (d < -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(d);
}

double LuaVar::asNumber() const {
  if (kind_ == kNumber) return u_.d;
  return static_cast<double>(u_.i);
}

float LuaVar::asFloat() const {
  if (kind_ != kNumber) return static_cast<float>(u_.i);
  const double d = u_.d;
  if (d > std::numeric_limits<float>::max()) return std::numeric_limits<float>::infinity();
  if (d < -std::numeric_limits<float>::max()) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(d);
}

void LuaVar::becomeTableForChildren() {
  if (kind_ == kTable) return;
  if (kind_ == kNil) {
    setNewTable();
    return;
  }
  if (kind_ == kRef && u_.ref->type() == LUA_TTABLE) {
    LuaVarTable pairs;
    u_.ref->readPairs(pairs);
    takeTable(pairs);
    return;
  }
  std::fprintf(stderr, "LuaVar: child access on a value of kind %d\n", kind_);
  std::abort();
}

LuaVar& LuaVar::field(const char* key) {
  becomeTableForChildren();
  return (*u_.tbl)[LuaVar(key)];
}

LuaVar& LuaVar::field(const std::string& key) {
  becomeTableForChildren();
  return (*u_.tbl)[LuaVar(key)];
}

LuaVar& LuaVar::item(int32_t index) {
  becomeTableForChildren();
  LuaVar key;
  key.setInt(index);
  return (*u_.tbl)[key];
}
