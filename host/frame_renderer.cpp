// The stages of one frame.
#include "host/frame_renderer.h"

#include "host/render_maps_context.h"
#include "host/view_tracer.h"
#include "sdk/interface.h"
#include "sdk/mtl.h"

namespace host {

void CollectMtlBases(MtlBase* root, std::vector<MtlBase*>& out,
                     std::unordered_set<MtlBase*>& seen) {
  if (!root || !seen.insert(root).second) return;
  out.push_back(root);
  if (auto* mtl = dynamic_cast<Mtl*>(root)) {
    for (int i = 0; i < mtl->NumSubMtls(); ++i) CollectMtlBases(mtl->GetSubMtl(i), out, seen);
  }
  for (int i = 0; i < root->NumSubTexmaps(); ++i) CollectMtlBases(root->GetSubTexmap(i), out, seen);
}

FrameRenderer::FrameRenderer(tbb::task_arena& arena, const RayDevice& device)
    : arena_(arena), device_(device) {}

FrameRenderer::~FrameRenderer() = default;

void FrameRenderer::Build(const FrameSetup& setup, std::vector<std::string>* warnings) {
  setup_ = setup;
  ViewSetup view = CameraView(setup.cameraNode, *setup.camera, setup.time, setup.width,
                              setup.height, setup.pixelAspect);
  arena_.execute([&] {
    context_ = HostRenderGlobalContext::BuildFrame(setup.nodes, setup.time, view, setup.mtlOverride,
                                                   warnings);
  });
  context_->inMtlEdit = setup.inMtlEdit;
  context_->antialias = setup.samples > 1;
  context_->ambient = setup.ambient;
}

void FrameRenderer::Prepare() {
  updated_.clear();
  std::unordered_set<MtlBase*> seen;
  CollectMtlBases(setup_.mtlOverride, updated_, seen);
  for (HostNode* node : setup_.nodes) CollectMtlBases(node->GetMtl(), updated_, seen);
  for (MtlBase* m : updated_) {
    Interval valid = FOREVER;
    m->Update(setup_.time, valid);
  }
  // Two-sidedness is asked after Update, so an animated switch counts.
  context_->ResolveMaterials();
  rays_ = std::make_unique<RayScene>(device_);
  for (int i = 0; i < context_->NumRenderInstances(); ++i) {
    HostRenderInstance& inst = context_->Instance(i);
    if (!inst.Hidden()) rays_->AddGeometry(i, inst.Geometry());
  }
  arena_.execute([&] { rays_->Commit(); });
  auto lights = std::make_shared<std::vector<LightSource>>();
  for (HostNode* node : setup_.nodes) {
    if (auto light = LightSourceOf(node, setup_.time)) lights->push_back(*light);
  }
  if (setup_.defaultLights) *lights = DefaultLights(context_->camToWorld);
  lights_ = std::move(lights);
  context_->SetLights(lights_, rays_.get());
}

bool FrameRenderer::BuildMaps() {
  SubViewResources res;
  res.frame = context_.get();
  res.rays = rays_.get();
  res.arena = &arena_;
  res.background = setup_.background;
  res.lights = lights_;
  res.samples = setup_.samples;
  for (int i = 0; i < context_->NumRenderInstances(); ++i) {
    HostRenderInstance& inst = context_->Instance(i);
    if (inst.Hidden()) continue;
    if (GetCOREInterface()->GetCancel()) return false;
    std::vector<MtlBase*> maps;
    std::unordered_set<MtlBase*> seen;
    CollectMtlBases(inst.GetNodeMtl(), maps, seen);
    HostRenderMapsContext rmc(res, i);
    for (MtlBase* m : maps) {
      if (!m->BuildMaps(setup_.time, rmc)) return false;
    }
  }
  return true;
}

bool FrameRenderer::Shade(FrameResult& frame, const std::function<bool(int)>& afterBand,
                          long long* shaded) {
  TraceOptions options;
  options.samples = setup_.samples;
  ViewTracer tracer(*context_, *rays_, *setup_.background, options);
  TraceTargets targets;
  targets.image = &frame.image;
  for (ElementImage& e : frame.elements) targets.elements.push_back(&e.image);
  targets.gbuffer = &frame.gbuffer;
  return TraceImage(tracer, arena_, targets, afterBand, shaded);
}

}  // namespace host
