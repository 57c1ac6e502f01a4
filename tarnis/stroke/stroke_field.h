// The hatch field: short strokes laid on a jittered grid of cells in pattern
// units, one stroke per cell with its own angle, offset, width and length
// drawn from the shared random tables, with half-disc ends, an optional
// width and opacity profile along the stroke and a per-stroke colour offset.
// HatchField answers the coverage at a point and the coverage-weighted mean
// colour offset of the strokes covering it; ApplyColorShift moves a colour by
// such an offset. Both only read their arguments, so render threads call them
// together.
#pragma once

#include <cstdint>

#include "sdk/color.h"
#include "tarnis/stroke/stroke_params.h"

class ICurve;

namespace tarnis {

// The profile curves the field follows; null where a profile is off.
struct StrokeProfiles {
  const ICurve* size = nullptr;
  const ICurve* alpha = nullptr;
};

struct HatchSample {
  float coverage = 0.0f;  // 0..1
  // Offsets of the colour range's three components (RGB, or hue, saturation
  // and value); zero while the range is inactive or nothing covers the point.
  Color shift{0.0f, 0.0f, 0.0f};
};

// The field of `values` at pattern coordinates (x, y) for stroke seed `seed`
// (its low 16 bits count). Visits only the cells whose strokes can reach the
// point, as the margins of `values` bound them. Points too far out for a
// float to tell cells apart, and points that are not finite, are uncovered.
HatchSample HatchField(const StrokeValues& values, const StrokeProfiles& profiles, float x, float y,
                       int seed);

// `colour` moved by `shift`: per channel in RGB (then clamped to 0..1), or in
// HSV with half the first offset on the hue (wrapped into 0..1), the others
// on saturation and value (clamped).
Color ApplyColorShift(const Color& colour, const Color& shift, int type);

// The seed's pattern shift in map units: each axis uniform in
// -range..range, the same for the same seed.
void SeedShift(int seed, float rangeU, float rangeV, float& du, float& dv);

}  // namespace tarnis
