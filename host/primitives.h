// The host's built-in primitives: box, plane, sphere, cylinder, torus, torus
// knot and teapot, built as triangle meshes with smoothing groups, material
// ids, invisible quad diagonals and texture coordinates in map channel 1.
//
// Every primitive is Z-up and centred on the origin, except the teapot, whose
// body axis is the z axis and whose base sits on z = 0 (a teapot stands on the
// node's origin). Faces are counter-clockwise seen from outside.
//
//   box       size [x, y, z]. 12 triangles; each side its own smoothing group
//             and material id: bottom (-z) 1, top (+z) 2, front (-y) 3,
//             right (+x) 4, back (+y) 5, left (-x) 6 (group bit id - 1).
//             UVs 0..1 on every side.
//   plane     size [x, y], segments (per side, 1..1024). Faces +z; group 1,
//             material 1; UVs 0..1.
//   sphere    radius, segments (around, 4..1024; half as many bands from
//             pole to pole). Poles are triangle fans; group 1, material 1;
//             u wraps around z, v runs from the bottom pole (0) to the top (1).
//   cylinder  radius, height, sides (3..1024). Bottom cap: group 1, material
//             1; top cap: group 2, material 2; side: group 3, material 3. Caps
//             are fans around a centre vertex with invisible spokes. Side UVs:
//             u around, v up; cap UVs: the cap disc mapped onto 0..1.
//   torus     radius (centre of the tube), tube (tube radius), segments
//             (around z, 3..1024), sides (around the tube, 3..1024). Group 1,
//             material 1; u around z, v around the tube.
//   torusKnot radius, tube, p, q (1..32, no common factor), segments (along
//             the curve, 3..4096), sides (3..1024). A tube around the curve
//             that winds p times around z and q times through the hole, lying
//             on a torus of radius `radius` and tube radius radius / 2; the
//             tube's frame is carried along the curve by parallel transport.
//             Group 1, material 1; u along the curve, v around the tube.
//   teapot    radius (of the body at its widest), segments (per patch side,
//             1..64). The pot is 1.575 x radius tall. Group 1, material 1;
//             UVs are each patch's own 0..1 parameters.
//
// Segment counts out of range are clamped (with a warning); sizes must be
// positive finite numbers, else the primitive is not built.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sdk/mesh.h"
#include "sdk/points.h"

namespace host {

struct PrimitiveParams {
  std::string type;               // "box", "plane", "sphere", "cylinder", ...
  Point3 size{1.0f, 1.0f, 1.0f};  // box [x, y, z]; plane [x, y]
  float radius = 1.0f;            // sphere, cylinder, torus, torusKnot, teapot
  float height = 1.0f;            // cylinder
  float tube = 0.25f;             // torus, torusKnot
  std::optional<int> segments;    // unset: the type's default
  std::optional<int> sides;       // unset: the type's default
  std::optional<int> p, q;        // torusKnot; unset: 2 and 3
};

// The parameter names (as the scene file spells them) that `type` takes;
// empty for an unknown type.
std::span<const std::string_view> PrimitiveParamNames(std::string_view type);

// Builds the primitive into `out` (replacing what was there). Answers false
// with a message naming the primitive and the bad value for an unknown type or
// a size that is not a positive finite number; `out` is then left empty.
// Clamped segment counts are reported in `warnings` when given.
bool MakePrimitive(const PrimitiveParams& params, Mesh& out, std::string* error,
                   std::vector<std::string>* warnings = nullptr);

}  // namespace host
