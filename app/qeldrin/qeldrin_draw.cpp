// Draw lists: technique selection, queueing, flushing and the drawing of sorted runs.
#include "app/qeldrin/item_lock.h"
#include "app/qeldrin/qeldrin.h"
#include "platform/core/utf.h"
#include "render/device/device_mgr.h"
#include "runtime/core/thread_ctx.h"
#include "runtime/mem/mem_mgr.h"
#include "runtime/res/hdl_lock.h"
#include "script/lua/script_report.h"
#include "script/lua/stack_readers.h"

namespace {

using FxLock = kesto::HdlLock<EffectMgr::FxHandle>;

uint32_t loadTexture(std::string_view name) {
  TextureMgr* textures = TextureMgr::instance();
  return textures ? textures->load(qcore::utf8ToUtf16(name), 0, 0).detach() : 0;
}

// The handles of a Lua array, in order, in place of what out held.
void handlesOf(const qxbind::StackArg& list, std::vector<uint32_t>& out) {
  out.clear();
  lua_State* L = list.L;
  if (!lua_istable(L, list.index)) return;
  const size_t n = lua_objlen(L, list.index);
  out.reserve(n);
  for (size_t i = 1; i <= n; ++i) {
    lua_rawgeti(L, list.index, int(i));
    out.push_back(getHandleAt(L, lua_gettop(L)));
    lua_pop(L, 1);
  }
}

}  // namespace

const DrawList* Qeldrin::list(std::string_view name) const {
  auto it = lists_.find(name);
  return it == lists_.end() ? nullptr : &it->second;
}

bool Qeldrin::buildList(DrawList& list, std::string_view name) {
  FxLock fx(shader_);
  qxfx::IEffect* effect = fx ? fx->effect() : nullptr;
  const qxfx::FxHandle technique = effect ? effect->getTechniqueByName(name) : 0;
  if (!technique) return false;
  list.bindings = buildTechniqueBindings(*effect, technique, loadTexture);
  warnShortDefaults(list.bindings, name);
  list.table.clear();
  list.shader = shader_.value;
  list.reportedNoFormat = false;
  const int32_t f = list.bindings.vertexFormat;
  qxgfx::Device* d = DeviceMgr::currentDevice();
  if (f >= 0 && d) prepareVertexFormat(formats_[f], f, *d);
  setDefaults(list.table, list.bindings.technique, false);
  return true;
}

// Said once: a list is built again each time it is selected under another shader.
void Qeldrin::warnShortDefaults(const TechniqueBindings& bindings, std::string_view technique) {
  if (bindings.shortDefaults.empty()) return;
  EffectMgr* effects = EffectMgr::instance();
  const std::string effect = effects ? qcore::utf16ToUtf8(effects->nameOf(shader_.value)) : std::string();
  for (const ShortDefault& d : bindings.shortDefaults) {
    const std::string where = "effect \"" + effect + "\", technique \"" + std::string(technique) + "\"";
    if (!warnedDefaults_.insert(where + '\n' + d.binding + '\n' + d.parameter).second) continue;
    report("warning: " + where + ": the default of " + d.binding + " gives " + std::to_string(d.given) + " of the " +
           std::to_string(d.wanted) + " numbers of parameter \"" + d.parameter + "\"; the others are 0");
  }
}

bool Qeldrin::set_tech(std::string_view name) {
  if (name.size() > kMaxTechniqueName) {
    report("set_tech: technique names have at most 63 bytes");
    return false;
  }
  auto it = lists_.find(name);
  if (name == tech_ && it != lists_.end() && it->second.shader == shader_.value) return true;
  if (!shader_.value) {
    report("set_tech: no shader");
    return false;
  }
  if (it == lists_.end() || it->second.shader != shader_.value) {
    DrawList fresh;
    if (!buildList(fresh, name)) {
      report("set_tech: the shader has no technique \"" + std::string(name) + "\"");
      return false;
    }
    if (it == lists_.end()) {
      it = lists_.emplace(std::string(name), std::move(fresh)).first;
    } else {
      // Built under another shader: its parameter handles belong to that effect.
      fresh.chain = std::move(it->second.chain);
      fresh.entries = std::move(it->second.entries);
      fresh.sortSpace = std::move(it->second.sortSpace);
      it->second = std::move(fresh);
    }
  }
  tech_.assign(name);
  current_ = &it->second;
  pass_ = -2;
  return true;
}

