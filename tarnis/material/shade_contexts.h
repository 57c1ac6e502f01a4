// The private shade contexts of the toon material. Each one copies the public
// state of the host's context for a sample and forwards every query it does
// not change to it, so a material can be shaded with changed inputs without
// touching the host's context:
// - TarmatShadeContext runs the base material with its lights dimmed by the
//   material's shade value (through TarmatLightDesc wrappers) and its ambient
//   light pulled towards white; the pool hands these out to render threads;
// - StrokeShadeContext carries a stroke seed and scale to a stroke map.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "sdk/shade_context.h"

namespace tarnis {

// A ShadeContext that answers every query from the context it wraps and holds
// its own copy of that context's public state (flags, ambient light, light
// count, output record). Writes to the copy stay in the copy; SetNormal,
// SetView and SetIOR go through to the wrapped context, since normals and
// view belong to the sample. Every virtual of ShadeContext is overridden here,
// so a virtual added to the SDK shows as the one query without an override.
// Copies a shading output: every field and the render-element values in
// use (the others are stale either way). Per sample this is most of what a
// copied context costs, so the unused values are not copied.
void CopyShadeOutput(ShadeOutput& to, const ShadeOutput& from);

class ForwardingShadeContext : public ShadeContext {
 public:
  ForwardingShadeContext() = default;
  ForwardingShadeContext(const ForwardingShadeContext&) = delete;
  ForwardingShadeContext& operator=(const ForwardingShadeContext&) = delete;

  // Wraps `src` (not owned; it must outlive the queries) and copies its mode,
  // map flags, shadow and back-face flags, material number, ambient light,
  // light count, ray level, shade id, global context and output record.
  void CopyStateFrom(ShadeContext& src);
  // The wrapped context; null before the first CopyStateFrom.
  ShadeContext* Wrapped() const { return wrapped_; }

  Class_ID ClassID() override;
  bool InMtlEditor() override;
  bool Antialias() override;
  int ProjType() override;
  LightDesc* Light(int n) override;
  TimeValue CurTime() override;
  int NodeID() override;
  INode* Node() override;
  Point3 BarycentricCoords() override;
  int FaceNumber() override;

  Point3 Normal() override;
  void SetNormal(const Point3& n) override;
  Point3 OrigNormal() override;
  Point3 GNormal() override;
  Point3 V() override;
  void SetView(const Point3& v) override;
  Point3 ReflectVector() override;
  Point3 RefractVector(float ior) override;
  void SetIOR(float ior) override;
  float GetIOR() override;
  Point3 CamPos() override;

  Point3 P() override;
  Point3 DP() override;
  void DP(Point3& dpdx, Point3& dpdy) override;
  Point3 PObj() override;
  Point3 DPObj() override;
  Box3 ObjectBox() override;
  Point3 PObjRelBox() override;
  Point3 DPObjRelBox() override;

  void ScreenUV(Point2& uv, Point2& duv) override;
  IPoint2 ScreenCoord() override;

  Point3 UVW(int channel = 1) override;
  Point3 DUVW(int channel = 1) override;
  void DPdUVW(Point3 dP[3], int channel = 1) override;
  float Curve() override;
  void GetBGColor(Color& bgcol, Color& transp, bool fogBG = true) override;

  Point3 PointTo(const Point3& p, RefFrame ito) override;
  Point3 PointFrom(const Point3& p, RefFrame ifrom) override;
  Point3 VectorTo(const Point3& p, RefFrame ito) override;
  Point3 VectorFrom(const Point3& p, RefFrame ifrom) override;

  // Resets this context's own output record, not the wrapped one's.
  void ResetOutput(int numElements = -1) override;

 private:
  // The wrapped context; a query before CopyStateFrom is a broken contract.
  ShadeContext& Source();

  ShadeContext* wrapped_ = nullptr;
};

// A light whose colour is scaled by a factor: Illuminate and
// IlluminateNoShadow answer what the wrapped light answers, with the colour
// multiplied by the factor when the light reaches the sample. Without a
// wrapped light the sample is not reached.
class TarmatLightDesc : public LightDesc {
 public:
  // Wraps `light` (not owned; may be null) and copies its affect-diffuse,
  // affect-specular and ambient-only flags (a null light leaves the flags
  // of a new LightDesc).
  void Set(LightDesc* light, float factor);
  float Factor() const { return factor_; }
  LightDesc* Wrapped() const { return light_; }

