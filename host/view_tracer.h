// ViewTracer: renders one view of a frame (the camera's, or a sub-view a map
// asks for) into an image, render-element images and a G-buffer. Every pixel
// takes N x N stratified samples jittered by a hash of (pixel, sample), never
// by a shared generator, and averages them (a box filter over the pixel); a
// single sample sits at the pixel centre. A sample's ray is shaded at each
// surface it meets by the face's material (a grey Lambert when there is
// none); transparency lets it go on behind (colour = c + t x behind) for up
// to kMaxLayers surfaces, then the background is behind. Alpha is the
// coverage: 1 for opaque surfaces, 0 for the background. Each pixel depends
// only on its own samples, so images do not depend on the thread count.
#pragma once

#include <tbb/task_arena.h>

#include <functional>
#include <vector>

#include "host/background.h"
#include "host/ray_scene.h"
#include "host/render_context.h"
#include "host/renderer.h"
#include "sdk/bitmap.h"

namespace host {

struct TraceOptions {
  int samples = 1;  // N: N x N samples per pixel
  RayKind kind = RayKind::kCamera;
  int excludeInstance = -1;        // a sub-view leaves this node out
  std::vector<Point4> clipPlanes;  // world space, see RayQuery
};

// Where the tracer writes; any target may be null / empty. Images must have
// the view's size; elements[i] receives ShadeOutput::elementVals[i].
struct TraceTargets {
  Bitmap* image = nullptr;
  std::vector<Bitmap*> elements;
  GBuffer* gbuffer = nullptr;
};

class ViewTracer {
 public:
  static constexpr int kMaxLayers = 8;

  ViewTracer(HostRenderGlobalContext& view, const RayScene& rays, const Background& background,
             TraceOptions options);

  // Renders the pixels [x0, x1) x [y0, y1); answers how many surface
  // samples were shaded. Disjoint rectangles may be rendered concurrently.
  long long RenderTile(int x0, int x1, int y0, int y1, TraceTargets& targets) const;

  // Traces the sample at device point (sx, sy): its colour and alpha, and
  // the element values of the first surface (zeros for the background).
  // `firstHit`, when given, receives the first surface hit (instance -1 for
  // none).
  AColor TraceSample(float sx, float sy, AColor* elementVals, long long* shaded,
                     RayHit* firstHit = nullptr) const;

  const HostRenderGlobalContext& View() const { return view_; }

 private:
  RayQuery CameraQuery(float sx, float sy) const;
  // The pixel centre's nearest surface; `centreHit` when the caller traced it.
  void WriteGBuffer(int x, int y, GBuffer& gbuffer, const RayHit* centreHit) const;

  HostRenderGlobalContext& view_;
  const RayScene& rays_;
  const Background& background_;
  TraceOptions options_;
  int numElements_;
};

// Renders the whole view on `arena`, in bands of rows; each band is split
// into tiles shared by the arena's threads. After each band, on the calling
// thread, `afterBand(rowsDone)` runs (progress, the cancel flag); answering
// false stops the render, and TraceImage answers false. `shaded`, when
// given, receives the number of surface samples shaded.
bool TraceImage(const ViewTracer& tracer, tbb::task_arena& arena, TraceTargets& targets,
                const std::function<bool(int)>& afterBand, long long* shaded);

// Grey Lambert shading for faces without a material.
void ShadeDefaultMaterial(ShadeContext& sc);

}  // namespace host
