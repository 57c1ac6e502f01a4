#include "tarnis/material/shade_contexts.h"

#include <algorithm>
#include <new>
#include <utility>

#include "sdk/check.h"

namespace tarnis {

// --- ForwardingShadeContext ---------------------------------------------------

void ForwardingShadeContext::CopyStateFrom(ShadeContext& src) {
  wrapped_ = &src;
  mode = src.mode;
  doMaps = src.doMaps;
  filterMaps = src.filterMaps;
  shadow = src.shadow;
  backFace = src.backFace;
  mtlNum = src.mtlNum;
  ambientLight = src.ambientLight;
  nLights = src.nLights;
  rayLevel = src.rayLevel;
  xshadeID = src.xshadeID;
  globContext = src.globContext;
  CopyShadeOutput(out, src.out);
}

void CopyShadeOutput(ShadeOutput& to, const ShadeOutput& from) {
  to.flags = from.flags;
  to.c = from.c;
  to.t = from.t;
  to.ior = from.ior;
  to.gbufId = from.gbufId;
  to.nElements = from.nElements;
  const int n = std::clamp(from.nElements, 0, kMaxRenderElements);
  std::copy_n(from.elementVals, n, to.elementVals);
}

ShadeContext& ForwardingShadeContext::Source() {
  TARNIS_CHECK(wrapped_ != nullptr)
      << "a forwarding shade context was queried before it wrapped one";
  return *wrapped_;
}

Class_ID ForwardingShadeContext::ClassID() {
  return Source().ClassID();
}
bool ForwardingShadeContext::InMtlEditor() {
  return Source().InMtlEditor();
}
bool ForwardingShadeContext::Antialias() {
  return Source().Antialias();
}
int ForwardingShadeContext::ProjType() {
  return Source().ProjType();
}
LightDesc* ForwardingShadeContext::Light(int n) {
  return Source().Light(n);
}
TimeValue ForwardingShadeContext::CurTime() {
  return Source().CurTime();
}
int ForwardingShadeContext::NodeID() {
  return Source().NodeID();
}
INode* ForwardingShadeContext::Node() {
  return Source().Node();
}
Point3 ForwardingShadeContext::BarycentricCoords() {
  return Source().BarycentricCoords();
}
int ForwardingShadeContext::FaceNumber() {
  return Source().FaceNumber();
}

Point3 ForwardingShadeContext::Normal() {
  return Source().Normal();
}
void ForwardingShadeContext::SetNormal(const Point3& n) {
  Source().SetNormal(n);
}
Point3 ForwardingShadeContext::OrigNormal() {
  return Source().OrigNormal();
}
Point3 ForwardingShadeContext::GNormal() {
  return Source().GNormal();
}
Point3 ForwardingShadeContext::V() {
  return Source().V();
}
void ForwardingShadeContext::SetView(const Point3& v) {
  Source().SetView(v);
}
Point3 ForwardingShadeContext::ReflectVector() {
  return Source().ReflectVector();
}
Point3 ForwardingShadeContext::RefractVector(float ior) {
  return Source().RefractVector(ior);
}
void ForwardingShadeContext::SetIOR(float ior) {
  Source().SetIOR(ior);
}
float ForwardingShadeContext::GetIOR() {
  return Source().GetIOR();
}
Point3 ForwardingShadeContext::CamPos() {
  return Source().CamPos();
}

Point3 ForwardingShadeContext::P() {
  return Source().P();
}
Point3 ForwardingShadeContext::DP() {
  return Source().DP();
}
void ForwardingShadeContext::DP(Point3& dpdx, Point3& dpdy) {
  Source().DP(dpdx, dpdy);
}
Point3 ForwardingShadeContext::PObj() {
  return Source().PObj();
}
Point3 ForwardingShadeContext::DPObj() {
  return Source().DPObj();
}
Box3 ForwardingShadeContext::ObjectBox() {
  return Source().ObjectBox();
}
Point3 ForwardingShadeContext::PObjRelBox() {
  return Source().PObjRelBox();
}
Point3 ForwardingShadeContext::DPObjRelBox() {
  return Source().DPObjRelBox();
}

void ForwardingShadeContext::ScreenUV(Point2& uv, Point2& duv) {
  Source().ScreenUV(uv, duv);
}
IPoint2 ForwardingShadeContext::ScreenCoord() {
  return Source().ScreenCoord();
}

Point3 ForwardingShadeContext::UVW(int channel) {
  return Source().UVW(channel);
}
Point3 ForwardingShadeContext::DUVW(int channel) {
  return Source().DUVW(channel);
}
void ForwardingShadeContext::DPdUVW(Point3 dP[3], int channel) {
  Source().DPdUVW(dP, channel);
}
float ForwardingShadeContext::Curve() {
  return Source().Curve();
}
void ForwardingShadeContext::GetBGColor(Color& bgcol, Color& transp, bool fogBG) {
  Source().GetBGColor(bgcol, transp, fogBG);
}

Point3 ForwardingShadeContext::PointTo(const Point3& p, RefFrame ito) {
  return Source().PointTo(p, ito);
}
Point3 ForwardingShadeContext::PointFrom(const Point3& p, RefFrame ifrom) {
  return Source().PointFrom(p, ifrom);
}
Point3 ForwardingShadeContext::VectorTo(const Point3& p, RefFrame ito) {
  return Source().VectorTo(p, ito);
}
Point3 ForwardingShadeContext::VectorFrom(const Point3& p, RefFrame ifrom) {
  return Source().VectorFrom(p, ifrom);
}

void ForwardingShadeContext::ResetOutput(int numElements) {
  out.Reset(numElements);
}

// --- TarmatLightDesc ------------------------------------------------------------

void TarmatLightDesc::Set(LightDesc* light, float factor) {
  light_ = light;
  factor_ = factor;
  // Without a light the flags are those of a new light, not the last one's.
  affectDiffuse = light ? light->affectDiffuse : true;
  affectSpecular = light ? light->affectSpecular : true;
  ambientOnly = light ? light->ambientOnly : false;
}

bool TarmatLightDesc::Illuminate(ShadeContext& sc, const Point3& normal, Color& color, Point3& dir,
                                 float& dot_nl, float& diffuseCoef) {
  // A light dimmed to nothing gives black with or without its shadow: skip
  // the shadow ray (the base pass of a flat toon material, shade 0).
  if (factor_ == 0.0f) return IlluminateNoShadow(sc, normal, color, dir, dot_nl, diffuseCoef);
  if (!light_ || !light_->Illuminate(sc, normal, color, dir, dot_nl, diffuseCoef)) return false;
  color *= factor_;
  return true;
}

bool TarmatLightDesc::IlluminateNoShadow(ShadeContext& sc, const Point3& normal, Color& color,
                                         Point3& dir, float& dot_nl, float& diffuseCoef) {
  if (!light_ || !light_->IlluminateNoShadow(sc, normal, color, dir, dot_nl, diffuseCoef))
    return false;
  color *= factor_;
  return true;
}

Point3 TarmatLightDesc::LightPosition() {
  return light_ ? light_->LightPosition() : LightDesc::LightPosition();
}

Point3 TarmatLightDesc::LightDirection() {
  return light_ ? light_->LightDirection() : LightDesc::LightDirection();
}

// --- TarmatShadeContext and StrokeShadeContext ----------------------------------

bool TarmatShadeContext::Prepare(ShadeContext& source, float shade) {
  CopyStateFrom(source);
  for (int c = 0; c < 3; ++c) ambientLight[c] = 1.0f + (ambientLight[c] - 1.0f) * shade;
  const size_t count = nLights > 0 ? static_cast<size_t>(nLights) : 0;
  try {
    // resize keeps the storage when the count is the same (or smaller).
    lights_.resize(count);
  } catch (const std::bad_alloc&) {
    lights_.clear();
    nLights = 0;
    return false;
  }
  for (size_t n = 0; n < count; ++n) lights_[n].Set(source.Light(static_cast<int>(n)), shade);
  return true;
}

LightDesc* TarmatShadeContext::Light(int n) {
  // nLights is public and a material may lower it; the wrappers bound it too.
  if (n < 0 || n >= nLights || static_cast<size_t>(n) >= lights_.size()) return nullptr;
  return &lights_[static_cast<size_t>(n)];
}

StrokeShadeContext::StrokeShadeContext(ShadeContext& source, int seed, float scale)
    : seed_(seed), scale_(scale) {
  CopyStateFrom(source);
}

// --- ShadeContextPool -------------------------------------------------------------

ShadeContextPool& ShadeContextPool::Shared() {
  static ShadeContextPool pool;
  return pool;
}

namespace {

// The context a thread gave back last, and the pool it came from.
struct LastContext {
  uint64_t pool = 0;
  TarmatShadeContext* ctx = nullptr;
  int index = -1;
};
thread_local LastContext tLastContext;

uint64_t NextPoolId() {
  static std::atomic<uint64_t> counter{0};
  return ++counter;
}

// Claims a context whose flag is clear. Acquire pairs with the holder's
// releasing store: what the last holder wrote into the context is complete
// before the next one uses it.
bool Claim(std::atomic<bool>& inUse) {
  bool expected = false;
  return inUse.compare_exchange_strong(expected, true, std::memory_order_acquire,
                                       std::memory_order_relaxed);
}

}  // namespace

ShadeContextPool::ShadeContextPool() : id_(NextPoolId()) {}

TarmatShadeContext* ShadeContextPool::Acquire(int* index) {
  if (index) *index = -1;
  const LastContext last = tLastContext;
  if (last.pool == id_ && last.ctx && Claim(last.ctx->inUse_)) {
    last.ctx->reclaimed_ = true;
    if (index) *index = last.index;
    return last.ctx;
  }
  std::lock_guard lock(mutex_);
  const int count = static_cast<int>(contexts_.size());
  int start = searchStart_.load(std::memory_order_relaxed);
  if (start < 0 || start >= count) start = 0;
  for (int i = 0; i < count; ++i) {
    const int slot = (start + i) % count;
    TarmatShadeContext& ctx = *contexts_[static_cast<size_t>(slot)];
    // A thread taking back its own context does so without the lock, so
    // the flag is claimed, not just set.
    if (!Claim(ctx.inUse_)) continue;
    ctx.reclaimed_ = false;
    if (index) *index = slot;
    return &ctx;
  }
  TarmatShadeContext* made = Grow(index);
  if (made) made->reclaimed_ = false;
  return made;
}

TarmatShadeContext* ShadeContextPool::Grow(int* index) {
  try {
    const int count = static_cast<int>(contexts_.size());
    if (count >= capacity_) {
      const int capacity = capacity_ == 0 ? kFirstCapacity : capacity_ + count / 2 + 1;
      contexts_.reserve(static_cast<size_t>(capacity));
      capacity_ = capacity;
    }
    auto ctx = std::make_unique<TarmatShadeContext>();
    ctx->inUse_.store(true, std::memory_order_relaxed);
    TarmatShadeContext* made = ctx.get();
    contexts_.push_back(std::move(ctx));
    if (index) *index = count;
    return made;
  } catch (const std::bad_alloc&) {
    // The material leaves the sample unshaded; the render goes on.
    return nullptr;
  }
}

void ShadeContextPool::Release(TarmatShadeContext* ctx, int index) {
  if (!ctx) return;
  // A context taken back by its own thread leaves the search start alone:
  // threads shading side by side would otherwise fight over one cache line.
  if (!ctx->reclaimed_) searchStart_.store(index, std::memory_order_relaxed);
  tLastContext = {id_, ctx, index};
  ctx->inUse_.store(false, std::memory_order_release);
}

int ShadeContextPool::Count() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(contexts_.size());
}

int ShadeContextPool::Capacity() const {
  std::lock_guard lock(mutex_);
  return capacity_;
}

}  // namespace tarnis
