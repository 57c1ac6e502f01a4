// Toon material shading benchmarks on the renderer benchmark's scene, a
// sphere of about a million triangles at 1920 x 1080, lit by a directional
// light that casts shadows and an omni light that does not. Each case
// reports the shading stage's throughput (surface samples a second):
//   BM_StandardShade          the host's standard material (a diffuse colour);
//   BM_ToonShade/sblend:1|0   the toon material over that same standard
//                             material: default zones, a highlight of level 60
//                             and glossiness 40, the advanced settings' shadow
//                             blend on (the costly path) or off;
//   BM_ToonStrokesShade       that toon material (shadow blend on) with two
//                             hatching stroke maps switched on in every zone:
//                             a default one and a 45 degree cross-hatch.
// BM_StrokeSample/default|dense times the stroke map alone on one thread:
// samples a second over a grid of map coordinates four map units across, of
// a default map and of a dense random one with both profiles and a colour
// range.
//
// The toon cases also report cost_ratio: their cost per sample (shading-stage
// seconds / samples shaded, over the reported run) divided by the standard
// material's, measured in this process under the same load. The standard case
// runs first; when a filter leaves it out, a toon case renders the standard
// scene itself before its own frames. The toon material's goal is a ratio of
// at most 1.5, with the hatching strokes at most 2.5.
#include <benchmark/benchmark.h>

#include <cmath>
#include <initializer_list>
#include <string>

#include "host/material_classes.h"
#include "host/primitives.h"
#include "host/renderer.h"
#include "host/std_material.h"
#include "sdk/class_desc.h"
#include "sdk/curve_control.h"
#include "sdk/testing/fake_shade_context.h"
#include "tarnis/material/tarmat.h"
#include "tarnis/material/tarmat_ext.h"
#include "tarnis/material/tarmat_params.h"
#include "tarnis/stroke/stroke_map.h"
#include "tarnis/stroke/stroke_params.h"

namespace {

constexpr int kTriangles = 1046528;
// Frames the standard scene is shaded for when a toon case has to measure
// the reference itself.
constexpr int kReferenceFrames = 3;

class NullSink : public host::FrameSink {
 public:
  bool WriteFrame(const host::FrameResult&, std::string*) override { return true; }
};

// What one run of a case shaded: the shading stage's seconds and samples.
struct ShadeTally {
  double seconds = 0.0;
  long long samples = 0;

