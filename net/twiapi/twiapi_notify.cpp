#include "net/twiapi/twiapi_notify.h"

#include "net/twiapi/api_table.h"
#include "net/twiapi/twiapi.h"
#include "script/gobj/gobj_mgr.h"

ISockNotify::Readiness ITAPINotify::ready() {
  if (locked_) return Readiness::ready;
  MemMgrMulti* mgr = MemMgrMulti::ofValue(owner_);
  if (!mgr) return Readiness::gone;
  held_ = MemMgrMulti::HandleType::fromValue(owner_, false);
  if (held_.isNull()) return mgr->isValidHandle(owner_) ? Readiness::retry : Readiness::gone;
  kesto::SlotLockResult why;
  MemItem* item = mgr->tryLockSlot(owner_, true, why);
  if (!item) {
    held_ = MemMgrMulti::HandleType();
    return why == kesto::SlotLockResult::dead ? Readiness::gone : Readiness::retry;
  }
  if (!item->data() || std::string_view(item->className()) != "TwiAPI") {
    mgr->unlockSlot(owner_, true);
    held_ = MemMgrMulti::HandleType();
    return Readiness::gone;
  }
  locked_ = static_cast<TwiAPI*>(item->data());
  return Readiness::ready;
}

void ITAPINotify::unlock() {
  if (locked_) {
    if (MemMgrMulti* mgr = MemMgrMulti::ofValue(owner_)) mgr->unlockSlot(owner_, true);
    locked_ = nullptr;
  }
  held_ = MemMgrMulti::HandleType();
}

namespace {

void post(TwiAPI::Outcome& out) {
  if (!out.name) return;
  GobjMgr* gobjs = GobjMgr::instance();
  if (!gobjs) return;
  LuaVar id(out.values[1]);
  gobjs->postMsg(out.target, out.name, out.values, out.count);
  if (out.endsStream) gobjs->postMsg3(out.target, out.name, LuaVar("keep-alive"), id, LuaVar());
}

}  // namespace

bool ITAPINotify::deliver(uint32_t id, const void* user, const void* info, const char* data, uint32_t length) {
  if (!locked_ || !user) return true;
  TwiAPI::Outcome out;
  locked_->onResponse(id, *static_cast<const APIEndpoint*>(user), info, data, length, out);
  // Posting under the owner's lock would stall a recvmsg that calls the owner.
  unlock();
  post(out);
  return out.stop;
}

void ITAPINotify::failed(uint32_t id, const void* user, const SockFailure& why) {
  if (!locked_ || !user) return;
  TwiAPI::Outcome out;
  locked_->onFailure(id, *static_cast<const APIEndpoint*>(user), why, out);
  unlock();
  post(out);
}
