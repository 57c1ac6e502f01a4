// The stroke map's five parameter blocks: block and parameter ids, the static
// block descriptors, the settings-file sections of the user's defaults, and
// the working copy (StrokeValues) that Stroke::Update fills from them, with
// the cell and margin values the hatch field derives from the raw ones.
// Percentages are stored as the user sees them (0..100); the working copy
// keeps the stored values and adds the scaled factors the sampler uses.
#pragma once

#include "sdk/color.h"
#include "sdk/interval.h"
#include "sdk/param_block.h"

class ClassDesc2;

namespace tarnis {

class IniHandler;

// Block ids; block b lives in the stroke map's reference slot b.
enum StrokeBlockID : int {
  kStrokeBlockCoordExt = 0,   // "coord_ext": origin, seed shifts, depth reduction
  kStrokeBlockMain = 1,       // "main": colour, shape and layout of the strokes
  kStrokeBlockDampSize = 2,   // "damp_size": width profile along a stroke
  kStrokeBlockDampAlpha = 3,  // "damp_alpha": opacity profile along a stroke
  kStrokeBlockColorMod = 4,   // "color_mod": per-stroke colour range
  kStrokeNumBlocks = 5,
};

// The stroke map's other reference slots.
inline constexpr int kStrokeUVGenRef = 5;       // the coordinate generator
inline constexpr int kStrokeSizeCurveRef = 6;   // width along the stroke
inline constexpr int kStrokeAlphaCurveRef = 7;  // opacity along the stroke
inline constexpr int kStrokeMapRef = 8;         // strokeMap, sub-map 0
inline constexpr int kStrokeNumRefs = 9;

// Block "coord_ext".
enum StrokeCoordParamID : ParamID {
  kStrokeRandomU = 0,
  kStrokeRandomV = 1,
  kStrokeOrigin = 2,
  kStrokeZScaleStart = 3,
  kStrokeZScaleEnd = 4,
};

// strokeOrigin values.
inline constexpr int kStrokeOriginScreen = 0;  // the screen centre
inline constexpr int kStrokeOriginObject = 1;  // the object's projected centre

// Block "main".
enum StrokeMainParamID : ParamID {
  kStrokeColor = 0,
  kStrokeMapOpacity = 1,
  kStrokeMap = 2,
  kStrokeMapEnable = 3,
  kStrokeBlend = 4,
  kStrokeAlpha = 5,
  kStrokeWidth = 6,
  kStrokeWidthRnd = 7,
  kStrokeAnti = 8,
  kStrokeLength = 9,
  kStrokeLengthRnd = 10,
  kStrokeHspase = 11,
  kStrokeHrnd = 12,
  kStrokeVspase = 13,
  kStrokeVrnd = 14,
  kStrokeAngle = 15,
  kStrokeAngleRnd = 16,
  kStrokeBend = 17,
  kStrokeSurface = 18,
};

// Blocks "damp_size" and "damp_alpha".
enum StrokeDampSizeParamID : ParamID {
  kStrokeDampSizeEnable = 0,
  kStrokeDampSizeRandom = 1,
};
enum StrokeDampAlphaParamID : ParamID {
  kStrokeDampAlphaEnable = 0,
  kStrokeDampAlphaRandom = 1,
};

// Block "color_mod".
enum StrokeColorModParamID : ParamID {
  kStrokeColorModType = 0,
  kStrokeColorModR = 1,
  kStrokeColorModG = 2,
  kStrokeColorModB = 3,
};
inline constexpr int kColorRangeRGB = 0;
inline constexpr int kColorRangeHSV = 1;

// The descriptor of block b (0..4); the same objects for the whole run.
ParamBlockDesc2* StrokeBlockDesc(int block);
// Binds the five descriptors to the stroke map's class descriptor, in block
// order. Binding again changes nothing.
void BindStrokeBlocks(ClassDesc2* cd);

// The settings-file section ("tarnis_stroke.ini") that holds the user's
// defaults of block b, or null for the blocks without saved defaults (0, 1).
const char* StrokeDefaultsSection(int block);
// The section of the curve saved with block b ("StrokeDampSizeCurve",
// "StrokeDampAlphaCureve"), or null for the blocks without a curve.
const char* StrokeCurveSection(int block);

// Makes the user's defaults in `ini` (sections "StrokeDampSize",
// "StrokeDampAlpha" and "StrokeColorRange") the defaults of the matching
// block descriptors, for stroke maps made afterwards. Missing keys keep
// theirs.
void LoadStrokeDefaults(IniHandler& ini);

// Colour range (block "color_mod"); the ranges are the stored values x0.01.
struct StrokeColorRange {
  int type = kColorRangeRGB;
  float r = 0.06f, g = 0.06f, b = 0.06f;
  bool Active() const { return r != 0.0f || g != 0.0f || b != 0.0f; }
};

// The working copy of a stroke map at one time: the stored values of the
// blocks, then what the hatch field derives from them.
struct StrokeValues {
  // "coord_ext".
  float randomU = 0.0f, randomV = 0.0f;
  int origin = kStrokeOriginScreen;  // as stored; see objectOrigin
  float zScaleStart = 100.0f, zScaleEnd = 100.0f;

  // "main", as stored.
  Color color;
  float mapOpacity = 1.0f;  // x0.01
  bool mapEnable = true;
  int blend = 0;
  float alpha = 1.0f;  // x0.01
  float width = 5.0f;
  float widthRnd = 0.0f;
  float anti = 0.0f;
  float length = 0.0f;
  float lengthRnd = 0.0f;
  float hspase = 10.0f;
  float hrnd = 0.0f;
  float vspase = 10.0f;
  float vrnd = 0.0f;
  float angle = 0.0f;     // degrees
  float angleRnd = 0.0f;  // degrees
  float bend = 0.0f;
  float surface = 0.0f;

  // Profiles and colour range.
  bool dampSizeEnable = false;
  float dampSizeRandom = 0.0f;  // x0.02: the wobble amplitude
  bool dampAlphaEnable = false;
  float dampAlphaRandom = 0.0f;  // x0.02
  StrokeColorRange colorRange;

  // Derived by Derive().
  bool solid = false;  // width 100 or more: every sample is covered
  float w0 = 5.0f;     // half-width, at least 0.001
  float hgap = 10.0f, vgap = 10.0f;
  float cellW = 20.0f, cellH = 20.0f;
  float soft = 0.0f;                     // edge softness a = anti x0.01
  float core = 0.9f;                     // fraction of the half-width at full coverage
  float widthScale = 1.0f;               // the softened edge widens the stroke by this
  float marginW = 5.0f, marginL = 0.0f;  // widest half-width, longest half-length
  float marginX = 5.0f, marginY = 5.0f;  // how far a cell's stroke reaches past it
  float cosAngle = 1.0f, sinAngle = 0.0f;
  // strokeOrigin 1 counts only for screen coordinates (set by the map, which
  // knows its generator).
  bool objectOrigin = false;

  // Fills the derived values from the stored ones.
  void Derive();
};

// Reads the blocks (indexed by block id; a missing block reads as its
// descriptor's defaults) at t into a working copy with its derived values,
// and narrows `valid`. objectOrigin is left false.
StrokeValues ReadStrokeValues(IParamBlock2* const blocks[kStrokeNumBlocks], TimeValue t,
                              Interval& valid);

}  // namespace tarnis
