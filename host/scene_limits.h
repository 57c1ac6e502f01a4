// The ranges the numbers of a scene must lie in before they reach the
// renderer, shared by the scene-description reader and the saved-scene
// reader so that both refuse or clamp the same values. Far beyond them the
// ray tracer's own checks fail (a camera a billion units away, a mesh of
// 1e30-sized coordinates): these ranges keep every position, size and
// distance where single-precision ray tracing still works.
#pragma once

#include <cmath>
#include <string>

#include "sdk/param_def.h"
#include "sdk/points.h"

namespace host {

// Positions, targets and mesh vertices (scene units, per component).
inline constexpr float kMaxCoordinate = 1e6f;
inline constexpr ParamRange kCoordinateRange{-kMaxCoordinate, kMaxCoordinate};
// Node scale per axis; a scale of 0 is allowed (it hides the node).
inline constexpr ParamRange kScaleRange{-1e4f, 1e4f};
// Rotation angles in degrees.
inline constexpr ParamRange kRotationRange{-1e5f, 1e5f};
// Camera field of view in degrees.
inline constexpr ParamRange kFovRange{0.1f, 179.0f};
// Orthographic width, clipping distances and primitive sizes.
inline constexpr ParamRange kLengthRange{1e-6f, 2.0f * kMaxCoordinate};
// Spot-light cone angles in degrees.
inline constexpr ParamRange kConeRange{0.5f, 179.0f};
// Light multipliers.
inline constexpr ParamRange kMultiplierRange{-1e4f, 1e4f};
inline constexpr ParamRange kUnitRange{0.0f, 1.0f};

// Render settings.
inline constexpr int kMaxImageSide = 16384;
inline constexpr int kMaxSamplesPerSide = 16;
inline constexpr int kMaxThreads = 1024;
inline constexpr ParamRange kPixelAspectRange{0.01f, 100.0f};

inline bool InRange(float v, const ParamRange& r) {
  return v >= r.min && v <= r.max;
}
inline bool InRange(const Point3& p, const ParamRange& r) {
  return InRange(p.x, r) && InRange(p.y, r) && InRange(p.z, r);
}
// `v` clamped into `r` (non-finite values: the bound nearest their sign, NaN
// the lower one).
inline float ClampToRange(float v, const ParamRange& r) {
  if (std::isnan(v)) return r.min;
  return v < r.min ? r.min : v > r.max ? r.max : v;
}
inline Point3 ClampToRange(const Point3& p, const ParamRange& r) {
  return Point3(ClampToRange(p.x, r), ClampToRange(p.y, r), ClampToRange(p.z, r));
}

}  // namespace host