bool Qeldrin::setSortChain(std::string_view name, std::span<const SortArg> args) {
  if (!set_tech(name)) return false;
  current_->chain = buildSortChain(args);
  return true;
}

void Qeldrin::set_dsort(std::string_view name, qxbind::StackArg list) {
  std::vector<SortArg> args;
  lua_State* L = list.L;
  if (lua_istable(L, list.index)) {
    const size_t n = lua_objlen(L, list.index);
    for (size_t i = 1; i <= n; ++i) {
      lua_rawgeti(L, list.index, int(i));
      SortArg a;
      if (lua_type(L, -1) == LUA_TNUMBER) {
        a.type = SortArg::Type::number;
        a.number = lua_tonumber(L, -1);
      } else if (lua_type(L, -1) == LUA_TBOOLEAN) {
        a.type = SortArg::Type::boolean;
        a.flag = lua_toboolean(L, -1) != 0;
      }
      lua_pop(L, 1);
      args.push_back(a);
    }
  }
  setSortChain(name, args);
}

void Qeldrin::flushList(const std::string& name, DrawList& list) {
  if (list.entries.empty() || drawing_) return;
  chainView_.clear();
  for (auto& a : list.chain) chainView_.push_back(a.get());
  drawing_ = true;
  drawSorted(name, list.entries, list.sortSpace, chainView_, *this);
  drawing_ = false;
  list.entries.clear();
}

void Qeldrin::flushAll() {
  for (auto& [name, list] : lists_) flushList(name, list);
}

void Qeldrin::flush_drawAll(bool) {
  applyState();
  flushAll();
}

void Qeldrin::flush_draw(std::string_view name) {
  if (name.empty()) name = tech_;
  if (name.empty()) return;
  flush_drawAll(true);
}

// ---- queueing

void Qeldrin::addEntry(const DrawEntry& entry) {
  if (current_ && !drawing_) current_->entries.push_back(entry);
}

void Qeldrin::queueObject(uint32_t handle, std::string_view tag) {
  ItemLock item(handle);
  if (!item) return;
  DrawCallArgs args;
  const std::string text(tag);
  item->callTypeFn4(&args, const_cast<char*>(text.c_str()), static_cast<IDTagQ*>(this));
}

// Objects sort by their distance from the camera the list will be drawn with: the
// camera as it is now, not as the last binding saw it.
void Qeldrin::draw_single(qxbind::ObjectRef object, std::string_view tag) {
  if (!current_) return;
  ProfScope scope("dtag");
  bindEffectParams();
  takeCameraView();
  queueObject(object.handle, tag);
}

void Qeldrin::draw_multi(qxbind::StackArg list, std::string_view tag) {
  if (!current_) return;
  ProfScope scope("dtagM");
  takeCameraView();
  // The kept storage is taken for the walk: a callback that queues a list of its own
  // finds none and makes its own, and this call's handles stay as they were read.
  std::vector<uint32_t> handles = std::move(multiHandles_);
  handlesOf(list, handles);
  for (uint32_t h : handles) queueObject(h, tag);
  multiHandles_ = std::move(handles);
}

void Qeldrin::draw_drawer(qxbind::StackArg list, std::string_view tag) {
  if (!current_) return;
  std::vector<uint32_t> previous, named, drawers;
  if (MemMgrMulti* mem = MemMgrMulti::instance()) mem->copyFrameItems(previous);
  handlesOf(list, drawers);
  for (uint32_t h : drawers) {
    ItemLock item(h);
    if (item) item->callTypeFn9(this, &previous, &named);
  }
  ProfScope scope("dtagM");
  takeCameraView();
  for (uint32_t h : named) queueObject(h, tag);
}

