// OccluderScene: the faces of a frame that can hide lines (every face of a
// usable instance that is not marked "never hides"), in camera space, in one
// Embree scene. It answers the three ray questions of visibility sampling:
// is a point hidden, is it hidden by a face whose line set hides the lines
// of other sets, and is a screen point covered by the instance's own faces.
// Each answer depends only on which faces the ray meets, never on the order
// in which they are tried, so results do not depend on threads or on the
// acceleration structure.
#pragma once

#include <memory>
#include <vector>

#include "tarnis/line/frame/line_instance.h"

namespace tarnis {

// A face that never hides the edge being sampled (the faces that own it).
struct ExemptFace {
  int instance = -1;
  int face = -1;
};

class OccluderScene {
 public:
  OccluderScene();
  ~OccluderScene();
  OccluderScene(const OccluderScene&) = delete;
  OccluderScene& operator=(const OccluderScene&) = delete;

  // Builds over the occluder faces of `instances` (their occluder tables must
  // be built). False when the ray-tracing device fails.
  bool Build(const std::vector<DetectAndISectInstance>& instances, const FrameView& view);

  // True when a face other than the exempt ones lies on the eye ray to the
  // camera-space point p (shortened so that p's own surface does not count),
  // in front of the near limit and not cut away by a clipping plane.
  bool Hidden(const Point3& p, const ExemptFace exempt[2]) const;
  // The same test counting only faces whose line set hides other sets'
  // lines and is not `ownSet`.
  bool HiddenByExcluder(const Point3& p, const ExemptFace exempt[2], const LineSet* ownSet) const;
  // True when the eye ray through screen point s meets a face of `instance`
  // other than the exempt ones, at any depth beyond the near limit.
  bool Covered(const Point2& s, int instance, const ExemptFace exempt[2]) const;

  // True when some occluder face carries the exHidden mark.
  bool HasExcluders() const { return hasExcluders_; }

  struct Impl;  // the Embree scene and what its filter reads

 private:
  std::unique_ptr<Impl> impl_;
  bool hasExcluders_ = false;
};

}  // namespace tarnis
