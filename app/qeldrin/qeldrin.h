// Qeldrin: the application object through which scripts reach the screen. It opens the
// window and the device, brackets each frame's drawing, keeps one draw list per effect
// technique (objects queue entries, flushing sorts and draws them), and holds the state
// every draw shares: render targets, camera, world matrix, vertex streams, index buffer,
// the primitive batcher and the effect parameters. Script methods run on the main
// thread; the window's IME events arrive from the UI thread as game-object messages.
#pragma once
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "render/camera/cam_mgr.h"
#include "render/device/draw_context.h"
#include "render/device/prim_batcher.h"
#include "render/draw/dtag_queue.h"
#include "render/draw/sort_algs.h"
#include "render/effect/effect_mgr.h"
#include "render/state/param_table.h"
#include "render/state/vertex_formats.h"
#include "render/texture/texture_mgr.h"
#include "runtime/math/matrix.h"
#include "script/bind/glue_types.h"

namespace qxplat {
class Window;
struct ImeEvent;
}  // namespace qxplat

struct DrawList {
  uint32_t shader = 0;  // the effect the bindings were made from
  TechniqueBindings bindings;
  ParamTable table;
  SortChain chain;
  std::vector<DrawEntry> entries;
  std::vector<DrawEntry> sortSpace;  // the chain's working space, as long as the longest flush
  bool reportedNoFormat = false;
};

class Qeldrin final : public DSortCBack, public IDTagQ, public IDrawContext {
 public:
  static constexpr size_t kMaxTechniqueName = 63;
  static constexpr uint32_t kTargetBits = 0x0F;
  static constexpr uint32_t kDepthBit = 0x10;
  static constexpr uint32_t kIndexBit = 0x10000;

  Qeldrin();
  ~Qeldrin() override;
  Qeldrin(const Qeldrin&) = delete;
  Qeldrin& operator=(const Qeldrin&) = delete;

  // ---- script methods
  void init(int32_t width, int32_t height, std::string title, bool flag);
  void clearCurrentBuffer(uint32_t colour, float z, uint32_t stencil);
  void clearColorBuffer(uint32_t colour);
  void clearZBuffer(float z);
  void beginDraw();
  void endDraw();
  void setShader(qxbind::ObjectRef effect);
  qxbind::Pushed set_param(qxbind::StackArg table);
  qxbind::Pushed upd_U(qxbind::StackArg list);
  Vec3 cam_pos() const { return eye_; }
  qxbind::Pushed cam_axis(lua_State* L, int32_t axis) const;
  void clear_losthandle(bool memoryItems);
  bool has_window() const;
  void setIMENotify(qxbind::ObjectRef receiver);
  void resetIMENotify();
  bool isIMEActive() const { return ime_->active.load(std::memory_order_acquire); }
  void cancelIMECP();
  qxbind::QXInt getWnd() const;
  void draw_single(qxbind::ObjectRef object, std::string_view tag);
  void draw_multi(qxbind::StackArg list, std::string_view tag);
  void draw_drawer(qxbind::StackArg list, std::string_view tag);
  // False (and nothing changed) for a name too long, without a shader, or naming no
  // technique of the shader.
  bool set_tech(std::string_view name);
  void set_dsort(std::string_view name, qxbind::StackArg list);
  // set_dsort's work: selects (or makes) the list and replaces its chain.
  bool setSortChain(std::string_view name, std::span<const SortArg> args);
  void flush_drawAll(bool flag);
  void flush_draw(std::string_view name);
  TextureMgr::TexHandle setTargetTex(int32_t index, qxbind::ObjectRef texture);
  TextureMgr::TexHandle getTargetTex(int32_t index) const;
  CamMgr::CamHandle getCamera() const { return camera_; }
  void setCamera(qxbind::ObjectRef camera);
  Vec3 sp2wp(int32_t x, int32_t y, float depth);
  std::tuple<Vec3, Vec3> getRay(int32_t x, int32_t y);
  std::tuple<float, float> sp2vp(int32_t x, int32_t y) const;

  // Timing properties: written by scripts only.
  float upd_time = 0, draw_time = 0;
  int32_t count_fps = 0;
  float diff_time = 0, accum_time = 0;
  int32_t accum_frame = 0;

  // ---- what objects' callbacks use
  // Counts begun frames (1 for the first), so objects can cache geometry per frame.
  uint32_t frameNumber() const { return frame_; }
  void setWorldMatrix(const float m[12]);
  void setStream(uint32_t index, qxgfx::VertexBuffer* buffer);
  void setIndexBuffer(qxgfx::IndexBuffer* buffer);
  void drawIndexedTriangles(uint32_t vertexCount, uint32_t primCount);
  // Vertex arrays: one per stream of the current list's format, in stream order.
  void drawFan(uint32_t triangles, std::span<const void* const> streams);
  void drawStrip(uint32_t vertices, std::span<const void* const> streams);
  void drawIndexed(uint32_t vertexCount, const uint16_t* indices, uint32_t primCount,
                   std::span<const void* const> streams);
  void drawLineList(uint32_t vertices, std::span<const void* const> streams);
  void drawLineStrip(uint32_t points, std::span<const void* const> streams);
  // Parameters of the current list (nothing without one).
  void setParam(std::string_view name, const ParamValue& value);
  void setParamTexture(std::string_view name, uint32_t texture) { setParam(name, ParamValue::ofTexture(texture)); }
  void setParamVector(std::string_view name, const float* v, int n) { setParam(name, ParamValue::ofVector(v, n)); }
  void setParamMatrix(std::string_view name, const float m[16]) { setParam(name, ParamValue::ofMatrix44(m)); }
  void setParamMatrix43(std::string_view name, const float m[12]) { setParam(name, ParamValue::ofMatrix43(m)); }

