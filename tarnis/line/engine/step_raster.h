// Rasterising one step of a stroke into the job canvas: a flat brush as a
// capsule with a soft edge and elliptical caps, other tips as stamps of the
// brush's raster placed every half pixel. Everything here works in
// super-sample units of the canvas. The canvas receives depths as distances
// in front of the camera (-z), so that among lines of one kind the nearer
// one lies on top.
#pragma once

#include <cstdint>
#include <span>

#include "sdk/color.h"
#include "sdk/points.h"
#include "tarnis/line/engine/line_canvas.h"

namespace tarnis {

// One end of a step, in pixels, with what changes along the stroke.
struct StepEnd {
  Point2 p;          // screen position (pixels)
  float depth = 0;   // camera-space depth
  float radius = 0;  // damped half-width (super-samples)
  float alpha = 1;   // damped alpha factor
  Color colour;      // colour at this end
};

// The footprint of the stroke: its axes (rotated by the stroke angle) and
// how much each is shrunk by the stretch.
struct Footprint {
  float cosA = 1, sinA = 0;              // stroke angle
  float alongScale = 1, crossScale = 1;  // divisors of the two axes
  static Footprint From(float stretchPercent, float angleDegrees, bool mirror);
};

// The half-width in super-samples of a stroke of `size` pixels.
float HalfWidth(float size, float edgeSoftness, int n);

struct StepRaster {
  LineCanvas* canvas = nullptr;
  // The rows drawn into (and the stroke they collect in); null: the whole canvas.
  LineCanvas::Band* band = nullptr;
  int key = 2;
  bool parallel = false;  // depth interpolates linearly instead of perspective-correctly
  Footprint footprint;

  // A flat step from a to b.
  void Flat(const StepEnd& a, const StepEnd& b) const;
  // Stamps along a..b from the grey raster (size x size bytes); the stamp at
  // a is left out when `skipFirst`.
  void Stamps(const StepEnd& a, const StepEnd& b, std::span<const uint8_t> raster, int size,
              bool skipFirst) const;
};

}  // namespace tarnis