  double SecondsPerSample() const {
    return samples > 0 ? seconds / static_cast<double>(samples) : 0.0;
  }
};

// The standard material's last reported run in this process.
ShadeTally standardCost;

// The host's standard material with a diffuse colour and nothing else set:
// the reference surface and the toon material's base. Whatever was made is
// returned for the scene to own, also with `error` set.
Mtl* MakeStandard(std::string* error) {
  host::RegisterMaterialClasses(GetClassDirectory());
  Mtl* mtl = NewDefaultStdMat();
  auto* standard = dynamic_cast<host::StdMtl*>(mtl);
  if (!standard || !standard->ParamBlock()) {
    *error = "the class directory made no standard material";
  } else if (!standard->ParamBlock()->SetValue(host::kSmDiffuse, 0, Color(0.8f, 0.7f, 0.6f))) {
    *error = "the standard material took no diffuse colour";
  }
  return mtl;
}

bool Near(float a, float b) {
  return std::abs(a - b) < 1e-6f;
}

// The toon material over a standard base, with the highlight and shadow
// blend of the benchmark; checked through the working copy, so a setting
// that did not reach the shading fails the case instead of timing the
// wrong path.
Mtl* MakeToon(bool shadowBlend, std::string* error) {
  Mtl* base = MakeStandard(error);
  if (!error->empty()) return base;
  auto* toon = new tarnis::Tarmat;
  toon->SetSubMtl(0, base);
  IParamBlock2* main = toon->Block(tarnis::kTarmatBlockMain);
  tarnis::TarmatExt* ext = toon->Ext();
  if (!main || !ext || !ext->Block() || !main->SetValue(tarnis::kTmHiLevel, 0, 60) ||
      !main->SetValue(tarnis::kTmHiGross, 0, 40) ||
      !ext->Block()->SetValue(tarnis::kSblendEnable, 0, shadowBlend ? 1 : 0)) {
    *error = "the toon material did not take the benchmark's settings";
    return toon;
  }
  Interval valid = FOREVER;
  toon->Update(0, valid);
  const tarnis::TarmatValues& v = toon->Values();
  if (v.base != base || !Near(v.hiLevel, 0.6f) || !Near(v.hiGross, 0.4f) ||
      v.ext.sblendEnable != shadowBlend) {
    *error = "the toon material's working copy does not show the benchmark's settings";
  }
  return toon;
}

// Map coordinates the stroke-sample cases cover: a square grid of
// kGridSide x kGridSide points spread over kGridUnits map units each way.
constexpr int kGridSide = 512;
constexpr float kGridUnits = 4.0f;

// One value of a stroke map's blocks: block, parameter, value.
struct StrokeSetting {
  int block;
  ParamID id;
  float value;
};

// A stroke map made after the host's classes are registered (so that it
// makes its own standard coordinate generator), with `settings` applied and
// its working copy rebuilt. Null with `error` set when a setting was refused
// or the map has no generator; the callers check the working copy.
tarnis::Stroke* MakeStroke(std::initializer_list<StrokeSetting> settings, std::string* error) {
  host::RegisterMaterialClasses(GetClassDirectory());
  auto* map = new tarnis::Stroke;
  for (const StrokeSetting& s : settings) {
    IParamBlock2* pb = map->Block(s.block);
    if (!pb || !pb->SetValue(s.id, 0, s.value)) {
      *error = "the stroke map did not take the benchmark's settings";
      map->MaybeAutoDelete();
      return nullptr;
    }
  }
  Interval valid = FOREVER;
  map->Update(0, valid);
  if (!map->Generator()) {
    *error = "the stroke map made no coordinate generator";
    map->MaybeAutoDelete();
    return nullptr;
  }
  return map;
}

// The 45 degree cross-hatch the toon case puts next to a default map.
tarnis::Stroke* MakeCrossHatch(std::string* error) {
  using namespace tarnis;
  Stroke* map = MakeStroke({{kStrokeBlockMain, kStrokeAngle, 45.0f},
                            {kStrokeBlockMain, kStrokeLength, 30.0f},
                            {kStrokeBlockMain, kStrokeWidth, 1.5f}},
                           error);
  if (map && (!Near(map->Values().angle, 45.0f) || !Near(map->Values().length, 30.0f) ||
              !Near(map->Values().width, 1.5f))) {
    *error = "the cross-hatch's working copy does not show its settings";
  }
  return map;
}

// The dense random map: short thin strokes on a tight grid with random
// width, length and angle, bent, both profiles on (the width tapering to
// nothing at the stroke's end) and an HSV colour range.
tarnis::Stroke* MakeDenseStroke(std::string* error) {
  using namespace tarnis;
  Stroke* map = MakeStroke({{kStrokeBlockMain, kStrokeLength, 40.0f},
                            {kStrokeBlockMain, kStrokeWidth, 2.0f},
                            {kStrokeBlockMain, kStrokeWidthRnd, 50.0f},
                            {kStrokeBlockMain, kStrokeLengthRnd, 50.0f},
                            {kStrokeBlockMain, kStrokeHspase, 4.0f},
                            {kStrokeBlockMain, kStrokeVspase, 4.0f},
                            {kStrokeBlockMain, kStrokeAngleRnd, 60.0f},
                            {kStrokeBlockMain, kStrokeBend, 30.0f},
                            {kStrokeBlockDampSize, kStrokeDampSizeRandom, 50.0f},
                            {kStrokeBlockDampAlpha, kStrokeDampAlphaRandom, 50.0f},
                            {kStrokeBlockColorMod, kStrokeColorModR, 20.0f},
                            {kStrokeBlockColorMod, kStrokeColorModG, 20.0f},
                            {kStrokeBlockColorMod, kStrokeColorModB, 20.0f}},
                           error);
  if (!map) return nullptr;
  IParamBlock2* size = map->Block(kStrokeBlockDampSize);
  IParamBlock2* alpha = map->Block(kStrokeBlockDampAlpha);
  IParamBlock2* range = map->Block(kStrokeBlockColorMod);
  CurveControl* curve = map->SizeCurve();
  ICurve* c = curve && curve->GetNumCurves() > 0 ? curve->GetControlCurve(0) : nullptr;
  const int ends = CURVEP_CORNER | CURVEP_ENDPOINT;
  if (!size || !alpha || !range || !c || !size->SetValue(kStrokeDampSizeEnable, 0, 1) ||
      !alpha->SetValue(kStrokeDampAlphaEnable, 0, 1) ||
      !range->SetValue(kStrokeColorModType, 0, kColorRangeHSV) || !c->SetNumPts(2) ||
      !c->SetPoint(0, 0, {.p = {0.0f, 1.0f}, .in = {}, .out = {}, .flags = ends}, false, false) ||
      !c->SetPoint(0, 1, {.p = {1.0f, 0.0f}, .in = {}, .out = {}, .flags = ends}, false, true)) {
    *error = "the dense stroke map did not take its profiles and colour range";
    return map;
  }
  Interval valid = FOREVER;
  map->Update(0, valid);
  const StrokeValues& v = map->Values();
  if (!Near(v.length, 40.0f) || !Near(v.width, 2.0f) || !Near(v.widthRnd, 50.0f) ||
      !Near(v.lengthRnd, 50.0f) || !Near(v.hspase, 4.0f) || !Near(v.vspase, 4.0f) ||
      !Near(v.angleRnd, 60.0f) || !Near(v.bend, 30.0f) || !v.dampSizeEnable ||
      !Near(v.dampSizeRandom, 1.0f) || !Near(v.dampAlphaRandom, 1.0f) || !v.dampAlphaEnable ||
      v.colorRange.type != kColorRangeHSV || !Near(v.colorRange.r, 0.2f) ||
      c->GetValue(0, 1.0f) > 1e-6f) {
    *error = "the dense stroke map's working copy does not show its settings";
  }
  return map;
}

// The renderer benchmark's sphere and camera with `mtl` on the sphere.
struct SphereScene {
  explicit SphereScene(Mtl* mtl) {
    auto* geom = new host::GeomObject;
    host::PrimitiveParams p;
    p.type = "sphere";
    p.radius = 1.0f;
    p.segments = 1024;  // 1,046,528 triangles
    std::string meshError;
    if (!host::MakePrimitive(p, geom->mesh, &meshError)) error = meshError;
    host::HostNode* node = scene.CreateNode("Sphere");
    node->SetObject(geom);
    node->SetMtl(mtl);
    auto* camera = new host::CameraObject;
    camera->fovDegrees = 50.0f;
    host::HostNode* cam = scene.CreateNode("Camera");
    cam->SetObject(camera);
    cam->position = Point3(0.0f, -3.2f, 0.0f);
    cam->target = Point3(0.0f, 0.0f, 0.0f);
    scene.cameraNode = cam;

    auto* sun = new host::LightObject;
    sun->type = host::LightObject::Type::kDirectional;
    sun->castShadows = true;
    host::HostNode* s = scene.CreateNode("Sun");
    s->SetObject(sun);
    s->position = Point3(2.0f, -3.0f, 4.0f);
    s->target = Point3(0.0f, 0.0f, 0.0f);
    // From the side away from the sun, so the camera sees parts lit by the
    // sun alone, by both lights and by this one alone.
    auto* fill = new host::LightObject;
    fill->type = host::LightObject::Type::kOmni;
    fill->multiplier = 0.5f;
    host::HostNode* f = scene.CreateNode("Fill");
    f->SetObject(fill);
    f->position = Point3(-4.0f, -2.0f, -1.0f);

    settings.width = 1920, settings.height = 1080;
    settings.samples = 1;
    settings.threads = 0;
  }

