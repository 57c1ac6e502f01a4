// The arithmetic of toon shading that does not depend on the scene: how a
// gradation value picks and cross-fades the four colour zones, and how the
// highlight is shaped by its level and edge sharpness.
#pragma once

#include <array>

namespace tarnis {

inline constexpr int kToonZones = 4;

// A zone's full-strength core on the gradation scale (0..1).
struct ZoneCore {
  float min = 0.0f;
  float max = 0.0f;
};

using ZoneWeights = std::array<float, kToonZones>;

// The weights of the four zones at gradation w. Each zone is a trapezoid:
// full strength on its core, ramping to 0 across the gap to its neighbours'
// cores (a gap is a cross-fade whose weights sum to 1; touching zones switch
// hard, a border value belonging to the upper zone). The first zone extends
// without end below its core when that starts at 0, the last one above its
// core when that ends at 1.
//
// halfWidth 0 samples the trapezoids at w; a positive halfWidth averages
// them over [w - halfWidth, w + halfWidth] (anti-aliased zone borders; at
// least 0.0001 is used). Positive weights are then normalised to sum 1,
// passed twice through the ease curve (steeper cross-fades) and normalised
// again. All zero when w falls in no zone (two zones' cores cross).
ZoneWeights ComputeZoneWeights(float w, const std::array<ZoneCore, kToonZones>& zones,
                               float halfWidth);

// The weights before normalisation and easing (exposed for tests).
ZoneWeights RawZoneWeights(float w, const std::array<ZoneCore, kToonZones>& zones,
                           float halfWidth);

// Shapes a highlight intensity h (clamped to 1 first). The level cap is
// S = 1 for levels above 1, else 1 - (1 - level)^2. Below S the highlight
// becomes a step around S / 2 softened by a half-width (1 - sharpness) S / 2:
// at sharpness 0 the step is linear and h is unchanged; higher sharpness
// bends it into an S-curve; at 0.99 with zone anti-aliasing off the step is
// hard (0 or S). The result is scaled by alpha.
float ShapeHighlight(float h, float level, float sharpness, bool zoneAntiAliasing, float alpha);

}  // namespace tarnis
