// What the drawing stage reads for a job, gathered once per frame at the
// frame time: the line setting's look, the brush's working copy and its
// falloff curves, the line set's distance changes and the call's options
// already applied. Drawing reads no parameter block.
#pragma once

#include "sdk/color.h"
#include "sdk/curve_control.h"
#include "sdk/points.h"
#include "tarnis/line/brush/brush_params.h"

class Texmap;

namespace tarnis {

class Brush;

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

// The stroke types of a brush: plain, rake (parallel bristles across the
// stroke's width) and random (scattered stamps of varying variant, size,
// opacity and sideways shift).
enum StrokeType : int { kStrokePlain = 0, kStrokeRake = 1, kStrokeRandom = 2 };

struct StrokeParams {
  float size = 1.0f;  // pixels, the size scale applied
  Color colour;       // tint applied
  float alpha = 1.0f;
  int blend = 0;
  Texmap* lineMap = nullptr;  // null when off or at zero opacity
  float lineMapOpacity = 0.0f;
  Texmap* sizeMap = nullptr;
  float sizeMapAmount = 0.0f;
  Texmap* noiseMap = nullptr;  // the distortion map, when on
  float noiseMapOpacity = 0.0f;
  // The brush: its working copy (brought up to date at the frame time; its
  // stroke seed picks the stamp variant) and its values, the call's colour
  // modification applied.
  Brush* brush = nullptr;
  BrushValues values;
  // Falloff along the stroke (null when off) and change with distance.
  const CurveControl* sizeCurve = nullptr;
  const CurveControl* alphaCurve = nullptr;
  LineDepth depth;
  float minimumLength = 1e-4f;  // shorter chains are not drawn
  int strokeType = kStrokePlain;
  bool stamps = false;
  bool stepped = false;  // pieces are drawn in steps of about a pixel
  bool dashed = false;
};

}  // namespace tarnis