  // Renders one frame and adds its shading stage to `tally`; false with
  // `error` set when the render did not finish.
  bool ShadeFrame(ShadeTally& tally) {
    NullSink sink;
    const host::RenderReport r = host::RenderSequence(scene, settings, sink);
    if (r.status != host::RenderStatus::kDone) {
      error = r.error.empty() ? "the render did not finish" : r.error;
      return false;
    }
    tally.seconds += r.seconds.shade;
    tally.samples += r.samplesShaded;
    return true;
  }

  host::Scene scene;
  host::RenderSettings settings;
  std::string error;
};

// Times the shading stage of every frame the state asks for; the tally is
// the reported run's.
ShadeTally RunFrames(benchmark::State& state, SphereScene& big) {
  ShadeTally tally;
  for (auto _ : state) {
    const double before = tally.seconds;
    if (!big.ShadeFrame(tally)) {
      state.SkipWithError(big.error.c_str());
      break;
    }
    state.SetIterationTime(tally.seconds - before);
  }
  state.SetItemsProcessed(tally.samples);
  state.counters["triangles"] = kTriangles;
  state.counters["ns_per_sample"] = tally.SecondsPerSample() * 1e9;
  return tally;
}

void BM_StandardShade(benchmark::State& state) {
  std::string error;
  Mtl* standard = MakeStandard(&error);
  SphereScene big(standard);
  if (!error.empty() || !big.error.empty()) {
    state.SkipWithError((error.empty() ? big.error : error).c_str());
    return;
  }
  const ShadeTally tally = RunFrames(state, big);
  if (tally.samples > 0) standardCost = tally;
}
BENCHMARK(BM_StandardShade)->UseManualTime()->Unit(benchmark::kMillisecond);

// Makes sure standardCost holds the standard material's cost, rendering the
// standard scene here when its case did not run; false with the case skipped
// when that failed.
bool HaveStandardCost(benchmark::State& state) {
  if (standardCost.samples > 0) return true;
  std::string error;
  SphereScene reference(MakeStandard(&error));
  if (error.empty()) error = reference.error;
  ShadeTally tally;
  for (int i = 0; i < kReferenceFrames && error.empty(); ++i) {
    if (!reference.ShadeFrame(tally)) error = reference.error;
  }
  if (error.empty() && tally.samples == 0) error = "no surface sample was shaded";
  if (!error.empty()) {
    state.SkipWithError(("the standard material's reference: " + error).c_str());
    return false;
  }
  standardCost = tally;
  return true;
}

// Renders the frames of a toon case with `toon` on the sphere and reports
// its cost against the standard material's.
void RunToonCase(benchmark::State& state, Mtl* toon, const std::string& error) {
  SphereScene big(toon);
  if (!error.empty() || !big.error.empty()) {
    state.SkipWithError((error.empty() ? big.error : error).c_str());
    return;
  }
  const ShadeTally tally = RunFrames(state, big);
  state.counters["std_ns_per_sample"] = standardCost.SecondsPerSample() * 1e9;
  state.counters["cost_ratio"] = tally.SecondsPerSample() / standardCost.SecondsPerSample();
}

void BM_ToonShade(benchmark::State& state) {
  const bool shadowBlend = state.range(0) != 0;
  if (!HaveStandardCost(state)) return;
  std::string error;
  Mtl* toon = MakeToon(shadowBlend, &error);
  RunToonCase(state, toon, error);
}
BENCHMARK(BM_ToonShade)
    ->ArgName("sblend")
    ->Arg(1)
    ->Arg(0)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The shadow-blend toon material with stroke slots 1 and 2 of every zone
// holding a default map and the cross-hatch, switched on; checked through
// the working copy like the toon material's own settings.
void BM_ToonStrokesShade(benchmark::State& state) {
  if (!HaveStandardCost(state)) return;
  std::string error;
  Mtl* mtl = MakeToon(true, &error);
  auto* toon = dynamic_cast<tarnis::Tarmat*>(mtl);
  for (int z = 0; z < tarnis::kToonZones && error.empty() && toon; ++z) {
    tarnis::Stroke* maps[2] = {MakeStroke({}, &error), nullptr};
    if (error.empty()) maps[1] = MakeCrossHatch(&error);
    IParamBlock2* zone = toon->Block(tarnis::kTarmatBlockZone1 + z);
    for (int i = 0; i < 2; ++i) {
      if (!maps[i]) continue;
      toon->ReplaceReference(tarnis::StrokeRef(z, i), maps[i]);
      if (!zone || !zone->SetValue(tarnis::kTzStrokeEnable, 0, 1, i)) {
        error = "the toon material's zone did not switch its stroke slot on";
      }
    }
  }
  if (error.empty() && toon) {
    Interval valid = FOREVER;
    toon->Update(0, valid);
    for (int z = 0; z < tarnis::kToonZones; ++z) {
      const tarnis::ZoneValues& zone = toon->Values().zones[z];
      int on = 0;
      for (int i = 0; i < tarnis::kTarmatStrokesPerZone; ++i) on += zone.strokes[i] ? 1 : 0;
      if (on != 2 || !zone.strokes[0] || !zone.strokes[1]) {
        error = "the toon material's working copy does not shade two strokes in every zone";
      }
    }
  }
  RunToonCase(state, mtl, error);
}
BENCHMARK(BM_ToonStrokesShade)->UseManualTime()->Unit(benchmark::kMillisecond);

// Sums the stroke map's samples over the grid of map coordinates.
struct GridSums {
  float coverage = 0.0f;
  Color colour;
};

GridSums SampleGrid(const tarnis::Stroke& map, ShadeContext& sc) {
  constexpr float kStep = kGridUnits / static_cast<float>(kGridSide);
  GridSums sums;
  for (int j = 0; j < kGridSide; ++j) {
    const float v = (static_cast<float>(j) + 0.5f) * kStep;
    for (int i = 0; i < kGridSide; ++i) {
      const tarnis::StrokeResult r =
          map.Sample(sc, Point2((static_cast<float>(i) + 0.5f) * kStep, v), 0, 1.0f);
      sums.coverage += r.coverage;
      sums.colour += r.colour;
    }
  }
  return sums;
}

// The stroke map alone, one thread, no render context: samples a second
// over the grid. A map that covers nothing of the grid fails the case, as it
// would time only the early way out.
void BM_StrokeSample(benchmark::State& state, bool dense) {
  std::string error;
  tarnis::Stroke* map = dense ? MakeDenseStroke(&error) : MakeStroke({}, &error);
  ReferenceHolder holder(map);
  if (!error.empty()) {
    state.SkipWithError(error.c_str());
    return;
  }
  FakeShadeContext sc;
  constexpr double kPerPass = static_cast<double>(kGridSide) * kGridSide;
  const GridSums first = SampleGrid(*map, sc);
  if (!(first.coverage > 0.0f)) {
    state.SkipWithError("no stroke covers any point of the grid");
    return;
  }
  for (auto _ : state) {
    GridSums sums = SampleGrid(*map, sc);
    benchmark::DoNotOptimize(sums.coverage);
    benchmark::DoNotOptimize(sums.colour);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<long long>(kPerPass));
  state.counters["mean_coverage"] = first.coverage / kPerPass;
}
BENCHMARK_CAPTURE(BM_StrokeSample, default, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_StrokeSample, dense, true)->Unit(benchmark::kMillisecond);

}  // namespace
