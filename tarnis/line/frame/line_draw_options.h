// LineDrawOptions: what a caller of the line engine may change for one call.
// The line effect's own render uses the defaults; the reflection map and the
// brush previews pass their own record, which is copied over the defaults.
#pragma once

#include "sdk/color.h"
#include "sdk/points.h"

namespace tarnis {

struct LineDrawOptions {
  int mapMode = 0;            // 1 while drawing the reflection/refraction map
  int excludedInstance = -1;  // render instance left out of the geometry; -1 none
  int planeCount = 0;
  // planeCount camera-space planes (px, py, pz, pw); a point with
  // px·x + py·y + pz·z + pw < 0 for any plane is cut away.
  const float* planes = nullptr;
  bool mirror = false;
  float sizeScale = 1.0f;  // multiplies every stroke size, length and offset
  bool alphaOverride = false;
  float alpha = 1.0f;
  int blend = 0;
  bool tintEnable = false;
  Color tintColor;
  float tintAmount = 0.0f;
  bool colorModEnable = false;
  int colorModMode = 0;
  Point3 colorModValues;
  bool disableObject = false;
  bool disableNormal = false;
  bool disableMaterial = false;
  bool disableSmooth = false;
  bool disableIntersection = false;

  // True when the camera-space point lies on the cut-away side of a plane.
  bool ClipsPoint(const Point3& p) const {
    for (int i = 0; i < planeCount; ++i) {
      const float* q = planes + 4 * i;
      if (q[0] * p.x + q[1] * p.y + q[2] * p.z + q[3] < 0.0f) return true;
    }
    return false;
  }
};

}  // namespace tarnis
