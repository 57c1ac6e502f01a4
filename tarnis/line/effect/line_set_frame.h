// What the line engine asks of a line set once per frame: which setting
// draws an edge kind of a line type (the job list is built from it), and the
// depth values that change line size and alpha with distance.
#pragma once

#include "sdk/curve_control.h"
#include "sdk/interval.h"
#include "sdk/points.h"

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

// Distance-dependent size and alpha of one line type for a frame.
struct LineDepth {
  struct Change {
    bool on = false;
    const CurveControl* curve = nullptr;
    float min = 0.0f, max = 0.0f;
    float invRange = 0.0f;  // 1 / (max - min)
    // Distances measured from a reference node's world position instead of the camera.
    bool fromNode = false;
    Point3 nodePosition;
    // The alpha change's value where its curve reaches 0 (lineZAlphaMaxValue,
    // 0..1): fading never goes below it. 0 for the size change.
    float farValue = 0.0f;
  };
  Change size, alpha;
};

// Reads the depth block of line type 1, or of type 2 for any other type, at
// t. A change whose two distances are equal is off.
LineDepth PrepareLineDepth(const LineSet& set, int type, TimeValue t);

}  // namespace tarnis