  // What the UI thread's IME translator shares with the object: the receiver's handle and
  // whether a composition is open. Outlives the object while the window's handler holds it.
  struct ImeLink {
    std::atomic<uint32_t> receiver{0};
    std::atomic<bool> active{false};
  };
  // Posts the event to the receiver as a game-object message (nothing without one).
  static void postImeEvent(uint32_t receiver, const qxplat::ImeEvent& event);

  // ---- DSortCBack
  uint32_t drawRun(DrawEntry* first, DrawEntry* end, uint32_t value) override;
  int32_t select(std::string_view listName, std::span<DrawEntry> entries) override;
  void beginTraversal(int32_t index) override;
  // ---- IDTagQ
  void addEntry(const DrawEntry& entry) override;
  Vec3 eyePosition() const override { return eye_; }
  Vec3 cameraAxis(int axis) const override { return axis >= 0 && axis < 3 ? axes_[axis] : Vec3{}; }
  // ---- IDrawContext
  uint32_t vertexFormatKey() const override;
  const uint16_t* streamStrides() const override;
  int32_t drawMode() const override { return drawMode_; }
  void setStream(uint32_t stream, uint32_t bufferId, uint32_t offsetBytes, uint32_t stride) override;
  void setIndices(uint32_t bufferId) override;
  void applyState() override;
  void bindEffectParams() override;

  // ---- for tests and tools
  const std::string& techniqueName() const { return tech_; }
  DrawList* currentList() const { return current_; }
  const DrawList* list(std::string_view name) const;
  int32_t passIndex() const { return pass_; }
  qxplat::Window* window() const { return window_; }
  const std::shared_ptr<ImeLink>& imeLink() const { return ime_; }
  // Applies what the texture manager's device targets are now (after createDeviceTargets
  // without init, as tests and tools that bring their own device do).
  void useDeviceTargets();
  // The binding of shared parameters with a lookup pass; commit only when allowed.
  void bindShared(int32_t lookupPass, bool mayCommit);

 private:
  void flushList(const std::string& name, DrawList& list);
  void flushAll();
  bool buildList(DrawList& list, std::string_view name);
  void warnShortDefaults(const TechniqueBindings& bindings, std::string_view technique);
  void setTarget(uint32_t index, uint32_t handle);
  void setDepth(uint32_t handle);
  void resetObjectDefaults();
  void resetWorld();
  // Reads the eye and axes of the current camera into what IDTagQ reports.
  void takeCameraView();
  void queueObject(uint32_t handle, std::string_view tag);
  bool streamsMatch(std::span<const void* const> streams);
  void submit(uint32_t primType, std::span<const void* const> streams, uint32_t vertices, uint32_t prims,
              IFIdxCopy& indices);
  void report(const std::string& text);

  qxplat::Window* window_ = nullptr;
  EffectMgr::FxHandle shader_;
  int32_t width_ = 0, height_ = 0;
  VertexFormatRecord formats_[kVertexFormatCount];
  int32_t drawMode_ = 0;
  PrimBatcher batcher_;
  std::map<std::string, DrawList, std::less<>> lists_;
  std::vector<DSortAlg*> chainView_;  // the flushed list's chain, reused across flushes
  std::vector<uint32_t> multiHandles_;  // draw_multi's handles, reused across calls
  std::set<std::string> warnedDefaults_;  // effect, technique, binding and parameter of each

  std::string tech_;
  DrawList* current_ = nullptr;
  int32_t pass_ = -2;
  Mat43 world_;
  bool worldIdentity_ = true;  // world_ is the identity (checked once per change)
  CamMgr::CamHandle camera_;
  Vec3 eye_{}, axes_[3]{};
  TextureMgr::TexHandle targets_[4];
  TextureMgr::TexHandle depth_;

  qxgfx::Ref<qxgfx::VertexBuffer> streams_[16];
  uint32_t offsets_[16] = {};
  qxgfx::Ref<qxgfx::IndexBuffer> indices_;

  uint32_t targetDirty_ = 0;
  uint32_t streamDirty_ = 0xFFFFFFFFu;
  uint32_t camRevision_ = 0xFFFFFFFFu;
  uint32_t worldDirty_ = 0xFFFFFFFFu;
  bool cameraRebind_ = true;  // camera or technique changed: bind every camera value
  Mat44 boundViewProjection_;
  Vec3 boundEye_{};

  bool inScene_ = false;
  uint32_t frame_ = 0;
  bool drawing_ = false;  // a list is being drawn: entries cannot be added
  bool reportedStreams_ = false;
  std::shared_ptr<ImeLink> ime_ = std::make_shared<ImeLink>();
};
