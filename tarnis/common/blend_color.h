// Colour blending: the sixteen blend modes every colour-over-colour choice
// offers (zone, highlight and shadow colours, stroke maps, drawn lines, the
// reflection/refraction line map, the material render element) and
// BlendColor, the one function that applies them.
//
// A blend parameter is stored as an index 0..15 into the mode table; the mode
// number found there is also the number of the string that names the mode,
// so a list filled by walking the table in index order shows, at each
// position, the mode that the stored index selects.
#pragma once

#include <array>

#include "sdk/color.h"

namespace tarnis {

// Mode numbers (and string numbers of their names).
enum BlendMode : int {
  kBlendNormal = 50,
  kBlendAdd = 51,
  kBlendSubtract = 52,
  kBlendMultiply = 53,
  kBlendScreen = 54,
  kBlendOverlay = 55,
  kBlendSoftLight = 56,
  kBlendHardLight = 57,
  kBlendDarken = 58,
  kBlendLighten = 59,
  kBlendDifference = 60,
  kBlendExclusion = 61,
  kBlendHue = 62,
  kBlendSaturation = 63,
  kBlendColor = 64,
  kBlendLuminosity = 65,
};

inline constexpr int kNumBlendModes = 16;

// The mode of each stored index. Hard light comes before soft light in every
// list, so indices 6 and 7 hold 57 and 56.
inline constexpr std::array<int, kNumBlendModes> kBlendModeTable = {
    kBlendNormal, kBlendAdd,        kBlendSubtract,   kBlendMultiply,
    kBlendScreen, kBlendOverlay,    kBlendHardLight,  kBlendSoftLight,
    kBlendDarken, kBlendLighten,    kBlendDifference, kBlendExclusion,
    kBlendHue,    kBlendSaturation, kBlendColor,      kBlendLuminosity,
};

// The mode number of a stored index; 0 (no mode, which blends nothing) for an
// index outside 0..15.
int BlendModeOfIndex(int index);

// The user-interface name of the mode at a list position (the string of its
// mode number), or an empty text for an index outside 0..15. Lists of blend
// modes are filled by adding these names for indices 0..15 in order.
const char* BlendModeName(int index);

// Blends `layer` into `base` in place with the mode number `mode`:
// base += (r - base) * amount per channel, where r is the mode's result for
// base a and layer b. Amount 0 leaves the base untouched without computing
// anything. Nothing is clamped: amount may lie outside 0..1 and the result
// may leave 0..1 (after add or subtract, say); callers clamp where they
// need to. A mode number outside 50..65 leaves the base as it is.
void BlendColor(Color& base, const Color& layer, float amount, int mode);

}  // namespace tarnis
