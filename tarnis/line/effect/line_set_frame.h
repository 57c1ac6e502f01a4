// What the line engine asks of a line set once per frame: which setting
// draws an edge kind of a line type (the job list is built from it).
#pragma once

#include "sdk/interval.h"

namespace tarnis {

class LineSet;
class LineSetting;

// Edge kinds, numbered like the engine's edge categories.
enum EdgeKind : int {
  kEdgeObject = 1,        // outlines and open borders
  kEdgeNormal = 2,        // creases by normal angle, or wire edges
  kEdgeMaterial = 3,      // material-ID borders
  kEdgeSmooth = 4,        // smoothing-group borders
  kEdgeIntersection = 5,  // intersections
};

// The setting that draws `kind` edges of line type `type` (1 or 2) at t:
// null when the kind's edge switch in the type block is off; else the
// kind's own setting when its respective switch is on, otherwise the base
// setting; null either way unless that slot holds a setting.
LineSetting* SettingForEdge(const LineSet& set, int type, int kind, TimeValue t);

}  // namespace tarnis
