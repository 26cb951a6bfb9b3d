// GobjMgr: owns the game objects and the queue of messages addressed to them.
//
// Any thread may post a message (a name and up to three script values) to a game object:
//
//   LuaVar body;  body.field("text") = LuaVar("hello");
//   GobjMgr::instance()->postMsg1(target, "rest_home_tl", std::move(body));
//
// The main thread delivers the whole queue once per frame, after the update steps:
//
//   GobjMgr::instance()->deliverMsgs();
//
// Each message becomes one call recvmsg(self, 0, name, values...) of the script object
// that the global "ref_gobj" gives for the game object, in the Lua state that created
// the object. Objects are served in ascending handle order, each object's messages in
// posting order. The queue is taken out under its lock and delivered without it, so a
// thread posting meanwhile never waits for a script; whatever is posted during delivery
// (handlers included) arrives on the next delivery.
//
// When the last reference to a game object goes, the global "delete_gobj" is called once
// with its weak handle (not while its state is closing) and the handle joins the current
// lost-handle list.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "runtime/core/synclo.h"
#include "runtime/res/resource_mgr.h"
#include "script/gobj/gobj.h"
#include "script/gobj/gobj_msg.h"

class GobjMgr;
using GobjHdl = kesto::Handle<GobjMgr, Gobj>;

class GobjMgr : public kesto::ResourceMgrNoName<GobjMgr, Gobj> {
 public:
  GobjMgr() = default;
  ~GobjMgr() override;

  const char* dataTypeName() const override { return "Gobj"; }

  // How many game objects live at once.
  static constexpr uint32_t kMaxGobjs = 4096;

  // A new game object with one reference for the caller, bound to the script state that
  // is current on the calling thread; null when the table is full (logged once).
  GobjHdl newGobj(int32_t upriority);
  // A counted copy when the value names a live game object, else null.
  GobjHdl copyIfValid(uint32_t handle) { return GobjHdl::fromValue(handle); }

  // Queue a message; the values are taken over. Any thread.
  void postMsg0(uint32_t target, const char* name);
  void postMsg1(uint32_t target, const char* name, LuaVar v1);
  void postMsg2(uint32_t target, const char* name, LuaVar v1, LuaVar v2);
  void postMsg3(uint32_t target, const char* name, LuaVar v1, LuaVar v2, LuaVar v3);
  // The same for count (0..4) values, taken over from values (left nil).
  void postMsg(uint32_t target, const char* name, LuaVar* values, uint32_t count);

  // Any thread: work for the main thread (a script callback, say), run at the next
  // delivery of every object's messages, before them, in posting order.
  void postTask(std::function<void()> task);

  // Main thread only: deliver the queued messages of one object, or of every object
  // when target is 0 (the posted tasks first).
  void deliverMsgs(uint32_t target = 0);
  // Messages waiting in the queue.
  size_t queuedCount();

  // Makes the other lost-handle list current and clears it.
  void flipLostList();
  // The list that is not current: the game objects that died before the last flip.
  void copyLostList(std::vector<uint32_t>& out);

  // Pushes what scripts see of a game object: the script's own object when "ref_gobj"
  // knows the handle, else a strong-handle userdata. False (nil pushed) when the handle
  // names nothing or "ref_gobj" raised.
  bool pushHdl(lua_State* L, uint32_t handle, uint32_t word);
  bool pushStrong(lua_State* L, uint32_t handle, uint32_t word) override { return pushHdl(L, handle, word); }

  // The release of the last reference first tells the script (see above); the decision
  // is made under the manager lock, so concurrent releases tell it exactly once.
  bool release(uint32_t handle) override;

 private:
  using Queue = std::map<uint32_t, std::vector<GobjMsg>>;

  GobjMsg& appendLocked(uint32_t target, const char* name);
  void deliverOne(GobjMsg& msg);
  void hearDeath(uint32_t handle, uint32_t state);
  // Pushes the weak-handle userdata; false (nothing pushed) when it could not be made.
  bool pushWeakOne(lua_State* L, uint32_t handle);

  kesto::Synclo msgLock_;
  Queue queue_;
  std::vector<std::function<void()>> tasks_;

  kesto::Synclo lostLock_;
  std::vector<uint32_t> lost_[2];
  uint32_t lostIndex_ = 0;

  std::atomic<bool> fullReported_{false};
};
