// Rasterising one step of a stroke into the job canvas: a flat brush as a
// capsule with a soft edge and elliptical caps, other tips as stamps of the
// brush's raster. Size and alpha are damped at every sample (or stamp) from
// its own position along the stroke and its own depth, so a stroke follows
// its falloff curves whatever the length of its steps. Everything here works
// in super-sample units of the canvas. The canvas receives depths as
// distances in front of the camera (-z), so that among lines of one kind the
// nearer one lies on top.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "sdk/color.h"
#include "sdk/points.h"
#include "tarnis/line/draw/line_canvas.h"

namespace tarnis {

class LineNoise;
class StrokeDamping;

// One end of a step, in pixels, with what changes along the stroke.
struct StepEnd {
  Point2 p;         // screen position (pixels)
  float depth = 0;  // camera-space depth
  float size = 0;   // stroke width in pixels before the falloff and distance damping
  float u = 0;      // position along the stroke, 0 at its start and 1 at its end
  float pos = 0;    // the same in pixels from the stroke's start
  float alpha = 1;  // alpha scale of the step (a rake's bristle opacity)
  Color colour;     // colour at this end
};

// The footprint of a flat stroke: its axes (rotated by the stroke angle)
// and how much each is shrunk by the stretch.
struct Footprint {
  float cosA = 1, sinA = 0;              // stroke angle
  float alongScale = 1, crossScale = 1;  // divisors of the two axes
  static Footprint From(float stretchPercent, float angleDegrees, bool mirror);
};

// The half-width in super-samples of a stroke of `size` pixels.
float HalfWidth(float size, float edgeSoftness, int n);

// The rasters a stamp stroke draws with: one for an ordinary stroke, or
// every variant of the brush for a stroke that picks one per stamp.
struct StampSet {
  static constexpr int kMaxVariants = 8;
  std::array<const uint8_t*, kMaxVariants> rasters{};
  int count = 0;
  int size = 0;  // rasters are size x size bytes, row by row from the top
};

// How a randomised stroke scatters its stamps: one every `spacing` pixels
// along the stroke, each with a variant, scale, opacity and sideways shift
// drawn from the noise at its own screen position.
struct StampScatter {
  const LineNoise* noise = nullptr;
  float spacing = 1.0f;  // pixels
};

struct StepRaster {
  LineCanvas* canvas = nullptr;
  // The rows drawn into (and the stroke they collect in); null: the whole canvas.
  LineCanvas::Band* band = nullptr;
  int key = 2;
  bool parallel = false;  // depth interpolates linearly instead of perspective-correctly
  Footprint footprint;
  // Falloff along the stroke and with distance; null: none.
  const StrokeDamping* damping = nullptr;
  // Stamps: the rasters, mirrored left to right for mirrored views, and the
  // scatter of randomised strokes (null: a stamp every half pixel).
  const StampSet* stamps = nullptr;
  bool mirror = false;
  const StampScatter* scatter = nullptr;

  // A flat step from a to b. The stroke's own ends get the footprint's
  // elliptical caps; where the step continues the previous one (`joined`)
  // its cap at a is round, so the joint stays filled on the outside of a
  // turn whatever the stretch.
  void Flat(const StepEnd& a, const StepEnd& b, bool joined = false) const;
  // Stamps along a..b; the stamp at a is left out when `skipFirst`. A
  // non-zero `cornerTurn` (radians, the turn of the direction at a) adds
  // stamps at a rotated in 8-degree steps through the turn, so elongated
  // tips fill sharp corners.
  void Stamps(const StepEnd& a, const StepEnd& b, bool skipFirst, float cornerTurn = 0.0f) const;

 private:
  struct Stamp {
    Point2 centre;  // super-samples
    float radius = 0, alpha = 1, depth = 0;
    float cosR = 1, sinR = 0;  // extra rotation
    Color colour;
    const uint8_t* raster = nullptr;
  };
  void stamp(const Stamp& s, LineCanvas::Band& rows) const;
  // The stamp at f of the step, damped at its own position; false when it
  // has no size.
  bool stampAt(const StepEnd& a, const StepEnd& b, float f, Stamp& out) const;
};

}  // namespace tarnis