  bool Illuminate(ShadeContext& sc, const Point3& normal, Color& color, Point3& dir, float& dot_nl,
                  float& diffuseCoef) override;
  bool IlluminateNoShadow(ShadeContext& sc, const Point3& normal, Color& color, Point3& dir,
                          float& dot_nl, float& diffuseCoef) override;
  Point3 LightPosition() override;
  Point3 LightDirection() override;

 private:
  LightDesc* light_ = nullptr;
  float factor_ = 1.0f;
};

// The context the base material is shaded in: a copy of the sample's context
// whose lights are dimmed by `shade` and whose ambient light is pulled towards
// white as `shade` falls, so shade 0 leaves the base material's flat ambient
// response and shade 1 its own lighting.
class TarmatShadeContext : public ForwardingShadeContext {
 public:
  TarmatShadeContext() = default;

  // Copies the state and output of `source` and wraps its lights: ambient a
  // becomes 1 + (a - 1) * shade per channel, light n becomes a wrapper of
  // source.Light(n) with the factor `shade`. The wrappers keep their storage
  // while the light count stays. False when memory ran out for the wrappers:
  // the context then has no lights (nLights 0) but is otherwise prepared.
  bool Prepare(ShadeContext& source, float shade);

  // Wrapper n; null outside 0 .. nLights - 1.
  LightDesc* Light(int n) override;

  // Whether a render thread holds this context (see ShadeContextPool).
  bool InUse() const { return inUse_.load(std::memory_order_acquire); }

 private:
  friend class ShadeContextPool;

  std::vector<TarmatLightDesc> lights_;
  std::atomic<bool> inUse_{false};
  // Taken back by the thread that released it last, without the pool's lock
  // (written and read only by the holder).
  bool reclaimed_ = false;
};

// The context a stroke map is evaluated in: the sample's context with the
// stroke seed and scale of the material. Built on the stack for one stroke
// evaluation; lights are those of the sample.
class StrokeShadeContext : public ForwardingShadeContext {
 public:
  StrokeShadeContext(ShadeContext& source, int seed, float scale);

  int Seed() const { return seed_; }
  float Scale() const { return scale_; }

 private:
  int seed_;
  float scale_;
};

// The base-material contexts the render threads share. Acquire takes a free
// one under the pool's lock, growing the pool when all are held; the holder
// gives it back with Release, which takes no lock. Contexts keep their
// addresses for the pool's life and are reused across renders.
//
// A render thread shades sample after sample, so Acquire first tries, without
// the lock, the context this thread gave back last: a compare-and-swap of its
// in-use flag claims it unless another thread took it meanwhile, and only
// then does the locked ring search run. (Taking the lock for every sample
// cost more than a whole standard-material sample.)
class ShadeContextPool {
 public:
  static constexpr int kFirstCapacity = 16;

  // The pool of the plug-in, alive while the plug-in is loaded.
  static ShadeContextPool& Shared();

  ShadeContextPool();
  ShadeContextPool(const ShadeContextPool&) = delete;
  ShadeContextPool& operator=(const ShadeContextPool&) = delete;

  // A context no other thread holds, marked in use, and its slot in `index`
  // (when given). The search starts at the slot released last and goes round
  // the ring. Null (index -1) when memory runs out; never throws.
  TarmatShadeContext* Acquire(int* index);
  // Gives back a context from Acquire with its index; the index becomes the
  // next search start. A null context is ignored.
  void Release(TarmatShadeContext* ctx, int index);

  // Contexts made so far, and the slots reserved for them.
  int Count() const;
  int Capacity() const;

 private:
  // Makes a new context in the next slot, first reserving more slots when
  // all are taken; null when memory runs out. Called under the lock.
  TarmatShadeContext* Grow(int* index);

  mutable std::mutex mutex_;
  std::vector<std::unique_ptr<TarmatShadeContext>> contexts_;
  int capacity_ = 0;
  // Written by Release without the lock, read by Acquire under it.
  std::atomic<int> searchStart_{0};
  // Tells this pool from any earlier one at the same address in a thread's
  // memory of its last context.
  const uint64_t id_;
};

}  // namespace tarnis
