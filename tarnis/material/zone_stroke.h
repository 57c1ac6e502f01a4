// What the toon material asks of a stroke map (the hatching texture map) in
// one of its zones, and the class that identifies one.
#pragma once

#include "sdk/class_id.h"
#include "sdk/color.h"

class ShadeContext;

namespace tarnis {

// The stroke map's class: the only maps a zone's stroke slots keep.
inline constexpr Class_ID kStrokeClassID(0x54022257, 0x0814C4F5);

// Composites the stroke at the sample onto the zone colour in place and
// answers the stroke's coverage (0..1, already scaled by the surface's
// `opacity` and the map's own opacity). `seed` is the stroke seed of the
// frame, `scale` the material's stroke scale factor. Called concurrently
// on render threads.
class ZoneStroke {
 public:
  virtual ~ZoneStroke() = default;
  virtual float ShadeStroke(ShadeContext& sc, float opacity, Color& colour, int seed,
                            float scale) = 0;
};

}  // namespace tarnis
