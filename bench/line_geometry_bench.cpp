// The line engine's geometry half (scene gathering, mesh edges, visibility
// sampling, intersections) on generated scenes of about 100 k and 1 M
// triangles at 1920 x 1080: overlapping smooth and flat-shaded spheres over
// a field of flat-shaded boxes that cut into each other, every edge
// category on for
// visible and hidden lines. Reports seconds (and of each stage), edges
// classified a second, face crossings, filed pieces and the process's peak
// memory; and both halves with the drawing half's seconds and strokes a
// second, with a checksum of the drawn image.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdint>

#include "sdk/hold.h"
#include "tarnis/line/brush/brush.h"
#include "tarnis/line/brush/brush_params.h"
#include "tarnis/line/effect/line_setting.h"
#include "tarnis/line/engine/engine_test_scene.h"

namespace {

using namespace tarnis;
using namespace tarnis::engine_testing;

struct GeometryScene {
  explicit GeometryScene(int triangles) : gc(Point3(0, -21, 15), Point3(0, -1, 0), 1920, 1080) {
    lmHolder.Set(new LineManager);
    lm = lmHolder.GetAs<LineManager>();
    LineSet* set = lm->AddLineSet();
    theHold.Reset();
    node.Set(new TestNode);
    mtl.Set(new TestMtl);
    set->MainBlock()->Append(kLineSetObjects, node.GetAs<INode>());
    for (int type = 1; type <= 2; ++type) {
      for (ParamID id :
           {kTypeEdgeObject, kTypeEdgeNormal, kTypeEdgeMatID, kTypeEdgeSmooth, kTypeEdgeIsect}) {
        set->TypeBlock(type)->SetValue(id, 0, 1);
      }
    }
    auto* m = mtl.GetAs<Mtl>();
    INode* n = node.GetAs<INode>();
    // A quarter of the triangles in four overlapping spheres (two smooth,
    // two flat-shaded) floating over a field of boxes.
    const int perSphere = triangles / 16;
    const int segments = std::max(3, static_cast<int>(std::sqrt(static_cast<double>(perSphere))));
    const int rings = std::max(3, perSphere / (2 * segments) + 1);
    for (int s = 0; s < 4; ++s) {
      Mesh sphere = SphereMesh(2.5f, segments, rings,
                               Point3(-3.0f + 2.0f * s, 0.8f * (s % 2), 3.0f + 1.2f * (s / 2)));
      if (s % 2) {
        for (Face& f : sphere.faces) f.smGroup = 0;
      }
      gc.Add(std::move(sphere), n, m);
    }
    // The rest in a square field of boxes of 12 faces, each cutting into its
    // neighbours, with heights that vary.
    uint32_t state = 12345;
    auto next = [&] {
      state = state * 1664525u + 1013904223u;
      return static_cast<float>(state >> 8) / 16777216.0f;
    };
    const int side = static_cast<int>(std::sqrt(triangles * 0.75 / 12.0));
    const float spacing = 24.0f / static_cast<float>(side);
    const float half = spacing * 0.6f;
    for (int i = 0; i < side; ++i) {
      for (int j = 0; j < side; ++j) {
        const Point3 c(-12.0f + spacing * (static_cast<float>(i) + 0.5f),
                       -12.0f + spacing * (static_cast<float>(j) + 0.5f), 0.0f);
        const float height = half * (1.0f + 3.0f * next());
        gc.Add(BoxMesh(c - Point3(half, half, 0.0f), c + Point3(half, half, height)), n, m);
      }
    }
    for (const auto& ri : gc.instances) faces += ri->mesh.getNumFaces();
  }

