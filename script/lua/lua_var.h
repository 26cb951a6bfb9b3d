// LuaVar: the tagged value that carries data between engine code and scripts without
// living on a Lua stack. Trees of LuaVar are plain values: built on any thread (network
// responses are), handed over whole, and pushed later on the script's own thread.
#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "script/lua/lua_api.h"

class JSONValue;
class LStkRef;
class LuaVar;

// Strict ordering of keys. Kinds order by number; nil and table keys (and two equal
// booleans) order by the address of the LuaVar itself, so no two of them are ever one key.
struct LuaVarLess {
  bool operator()(const LuaVar& a, const LuaVar& b) const;
};

// Ordered map of LuaVar to LuaVar; owned by one table value.
class LuaVarTable {
 public:
  using Map = std::map<LuaVar, LuaVar, LuaVarLess>;
  using iterator = Map::iterator;
  using const_iterator = Map::const_iterator;

  LuaVarTable() = default;
  LuaVarTable(const LuaVarTable& other);
  LuaVarTable(LuaVarTable&&) noexcept = default;
  LuaVarTable& operator=(const LuaVarTable& other);
  LuaVarTable& operator=(LuaVarTable&&) noexcept = default;
  ~LuaVarTable();

  // Find-or-insert: a missing key is inserted (copied) with a nil value.
  LuaVar& operator[](const LuaVar& key);
  // Inserts key and value (both taken over) unless the key is present; gives the value slot.
  LuaVar& insertTaking(LuaVar&& key, LuaVar&& value);

  iterator begin() { return map_.begin(); }
  iterator end() { return map_.end(); }
  const_iterator begin() const { return map_.begin(); }
  const_iterator end() const { return map_.end(); }
  const_iterator find(const LuaVar& key) const { return map_.find(key); }
  size_t size() const { return map_.size(); }
  bool empty() const { return map_.empty(); }
  void clear();
  void swap(LuaVarTable& other) noexcept { map_.swap(other.map_); }

  Map& raw() { return map_; }

 private:
  Map map_;
};

class LuaVar {
 public:
  // The kind numbers are stored and compared; keep them.
  enum Kind : int32_t {
    kNil = 1,
    kBool = 2,
    kInt = 3,
    kNumber = 4,
    kString = 5,
    kTable = 6,
    kLightUdata = 7,
    kBytes = 8,
    kCFunction = 9,
    kEmpty = 10,
    kVec2 = 11,
    kVec3 = 12,
    kVec4 = 13,
    kRef = 14,
    kJSON = 15,
  };

  LuaVar() { u_.p = nullptr; }
  ~LuaVar() { destroy(); }
  LuaVar(const LuaVar& other);
  LuaVar(LuaVar&& other) noexcept : LuaVar() { swap(other); }
  LuaVar& operator=(const LuaVar& other) {
    if (this != &other) assign(other);
    return *this;
  }
  LuaVar& operator=(LuaVar&& other) noexcept {
    if (this != &other) takeFrom(other);
    return *this;
  }

  explicit LuaVar(const LuaVarTable& table);
  LuaVar(const std::string& text);
  LuaVar(const char* text);
  LuaVar(const std::u16string& wide);
  LuaVar(const char16_t* wide);

  // Scalars: store the value and set the kind; nothing is freed.
  void setBool(bool b);
  void setInt(int32_t i);
  void setNumber(double d);
  void setLightUdata(void* p);
  void setCFunction(lua_CFunction f);
  void setNewTable();
  void setEmpty();
  void setVec(int dims, const float* components);  // dims 2..4

  // Replacing forms: the old content is destroyed first.
  void resetToTable();
  void assignTable(const LuaVarTable& table);
  void takeTable(LuaVarTable& table);  // t is left empty
  void fromBytes(const void* data, uint32_t size);
  // Takes over an array allocated with new uint8_t[size]; it is freed as an array.
  void adoptBytes(std::pair<uint8_t*, uint32_t> bytes);
  void takeJSON(JSONValue& json);  // j is left empty
  void fromJSONTree(const JSONValue& json);
  // Takes over a pinned reference (allocated with new).
  void adoptRef(LStkRef* ref);

  void assign(const LuaVar& source);  // deep copy
  void takeFrom(LuaVar& source);      // source is left nil
  void swap(LuaVar& other) noexcept;
  void clear() { destroy(); }

  Kind kind() const { return static_cast<Kind>(kind_); }
  uint32_t size() const { return size_; }
  bool isSet() const { return kind_ != kNil; }
  bool isTable() const { return kind_ == kTable; }

  const char* asCStr() const;  // kind 5 only, else nullptr
  const std::string* asString() const { return kind_ == kString ? u_.str : nullptr; }
  bool asBool() const { return (u_.w[0] & 0xFF) != 0; }
  int32_t asInt() const;
  // A number keeps the script's double; asFloat narrows it where a float is wanted.
  double asNumber() const;
  float asFloat() const;
  void* asPointer() const { return u_.p; }
  lua_CFunction asCFunction() const { return kind_ == kCFunction ? u_.fn : nullptr; }
  const uint8_t* bytes() const { return kind_ == kBytes ? u_.bytes : nullptr; }
  float component(int i) const { return u_.f[i]; }
  LuaVarTable* table() const { return kind_ == kTable ? u_.tbl : nullptr; }
  LStkRef* ref() const { return kind_ == kRef ? u_.ref : nullptr; }
  JSONValue* json() const { return kind_ == kJSON ? u_.json : nullptr; }

  // Children of a table: find-or-insert. A nil value first becomes an empty table; a
  // pinned table is first read into a table value. Other kinds are a programming error
  // (the call aborts with a message).
  LuaVar& field(const char* key);
  LuaVar& field(const std::string& key);
  LuaVar& item(int32_t index);

  // Lua side; the caller holds the state.
  static void fromLua(lua_State* L, int index, LuaVar& dest);
  static void assignTop(lua_State* L, LuaVar& dest);
  // Pushes the value; empty, vec2 and pinned references push nothing. Vectors push what
  // "QXL.vec3.new" / "QXL.vec4.new" return.
  // Gives the count pushed (0 or 1).
  int push(lua_State* L) const;

 private:
  friend struct LuaVarLess;
  friend class LuaVarTable;
  void destroy();
  void becomeTableForChildren();

  union Payload {
    uint32_t w[4];
    float f[4];
    double d;
    int32_t i;
    void* p;
    std::string* str;
    LuaVarTable* tbl;
    uint8_t* bytes;
    lua_CFunction fn;
    LStkRef* ref;
    JSONValue* json;
  } u_;
  uint32_t size_ = 0;
  int32_t kind_ = kNil;
};

static_assert(sizeof(LuaVar) == 24, "LuaVar keeps its 24-byte layout");

// Fills map from the Lua table at index; iteration goes through the global "next".
void readTableIntoMap(lua_State* L, int index, LuaVarTable& map);
// Pushes a map as a new Lua table; gives 1.
int pushMapAsTable(lua_State* L, const LuaVarTable& map);
