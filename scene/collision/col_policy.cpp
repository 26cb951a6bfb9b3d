#include "scene/collision/col_policy.h"

#include <string>
#include <utility>

#include "scene/collision/top_cuc.h"
#include "script/bind/glue_types.h"
#include "script/gobj/gobj_msg.h"
#include "script/lua/handler_call.h"
#include "script/lua/script_report.h"
#include "script/lua/stack_readers.h"

namespace col {

void pushPath(lua_State* L, const ColPath& path) {
  const int depth = path.depth < ColPath::kMaxDepth ? path.depth : ColPath::kMaxDepth;
  lua_createtable(L, depth, 0);
  for (int i = 0; i < depth; ++i) {
    lua_pushnumber(L, path.index[i]);
    lua_rawseti(L, -2, i + 1);
  }
}

namespace {

// Calls recvmsg of the game object owner with the message name and the arguments push
// adds (it gives their count); keeps `results` results on the stack, or gives false
// (nothing left) when there is no handler or it failed.
template <class Push>
bool sendNow(lua_State* L, uint32_t owner, const char* name, int results, Push&& push) {
  if (!owner || !lua_checkstack(L, 12)) return false;
  const int top = lua_gettop(L);
  const int n = GobjMsgHead(owner, name).pushRecvmsg(L);
  if (n == 0) return false;
  const int args = n + push();
  if (handlerPcall(L, args, results, name) != 0) {
    const char* err = lua_tostring(L, -1);
    scriptDebugLog(std::string(name) + " handler failed: " + (err ? err : "(error object)"));
    lua_settop(L, top);
    return false;
  }
  return true;
}

class ColP_NC : public IFColP {
 public:
  ColP_NC(lua_State* L, int a, int b, int c) : L_(L), b_(b), a_(a), c_(c) {}

  bool countsPairTurns() const override { return false; }

  PairResult onPair(uint32_t unitA, uint32_t unitB, const ColPath& pathA, const ColPath& pathB) override {
    return pair(unitA, unitB, pathA, pathB, false);
  }

  void onTurn(bool flag) override {
    if (!flag || (a_ != 2 && a_ != 3) || lastUnitA_ == 0) return;
    // A turn without hits has nobody to report.
    if (!owners_.empty()) {
      const uint32_t target = unitOwner(lastUnitA_);
      sendNow(L_, target, a_ == 2 ? "CUC_NOTIFY_TOP" : "CUC_NOTIFY_LOW", 0, [this] {
        lua_pushnumber(L_, c_);
        lua_createtable(L_, static_cast<int>(owners_.size()), 0);
        for (size_t i = 0; i < owners_.size(); ++i) {
          qxbind::pushObject(L_, owners_[i]);
          lua_rawseti(L_, -2, static_cast<int>(i + 1));
        }
        if (a_ == 2) return 2;
        for (int side = 0; side < 2; ++side) {
          lua_createtable(L_, static_cast<int>(paths_.size()), 0);
          for (size_t i = 0; i < paths_.size(); ++i) {
            pushPath(L_, side == 0 ? paths_[i].first : paths_[i].second);
            lua_rawseti(L_, -2, static_cast<int>(i + 1));
          }
        }
        return 4;
      });
    }
    owners_.clear();
    paths_.clear();
  }

  void finish(lua_State* L) override {
    if (b_ == 0) {
      lua_createtable(L, 2, 0);
      pushPath(L, lastA_);
      lua_rawseti(L, -2, 1);
      pushPath(L, lastB_);
      lua_rawseti(L, -2, 2);
    } else if (b_ == 1) {
      lua_pushnumber(L, hits_);
    } else {
      lua_pushboolean(L, hitFlag_);
    }
  }

 private:
  struct Answer {
    int choice = 1;
    bool flag = false;
  };

  Answer notify(uint32_t unit, uint32_t other, bool first, const ColPath& own, const ColPath& otherPath) {
    Answer answer;
    if (sendNow(L_, unitOwner(unit), "CUC_NOTIFY", 2, [&] {
          qxbind::pushObject(L_, other);
          lua_pushboolean(L_, first);
          lua_pushnumber(L_, c_);
          pushPath(L_, own);
          pushPath(L_, otherPath);
          return 5;
        })) {
      answer.choice = static_cast<int32_t>(numberToU32(lua_tonumber(L_, -2)));
      answer.flag = lua_toboolean(L_, -1) != 0;
      lua_pop(L_, 2);
    }
    return answer;
  }

  PairResult pair(uint32_t unitA, uint32_t unitB, const ColPath& pathA, const ColPath& pathB, bool swapped) {
    PairResult r{true, true};
    lastUnitA_ = unitA;
    if (a_ == 1) {
      const Answer first = notify(unitA, unitB, true, pathA, pathB);
      if (first.choice == 0) {
        const Answer second = notify(unitB, unitA, false, pathB, pathA);
        r = {true, first.flag && second.flag};
      } else if (first.choice == 1 || swapped) {
        r = {true, first.flag};
      } else {
        // The owners trade places once; a second odd choice counts as 1.
        return pair(unitB, unitA, pathB, pathA, true);
      }
    } else if (a_ == 2 || a_ == 3) {
      owners_.push_back(unitOwner(unitB));
      if (a_ == 3) paths_.emplace_back(pathA, pathB);
      r.stop = false;
    }
    if (b_ == 0) {
      lastA_ = pathA;
      lastB_ = pathB;
      r = {true, true};
    } else if (b_ == 1) {
      ++hits_;
      r = {false, false};
    } else {
      hitFlag_ = true;
    }
    return r;
  }

