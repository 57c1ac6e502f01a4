// Pixel sampling, shading along a camera ray and the banded parallel loop.
#include "host/view_tracer.h"

#include <tbb/blocked_range2d.h>
#include <tbb/parallel_for.h>

#include <algorithm>
#include <atomic>
#include <limits>

#include "host/host_shade_context.h"
#include "sdk/mtl.h"

namespace host {

namespace {

constexpr int kBandRows = 8;
constexpr int kTileColumns = 32;

uint32_t mix(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  x *= 0x846ca68bU;
  x ^= x >> 16;
  return x;
}

// A number in [0, 1) that depends only on the pixel, the sample and the axis.
float jitter(int x, int y, int sample, int axis) {
  uint32_t h = mix(static_cast<uint32_t>(x) * 0x9E3779B1U);
  h = mix(h ^ (static_cast<uint32_t>(y) * 0x85EBCA77U));
  h = mix(h ^ (static_cast<uint32_t>(sample) * 2U + static_cast<uint32_t>(axis) + 0x27D4EB2FU));
  return static_cast<float>(h >> 8) * (1.0f / 16777216.0f);
}

Color clamp01(Color c) {
  c.ClampMinMax(0.0f, 1.0f);
  return c;
}

}  // namespace

void ShadeDefaultMaterial(ShadeContext& sc) {
  const Color grey(0.5f, 0.5f, 0.5f);
  Color light = sc.ambientLight;
  for (int i = 0; i < sc.nLights; ++i) {
    LightDesc* l = sc.Light(i);
    Color c;
    Point3 dir;
    float dotNL = 0.0f, diffuse = 0.0f;
    if (!l || !l->Illuminate(sc, sc.Normal(), c, dir, dotNL, diffuse)) continue;
    light += l->ambientOnly ? c : c * diffuse;
  }
  sc.out.c = grey * light;
  sc.out.t = Color();
}

ViewTracer::ViewTracer(HostRenderGlobalContext& view, const RayScene& rays,
                       const Background& background, TraceOptions options)
    : view_(view),
      rays_(rays),
      background_(background),
      options_(std::move(options)),
      numElements_(std::min(view.NRenderElements(), kMaxRenderElements)) {
  options_.samples = std::max(options_.samples, 1);
}

RayQuery ViewTracer::CameraQuery(float sx, float sy) const {
  Ray r = view_.CameraRay(sx, sy);
  RayQuery q;
  q.origin = r.p * view_.camToWorld;
  q.dir = VectorTransform(view_.camToWorld, r.dir);
  q.tnear = view_.nearRange;
  q.tfar = view_.farRange;
  q.kind = options_.kind;
  q.excludeInstance = options_.excludeInstance;
  q.clipPlanes = options_.clipPlanes.data();
  q.numClipPlanes = static_cast<int>(options_.clipPlanes.size());
  return q;
}

AColor ViewTracer::TraceSample(float sx, float sy, AColor* elementVals, long long* shaded,
                               RayHit* firstHit) const {
  for (int i = 0; i < numElements_; ++i) elementVals[i] = AColor(0.0f, 0.0f, 0.0f, 0.0f);
  const Color bg = background_.At(sx / static_cast<float>(view_.devWidth),
                                  sy / static_cast<float>(view_.devHeight));
  RayQuery q = CameraQuery(sx, sy);
  Color sum, through(1.0f, 1.0f, 1.0f);
  float clear = 1.0f;  // how much of the background shows, for alpha
  for (int layer = 0; layer < kMaxLayers; ++layer) {
    RayHit hit;
    bool found = rays_.Intersect(q, &hit);
    if (layer == 0 && firstHit) *firstHit = found ? hit : RayHit();
    if (!found) break;
    HostShadeContext sc(view_, hit, sx, sy, numElements_);
    sc.SetBackground(bg);
    HostRenderInstance& inst = view_.Instance(hit.instance);
    if (Mtl* mtl = inst.GetMtl(hit.face)) {
      mtl->Shade(sc);
    } else {
      ShadeDefaultMaterial(sc);
    }
    ++*shaded;
    Color c = sc.out.c, t = clamp01(sc.out.t);
    // A partly visible node lets the rest through.
    if (inst.vis < 1.0f) {
      c *= inst.vis;
      t = Color(1.0f, 1.0f, 1.0f) - (Color(1.0f, 1.0f, 1.0f) - t) * inst.vis;
    }
    if (layer == 0) std::copy_n(sc.out.elementVals, numElements_, elementVals);
    sum += through * c;
    through *= t;
    clear *= t.Average();
    if (through.r <= 0.0f && through.g <= 0.0f && through.b <= 0.0f) return AColor(sum, 1.0f);
    // Go on behind this surface.
    q.tnear = hit.t + 1e-5f * std::max(1.0f, hit.t);
    q.skipInstance = hit.instance;
    q.skipFace = hit.face;
  }
  return AColor(sum + through * bg, 1.0f - clear);
}

void ViewTracer::WriteGBuffer(int x, int y, GBuffer& g, const RayHit* centreHit) const {
  size_t i = static_cast<size_t>(y) * static_cast<size_t>(g.width) + static_cast<size_t>(x);
  RayHit hit;
  if (centreHit) {
    hit = *centreHit;
  } else {
    rays_.Intersect(CameraQuery(static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f), &hit);
  }
  if (hit.instance < 0) {
    g.depth[i] = std::numeric_limits<float>::infinity();
    g.nodeId[i] = -1, g.materialId[i] = -1, g.objectId[i] = 0;
    return;
  }
  HostRenderInstance& inst = view_.Instance(hit.instance);
  const Face& face = inst.GetMesh()->faces[static_cast<size_t>(hit.face)];
  const std::vector<Point3>& cam = inst.CamVerts();
  Point3 p =
      cam[face.v[0]] * hit.bary.x + cam[face.v[1]] * hit.bary.y + cam[face.v[2]] * hit.bary.z;
  g.depth[i] = -p.z;
  g.nodeId[i] = hit.instance;
  g.materialId[i] = face.matID;
  g.objectId[i] = inst.GetINode()->GetGBufID();
}

long long ViewTracer::RenderTile(int x0, int x1, int y0, int y1, TraceTargets& targets) const {
  const int n = options_.samples;
  const float inv = 1.0f / static_cast<float>(n * n);
  const int numTargets = std::min(numElements_, static_cast<int>(targets.elements.size()));
  long long shaded = 0;
  AColor vals[kMaxRenderElements], elementSum[kMaxRenderElements];
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      AColor sum(0.0f, 0.0f, 0.0f, 0.0f);
      std::fill_n(elementSum, numElements_, AColor(0.0f, 0.0f, 0.0f, 0.0f));
      // A single sample sits at the pixel centre, so its hit serves the G-buffer.
      RayHit centre;
      for (int s = 0; s < n * n; ++s) {
        float jx = n == 1 ? 0.5f : jitter(x, y, s, 0), jy = n == 1 ? 0.5f : jitter(x, y, s, 1);
        float sx = static_cast<float>(x) + (static_cast<float>(s % n) + jx) / static_cast<float>(n);
        float sy = static_cast<float>(y) + (static_cast<float>(s / n) + jy) / static_cast<float>(n);
        sum += TraceSample(sx, sy, vals, &shaded, n == 1 ? &centre : nullptr);
        for (int e = 0; e < numElements_; ++e) elementSum[e] += vals[e];
      }
      if (targets.image) targets.image->Row(y)[x] = ToColor64(sum * inv);
      for (int e = 0; e < numTargets; ++e) {
        if (Bitmap* bm = targets.elements[static_cast<size_t>(e)])
          bm->Row(y)[x] = ToColor64(elementSum[e] * inv);
      }
      if (targets.gbuffer) WriteGBuffer(x, y, *targets.gbuffer, n == 1 ? &centre : nullptr);
    }
  }
  return shaded;
}

