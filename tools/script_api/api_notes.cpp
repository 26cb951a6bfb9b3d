// Puts an entry's signature and its note together, and finds where they disagree.
#include <set>

#include "program/main/script_setup.h"
#include "script/qx/qx_globals.h"
#include "tools/script_api/api_model.h"

namespace scriptapi {

namespace {

using qxbind::EntryDesc;

std::string trim(std::string s) {
  const size_t b = s.find_first_not_of(' ');
  const size_t e = s.find_last_not_of(' ');
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

std::vector<std::string> splitList(const char* text) {
  std::vector<std::string> out;
  std::string s = text ? text : "";
  size_t at = 0;
  while (!trim(s).empty()) {
    at = s.find(',');
    out.push_back(trim(s.substr(0, at)));
    if (at == std::string::npos) break;
    s = s.substr(at + 1);
  }
  return out;
}

// "kind name?" or "name".
ArgDoc parseArg(const std::string& token) {
  ArgDoc a;
  std::string t = token;
  if (!t.empty() && t.back() == '?') {
    a.optional = true;
    t.pop_back();
  }
  const size_t space = t.rfind(' ');
  if (space == std::string::npos) {
    a.name = t;
  } else {
    a.kind = trim(t.substr(0, space));
    a.name = t.substr(space + 1);
  }
  return a;
}

const qxbind::MethodNote* noteOf(const ClassApi& c, const std::string& name) {
  if (!c.notes) return nullptr;
  for (const qxbind::MethodNote& m : c.notes->methods)
    if (m.name && name == m.name) return &m;
  return nullptr;
}

std::string kindsText(const std::vector<qxbind::KindDesc>& kinds, const std::vector<StepApi>& model) {
  std::string out;
  for (const qxbind::KindDesc& k : kinds) out += (out.empty() ? "" : ", ") + kindText(k, model);
  return out;
}

bool known(const qxbind::KindDesc& k) { return k.kind || k.objectKey; }

// The words a declared kind may use: the glue's kinds, the script values a method reads or
// pushes itself, and the bound classes. A misspelt kind is an error, not a new kind.
bool isKindWord(const std::string& word, const std::vector<StepApi>& model) {
  static const std::set<std::string> kWords = {"number",   "integer",   "boolean", "string",  "vec3",  "vec4",
                                               "quat",     "QXInteger", "object",  "colour",  "table", "function",
                                               "userdata", "plane",     "nil",     "nothing", "self"};
  if (kWords.count(word)) return true;
  for (const StepApi& s : model)
    for (const ClassApi& c : s.classes)
      if (c.name == word) return true;
  return false;
}

// Each "a or b" of a declaration ("a or b, c" for results); "..." and a kind's own
// arguments are not kinds.
std::vector<std::string> unknownKinds(const std::string& declared, const std::vector<StepApi>& model) {
  std::vector<std::string> out;
  std::string rest = declared + " or ";
  for (size_t at; (at = rest.find(" or ")) != std::string::npos; rest = rest.substr(at + 4)) {
    for (const std::string& word : splitList(rest.substr(0, at).c_str()))
      if (!word.empty() && !isKindWord(word, model)) out.push_back(word);
  }
  return out;
}

}  // namespace

EntryDoc documentEntry(const ClassApi& c, const EntryDesc& e, const std::vector<StepApi>& model,
                       std::vector<std::string>& problems) {
  EntryDoc d;
  const qxbind::MethodNote* note = noteOf(c, e.name);
  auto problem = [&](const std::string& why) { problems.push_back(c.name + "." + e.name + ": " + why); };
  if (note && note->text) d.text = note->text;
  if (e.field) {
    d.args.push_back({kindText(e.args.at(0), model), "", false});
    if (note && ((note->args && *note->args) || note->results)) problem("a field takes no argument names or results");
    return d;
  }

  if (e.takesState && !note) problem("it reads the Lua state itself: what it reads needs declaring");
  const std::vector<std::string> names = splitList(note ? note->args : nullptr);
  const size_t arity = e.args.size();
  if (note && names.size() < arity) {
    problem(std::to_string(names.size()) + " argument names for " + std::to_string(arity) + " arguments");
  }
  if (names.size() > arity && !e.takesState) {
    problem(std::to_string(names.size()) + " argument names for " + std::to_string(arity) + " arguments");
  }
  for (size_t i = 0; i < std::max(arity, names.size()); ++i) {
    ArgDoc a = i < names.size() ? parseArg(names[i]) : ArgDoc{};
    for (const std::string& w : unknownKinds(a.kind, model)) problem("argument " + a.name + ": no kind \"" + w + "\"");
    if (i < arity) {
      const qxbind::KindDesc& k = e.args[i];
      if (known(k)) {
        if (!a.kind.empty() && a.kind != kindText(k, model))
          problem("argument " + a.name + " is " + kindText(k, model));
        if (a.optional) problem("argument " + a.name + " is read by the glue: a missing one is never tested");
        a.kind = kindText(k, model);
      } else if (a.kind.empty()) {
        problem("argument " + std::to_string(i + 1) + " needs a declared kind");
        a.kind = "?";
      }
    } else if (a.kind.empty()) {
      problem("argument " + a.name + " is read by the method itself and needs a declared kind");
      a.kind = "?";
    }
    d.args.push_back(a);
  }

  const bool declared = note && note->results;
  if (declared) {
    for (const std::string& w : unknownKinds(note->results, model)) problem("no kind \"" + w + "\"");
  }
  switch (e.result) {
    case EntryDesc::Result::self:
      d.results = "self";
      if (declared) problem("the signature already gives its result (self)");
      break;
    case EntryDesc::Result::declared:
      d.results = declared ? note->results : "?";
      if (!declared) problem("its results need declaring");
      break;
    case EntryDesc::Result::values: {
      bool allKnown = true;
      for (const qxbind::KindDesc& k : e.results) allKnown = allKnown && known(k);
      if (declared && allKnown) problem("the signature already gives its results");
      if (!allKnown && !declared) problem("its results need declaring");
      d.results = declared ? note->results : e.results.empty() ? "nothing" : kindsText(e.results, model);
      break;
    }
  }
  return d;
}

std::vector<FunctionApi> qxFunctions(std::vector<std::string>& problems) {
  installScriptStateSetup();  // the functions other floors add
  std::vector<FunctionApi> out;
  for (const auto& [name, doc] : qxFunctionDocs()) {
    FunctionApi f;
    f.name = name;
    for (const std::string& token : splitList(doc.args)) {
      f.args.push_back(parseArg(token));
      if (f.args.back().kind.empty()) problems.push_back("QX." + name + ": argument " + token + " has no kind");
      for (const std::string& w : unknownKinds(f.args.back().kind, {}))
        problems.push_back("QX." + name + ": no kind \"" + w + "\"");
    }
    f.results = doc.results ? doc.results : "";
    if (f.results.empty()) problems.push_back("QX." + name + ": no results declared");
    for (const std::string& w : unknownKinds(f.results, {}))
      problems.push_back("QX." + name + ": no kind \"" + w + "\"");
    f.text = doc.text ? doc.text : "";
    out.push_back(std::move(f));
  }
  return out;
}

std::vector<std::string> noteProblems(const std::vector<StepApi>& model) {
  std::vector<std::string> problems;
  qxFunctions(problems);
  std::set<std::string> seen;
  for (const StepApi& s : model) {
    for (const ClassApi& c : s.classes) {
      if (!seen.insert(c.name).second) continue;  // a base bound again
      std::set<std::string> entries;
      for (const EntryDesc& e : c.entries) {
        entries.insert(e.name);
        documentEntry(c, e, model, problems);
        // A script author calls by position: every argument gets its name.
        if (!e.field && !e.args.empty() && !noteOf(c, e.name)) {
          problems.push_back(c.name + "." + e.name + ": its arguments need names");
        }
      }
      if (!c.entries.empty() && !(c.notes && c.notes->text)) {
        problems.push_back(c.name + ": a line on the class is missing");
      }
      if (!c.notes) continue;
      std::set<std::string> noted;
      for (const qxbind::MethodNote& m : c.notes->methods) {
        const std::string name = m.name ? m.name : "";
        if (!entries.count(name)) problems.push_back(c.name + "." + name + ": a note for no entry");
        if (!noted.insert(name).second) problems.push_back(c.name + "." + name + ": two notes");
      }
    }
  }
  return problems;
}

}  // namespace scriptapi
