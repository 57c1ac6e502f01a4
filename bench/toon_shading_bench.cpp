// Toon material shading benchmarks on the renderer benchmark's scene, a
// sphere of about a million triangles at 1920 x 1080, lit by a directional
// light that casts shadows and an omni light that does not. Each case
// reports the shading stage's throughput (surface samples a second):
//   BM_StandardShade          the host's standard material (a diffuse colour);
//   BM_ToonShade/sblend:1|0   the toon material over that same standard
//                             material: default zones, a highlight of level 60
//                             and glossiness 40, the advanced settings' shadow
//                             blend on (the costly path) or off.
//
// The toon cases also report cost_ratio: their cost per sample (shading-stage
// seconds / samples shaded, over the reported run) divided by the standard
// material's, measured in this process under the same load. The standard case
// runs first; when a filter leaves it out, a toon case renders the standard
// scene itself before its own frames. The toon material's goal is a ratio of
// at most 1.5.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>

#include "host/material_classes.h"
#include "host/primitives.h"
#include "host/renderer.h"
#include "host/std_material.h"
#include "sdk/class_desc.h"
#include "tarnis/material/tarmat.h"
#include "tarnis/material/tarmat_ext.h"
#include "tarnis/material/tarmat_params.h"

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

void BM_ToonShade(benchmark::State& state) {
  const bool shadowBlend = state.range(0) != 0;
  std::string error;
  if (standardCost.samples == 0) {
    SphereScene reference(MakeStandard(&error));
    if (error.empty()) error = reference.error;
    ShadeTally tally;
    for (int i = 0; i < kReferenceFrames && error.empty(); ++i) {
      if (!reference.ShadeFrame(tally)) error = reference.error;
    }
    if (error.empty() && tally.samples == 0) error = "no surface sample was shaded";
    if (!error.empty()) {
      state.SkipWithError(("the standard material's reference: " + error).c_str());
      return;
    }
    standardCost = tally;
  }
  Mtl* toon = MakeToon(shadowBlend, &error);
  SphereScene big(toon);
  if (!error.empty() || !big.error.empty()) {
    state.SkipWithError((error.empty() ? big.error : error).c_str());
    return;
  }
  const ShadeTally tally = RunFrames(state, big);
  state.counters["std_ns_per_sample"] = standardCost.SecondsPerSample() * 1e9;
  state.counters["cost_ratio"] = tally.SecondsPerSample() / standardCost.SecondsPerSample();
}
BENCHMARK(BM_ToonShade)
    ->ArgName("sblend")
    ->Arg(1)
    ->Arg(0)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
