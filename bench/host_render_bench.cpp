// Renderer benchmarks on a sphere of about a million triangles at 1920 x
// 1080: shading throughput (surface samples a second of the shading stage,
// Lambert material, one directional light) and the per-frame build (render
// instances, materials' update, the Embree scene, lights).
#include <benchmark/benchmark.h>

#include <tbb/task_arena.h>

#include "host/frame_renderer.h"
#include "host/primitives.h"
#include "host/renderer.h"

namespace {

class LambertMtl : public Mtl {
 public:
  void Update(TimeValue, Interval&) override {}
  Interval Validity(TimeValue) override { return FOREVER; }
  void Shade(ShadeContext& sc) override {
    Color light = sc.ambientLight;
    for (int i = 0; i < sc.nLights; ++i) {
      Color c;
      Point3 dir;
      float dotNL = 0.0f, diffuse = 0.0f;
      if (sc.Light(i)->Illuminate(sc, sc.Normal(), c, dir, dotNL, diffuse)) light += c * diffuse;
    }
    sc.out.c = Color(0.8f, 0.7f, 0.6f) * light;
  }
};

class NullSink : public host::FrameSink {
 public:
  bool WriteFrame(const host::FrameResult&, std::string*) override { return true; }
};

// A million-triangle sphere filling most of a 1920 x 1080 frame.
struct BigScene {
  BigScene() {
    auto* geom = new host::GeomObject;
    host::PrimitiveParams p;
    p.type = "sphere";
    p.radius = 1.0f;
    p.segments = 1024;  // 1,046,528 triangles
    std::string error;
    host::MakePrimitive(p, geom->mesh, &error);
    host::HostNode* node = scene.CreateNode("Sphere");
    node->SetObject(geom);
    node->SetMtl(new LambertMtl);
    auto* camera = new host::CameraObject;
    camera->fovDegrees = 50.0f;
    host::HostNode* cam = scene.CreateNode("Camera");
    cam->SetObject(camera);
    cam->position = Point3(0.0f, -3.2f, 0.0f);
    cam->target = Point3(0.0f, 0.0f, 0.0f);
    scene.cameraNode = cam;
    auto* light = new host::LightObject;
    light->type = host::LightObject::Type::kDirectional;
    host::HostNode* l = scene.CreateNode("Sun");
    l->SetObject(light);
    l->position = Point3(2.0f, -3.0f, 4.0f);
    l->target = Point3(0.0f, 0.0f, 0.0f);
    settings.width = 1920, settings.height = 1080;
    settings.samples = 1;
    settings.threads = 0;
  }
  host::Scene scene;
  host::RenderSettings settings;
};

void BM_ShadeFrame(benchmark::State& state) {
  BigScene big;
  big.settings.samples = static_cast<int>(state.range(0));
  NullSink sink;
  long long samples = 0;
  for (auto _ : state) {
    host::RenderReport r = host::RenderSequence(big.scene, big.settings, sink);
    if (r.status != host::RenderStatus::kDone) state.SkipWithError(r.error.c_str());
    state.SetIterationTime(r.seconds.shade);
    samples += r.samplesShaded;
  }
  state.SetItemsProcessed(samples);
  state.counters["triangles"] = 1046528;
}
BENCHMARK(BM_ShadeFrame)->Arg(1)->Arg(2)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_FrameBuild(benchmark::State& state) {
  BigScene big;
  tbb::task_arena arena;
  host::RayDevice device;
  host::Background background;
  host::FrameSetup setup;
  setup.nodes = big.scene.AllNodes();
  setup.cameraNode = big.scene.cameraNode;
  setup.camera = dynamic_cast<host::CameraObject*>(big.scene.cameraNode->GetObjectRef());
  setup.width = big.settings.width, setup.height = big.settings.height;
  setup.background = &background;
  for (auto _ : state) {
    host::FrameRenderer frame(arena, device);
    frame.Build(setup, nullptr);
    frame.Prepare();
    benchmark::DoNotOptimize(frame.Context().NumRenderInstances());
  }
  state.SetItemsProcessed(state.iterations() * 1046528);
}
BENCHMARK(BM_FrameBuild)->Unit(benchmark::kMillisecond);

}  // namespace
