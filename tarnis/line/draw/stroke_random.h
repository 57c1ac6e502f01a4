// StrokeRandom: everything that varies from stroke to stroke, drawn from
// the line noise at the stroke's first and second points (and its midpoint
// for the stamp variant), and the colour modification a stroke applies to
// its colour. Each draw has its own pair of salts, so the properties vary
// independently; a brush whose randomness is 0 gives every stroke its
// stored values.
#pragma once

#include "sdk/color.h"
#include "sdk/points.h"
#include "tarnis/line/brush/brush_params.h"
#include "tarnis/line/draw/line_noise.h"

namespace tarnis {

// Where a stroke lies, for its draws.
struct StrokePlace {
  Point2 first;              // screen point of the stroke's start
  Point2 second;             // screen point after the start (the first piece's end)
  Point2 middle;             // screen point halfway along the stroke
  float cell = 1.0f;         // noise cell size in pixels (the engine's sizeUnit)
  float chainLength = 0.0f;  // screen length of the stroke's chain (pixels)
  // Multiplies every length and offset below (the call's sizeScale).
  float scale = 1.0f;
};

struct StrokeRandom {
  // True when an extra repetition (beyond the base multiple) leaves this
  // stroke out.
  bool skipExtra = false;
  float sizeFactor = 1.0f;  // multiplies the stroke size
  // Colour-modification amounts, each within +-its range.
  float colorMod[3] = {0.0f, 0.0f, 0.0f};
  float offsetX = 0.0f, offsetY = 0.0f;  // screen offset (pixels)
  float normalOffset = 0.0f;             // offset along the stroke's normal (pixels)
  float startOvershoot = 0.0f, endOvershoot = 0.0f;
  float noiseAmp = 0.0f, noisePeriod = 1.0f;
  // Phase of the path distortion in periods, shifted so that the sine is
  // centred on the chain's midpoint.
  float noisePhase = 0.0f;
  float stretch = 0.0f;  // tip stretch as stored (-100..100)
  float angle = 0.0f;    // tip angle, degrees
  float angleCos = 1.0f, angleSin = 0.0f;
  // The dashed style's dash length and period (dash plus gap).
  float dashLength = 0.0f, dashPeriod = 0.0f;
  // Chooses among a stamp brush's variants: 0..1 (1 never reached).
  float stampVariant = 0.0f;
  // A rake's bristles: each one's draws in -1..1 for its width and opacity.
  static constexpr int kMaxBristles = 8;
  float bristleWidth[kMaxBristles] = {};
  float bristleAlpha[kMaxBristles] = {};

  // Draws every property of a stroke at `place` with the brush's values
  // (whose colour range the caller may have replaced). The noise must be
  // seeded.
  static StrokeRandom Draw(const LineNoise& noise, const StrokePlace& place,
                           const BrushValues& brush);
};

// Colour-modification modes.
inline constexpr int kColorModRGB = 0;
inline constexpr int kColorModHSV = 1;

// Modifies `c` by the amounts (dx, dy, dz): nothing when all three are 0;
// mode 0 adds them to red, green and blue; mode 1 adds 0.75 dx to the hue
// (wrapped into 0..1), dy to the saturation and dz to the value. The result
// is clamped to 0..1 in the mode's own channels.
void ApplyColorModification(Color& c, int mode, float dx, float dy, float dz);

}  // namespace tarnis
