// What the script API reference says, as data: every bound class in bind order with its
// entries in registration order, their kinds read off the glue's C++ signatures, and the
// "QX" functions with their declared kinds. The generator writes the document from it;
// the start-up test compares it with what the program really binds.
#pragma once
#include <string>
#include <vector>

#include "script/bind/class_binding.h"
#include "script/bind/class_notes.h"
#include "script/bind/glue_signature.h"

namespace scriptapi {

struct ClassApi {
  std::string name;
  std::string role;      // "engine object", "manager", "resource", ...
  std::string made;      // how scripts get an object of the class
  bool pointer = false;  // entries live in fvt_ptr (the class's one engine object)
  int managerId = -1;    // a manager and its resource class: the manager's id
  const void* key = nullptr;
  std::vector<qxbind::EntryDesc> entries;
  const qxbind::ClassNotes* notes = nullptr;
};

// One argument or result as the document gives it.
struct ArgDoc {
  std::string kind;
  std::string name;
  bool optional = false;
};

// An entry with its signature and its note put together.
struct EntryDoc {
  std::vector<ArgDoc> args;
  std::string results;  // "self", "nothing", "number, string", ...
  std::string text;
};

struct StepApi {
  int number = 0;
  std::string className;
  bool provided = false;
  std::vector<ClassApi> classes;  // first class, then its resource or base class
};

// The manager id of a manager class as scripts know it ("sound", "TextureMgr"), or -1.
int managerIdOf(const std::string& managerClass);

// One class as its registration describes it (role and made left to the caller).
ClassApi describeClass(const qxbind::ClassSpec& spec, bool pointer);

// Every step of the bind order, as the program provides it.
std::vector<StepApi> apiModel();

// "number", "vec3", a class name for a handle whose class is bound, ... ("?" when the
// kind is not known from the signature).
std::string kindText(const qxbind::KindDesc& k, const std::vector<StepApi>& model);

// The entry as documented; a mismatch between the note and the signature is added to
// problems ("Class.method: why").
EntryDoc documentEntry(const ClassApi& c, const qxbind::EntryDesc& e, const std::vector<StepApi>& model,
                       std::vector<std::string>& problems);

// A "QX" function as declared beside its registration.
struct FunctionApi {
  std::string name;
  std::vector<ArgDoc> args;
  std::string results;
  std::string text;
};

// Every "QX" function a main state gets, in registration order; a declaration that
// names an argument without a kind is added to problems.
std::vector<FunctionApi> qxFunctions(std::vector<std::string>& problems);

// Every mismatch between the notes and the registrations (empty when the notes hold).
std::vector<std::string> noteProblems(const std::vector<StepApi>& model);

// The whole document.
std::string document();

}  // namespace scriptapi
