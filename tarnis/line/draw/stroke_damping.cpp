#include "tarnis/line/draw/stroke_damping.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "tarnis/line/frame/frame_view.h"
#include "tarnis/line/frame/stroke_params.h"

namespace tarnis {

void CurveTable::Build(const CurveControl* curve, TimeValue t) {
  const ICurve* c = curve ? curve->GetControlCurve(0) : nullptr;
  if (!c) {
    set_ = false;
    return;
  }
  BuildFrom([&](float x) { return c->GetValue(t, x); });
}

void CurveTable::finish() {
  // A curve with non-finite values would poison every width it touches.
  for (float& v : values_) {
    if (!std::isfinite(v)) v = 0.0f;
  }
  max_ = *std::max_element(values_.begin(), values_.end());
  blockMax_.fill(std::numeric_limits<float>::lowest());
  for (int i = 0; i <= kSize; ++i) {
    float& m = blockMax_[static_cast<size_t>(i / kBlock)];
    m = std::max(m, values_[static_cast<size_t>(i)]);
  }
  set_ = true;
}

float CurveTable::MaxOver(float x0, float x1) const {
  if (!set_) return 1.0f;
  if (x1 < x0) std::swap(x0, x1);
  x0 = std::clamp(x0, 0.0f, 1.0f);
  x1 = std::clamp(x1, 0.0f, 1.0f);
  const int i0 = static_cast<int>(std::floor(x0 * kSize));
  const int i1 = std::min(kSize, static_cast<int>(std::ceil(x1 * kSize)));
  // Whole blocks by their maxima, the ragged ends entry by entry.
  float m = values_[static_cast<size_t>(i0)];
  int i = i0;
  for (; i <= i1 && i % kBlock != 0; ++i) m = std::max(m, values_[static_cast<size_t>(i)]);
  for (; i + kBlock - 1 <= i1; i += kBlock)
    m = std::max(m, blockMax_[static_cast<size_t>(i / kBlock)]);
  for (; i <= i1; ++i) m = std::max(m, values_[static_cast<size_t>(i)]);
  return m;
}

namespace {

DistanceDamping fromChange(const LineDepth::Change& c, TimeValue t, float floor) {
  DistanceDamping d;
  if (!c.on) return d;
  d.on = true;
  d.curve.Build(c.curve, t);
  d.min = c.min;
  d.invRange = c.invRange;
  d.floor = std::clamp(floor, 0.0f, 1.0f);
  d.fromNode = c.fromNode;
  d.nodePosition = c.nodePosition;
  return d;
}

}  // namespace

void StrokeDamping::Build(const CurveControl* sizeAlong, const CurveControl* alphaAlong,
                          const LineDepth& depth, const FrameView& view, TimeValue t) {
  sizeAlong_.Build(sizeAlong, t);
  alphaAlong_.Build(alphaAlong, t);
  sizeByDistance_ = fromChange(depth.size, t, 0.0f);
  alphaByDistance_ = fromChange(depth.alpha, t, depth.alpha.farValue);
  parallel_ = view.Parallel();
  xscale_ = view.xscale;
  yscale_ = view.yscale;
  xc_ = view.xc;
  yc_ = view.yc;
  camToWorld_ = view.camToWorld;
  Refresh();
}

float StrokeDamping::distance(const DistanceDamping& d, const Point2& p, float z) const {
  if (!d.fromNode) return -z;
  Point3 cam;
  if (parallel_) {
    cam = Point3((p.x - xc_) / xscale_, (p.y - yc_) / yscale_, z);
  } else {
    cam = Point3((p.x - xc_) * z / xscale_, (p.y - yc_) * z / yscale_, z);
  }
  return Length(cam * camToWorld_ - d.nodePosition);
}

}  // namespace tarnis
