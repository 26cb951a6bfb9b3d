// Pending render state and its application, effect parameters, immediate draws.
#include <cstring>

#include "app/qeldrin/item_lock.h"
#include "app/qeldrin/qeldrin.h"
#include "render/device/device_mgr.h"
#include "runtime/mem/mem_mgr.h"
#include "runtime/res/hdl_lock.h"
#include "script/gobj/gobj_mgr.h"
#include "script/lua/script_report.h"
#include "script/lua/stack_readers.h"

namespace {

using TexLock = kesto::HdlLock<TextureMgr::TexHandle>;
using CamLock = kesto::HdlLock<CamMgr::CamHandle>;
using FxLock = kesto::HdlLock<EffectMgr::FxHandle>;

bool isIdentity(const Mat43& m) { return std::memcmp(m.m, Mat43().m, sizeof m.m) == 0; }

// A texture that can be drawn into: the wrapped back buffer, or a render-target texture
// (which the device makes only in formats it draws into).
bool renderable(const TexData& t) {
  qxgfx::Ref<qxgfx::Surface> s = t.getSurface();
  if (!s) return false;
  if (s->kind() == qxgfx::SurfaceKind::BackBuffer) return true;
  return s->kind() == qxgfx::SurfaceKind::TextureLevel && s->texture() && s->texture()->isRenderTarget();
}

}  // namespace

// ---- targets

void Qeldrin::setTarget(uint32_t index, uint32_t handle) {
  if (targets_[index].value == handle) return;
  flushAll();
  targets_[index].assign(handle);
  targetDirty_ |= 1u << index;
}

void Qeldrin::setDepth(uint32_t handle) {
  if (depth_.value == handle) return;
  flushAll();
  depth_.assign(handle);
  targetDirty_ |= kDepthBit;
}

TextureMgr::TexHandle Qeldrin::setTargetTex(int32_t index, qxbind::ObjectRef texture) {
  if (index < 0 || index > 3) return {};
  if (texture.handle) {
    TexLock t(texture.handle, TexLock::kShared);
    if (!t || !renderable(*t)) {
      scriptDebugLog("Qeldrin: setTargetTex: the texture cannot be drawn into");
      return {};
    }
  }
  TextureMgr::TexHandle previous = targets_[index];
  setTarget(uint32_t(index), texture.handle);
  return previous;
}

// ---- pending state

void Qeldrin::setWorldMatrix(const float m[12]) {
  std::memcpy(world_.m, m, sizeof world_.m);
  worldIdentity_ = isIdentity(world_);
  worldDirty_ = 0xFFFFFFFFu;
}

void Qeldrin::setStream(uint32_t index, qxgfx::VertexBuffer* buffer) {
  if (index >= 16) return;
  if (streams_[index].get() == buffer && offsets_[index] == 0) return;
  streams_[index] = qxgfx::Ref<qxgfx::VertexBuffer>(buffer);
  offsets_[index] = 0;
  streamDirty_ |= 1u << index;
}

void Qeldrin::setIndexBuffer(qxgfx::IndexBuffer* buffer) {
  if (indices_.get() == buffer) return;
  indices_ = qxgfx::Ref<qxgfx::IndexBuffer>(buffer);
  streamDirty_ |= kIndexBit;
}

void Qeldrin::setStream(uint32_t stream, uint32_t bufferId, uint32_t offsetBytes, uint32_t) {
  qxgfx::Device* d = DeviceMgr::currentDevice();
  if (stream >= 16) return;
  qxgfx::VertexBuffer* b = d && bufferId ? d->findVertexBuffer(bufferId) : nullptr;
  if (streams_[stream].get() == b && offsets_[stream] == offsetBytes) return;
  streams_[stream] = qxgfx::Ref<qxgfx::VertexBuffer>(b);
  offsets_[stream] = offsetBytes;
  streamDirty_ |= 1u << stream;
}

