#include "scene/collision/col_bind.h"

#include "scene/collision/col_mgr.h"

namespace {

const qxbind::ClassNotes kColMgrNotes = {
    "The collision manager: makes collision units and tests them against each other (docs/writing-scripts.md, "
    "Collision).",
    {
        {"create", "flag", nullptr,
         "An empty unit (it never hits until `set_source`, with code 0 it never does), and true; flag is not read."},
        {"newCUC", "flags, owner, id, code", nullptr,
         "A unit of the unit code from `cuid`. flags: bit 0 keeps a transformed copy that `refresh` applies \"_tf\" "
         "and \"_chglist\" to, bit 1 applies \"_addlist\" and \"_remlist\" on `refresh`; either bit keeps the "
         "source table. owner: the game object told of hits (or nil), id: the script's own number."},
        {"cuid", "is3D, table shapes", nullptr,
         "The unit code of a description: the shape kinds of the root, then a table for the level below, e.g. "
         "{3, {1}}: a circle over rectangles. 2D kinds 0 none, 1 rectangle, 2 line, 3 circle, 4 point; 3D kinds 1 "
         "sphere, 2 line, 3 capsule, 4 cylinder, 5 triangle. At most 7 shapes."},
        {"collision", "a, b, policyA, policyB, tag, time", "table or number or boolean",
         "Tests unit or pipe a against unit or pipe b, refreshing each unit with time first. With policyA 0: "
         "policyB 2 gives whether anything hit, 1 the number of hits, 0 the two hit paths {pathA, pathB}; "
         "policyA 1, 2 or 3 also tell the owners (\"CUC_NOTIFY\", \"CUC_NOTIFY_TOP\", \"CUC_NOTIFY_LOW\"); "
         "policies 9 and 10 on both sides collect positions or paths into a table."},
        {"collision_scp", "pipe, policyA, policyB, tag, time", "table or number or boolean",
         "`collision` for every pair of units within the pipe."},
        {"collision_pair", "a, b, policyA, policyB, tag, time", "table or number or boolean",
         "`collision` for the units at equal positions of pipes a and b."},
    }};

void registerColMgr(qxbind::ClassTable& t) {
  t.notes(kColMgrNotes);
  t.method<&ColMgr::scriptCreate>("create")
      .method<&ColMgr::newCUC>("newCUC")
      .method<&ColMgr::cuid>("cuid")
      .method<&ColMgr::collision>("collision")
      .method<&ColMgr::collision_scp>("collision_scp")
      .method<&ColMgr::collision_pair>("collision_pair");
}

const qxbind::ClassNotes kTopCUCNotes = {
    "A collision unit: the shapes of a tree of script tables (its source), owned by a game object.",
    {
        {"set_source", "table tree", nullptr,
         "Builds the unit from the tree: a node holds its children at 1..n, a leaf is a shape of COL.lua "
         "(docs/data-files.md). The table gets the node methods of COL.CUC."},
        {"get_source", "", "table", "The source tree when flags bit 0 or 1 is set; otherwise a new empty table."},
        {"refresh", "time", nullptr,
         "Applies the tree's change lists and transforms (by the unit's flags) when time is greater than the last "
         "refresh's; every test refreshes with its own time first."},
        {"getcif", "table path", "table or nil",
         "A new shape object for the shape a hit path leads to (0-based child indices, one per level below the "
         "root; {} for a one-level unit), as the unit holds it (transformed)."},
        {"get_gobj", "", nullptr, "The owning game object (nil for none)."},
        {"get_id", "", nullptr, "The id given to `newCUC`."},
    }};

void registerTopCUC(qxbind::ClassTable& t) {
  t.notes(kTopCUCNotes);
  t.method<&TopCUC::set_source>("set_source")
      .method<&TopCUC::get_source>("get_source")
      .method<&TopCUC::refresh>("refresh")
      .method<&TopCUC::getcif>("getcif")
      .method<&TopCUC::get_gobj>("get_gobj")
      .method<&TopCUC::get_id>("get_id");
}

const qxbind::ClassNotes kColPipeMgrNotes = {
    "The collision pipe manager: makes pipes, ordered lists of collision units.",
    {
        {"create", "flag", nullptr, "An empty pipe, and true; flag is not read."},
    }};

void registerColPipeMgr(qxbind::ClassTable& t) {
  t.notes(kColPipeMgrNotes);
  t.method<&ColPipeMgr::scriptCreate>("create");
}

const qxbind::ClassNotes kColPipeNotes = {"An ordered list of collision units, tested together.",
                                          {
                                              {"add", "unit", nullptr, "Appends the unit (twice is allowed)."},
                                              {"has", "unit"},
                                              {"remove", "unit", nullptr, "Removes its first place."},
                                              {"get", "index", nullptr, "The unit at index, counted from 0."},
                                              {"size", ""},
                                          }};

void registerColPipe(qxbind::ClassTable& t) {
  t.notes(kColPipeNotes);
  t.method<&ColPipe::add>("add")
      .method<&ColPipe::has>("has")
      .method<&ColPipe::remove>("remove")
      .method<&ColPipe::get>("get")
      .method<&ColPipe::size>("size");
}

}  // namespace

qxbind::ClassBinding colBinding() {
  return qxbind::managerBinding<ColMgr>("ColMgr", &registerColMgr, "TopCUC", &registerTopCUC);
}

qxbind::ClassBinding colPipeBinding() {
  return qxbind::managerBinding<ColPipeMgr>("ColPipeMgr", &registerColPipeMgr, "ColPipe", &registerColPipe);
}
