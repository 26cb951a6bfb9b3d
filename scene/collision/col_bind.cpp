#include "scene/collision/col_bind.h"

#include "scene/collision/col_mgr.h"

namespace {

void registerColMgr(qxbind::ClassTable& t) {
  t.method<&ColMgr::scriptCreate>("create")
      .method<&ColMgr::newCUC>("newCUC")
      .method<&ColMgr::cuid>("cuid")
      .method<&ColMgr::collision>("collision")
      .method<&ColMgr::collision_scp>("collision_scp")
      .method<&ColMgr::collision_pair>("collision_pair");
}

void registerTopCUC(qxbind::ClassTable& t) {
  t.method<&TopCUC::set_source>("set_source")
      .method<&TopCUC::get_source>("get_source")
      .method<&TopCUC::refresh>("refresh")
      .method<&TopCUC::getcif>("getcif")
      .method<&TopCUC::get_gobj>("get_gobj")
      .method<&TopCUC::get_id>("get_id");
}

void registerColPipeMgr(qxbind::ClassTable& t) { t.method<&ColPipeMgr::scriptCreate>("create"); }

void registerColPipe(qxbind::ClassTable& t) {
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