void Qeldrin::setIndices(uint32_t bufferId) {
  qxgfx::Device* d = DeviceMgr::currentDevice();
  setIndexBuffer(d && bufferId ? d->findIndexBuffer(bufferId) : nullptr);
}

uint32_t Qeldrin::vertexFormatKey() const {
  return current_ ? uint32_t(current_->bindings.vertexFormat) : 0xFFFFFFFFu;
}

const uint16_t* Qeldrin::streamStrides() const {
  static const uint16_t kNone[16] = {};
  if (!current_ || current_->bindings.vertexFormat < 0) return kNone;
  return formats_[current_->bindings.vertexFormat].strides;
}

void Qeldrin::applyState() {
  qxgfx::Device* d = DeviceMgr::currentDevice();
  if (!d) return;
  // Targets go to the device even without a current list: a clear must reach the
  // target that was set, whether or not a technique was selected first.
  TextureMgr* textures = TextureMgr::instance();
  if (targetDirty_ & kDepthBit) {
    targetDirty_ &= ~kDepthBit;
    const uint32_t h = depth_.value ? depth_.value : (textures ? textures->depthStencilTexture().value : 0);
    TexLock t(h, TexLock::kShared);
    qxgfx::Ref<qxgfx::Surface> s = t ? t->getSurface() : nullptr;
    d->setDepthStencilSurface(s ? s.get() : d->getDepthStencilSurface().get());
  }
  if (targetDirty_ & kTargetBits) {
    uint32_t bits = targetDirty_;
    for (uint32_t i = 0; i < 4; ++i, bits >>= 1) {
      if (!(bits & 1)) continue;
      uint32_t h = targets_[i].value;
      if (i == 0 && !h && textures) h = textures->backBufferTexture().value;
      TexLock t(h, TexLock::kShared);
      qxgfx::Ref<qxgfx::Surface> s = t ? t->getSurface() : nullptr;
      if (i == 0) {
        if (!s) s = d->getBackBuffer();
        d->setRenderTarget(0, s.get());
        const float size[2] = {s ? float(s->desc().width) : 0.0f, s ? float(s->desc().height) : 0.0f};
        // Without a list the size waits: every technique begin sets it again.
        if (current_) setParam("SCREENSIZE", ParamValue::ofVector(size, 2));
      } else {
        d->setRenderTarget(i, s.get());
      }
    }
    targetDirty_ &= ~kTargetBits;
  }
  if (!current_) return;
  if (streamDirty_ & kIndexBit) d->setIndices(indices_.get());
  uint32_t bits = streamDirty_ & 0xFFFF;
  streamDirty_ = 0;
  const uint16_t* strides = streamStrides();
  for (uint32_t i = 0; bits && i < 16; ++i, bits >>= 1) {
    if (bits & 1) d->setStreamSource(i, streams_[i].get(), offsets_[i], strides[i]);
  }
  bindEffectParams();
}

void Qeldrin::bindEffectParams() { bindShared(pass_, true); }

void Qeldrin::bindShared(int32_t lookupPass, bool mayCommit) {
  if (!current_) return;
  bool changed = false;
  if (worldDirty_) {
    worldDirty_ = 0;
    setParam("WORLD", ParamValue::ofMatrix43(world_.m));
    changed = true;
  }
  Mat44 viewProjection = boundViewProjection_;
  {
    CamLock cam(camera_);
    if (cam) {
      const Mat44& vp = cam->viewProjection();
      const Vec3 eye = cam->get_pos();
      // Moves keep the revision, so the matrix itself says whether the camera moved.
      if (cameraRebind_ || cam->revision() != camRevision_ ||
          std::memcmp(vp.m, boundViewProjection_.m, sizeof vp.m) != 0 ||
          std::memcmp(&eye, &boundEye_, sizeof eye) != 0) {
        cameraRebind_ = false;
        camRevision_ = cam->revision();
        boundViewProjection_ = vp;
        boundEye_ = eye;
        viewProjection = vp;
        setParam("VIEWPROJECTION", ParamValue::ofMatrix44(vp.m));
        setParam("PROJECTION", ParamValue::ofMatrix44(cam->projection().m));
        setParam("VIEW", ParamValue::ofMatrix43(cam->view().m));
        eye_ = eye;
        axes_[0] = cam->get_right();
        axes_[1] = cam->get_up();
        axes_[2] = cam->get_dir();
        const float e[3] = {eye.x, eye.y, eye.z};
        const float dir[3] = {axes_[2].x, axes_[2].y, axes_[2].z};
        setParam("EYEPOS", ParamValue::ofVector(e, 3));
        setParam("EYEDIR", ParamValue::ofVector(dir, 3));
        changed = true;
      }
    }
  }
  if (changed) {
    const Mat44 wvp = world_ * viewProjection;
    setParam("WORLDVIEWPROJECTION", ParamValue::ofMatrix44(wvp.m));
  }
  FxLock fx(shader_);
  if (!fx) return;
  const bool sent = current_->table.apply(*fx, current_->bindings, lookupPass < 0 ? 0 : lookupPass);
  if ((sent || changed) && mayCommit && pass_ >= 0) fx->commit();
}

