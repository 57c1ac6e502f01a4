// FrameView: the camera data of the frame being drawn (projection, device
// size, depth window and drawing extent) that every stage of the line engine
// reads, and the projection rule they all share.
#pragma once

#include "sdk/boxes.h"
#include "sdk/matrix3.h"
#include "sdk/render.h"
#include "tarnis/line/frame/line_draw_options.h"

namespace tarnis {

struct FrameView {
  TimeValue time = 0;
  int width = 0, height = 0;
  int projType = PROJ_PERSPECTIVE;  // PROJ_PARALLEL (1) or perspective
  float xscale = 1.0f, yscale = 1.0f, xc = 0.0f, yc = 0.0f;
  Matrix3 camToWorld, worldToCam;
  bool haveView = false;
  ViewParams view;  // copied when the render context has view parameters
  // Depth window (camera space, the camera looks down -z): a point is too
  // near when z > nearLimit and too far when z < farLimit.
  float nearLimit = -0.1f, farLimit = -1e30f;
  float outsideLength = 0.0f;
  Box2 extent;  // the image plus outsideLength on every side
  LineDrawOptions options;

  bool Parallel() const { return projType == PROJ_PARALLEL; }

  Point2 Project(const Point3& p) const {
    if (Parallel()) return {p.x * xscale + xc, p.y * yscale + yc};
    const float z = p.z == 0.0f ? 1e-6f : p.z;
    return {xc + p.x * xscale / z, p.y * yscale / z + yc};
  }

  // The camera-space direction of the eye ray through screen point s
  // (perspective: from the camera origin; parallel: along -z).
  Point3 EyeDirection(const Point2& s) const {
    if (Parallel()) return {0.0f, 0.0f, -1.0f};
    return {-(s.x - xc) / xscale, -(s.y - yc) / yscale, -1.0f};
  }
  // The camera-space point on the parallel eye ray through s at depth z.
  Point3 ParallelPoint(const Point2& s, float z) const {
    return {(s.x - xc) / xscale, (s.y - yc) / yscale, z};
  }

  // Copies the camera data of `gc` and sets the depth window from its view
  // parameters (or the defaults when it has none).
  void SetFromContext(RenderGlobalContext& gc);
  void SetExtent(float outside) {
    outsideLength = outside;
    extent = Box2(Point2(-outside, -outside), Point2(static_cast<float>(width) + outside,
                                                     static_cast<float>(height) + outside));
  }
};

}  // namespace tarnis
