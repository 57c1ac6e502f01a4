#include "sdk/render.h"

Point2 RenderGlobalContext::MapToScreen(const Point3& p) const {
  if (projType == PROJ_PARALLEL) return {p.x * xscale + xc, p.y * yscale + yc};
  // The camera looks down -z, so visible points have z < 0; a point exactly on
  // the camera plane is pushed a hair in front to keep the result finite.
  float z = p.z == 0.0f ? 1e-6f : p.z;
  return {xc + p.x * xscale / z, yc + p.y * yscale / z};
}