void Qeldrin::takeCameraView() {
  CamLock cam(camera_);
  if (!cam) return;
  eye_ = cam->get_pos();
  axes_[0] = cam->get_right();
  axes_[1] = cam->get_up();
  axes_[2] = cam->get_dir();
}

void Qeldrin::setParam(std::string_view name, const ParamValue& value) {
  if (current_) current_->table.set(name, value);
}

void Qeldrin::resetObjectDefaults() {
  if (!current_) return;
  setDefaults(current_->table, current_->bindings.technique, true);
  resetWorld();
}

void Qeldrin::resetWorld() {
  if (worldIdentity_) return;
  world_ = Mat43();
  worldIdentity_ = true;
  worldDirty_ = 0xFFFFFFFFu;
}

// ---- immediate draws

bool Qeldrin::streamsMatch(std::span<const void* const> streams) {
  const int32_t f = current_ ? current_->bindings.vertexFormat : -1;
  size_t n = 0;
  while (n < streams.size() && streams[n]) ++n;
  if (f >= 0 && n == formats_[f].streamCount && n <= PrimBatcher::kStreams) return true;
  if (!reportedStreams_) {
    reportedStreams_ = true;
    scriptDebugLog("Qeldrin: a draw whose vertex arrays do not match the list's vertex format was skipped");
  }
  return false;
}

void Qeldrin::submit(uint32_t primType, std::span<const void* const> streams, uint32_t vertices, uint32_t prims,
                     IFIdxCopy& indices) {
  if (!streamsMatch(streams)) return;
  const uint32_t n = formats_[current_->bindings.vertexFormat].streamCount;
  batcher_.submit(primType, streams.data(), n, *this, vertices, prims, indices);
}

void Qeldrin::drawIndexedTriangles(uint32_t vertexCount, uint32_t primCount) {
  qxgfx::Device* d = DeviceMgr::currentDevice();
  if (!d || !current_) return;
  applyState();
  d->drawIndexedPrimitive(qxgfx::D3DPT_TRIANGLELIST, 0, 0, vertexCount, 0, primCount);
}

void Qeldrin::drawFan(uint32_t triangles, std::span<const void* const> streams) {
  if (triangles == 0) return;
  FanIdxCopy idx(0);
  submit(qxgfx::D3DPT_TRIANGLELIST, streams, triangles + 2, triangles, idx);
}

void Qeldrin::drawStrip(uint32_t vertices, std::span<const void* const> streams) {
  if (vertices < 3) return;
  StripIdxCopy idx(0);
  submit(qxgfx::D3DPT_TRIANGLELIST, streams, vertices, vertices - 2, idx);
}

void Qeldrin::drawIndexed(uint32_t vertexCount, const uint16_t* indices, uint32_t primCount,
                          std::span<const void* const> streams) {
  if (vertexCount < 3 || !indices) return;
  IdxCopy idx(indices);
  submit(qxgfx::D3DPT_TRIANGLELIST, streams, vertexCount, primCount, idx);
}