  ReferenceHolder lmHolder, node, mtl;
  LineManager* lm = nullptr;
  TestRenderContext gc;
  long long faces = 0;
};

// A (2, 3) torus knot of about `triangles` faces, smooth in two alternating
// smoothing groups and striped with two material ids, as the scene
// generator writes it: the dense smooth mesh where nearly every edge is
// classified and dropped.
Mesh KnotMesh(int triangles) {
  const int sides = std::max(8, static_cast<int>(std::lround(std::sqrt(triangles / 16.0))));
  const int segments = std::max(24, triangles / (2 * sides));
  constexpr int kStripes = 12;
  constexpr double kPi = 3.14159265358979323846, kTube = 0.3;
  Mesh m;
  for (int i = 0; i < segments; ++i) {
    const double t = 2.0 * kPi * i / segments;
    const double r = 2.0 + std::cos(3.0 * t);
    const Point3 centre(static_cast<float>(r * std::cos(2.0 * t)),
                        static_cast<float>(r * std::sin(2.0 * t)),
                        static_cast<float>(-std::sin(3.0 * t)));
    const double dr = -3.0 * std::sin(3.0 * t);
    const Point3 tangent = Normalize(Point3(
        static_cast<float>(dr * std::cos(2.0 * t) - 2.0 * r * std::sin(2.0 * t)),
        static_cast<float>(dr * std::sin(2.0 * t) + 2.0 * r * std::cos(2.0 * t)),
        static_cast<float>(-3.0 * std::cos(3.0 * t))));
    const Point3 binormal = Normalize(CrossProd(tangent, centre));
    const Point3 normal = CrossProd(binormal, tangent);
    for (int j = 0; j < sides; ++j) {
      const float a = static_cast<float>(2.0 * kPi * j / sides);
      m.verts.push_back(centre + normal * (static_cast<float>(kTube) * std::cos(a)) +
                        binormal * (static_cast<float>(kTube) * std::sin(a)));
    }
  }
  auto vertex = [&](int i, int j) {
    return static_cast<uint32_t>((i % segments) * sides + (j % sides));
  };
  for (int i = 0; i < segments; ++i) {
    const int stripe = i * kStripes / segments;
    const int group = (2 * i * kStripes / segments + 1) / 2;
    for (int j = 0; j < sides; ++j) {
      const uint32_t q[4] = {vertex(i, j), vertex(i, j + 1), vertex(i + 1, j + 1),
                             vertex(i + 1, j)};
      for (int t = 0; t < 2; ++t) {
        Face f;
        f.setVerts(q[0], q[1 + t], q[2 + t]);
        f.smGroup = 1u << (group % 2);
        f.matID = static_cast<uint16_t>(stripe % 2);
        f.flags = t == 0 ? (EDGE_A | EDGE_B) : (EDGE_B | EDGE_C);
        m.faces.push_back(f);
      }
    }
  }
  return m;
}

// The knot alone, seen as the scene benchmark sees it, with outlines, creases
// (25 degrees), smoothing and material borders and intersections, visible
// and hidden.
struct KnotScene {
  explicit KnotScene(int triangles) : gc(Point3(0, -11, 7), Point3(0, 0, 0), 1920, 1080) {
    lmHolder.Set(new LineManager);
    lm = lmHolder.GetAs<LineManager>();
    LineSet* set = lm->AddLineSet();
    theHold.Reset();
    node.Set(new TestNode);
    mtl.Set(new TestMtl);
    set->MainBlock()->Append(kLineSetObjects, node.GetAs<INode>());
    for (int type = 1; type <= 2; ++type) {
      for (ParamID id :
           {kTypeEdgeObject, kTypeEdgeNormal, kTypeEdgeMatID, kTypeEdgeSmooth, kTypeEdgeIsect}) {
        set->TypeBlock(type)->SetValue(id, 0, 1);
      }
      set->TypeBlock(type)->SetValue(kTypeEdgeNormalMin, 0, 25.0f);
    }
    gc.Add(KnotMesh(triangles), node.GetAs<INode>(), mtl.GetAs<Mtl>());
    faces = gc.instances.front()->mesh.getNumFaces();
  }