// ---- drawing a sorted list

int32_t Qeldrin::select(std::string_view listName, std::span<DrawEntry>) {
  if (!set_tech(listName)) return 0;
  const int32_t f = current_->bindings.vertexFormat;
  if (f < 0 || !formats_[f].decl) {
    if (!current_->reportedNoFormat) {
      current_->reportedNoFormat = true;
      report("technique \"" + tech_ + "\" names no known vertex format (SYS_VType); its list is not drawn");
    }
    return 0;
  }
  targetDirty_ |= 1;  // brings "SCREENSIZE" from render target 0 into this list
  current_->table.resend();
  streamDirty_ |= 0xFFFF;
  cameraRebind_ = true;
  worldDirty_ = 0xFFFFFFFFu;
  FxLock fx(shader_);
  if (!fx) return 0;
  fx->set_tech(tech_);
  if (qxgfx::Device* d = DeviceMgr::currentDevice()) d->setVertexDeclaration(formats_[f].decl.get());
  pass_ = -1;
  return int32_t(fx->begin());
}

void Qeldrin::beginTraversal(int32_t index) {
  if (!current_) return;
  applyState();  // targets, streams and what the pass before left pending
  // This pass's defaults go out through this pass's bindings.
  if (size_t(index) < current_->bindings.passes.size()) {
    setDefaults(current_->table, current_->bindings.passes[size_t(index)], false);
  }
  bindShared(index, false);
  pass_ = index;
  FxLock fx(shader_);
  if (fx) fx->beginPass(index);
}

uint32_t Qeldrin::drawRun(DrawEntry* first, DrawEntry* end, uint32_t key) {
  // Each maximal run of one kind of entry gets its own mode.
  for (DrawEntry* b = first; b != end;) {
    const bool batched = b->key.isBatched();
    const uint32_t flag = b->key.streams[1];
    DrawEntry* e = b + 1;
    while (e != end && e->key.isBatched() == batched && (!batched || (e->key.streams[1] != 0) == (flag != 0))) ++e;
    if (!batched) {
      drawMode_ = 1;
      for (DrawEntry* it = b; it != e; ++it) {
        ProfScope scope("cbD");
        ItemLock item(it->item.value);
        if (!item) continue;
        resetObjectDefaults();
        DrawCallArgs args{it->passWord, 0xFFFFFFFFu};
        if (it->stateKey != key) {
          // What is queued was made under the old material: draw it before the new one.
          if (batcher_.queuedVertices()) batcher_.flush(*this);
          key = it->stateKey;
          item->callTypeFn3(&args, this);
        }
        item->callTypeFn2(&args, this);
      }
      // Own-buffer objects draw by themselves; anything they batched goes now.
      if (batcher_.queuedVertices()) batcher_.flush(*this);
    } else {
      drawMode_ = flag ? 3 : 2;
      for (DrawEntry* it = b; it != e;) {
        // Consecutive entries of one object share one lock of its item.
        DrawEntry* same = it + 1;
        while (same != e && same->item.value == it->item.value) ++same;
        ItemLock item(it->item.value);
        if (!item) {
          it = same;
          continue;
        }
        for (; it != same; ++it) {
          ProfScope scope("cbD_UP");
          DrawCallArgs args{it->passWord, flag ? 0u : 0xFFFFFFFFu};
          if (it->stateKey != key) {
            if (batcher_.queuedVertices()) batcher_.flush(*this);
            key = it->stateKey;
            resetObjectDefaults();
            item->callTypeFn3(&args, this);
            batcher_.markDirty();
          }
          key &= args.keepMask;
          resetWorld();
          item->callTypeFn2(&args, this);
        }
      }
      batcher_.flush(*this);
    }
    b = e;
  }
  drawMode_ = 0;
  return key;
}