void Qeldrin::drawLineList(uint32_t vertices, std::span<const void* const> streams) {
  if (vertices < 2) return;
  NonIdxCopy idx(0);
  submit(qxgfx::D3DPT_LINELIST, streams, vertices, vertices / 2, idx);
}

void Qeldrin::drawLineStrip(uint32_t points, std::span<const void* const> streams) {
  if (points < 2 || !streamsMatch(streams)) return;
  const uint16_t* strides = streamStrides();
  const uint32_t n = formats_[current_->bindings.vertexFormat].streamCount;
  std::vector<uint8_t> copies[PrimBatcher::kStreams];
  const void* lines[PrimBatcher::kStreams] = {};
  for (uint32_t s = 0; s < n; ++s) {
    const size_t stride = strides[s];
    const auto* src = static_cast<const uint8_t*>(streams[s]);
    copies[s].resize(stride * (2 * size_t(points) - 2));
    for (uint32_t k = 0; k + 1 < points; ++k) {
      std::memcpy(copies[s].data() + stride * 2 * k, src + stride * k, stride * 2);
    }
    lines[s] = copies[s].data();
  }
  drawLineList(2 * points - 2, std::span<const void* const>(lines, n));
}

// ---- script methods

qxbind::Pushed Qeldrin::set_param(qxbind::StackArg table) {
  lua_State* L = table.L;
  if (!current_ || !lua_istable(L, table.index)) return {0};
  const int t = table.index < 0 ? lua_gettop(L) + table.index + 1 : table.index;
  lua_pushnil(L);
  while (lua_next(L, t) != 0) {
    if (lua_type(L, -2) == LUA_TSTRING) {
      size_t n = 0;
      const char* k = lua_tolstring(L, -2, &n);
      const std::string_view name(k, n);
      if (lua_type(L, -1) == LUA_TNUMBER) {
        const float v = float(lua_tonumber(L, -1));
        setParam(name, ParamValue::ofVector(&v, 1));
      } else if (lua_type(L, -1) == LUA_TTABLE) {
        lua_getfield(L, -1, "dim");
        const int dim = lua_isnumber(L, -1) ? int(lua_tonumber(L, -1)) : 0;
        lua_pop(L, 1);
        if (dim >= 2 && dim <= 4) {
          float v[4] = {};
          for (int i = 0; i < dim; ++i) {
            lua_rawgeti(L, -1, i + 1);
            v[i] = float(lua_tonumber(L, -1));
            lua_pop(L, 1);
          }
          setParam(name, ParamValue::ofVector(v, dim));
        }
      } else if (lua_type(L, -1) == LUA_TUSERDATA) {
        // A strong or weak handle of a texture sets a texture; other userdata is ignored.
        const uint32_t h = getHandleAt(L, lua_gettop(L));
        if (h && TextureMgr::ofValue(h)) setParam(name, ParamValue::ofTexture(h));
      }
    }
    lua_pop(L, 1);
  }
  return {0};
}

qxbind::Pushed Qeldrin::upd_U(qxbind::StackArg list) {
  lua_State* L = list.L;
  std::vector<uint32_t> lost, out;
  if (GobjMgr* gobjs = GobjMgr::instance()) gobjs->copyLostList(lost);
  if (lua_istable(L, list.index)) {
    const size_t n = lua_objlen(L, list.index);
    for (size_t i = 1; i <= n; ++i) {
      lua_rawgeti(L, list.index, int(i));
      const uint32_t h = getHandleAt(L, lua_gettop(L));
      lua_pop(L, 1);
      ItemLock item(h);
      if (item) item->callTypeFn10(this, &lost, &out);
    }
  }
  lua_createtable(L, int(out.size()), 0);
  for (size_t i = 0; i < out.size(); ++i) {
    qxbind::pushObject(L, out[i]);
    lua_rawseti(L, -2, int(i + 1));
  }
  return {1};
}