  ReferenceHolder lmHolder, node, mtl;
  LineManager* lm = nullptr;
  TestRenderContext gc;
  long long faces = 0;
};

// A checksum of the image's pixels (FNV-1a over every channel, kept to 48
// bits so that the counter holds it exactly): equal sums mean the same
// picture, which is how a change to the engine that must not alter the
// drawing is checked.
double imageChecksum(const Bitmap& bitmap) {
  uint64_t h = 1469598103934665603ull;
  for (int y = 0; y < bitmap.Height(); ++y) {
    const BMM_Color_64* row = bitmap.Row(y);
    for (int x = 0; x < bitmap.Width(); ++x) {
      for (uint16_t v : {row[x].r, row[x].g, row[x].b, row[x].a}) {
        h = (h ^ v) * 1099511628211ull;
      }
    }
  }
  return static_cast<double>(h & ((1ull << 48) - 1));
}

long peakRssMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

template <class Scene>
void BM_GeometryHalf(benchmark::State& state) {
  Scene scene(static_cast<int>(state.range(0)));
  long long edges = 0, crossings = 0, pieces = 0;
  DetectionStats stats;
  for (auto _ : state) {
    RenderLines(*scene.lm, 0, nullptr, &scene.gc, nullptr, nullptr, false);
    const LineEngine& engine = *scene.lm->RenderState().engine;
    edges = engine.Stats().edgesVisited;
    crossings = engine.Stats().crossingsVisited;
    stats = engine.Stats();
    pieces = 0;
    for (const LineJob& job : engine.Jobs()) pieces += static_cast<long long>(job.PieceCount());
  }
  state.counters["triangles"] = static_cast<double>(scene.faces);
  state.counters["edges"] = static_cast<double>(edges);
  state.counters["crossings"] = static_cast<double>(crossings);
  state.counters["pieces"] = static_cast<double>(pieces);
  state.counters["edges/s"] =
      benchmark::Counter(static_cast<double>(edges), benchmark::Counter::kIsIterationInvariantRate);
  state.counters["prepare_s"] = stats.prepareSeconds;
  state.counters["occluders_s"] = stats.occluderSeconds;
  state.counters["edges_s"] = stats.edgeSeconds;
  state.counters["isect_s"] = stats.intersectionSeconds;
  state.counters["peakMiB"] = static_cast<double>(peakRssMiB());
}

// Both halves of a frame: detection, then chaining, stroke drawing and
// compositing into a 1920 x 1080 image with overSampling 2; the second
// argument switches the brushes' size and alpha falloff along strokes on.
void BM_BothHalves(benchmark::State& state) {
  GeometryScene scene(static_cast<int>(state.range(0)));
  scene.lm->MainBlock()->SetValue(kLineOverSampling, 0, 2);
  if (state.range(1) != 0) {
    LineSet* set = scene.lm->GetLineSet(0);
    for (int type = 1; type <= 2; ++type) {
      for (int slot = 0; slot < 6; ++slot) {
        LineSetting* setting = set ? set->Setting(type, slot) : nullptr;
        Brush* brush = setting ? setting->GetBrush() : nullptr;
        if (!brush) continue;
        brush->Block(kBrushBlockDampSize)->SetValue(kBrushDampSizeEnable, 0, 1);
        brush->Block(kBrushBlockDampAlpha)->SetValue(kBrushDampAlphaEnable, 0, 1);
      }
    }
  }
  Bitmap bitmap(1920, 1080);
  long long strokes = 0;
  double drawSeconds = 0;
  for (auto _ : state) {
    bitmap.Fill(AColor(1, 1, 1, 1));
    RenderLines(*scene.lm, 0, nullptr, &scene.gc, nullptr, nullptr, false);
    const auto start = std::chrono::steady_clock::now();
    RenderLines(*scene.lm, 0, &bitmap, &scene.gc, nullptr, nullptr, true);
    drawSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    strokes = 0;
    for (const LineJob& job : scene.lm->RenderState().engine->Jobs()) {
      strokes += static_cast<long long>(job.strokes.size());
    }
  }
  state.counters["strokes"] = static_cast<double>(strokes);
  state.counters["image"] = imageChecksum(bitmap);
  state.counters["draw_s"] = drawSeconds;
  state.counters["strokes/s"] = static_cast<double>(strokes) / std::max(drawSeconds, 1e-9);
  state.counters["peakMiB"] = static_cast<double>(peakRssMiB());
}

BENCHMARK(BM_BothHalves)
    ->Args({100000, 0})
    ->Args({1000000, 0})
    ->Args({1000000, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

BENCHMARK(BM_GeometryHalf<GeometryScene>)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

BENCHMARK(BM_GeometryHalf<KnotScene>)
    ->Name("BM_KnotGeometryHalf")
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

}  // namespace
