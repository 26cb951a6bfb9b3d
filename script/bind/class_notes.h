// What a script author needs beyond a binding's C++ signatures, written beside the
// registration it describes: a line on the class, argument names, and the kinds the
// glue cannot read off a type (a raw stack slot, a script value, arguments or results a
// method reads or pushes through the Lua state itself).
//
//   const qxbind::ClassNotes kCamNotes = {"A camera: where the scene is seen from.", {
//       {"set_pos", "pos"},
//       {"set_aim", "target, up"},
//       {"getRay", "number x, number y", "vec3 origin, vec3 dir", "The ray under a screen point."},
//   }};
//   void registerCamData(qxbind::ClassTable& t) {
//     t.notes(kCamNotes).method<&CamData::set_pos>("set_pos") ...
//
// args: the arguments' names in order, separated by ", ". "kind name" declares the kind
// of a slot the signature cannot name, and of every argument a method reads itself past
// its typed ones; a trailing "?" marks an argument the method tests for absence.
// results: null to take them from the signature, else "self", "nothing" or kinds in
// order ("number, number", "CamData or nil").
// made: how scripts get an object of the class, when the generator's own sentence (from
// the class's kind and its makers) would not say it.
// The generator checks each note against the registration: a note for no entry, a count
// of names other than the signature's arity, or a kind left unknown is an error.
#pragma once
#include <vector>

namespace qxbind {

struct MethodNote {
  const char* name;
  const char* args = "";
  const char* results = nullptr;
  const char* text = nullptr;
};

struct ClassNotes {
  const char* text = nullptr;
  std::vector<MethodNote> methods;
  const char* made = nullptr;
};

}  // namespace qxbind
