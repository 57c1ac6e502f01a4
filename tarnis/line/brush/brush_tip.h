// The brush tip: its values (the working copy of the brush's "parameters"
// block plus what follows from them) and BrushTip, the intensity of the tip
// at a point of its unit square for one stroke seed. BrushTip only reads its
// values, the shared random tables and the tip map, so render threads may
// evaluate tips concurrently once the brush has been updated.
#pragma once

#include <cstdint>

#include "sdk/interval.h"

class Texmap;

namespace tarnis {

// Tip types.
inline constexpr int kTipSoft = 0;     // soft circular tip
inline constexpr int kTipDots = 1;     // soft tip filled with a dot pattern
inline constexpr int kTipFlat = 2;     // flat disc
inline constexpr int kTipGrooved = 3;  // soft tip with grooves, no map and no dots

struct BrushTipValues {
  int type = kTipFlat;
  float mapOpacity = 1.0f;  // x0.01
  bool mapEnable = true;
  // The tip map the evaluation uses, or null; not owned. The brush sets it
  // only for the types that use it and only after updating the map at
  // `mapTime`, the time the map is evaluated at.
  Texmap* map = nullptr;
  TimeValue mapTime = 0;
  float stretch = 0.0f;     // -100..100 as stored
  float stretchRnd = 0.0f;  // x0.01
  float angle = 0.0f;       // degrees
  float angleRnd = 0.0f;    // degrees
  float groove = 0.0f;      // 0..100 as stored
  int grooveNum = 5;
  float size = 16.0f;    // dot size, at least 0.001
  float sizeRnd = 0.8f;  // x0.01
  float anti = 0.5f;     // x0.01: dot edge softness a
  float hSpace = 10.0f;
  float hSpaceRand = 1.0f;  // x0.01
  float vSpace = 10.0f;
  float vSpaceRand = 1.0f;  // x0.01
  float dampStart = 1.0f;   // x0.01: radius where the falloff starts
  float dampEnd = 1.0f;     // x0.01: radius where it reaches 0

  // Derived by Derive().
  float cellWidth = 0.0f;  // dot cell width 2 size + gap
  float cellHeight = 0.0f;
  float dotCore = 0.0f;  // core fraction f of a dot
  float dotRadiusFactor = 0.0f;
  float dotMargin = 0.0f;  // how far a jittered dot reaches past its cell
  float startSq = 0.0f;    // squared falloff radii
  float endSq = 0.0f;
  float falloffScale = 0.0f;  // 1 / |startSq - endSq|, 0 when they are equal

  // Fills the derived values from the stored ones (size at least 0.001,
  // gaps at least 0).
  void Derive();
};

class BrushTip {
 public:
  // `values` must outlive the tip; `seed` is the stroke seed (0: no randomness).
  BrushTip(const BrushTipValues& values, uint16_t seed);

  // Intensity 0..1 at (u, v) of the tip's unit square (centre 0.5, 0.5).
  float Intensity(float u, float v) const;
  // The dot pattern's coverage 0..1 at tip coordinates (x, y).
  float DotPattern(float x, float y) const;

 private:
  float DotCoverage(int i, int j, float x, float y) const;
  float Falloff(float d) const;
  float TipMapValue(float s, float r) const;

  const BrushTipValues& values_;
  uint16_t seed_;
  float cosTheta_ = 1.0f;
  float sinTheta_ = 0.0f;
  float stretch_ = 0.0f;
};

}  // namespace tarnis
