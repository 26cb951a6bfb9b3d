// The script API generator: kinds read off glue signatures, and the checks that hold a
// binding's notes to its registration.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "render/camera/cam_mgr.h"
#include "tools/script_api/api_model.h"

namespace {

using qxbind::EntryDesc;
using scriptapi::ClassApi;

struct Probe {
  void none() {}
  int32_t count(float a, double b, int32_t c, uint32_t d, bool e) { return int32_t(a + b) + c + int32_t(d) + e; }
  std::string text(const char* a, std::string b, std::string_view c, std::u16string d) {
    return a + b + std::string(c) + std::string(d.size(), 'x');
  }
  std::tuple<Vec3, Vec4, Quat> vectors(Vec3 a, Vec4 b, Quat c) { return {a, b, c}; }
  qxbind::QXInt ids(qxbind::QXInt a, qxbind::ObjectRef b) { return {a.value + b.handle}; }
  CamMgr::CamHandle camera() const { return {}; }
  qxbind::Pushed raw(lua_State*, qxbind::StackArg) { return {}; }
  LuaVar value(LuaVar v) { return v; }
  bool state(lua_State*, int32_t) { return false; }
  std::tuple<int32_t, LuaVar> mixed() { return {}; }
  float speed = 0;
  uint32_t tint = 0;
  uint32_t target = 0;
  CamMgr::CamHandle cam;
};

double freeFn(Probe&, double x) { return x; }

const qxbind::ClassNotes* gNotes = nullptr;

void registerProbe(qxbind::ClassTable& t) {
  if (gNotes) t.notes(*gNotes);
  t.method<&Probe::none>("none")
      .method<&Probe::count>("count")
      .method<&Probe::text>("text")
      .method<&Probe::vectors>("vectors")
      .method<&Probe::ids>("ids")
      .method<&Probe::camera>("camera")
      .method<&Probe::raw>("raw")
      .method<&Probe::value>("value")
      .method<&Probe::state>("state")
      .method<&freeFn>("freeFn")
      .method<&Probe::mixed>("mixed")
      .field<&Probe::speed>("speed")
      .colour<&Probe::tint>("tint")
      .handleField<&Probe::target>("target")
      .field<&Probe::cam>("cam");
}

ClassApi probe(const qxbind::ClassNotes* notes = nullptr) {
  gNotes = notes;
  ClassApi c = scriptapi::describeClass(qxbind::objectClass<Probe>("Probe", &registerProbe), false);
  gNotes = nullptr;
  c.role = "engine object";
  return c;
}

// A model in which CamData is bound, so a camera handle reads as its class.
std::vector<scriptapi::StepApi> modelWith(const ClassApi& c) {
  scriptapi::StepApi s;
  s.provided = true;
  s.classes.push_back(c);
  ClassApi cam;
  cam.name = "CamData";
  cam.key = qxbind::kindKey<CamData>();
  s.classes.push_back(cam);
  return {s};
}

std::string kinds(const std::vector<qxbind::KindDesc>& k, const std::vector<scriptapi::StepApi>& model) {
  std::string out;
  for (const auto& d : k) out += (out.empty() ? "" : " ") + scriptapi::kindText(d, model);
  return out;
}

TEST(ScriptApiSignature, KindsAndResultsComeFromTheGluesTypesInRegistrationOrder) {
  const ClassApi c = probe();
  const auto model = modelWith(c);
  struct Row {
    const char* name;
    bool field;
    const char* args;
    EntryDesc::Result result;
    const char* results;
    bool takesState;
  };
  const Row rows[] = {
      {"none", false, "", EntryDesc::Result::self, "", false},
      {"count", false, "number number integer integer boolean", EntryDesc::Result::values, "integer", false},
      {"text", false, "string string string string", EntryDesc::Result::values, "string", false},
      {"vectors", false, "vec3 vec4 quat", EntryDesc::Result::values, "vec3 vec4 quat", false},
      {"ids", false, "QXInteger object", EntryDesc::Result::values, "QXInteger", false},
      {"camera", false, "", EntryDesc::Result::values, "CamData", false},
      {"raw", false, "?", EntryDesc::Result::declared, "", true},
      {"value", false, "?", EntryDesc::Result::declared, "", false},
      {"state", false, "integer", EntryDesc::Result::values, "boolean", true},
      {"freeFn", false, "number", EntryDesc::Result::values, "number", false},
      {"mixed", false, "", EntryDesc::Result::values, "integer ?", false},
      {"speed", true, "number", EntryDesc::Result::values, "", false},
      {"tint", true, "colour", EntryDesc::Result::values, "", false},
      {"target", true, "object", EntryDesc::Result::values, "", false},
      {"cam", true, "CamData", EntryDesc::Result::values, "", false},
  };
  ASSERT_EQ(c.entries.size(), std::size(rows));
  for (size_t i = 0; i < std::size(rows); ++i) {
    const EntryDesc& e = c.entries[i];
    SCOPED_TRACE(rows[i].name);
    EXPECT_EQ(e.name, rows[i].name);
    EXPECT_EQ(e.field, rows[i].field);
    EXPECT_EQ(e.writable, rows[i].field);
    EXPECT_EQ(kinds(e.args, model), rows[i].args);
    EXPECT_EQ(e.result, rows[i].result);
    EXPECT_EQ(kinds(e.results, model), rows[i].results);
    EXPECT_EQ(e.takesState, rows[i].takesState);
  }
}

TEST(ScriptApiSignature, ASubObjectFieldIsReadOnlyAndOfItsClass) {
  const EntryDesc e = qxbind::describeSubObject("rect", "RectInfo");
  EXPECT_TRUE(e.field);
  EXPECT_FALSE(e.writable);
  ASSERT_EQ(e.args.size(), 1u);
  EXPECT_STREQ(e.args[0].kind, "RectInfo");
}

// Notes that hold: every problem list below starts from these.
const std::vector<qxbind::MethodNote> kGood = {
    {"count", "a, b, c, d, e"},
    {"text", "a, b, c, d"},
    {"vectors", "a, b, c", nullptr, "Three vectors."},
    {"ids", "id, object"},
    {"raw", "table list, number extra?", "table or nil"},
    {"value", "number v", "number"},
    {"state", "level, string mode?"},
    {"freeFn", "x"},
    {"mixed", "", "integer, table"},
    {"speed", "", nullptr, "Units a second."},
};

std::vector<std::string> problemsOf(const qxbind::ClassNotes& notes) {
  const ClassApi c = probe(&notes);
  std::vector<std::string> out;
  for (const std::string& p : scriptapi::noteProblems(modelWith(c)))
    if (p.rfind("Probe", 0) == 0) out.push_back(p);
  return out;
}

TEST(ScriptApiNotes, NotesThatHoldDocumentNamesDeclaredKindsAndText) {
  const qxbind::ClassNotes notes{"A probe.", kGood};
  EXPECT_EQ(problemsOf(notes), std::vector<std::string>{});
  const ClassApi c = probe(&notes);
  std::vector<std::string> problems;
  const auto model = modelWith(c);
  auto entry = [&](const char* name) {
    for (const EntryDesc& e : c.entries)
      if (e.name == name) return scriptapi::documentEntry(c, e, model, problems);
    ADD_FAILURE() << name;
    return scriptapi::EntryDoc{};
  };
  const scriptapi::EntryDoc raw = entry("raw");
  ASSERT_EQ(raw.args.size(), 2u);
  EXPECT_EQ(raw.args[0].kind, "table");
  EXPECT_EQ(raw.args[0].name, "list");
  EXPECT_FALSE(raw.args[0].optional);
  EXPECT_EQ(raw.args[1].kind, "number");
  EXPECT_TRUE(raw.args[1].optional);
  EXPECT_EQ(raw.results, "table or nil");
  const scriptapi::EntryDoc count = entry("count");
  ASSERT_EQ(count.args.size(), 5u);
  EXPECT_EQ(count.args[4].kind, "boolean");
  EXPECT_EQ(count.args[4].name, "e");
  EXPECT_EQ(count.results, "integer");
  EXPECT_EQ(entry("vectors").text, "Three vectors.");
  EXPECT_EQ(entry("none").results, "self");
  EXPECT_EQ(entry("mixed").results, "integer, table");
  EXPECT_EQ(entry("speed").text, "Units a second.");
  EXPECT_EQ(problems, std::vector<std::string>{});
}

TEST(ScriptApiNotes, EachWayANoteDisagreesWithItsRegistrationIsReported) {
  struct Case {
    const char* what;
    std::vector<qxbind::MethodNote> change;  // replaces the good note of the same name, or is added
    const char* text;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"too few names", {{"count", "a, b, c, d"}}, "A probe.", {"Probe.count: 4 argument names for 5 arguments"}},
      {"too many names",
       {{"count", "a, b, c, d, e, f"}},
       "A probe.",
       {"Probe.count: 6 argument names for 5 arguments",
        "Probe.count: argument f is read by the method itself and needs a declared kind"}},
      {"no names", {{"freeFn", ""}}, "A probe.", {"Probe.freeFn: 0 argument names for 1 arguments"}},
      {"another kind restated", {{"freeFn", "string x"}}, "A probe.", {"Probe.freeFn: argument x is number"}},
      {"optional glue argument",
       {{"freeFn", "x?"}},
       "A probe.",
       {"Probe.freeFn: argument x is read by the glue: a missing one is never tested"}},
      {"raw slot without kind",
       {{"raw", "list", "table"}},
       "A probe.",
       {"Probe.raw: argument 1 needs a declared kind"}},
      {"extra read without kind",
       {{"state", "level, mode"}},
       "A probe.",
       {"Probe.state: argument mode is read by the method itself and needs a declared kind"}},
      {"undeclared pushed results", {{"raw", "table list"}}, "A probe.", {"Probe.raw: its results need declaring"}},
      {"declared over a self result",
       {{"none", "", "number"}},
       "A probe.",
       {"Probe.none: the signature already gives its result (self)"}},
      {"declared over typed results",
       {{"freeFn", "x", "string"}},
       "A probe.",
       {"Probe.freeFn: the signature already gives its results"}},
      {"a script value among typed results", {{"mixed", ""}}, "A probe.", {"Probe.mixed: its results need declaring"}},
      {"a misspelt argument kind",
       {{"raw", "tabel list", "table"}},
       "A probe.",
       {"Probe.raw: argument list: no kind \"tabel\""}},
      {"a misspelt result kind",
       {{"raw", "table list", "CamData or nill"}},
       "A probe.",
       {"Probe.raw: no kind \"nill\""}},
      {"a note for no entry", {{"gone", ""}}, "A probe.", {"Probe.gone: a note for no entry"}},
      {"a field with names", {{"speed", "v"}}, "A probe.", {"Probe.speed: a field takes no argument names or results"}},
      {"no class line", {}, nullptr, {"Probe: a line on the class is missing"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    qxbind::ClassNotes notes{c.text, kGood};
    for (const qxbind::MethodNote& m : c.change) {
      auto it = std::find_if(notes.methods.begin(), notes.methods.end(),
                             [&](const qxbind::MethodNote& n) { return std::string(n.name) == m.name; });
      if (it != notes.methods.end()) {
        *it = m;
      } else {
        notes.methods.push_back(m);
      }
    }
    EXPECT_EQ(problemsOf(notes), c.expected);
  }
}

TEST(ScriptApiNotes, MissingAndDoubledNotesAreReported) {
  qxbind::ClassNotes twice{"A probe.", kGood};
  twice.methods.push_back({"freeFn", "x"});
  EXPECT_EQ(problemsOf(twice), std::vector<std::string>{"Probe.freeFn: two notes"});

  qxbind::ClassNotes missing{"A probe.", kGood};
  missing.methods.erase(missing.methods.begin());      // count
  missing.methods.erase(missing.methods.begin() + 3);  // raw
  const std::vector<std::string> expected = {
      "Probe.count: its arguments need names",
      "Probe.raw: it reads the Lua state itself: what it reads needs declaring",
      "Probe.raw: argument 1 needs a declared kind",
      "Probe.raw: its results need declaring",
      "Probe.raw: its arguments need names",
  };
  EXPECT_EQ(problemsOf(missing), expected);
}

TEST(ScriptApiModel, ManagersHaveTheIdsOfTheirKinds) {
  EXPECT_EQ(scriptapi::managerIdOf("sound"), 0);
  EXPECT_EQ(scriptapi::managerIdOf("TextureMgr"), 3);
  EXPECT_EQ(scriptapi::managerIdOf("CamMgr"), 8);
  EXPECT_EQ(scriptapi::managerIdOf("HUDText"), -1);
}

TEST(ScriptApiModel, EachClassSaysHowScriptsGetOne) {
  std::map<std::string, std::string> made;
  for (const scriptapi::StepApi& s : scriptapi::apiModel())
    for (const ClassApi& c : s.classes) made[c.name] = c.made;
  // By the maker's result kind, by its name, by the extensions createRes takes, and by the
  // class's own word; makers on a class table are called with ':'.
  EXPECT_EQ(made["CamData"], "Made by `CamMgr:create(...)`.");
  EXPECT_EQ(made["MtlData"], "Made by `QX.createRes(file)` for a file named \".mtl\".");
  EXPECT_EQ(made["GobjMgr"], "Not made by scripts: the class table `GobjMgr` is the manager.");
  EXPECT_EQ(made["SockMgr"], "Not made by scripts: the class table `SockMgr` is the one engine object.");
  EXPECT_EQ(made["GUIConsole"],
            "Made by `GUIConsole.new(...)`, or `GUIConsole.newS(...)` for an object of this thread only.");
  EXPECT_EQ(made["TwiAPI"].rfind("Made by `TwiAPI.new()`.", 0), 0u);
  EXPECT_EQ(made["Gobj"].find("GobjMgr.newGobj"), std::string::npos);
}

TEST(ScriptApiModel, TheProgramsNotesAndQXDeclarationsHold) {
  EXPECT_EQ(scriptapi::noteProblems(scriptapi::apiModel()), std::vector<std::string>{});
}

}  // namespace
