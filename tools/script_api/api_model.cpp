#include "tools/script_api/api_model.h"

#include <lua.hpp>
#include <map>
#include <sstream>

#include "program/main/script_setup.h"
#include "runtime/res/catalogue.h"
#include "script/bind/bind_order.h"
#include "script/bind/class_table.h"

namespace scriptapi {

namespace {

using qxbind::BindKind;
using qxbind::EntryDesc;

// Runs the class's registration against an empty class table and keeps what it
// described, in registration order.
std::vector<EntryDesc> entriesOf(lua_State* L, const qxbind::ClassSpec& spec, bool pointer,
                                 const qxbind::ClassNotes** notes) {
  std::vector<EntryDesc> out;
  if (!spec.methods) return out;
  const int top = lua_gettop(L);
  lua_newtable(L);
  for (const char* t : {"fvt_hdl", "fvt_ptr", "fvt_b"}) {
    lua_newtable(L);
    lua_setfield(L, -2, t);
  }
  qxbind::ClassTable table(L, spec.name, pointer ? qxbind::ClassTable::Kind::pointer : qxbind::ClassTable::Kind::handle,
                           nullptr, spec.key, nullptr);
  table.describeInto(&out, notes);
  spec.methods(table);
  lua_settop(L, top);
  return out;
}

ClassApi classOf(lua_State* L, const qxbind::ClassSpec& spec, bool pointer, std::string role) {
  ClassApi c;
  c.name = spec.name ? spec.name : "";
  c.role = std::move(role);
  c.pointer = pointer;
  c.key = spec.key;
  c.entries = entriesOf(L, spec, pointer, &c.notes);
  return c;
}

bool has(const ClassApi& c, const char* name) {
  for (const EntryDesc& e : c.entries)
    if (!e.field && e.name == name) return true;
  return false;
}

// A manager method that hands back an object of the resource class (by its signature),
// or one named as the managers name their makers.
bool makes(const EntryDesc& e, const ClassApi& resource) {
  for (const qxbind::KindDesc& k : e.results)
    if (k.objectKey && k.objectKey == resource.key) return true;
  return e.name == "create" || e.name == "load";
}

std::string constructorText(const ClassApi& c) {
  const std::string n = c.name;
  std::string by = has(c, "init")   ? " (both call `init` with the arguments)"
                   : has(c, "load") ? " (both call `load` with the arguments)"
                                    : "";
  return "Made by `" + n + ".new(...)`, or `" + n + ".newS(...)` for an object of this thread only" + by + ".";
}

// What the class's notes say instead, when they say it.
std::string madeText(const ClassApi& c, std::string generated) {
  return c.notes && c.notes->made ? std::string(c.notes->made) : std::move(generated);
}

// The file name extensions QX.createRes hands to this manager.
std::string extensionsOf(int managerId) {
  std::string out;
  if (managerId < 0) return out;
  const auto& e = kesto::ManagerCatalogue::entry(static_cast<kesto::ManagerKind>(managerId));
  for (std::u16string_view x : e.extensions) {
    if (x.empty()) break;
    out += out.empty() ? "\"." : ", \".";
    for (char16_t ch : x) out += static_cast<char>(ch);
    out += "\"";
  }
  return out;
}

}  // namespace

ClassApi describeClass(const qxbind::ClassSpec& spec, bool pointer) {
  lua_State* L = luaL_newstate();
  ClassApi c = classOf(L, spec, pointer, "");
  lua_close(L);
  return c;
}

int managerIdOf(const std::string& managerClass) {
  using K = kesto::ManagerKind;
  static const std::map<std::string, K> kIds = {
      {"sound", K::sound},      {"MtlMgr", K::material},    {"input", K::input},
      {"ColMgr", K::collision}, {"GobjMgr", K::gameObject}, {"ColPipeMgr", K::collisionPipe},
      {"CamMgr", K::camera},    {"EffectMgr", K::effect},   {"TextureMgr", K::texture},
  };
  auto it = kIds.find(managerClass);
  return it == kIds.end() ? -1 : static_cast<int>(it->second);
}

std::vector<StepApi> apiModel() {
  qxbind::BindOrder order;
  provideEngineBindings(order);
  lua_State* L = luaL_newstate();
  std::vector<StepApi> out;
  for (int n = 1; n <= qxbind::BindOrder::kStepCount; ++n) {
    StepApi s;
    s.number = n;
    s.className = qxbind::BindOrder::step(n).className;
    const qxbind::ClassBinding* b = order.binding(n);
    s.provided = b != nullptr;
    if (b) {
      switch (b->kind) {
        case BindKind::object: {
          ClassApi c = classOf(L, b->first, false, "engine object");
          c.made = madeText(c, constructorText(c));
          s.classes.push_back(std::move(c));
          break;
        }
        case BindKind::pointer: {
          ClassApi c = classOf(L, b->first, true, "single engine object");
          c.made = madeText(c, "Not made by scripts: the class table `" + c.name + "` is the one engine object.");
          s.classes.push_back(std::move(c));
          break;
        }
        case BindKind::manager: {
          ClassApi m = classOf(L, b->first, true, "manager");
          ClassApi r = classOf(L, b->second, false, "resource");
          m.managerId = r.managerId = managerIdOf(m.name);
          m.made = madeText(m, "Not made by scripts: the class table `" + m.name + "` is the manager.");
          std::string ways;
          for (const EntryDesc& e : m.entries)
            if (!e.field && makes(e, r))
              ways += std::string(ways.empty() ? "" : " or ") + "`" + m.name + ":" + e.name + "(...)`";
          const std::string ext = extensionsOf(m.managerId);
          if (!ext.empty())
            ways += std::string(ways.empty() ? "" : ", or ") + "`QX.createRes(file)` for a file named " + ext;
          r.made = madeText(r, ways.empty() ? "Made by the engine; scripts receive them from other calls."
                                            : "Made by " + ways + ".");
          s.classes.push_back(std::move(m));
          s.classes.push_back(std::move(r));
          break;
        }
        case BindKind::derived: {
          ClassApi d = classOf(L, b->first, false, std::string("derives from ") + b->second.name);
          ClassApi base = classOf(L, b->second, false, "base");
          d.made = madeText(d, constructorText(d)) + " Methods and fields of `" + base.name + "` work on it too.";
          base.made = madeText(base, constructorText(base));
          s.classes.push_back(std::move(d));
          s.classes.push_back(std::move(base));
          break;
        }
      }
    }
    out.push_back(std::move(s));
  }
  lua_close(L);
  return out;
}

std::string kindText(const qxbind::KindDesc& k, const std::vector<StepApi>& model) {
  if (k.objectKey) {
    for (const StepApi& s : model)
      for (const ClassApi& c : s.classes)
        if (c.key == k.objectKey && !c.pointer) return c.name;
  }
  return k.kind ? k.kind : "?";
}

}  // namespace scriptapi
