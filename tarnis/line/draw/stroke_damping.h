// StrokeDamping: what narrows and fades a stroke along its length and with
// distance. The brush's size and alpha falloff curves are looked up by the
// position along the stroke (0 at its start, 1 at its end); the line set's
// distance curves by the camera depth of a point or, with a reference node,
// by the point's distance from that node. Every curve is sampled once per
// job into a small table, so the rasteriser can ask for the factors of each
// sample it covers without calling the curve control.
#pragma once

#include <array>

#include "sdk/curve_control.h"
#include "sdk/matrix3.h"
#include "sdk/points.h"

namespace tarnis {

struct FrameView;
struct LineDepth;

// A curve over 0..1 sampled at kSize + 1 evenly spaced points and read back
// with linear interpolation. An unset table answers 1 everywhere.
class CurveTable {
 public:
  static constexpr int kSize = 256;

  // Samples the curve's first control curve at time t; a null curve (or one
  // without control curves) leaves the table unset.
  void Build(const CurveControl* curve, TimeValue t);
  // Fills the table from a function of x in 0..1 (for tests and previews).
  template <class F>
  void BuildFrom(F&& f) {
    for (int i = 0; i <= kSize; ++i) values_[static_cast<size_t>(i)] = f(float(i) / kSize);
    finish();
  }
  void Clear() { set_ = false; }
  bool Set() const { return set_; }

  // The curve at x, clamped into 0..1.
  float At(float x) const {
    if (!set_) return 1.0f;
    if (!(x > 0.0f)) return values_[0];
    if (x >= 1.0f) return values_[kSize];
    const float s = x * kSize;
    const int i = static_cast<int>(s);
    const float f = s - static_cast<float>(i);
    return values_[static_cast<size_t>(i)] +
           (values_[static_cast<size_t>(i) + 1] - values_[static_cast<size_t>(i)]) * f;
  }
  // The largest value between x0 and x1 (in either order).
  float MaxOver(float x0, float x1) const;
  // The largest value anywhere.
  float Max() const { return set_ ? max_ : 1.0f; }

 private:
  void finish();

  static constexpr int kBlock = 16;  // entries per block of blockMax_
  std::array<float, kSize + 1> values_{};
  std::array<float, kSize / kBlock + 1> blockMax_{};  // the largest entry of each block
  float max_ = 1.0f;
  bool set_ = false;
};

// One distance change of a line type: the curve at (distance − min) /
// (max − min), mapped so that the curve's 1 keeps the full value and its 0
// gives `floor` (alpha's value at the far end; 0 for size).
struct DistanceDamping {
  bool on = false;
  CurveTable curve;
  float min = 0.0f, invRange = 0.0f;
  float floor = 0.0f;
  bool fromNode = false;
  Point3 nodePosition;  // the reference node's world position

  float At(float distance) const {
    const float c = curve.At((distance - min) * invRange);
    return floor + (1.0f - floor) * c;
  }
  float Max() const { return on ? floor + (1.0f - floor) * curve.Max() : 1.0f; }
};

class StrokeDamping {
 public:
  // Sets up the along-stroke curves (null: off) and the line type's
  // distance changes for the frame of `view` at time t.
  void Build(const CurveControl* sizeAlong, const CurveControl* alphaAlong, const LineDepth& depth,
             const FrameView& view, TimeValue t);

  // True when no factor can differ from 1.
  bool None() const { return none_; }

  // The factors at a point: `u` its position along the stroke (0..1), `p`
  // its screen position in pixels, z its camera-space depth (negative in
  // front of the camera).
  float SizeFactor(float u, const Point2& p, float z) const {
    float f = sizeAlong_.At(u);
    if (sizeByDistance_.on) f *= sizeByDistance_.At(distance(sizeByDistance_, p, z));
    return f;
  }
  float AlphaFactor(float u, const Point2& p, float z) const {
    float f = alphaAlong_.At(u);
    if (alphaByDistance_.on) f *= alphaByDistance_.At(distance(alphaByDistance_, p, z));
    return f;
  }
  // The same factors in parts, for callers that skip work per sample: the
  // along-stroke factors, and the distance factors (1 unless UsesDistance).
  bool UsesDistance() const { return sizeByDistance_.on || alphaByDistance_.on; }
  float SizeAlong(float u) const { return sizeAlong_.At(u); }
  float AlphaAlong(float u) const { return alphaAlong_.At(u); }
  float SizeByDistance(const Point2& p, float z) const {
    return sizeByDistance_.on ? sizeByDistance_.At(distance(sizeByDistance_, p, z)) : 1.0f;
  }
  float AlphaByDistance(const Point2& p, float z) const {
    return alphaByDistance_.on ? alphaByDistance_.At(distance(alphaByDistance_, p, z)) : 1.0f;
  }
  // An upper bound of the size factor between positions u0 and u1.
  float MaxSizeFactor(float u0, float u1) const {
    return sizeAlong_.MaxOver(u0, u1) * sizeByDistance_.Max();
  }

  // Direct access for tests and for callers that build tables themselves.
  CurveTable& SizeAlong() { return sizeAlong_; }
  CurveTable& AlphaAlong() { return alphaAlong_; }
  DistanceDamping& SizeByDistance() { return sizeByDistance_; }
  DistanceDamping& AlphaByDistance() { return alphaByDistance_; }
  // Call after changing the tables directly.
  void Refresh() {
    none_ = !sizeAlong_.Set() && !alphaAlong_.Set() && !sizeByDistance_.on && !alphaByDistance_.on;
  }

 private:
  float distance(const DistanceDamping& d, const Point2& p, float z) const;

  CurveTable sizeAlong_, alphaAlong_;
  DistanceDamping sizeByDistance_, alphaByDistance_;
  // The projection, to rebuild camera-space points for node distances.
  bool parallel_ = false;
  float xscale_ = 1.0f, yscale_ = 1.0f, xc_ = 0.0f, yc_ = 0.0f;
  Matrix3 camToWorld_;
  bool none_ = true;
};

}  // namespace tarnis
