#include "sdk/render.h"

Point2 RenderGlobalContext::MapToScreen(const Point3& p) const {
  if (projType == PROJ_PARALLEL) return {p.x * xscale + xc, p.y * yscale + yc};
  // The camera looks down -z, so visible points have z < 0; a point exactly on
  // the camera plane is pushed a hair in front to keep the result finite.
  float z = p.z == 0.0f ? 1e-6f : p.z;
  return {xc + p.x * xscale / z, yc + p.y * yscale / z};
}

namespace {

RenderInstance* mappedInstance(RenderMapsContext& rmc) {
  RenderGlobalContext* gc = rmc.GetGlobalContext();
  const int id = rmc.NodeRenderID();
  return gc && id >= 0 && id < gc->NumRenderInstances() ? gc->GetRenderInstance(id) : nullptr;
}

}  // namespace

void RenderMapsContext::GetCurrentViewParams(ViewParams& vp) {
  RenderGlobalContext* gc = GetGlobalContext();
  if (const ViewParams* frame = gc ? gc->GetViewParams() : nullptr) vp = *frame;
}

void RenderMapsContext::GetSubRendParams(SubRendParams& srp) {
  RenderGlobalContext* gc = GetGlobalContext();
  if (!gc) return;
  srp.devWidth = gc->devWidth;
  srp.devHeight = gc->devHeight;
  srp.devAspect = gc->devAspect;
  srp.xmin = srp.ymin = 0;
  srp.xmax = gc->devWidth;
  srp.ymax = gc->devHeight;
  srp.xorg = srp.yorg = 0;
  srp.projType = gc->projType;
  srp.fieldRender = gc->fieldRender;
  if (const ViewParams* vp = gc->GetViewParams()) srp.fov = vp->fov;
}

Box3 RenderMapsContext::ObjectSpaceBoundingBox() {
  RenderInstance* ri = mappedInstance(*this);
  return ri ? ri->obBox : Box3();
}

Box3 RenderMapsContext::CameraSpaceBoundingBox() {
  RenderInstance* ri = mappedInstance(*this);
  return ri ? ri->camBox : Box3();
}

Matrix3 RenderMapsContext::ObjectToWorldTM() {
  RenderInstance* ri = mappedInstance(*this);
  return ri ? ri->objToWorld : Matrix3();
}
