#include "scene/collision/col_bind.h"

#include "scene/collision/col_mgr.h"

namespace {

const qxbind::ClassNotes kColMgrNotes = {
    "The collision manager: makes collision units and runs the collision queries.",
    {
        {"create", "flag", nullptr, "A new unit, and whether it was made."},
        {"newCUC", "flags, owner, id, code", nullptr,
         "A new unit owned by the game object, with a unit code from cuid."},
        {"cuid", "is3D, table shapes", nullptr, "The unit code of a shape description (at most 7 shapes)."},
        {"collision", "a, b, policyA, policyB, tag, time", "table or number or boolean",
         "Tests unit or pipe a against b; the result depends on the policy codes (hit paths, a count or whether any "
         "hit)."},
        {"collision_scp", "pipe, policyA, policyB, tag, time", "table or number or boolean",
         "Tests the units of one pipe against each other."},
        {"collision_pair", "a, b, policyA, policyB, tag, time", "table or number or boolean",
         "Tests the pipes a and b pairwise, unit by unit."},
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
    "A collision unit: a tree of shapes built from a script table, owned by a game object.",
    {
        {"set_source", "table tree", nullptr, "The shape tree the unit is built from."},
        {"get_source", "", "table", "The kept source tree (an empty table when the unit keeps none)."},
        {"refresh", "time", nullptr, "Rebuilds from the source when time is past the last build."},
        {"getcif", "table path", "table or nil", "The source node the hit path leads to."},
        {"get_gobj", "", nullptr, "The owning game object."},
        {"get_id", ""},
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
        {"create", "flag", nullptr, "A new pipe, and whether it was made."},
    }};

void registerColPipeMgr(qxbind::ClassTable& t) {
  t.notes(kColPipeMgrNotes);
  t.method<&ColPipeMgr::scriptCreate>("create");
}

const qxbind::ClassNotes kColPipeNotes = {"An ordered list of collision units, tested together.",
                                          {
                                              {"add", "unit"},
                                              {"has", "unit"},
                                              {"remove", "unit"},
                                              {"get", "index"},
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
