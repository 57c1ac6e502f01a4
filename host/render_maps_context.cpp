// Sub-view renders for maps.
#include "host/render_maps_context.h"

#include <algorithm>

#include "host/view_tracer.h"
#include "sdk/interface.h"

namespace host {

namespace {

// A camera-space plane of the view with world-to-camera `w`, in world space.
Point4 planeToWorld(const Point4& plane, const Matrix3& w) {
  Point3 n = plane.XYZ();
  Point3 nw(DotProd(w.GetRow(0), n), DotProd(w.GetRow(1), n), DotProd(w.GetRow(2), n));
  return {nw, plane.w + DotProd(n, w.GetTrans())};
}

}  // namespace

HostRenderMapsContext::HostRenderMapsContext(SubViewResources resources, int instance)
    : res_(std::move(resources)), instance_(instance) {}

INode* HostRenderMapsContext::GetNode() {
  RenderInstance* inst = res_.frame->GetRenderInstance(instance_);
  return inst ? inst->GetINode() : nullptr;
}

bool HostRenderMapsContext::Render(Bitmap* bm, ViewParams& vp, SubRendParams& srp,
                                   const Point4* clipPlanes, int nClipPlanes) {
  if (!bm) return true;
  if (bm->Width() < 1 || bm->Height() < 1) bm->Resize(srp.devWidth, srp.devHeight);
  if (bm->Width() < 1 || bm->Height() < 1) return true;
  ++renders_;
  std::unique_ptr<HostRenderGlobalContext> view;
  ViewSetup setup = SubView(vp, bm->Width(), bm->Height(), srp.devAspect);
  res_.arena->execute([&] { view = res_.frame->MakeSubView(setup); });
  view->SetLights(res_.lights, res_.rays);
  TraceOptions options;
  options.samples = res_.samples;
  options.kind = RayKind::kSecondary;
  options.excludeInstance = instance_;
  for (int i = 0; clipPlanes && i < nClipPlanes; ++i)
    options.clipPlanes.push_back(planeToWorld(clipPlanes[i], view->worldToCam));
  Background black;
  ViewTracer tracer(*view, *res_.rays, srp.doEnvMap ? *res_.background : black, options);
  TraceTargets targets;
  targets.image = bm;
  return TraceImage(
      tracer, *res_.arena, targets, [](int) { return !GetCOREInterface()->GetCancel(); }, nullptr);
}

}  // namespace host