  lua_State* L_;
  ColPath lastA_, lastB_;
  int32_t hits_ = 0;
  bool hitFlag_ = false;
  int b_, a_, c_;
  uint32_t lastUnitA_ = 0;
  std::vector<uint32_t> owners_;
  std::vector<std::pair<ColPath, ColPath>> paths_;
};

class ColPA_TopS : public ColPAux {
 public:
  void nextTurn(bool flag) override {
    if (flag) ++turn_;
  }
  bool add(const ColPath&) override {
    if (list_.empty() || list_.back() != turn_) list_.push_back(turn_);
    return true;
  }
  void flush(lua_State* L, int table, int key, int step) override {
    for (int32_t v : list_) {
      lua_pushnumber(L, v);
      lua_rawseti(L, table, key);
      key += step;
    }
  }
  bool isNone() const override { return false; }

 private:
  int32_t turn_ = 1;
  std::vector<int32_t> list_;
};

class ColPA_TopV : public ColPAux {
 public:
  explicit ColPA_TopV(bool startFromTurn) : start_(startFromTurn), counter_(startFromTurn ? 2 : 1) {}
  void nextTurn(bool flag) override {
    if (flag) {
      ++counter_;
      return;
    }
    if (start_) {
      counter_ = ++base_;
    } else {
      counter_ = 1;
    }
    if (!lists_.back().empty()) lists_.emplace_back();
  }
  bool add(const ColPath&) override {
    lists_.back().push_back(counter_);
    return true;
  }
  void flush(lua_State* L, int table, int key, int step) override {
    for (const auto& list : lists_) {
      lua_createtable(L, static_cast<int>(list.size()), 0);
      for (size_t i = 0; i < list.size(); ++i) {
        lua_pushnumber(L, list[i]);
        lua_rawseti(L, -2, static_cast<int>(i + 1));
      }
      lua_rawseti(L, table, key);
      key += step;
    }
  }
  bool isNone() const override { return false; }

 private:
  bool start_;
  int32_t counter_;
  int32_t base_ = 2;
  std::vector<std::vector<int32_t>> lists_ = std::vector<std::vector<int32_t>>(1);
};

class ColPA_LowS : public ColPAux {
 public:
  bool add(const ColPath& path) override {
    paths_.push_back(path);
    return false;
  }
  void flush(lua_State* L, int table, int key, int step) override {
    for (const ColPath& p : paths_) {
      pushPath(L, p);
      lua_rawseti(L, table, key);
      key += step;
    }
  }
  bool isNone() const override { return false; }

 private:
  std::vector<ColPath> paths_;
};

class ColPA_LowV : public ColPAux {
 public:
  void nextTurn(bool flag) override {
    if (flag && !lists_.back().empty()) lists_.emplace_back();
  }
  bool add(const ColPath& path) override {
    lists_.back().push_back(path);
    return false;
  }
  void flush(lua_State* L, int table, int key, int step) override {
    for (const auto& list : lists_) {
      lua_createtable(L, static_cast<int>(list.size()), 0);
      for (size_t i = 0; i < list.size(); ++i) {
        pushPath(L, list[i]);
        lua_rawseti(L, -2, static_cast<int>(i + 1));
      }
      lua_rawseti(L, table, key);
      key += step;
    }
  }
  bool isNone() const override { return false; }

 private:
  std::vector<std::vector<ColPath>> lists_ = std::vector<std::vector<ColPath>>(1);
};

class ColP_C : public IFColP {
 public:
  ColP_C(int mode, int c, std::unique_ptr<ColPAux> a, std::unique_ptr<ColPAux> b)
      : mode_(mode), c_(c), a_(std::move(a)), b_(std::move(b)) {}

  PairResult onPair(uint32_t, uint32_t, const ColPath& pathA, const ColPath& pathB) override {
    const bool moreA = a_->add(pathA);
    const bool moreB = b_->add(pathB);
    return {!moreA && !moreB, false};
  }
  void onTurn(bool flag) override {
    a_->nextTurn(flag);
    b_->nextTurn(!flag);
  }
  void finish(lua_State* L) override {
    lua_newtable(L);
    const int table = lua_gettop(L);
    const int step = !a_->isNone() && !b_->isNone() ? 2 : 1;
    int key = 1;
    for (ColPAux* side : {a_.get(), b_.get()}) {
      if (side->isNone()) continue;
      side->flush(L, table, key, step);
      ++key;
    }
  }

 private:
  int mode_;
  int c_;
  std::unique_ptr<ColPAux> a_, b_;
};

std::unique_ptr<ColPAux> collector(int code, bool perTurn) {
  if (code == 9) return perTurn ? std::unique_ptr<ColPAux>(new ColPA_TopV(false)) : std::make_unique<ColPA_TopS>();
  if (code == 10) return perTurn ? std::unique_ptr<ColPAux>(new ColPA_LowV) : std::make_unique<ColPA_LowS>();
  return std::make_unique<ColPAux>();
}

}  // namespace

std::unique_ptr<IFColP> makePolicy(lua_State* L, QueryKind kind, int mode, int a, int b, int c) {
  if (a < 3 || b < 3) return std::make_unique<ColP_NC>(L, a, b, c);
  std::unique_ptr<ColPAux> sideA, sideB;
  if (kind == QueryKind::scp) {
    if (a == 9) {
      sideA = std::make_unique<ColPA_TopS>();
      sideB = std::make_unique<ColPA_TopV>(true);
    } else {
      sideA = std::make_unique<ColPA_LowS>();
      sideB = std::make_unique<ColPA_LowV>();
    }
  } else {
    sideA = collector(a, (mode & 1) != 0 && mode != 3);
    sideB = collector(b, (mode & 2) != 0);
  }
  return std::make_unique<ColP_C>(mode, c, std::move(sideA), std::move(sideB));
}

}  // namespace col