bool TraceImage(const ViewTracer& tracer, tbb::task_arena& arena, TraceTargets& targets,
                const std::function<bool(int)>& afterBand, long long* shaded) {
  const int width = tracer.View().devWidth, height = tracer.View().devHeight;
  if (targets.gbuffer) {
    GBuffer& g = *targets.gbuffer;
    size_t n = static_cast<size_t>(width) * static_cast<size_t>(height);
    g.width = width, g.height = height;
    g.depth.assign(n, std::numeric_limits<float>::infinity());
    g.nodeId.assign(n, -1), g.materialId.assign(n, -1), g.objectId.assign(n, 0);
  }
  std::atomic<long long> count{0};
  bool finished = true;
  for (int y0 = 0; y0 < height; y0 += kBandRows) {
    int y1 = std::min(height, y0 + kBandRows);
    arena.execute([&] {
      tbb::parallel_for(tbb::blocked_range2d<int>(y0, y1, 1, 0, width, kTileColumns),
                        [&](const tbb::blocked_range2d<int>& r) {
                          count += tracer.RenderTile(r.cols().begin(), r.cols().end(),
                                                     r.rows().begin(), r.rows().end(), targets);
                        });
    });
    if (afterBand && !afterBand(y1)) {
      finished = false;
      break;
    }
  }
  if (shaded) *shaded = count.load();
  return finished;
}

}  // namespace host
