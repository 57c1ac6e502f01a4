// The brush's six parameter blocks: block and parameter ids, the static
// block descriptors, and the working copy (BrushValues) that Brush::Update
// fills from them. Percentages are stored as the user sees them (0..100) and
// scaled by 0.01 in the working copy; angles stay in degrees. Fields without
// a note keep the stored value.
#pragma once

#include "sdk/interval.h"
#include "sdk/param_block.h"
#include "tarnis/line/brush/brush_tip.h"

class ClassDesc2;

namespace tarnis {

class IniHandler;

// Block ids; block b lives in the brush's reference slot b.
enum BrushBlockID : int {
  kBrushBlockParameters = 0,  // "parameters": the tip
  kBrushBlockStroke = 1,      // "brush_stroke": strokes and line building
  kBrushBlockNoise = 2,       // "noise": path distortion
  kBrushBlockDampSize = 3,    // "damp_size"
  kBrushBlockDampAlpha = 4,   // "damp_alpha"
  kBrushBlockColorMod = 5,    // "color_mod": colour range
  kBrushNumBlocks = 6,
};

// The brush's other reference slots.
inline constexpr int kBrushTipMapRef = 6;      // brushMapMap, sub-map 0
inline constexpr int kBrushNoiseMapRef = 7;    // brushNoiseMap, sub-map 1
inline constexpr int kBrushSizeCurveRef = 8;   // size falloff along the stroke
inline constexpr int kBrushAlphaCurveRef = 9;  // opacity falloff along the stroke
inline constexpr int kBrushNumRefs = 10;

// Block "parameters".
enum BrushTipParamID : ParamID {
  kBrushMapMapOpacity = 0,
  kBrushMapMapEnable = 1,
  kBrushMapMap = 2,
  kBrushMapType = 3,
  kBrushMapStretch = 4,
  kBrushMapStretchRnd = 5,
  kBrushMapAngle = 6,
  kBrushMapAngleRnd = 7,
  kBrushMapGroove = 8,
  kBrushMapGrooveNUM = 9,
  kBrushMapSize = 10,
  kBrushMapSizeRnd = 11,
  kBrushMapAnti = 12,
  kBrushMapHSpace = 13,
  kBrushMapHSpaceRand = 14,
  kBrushMapVSpace = 15,
  kBrushMapVSpaceRand = 16,
  kBrushMapDampStart = 17,
  kBrushMapDampEnd = 18,
};

// Block "brush_stroke". Id 20 does not exist.
enum BrushStrokeParamID : ParamID {
  kBrushMapStrokeType = 0,
  kBrushMapstrokeType2 = 1,
  kBrushMapStrokeLength = 2,
  kBrushMapStrokeLengthRnd = 3,
  kBrushMapSpacing = 4,
  kBrushMapSpaceingRnd = 5,
  kBrushMapOvershoot = 6,
  kBrushMapOvershootRnd = 7,
  kBrushMapMultiple = 8,
  kBrushMapMultipleRnd = 9,
  kBrushMapNormalOffset = 10,
  kBrushMapNormalOffsetRnd = 11,
  kBrushMapOffsetX = 12,
  kBrushMapOffsetXRnd = 13,
  kBrushMapOffsetY = 14,
  kBrushMapOffsetYRnd = 15,
  kLimitAngle = 16,
  kMinimumLength = 17,
  kCombineLength = 18,
  kDirectionAngle = 19,
  kLoopDirection = 21,
  kBrushMapStrokeSizeRnd = 22,
};

// Block "noise".
enum BrushNoiseParamID : ParamID {
  kBrushNoiseEnable = 0,
  kBrushNoiseMap = 1,
  kBrushMapNoiseMapOpacity = 2,
  kBrushNoiseMapEnable = 3,
  kBrushMapNoiseAmp = 4,
  kBrushMapNoiseAmpRandom = 5,
  kBrushMapNoisePeriod = 6,
  kBrushMapNoisePeriodRandom = 7,
  kBrushMapNoisePhase = 8,
  kBrushMapNoisePhaseRandom = 9,
};

// Blocks "damp_size", "damp_alpha" and "color_mod".
enum BrushDampParamID : ParamID {
  kBrushDampSizeEnable = 0,
  kBrushDampAlphaEnable = 0,
};
enum BrushColorModParamID : ParamID {
  kColorModType = 0,
  kColorModR = 1,
  kColorModG = 2,
  kColorModB = 3,
};

// The descriptor of block b (0..5); the same objects for the whole run.
ParamBlockDesc2* BrushBlockDesc(int block);
// Binds the six descriptors to the brush's class descriptor, in block
// order. Binding again changes nothing.
void BindBrushBlocks(ClassDesc2* cd);

// The settings-file section that holds the user's defaults of block b.
const char* BrushDefaultsSection(int block);
// Makes the user's defaults in `ini` ("tarnis_line.ini": sections
// "BrushBaseDefault" to "BrushColorModDefault") the defaults of the six
// block descriptors, for brushes made afterwards. Missing keys keep theirs.
void LoadBrushDefaults(IniHandler& ini);

// Stroke and line-building values (block "brush_stroke").
struct BrushStrokeValues {
  int strokeType = 0;
  int strokeType2 = 0;  // 0 solid, 1 dashed
  float length = 5.0f;
  float lengthRnd = 0.0f;  // x0.01
  float sizeRnd = 0.0f;    // x0.01
  float spacing = 5.0f;
  float spacingRnd = 0.0f;  // x0.01
  float overshoot = 0.0f;
  float overshootRnd = 0.0f;  // x0.01
  int multiple = 1;
  int multipleRnd = 0;
  // The offsets of a stroke and their random ranges, all in pixels: a
  // stroke moves by value + r x range with r in -1..1.
  float normalOffset = 0.0f;
  float normalOffsetRnd = 0.0f;
  float offsetX = 0.0f;
  float offsetXRnd = 0.0f;
  float offsetY = 0.0f;
  float offsetYRnd = 0.0f;
  float limitAngle = 90.0f;  // degrees
  float minimumLength = 2.0f;
  float combineLength = 2.0f;
  float directionAngle = -30.0f;  // degrees
  int loopDirection = 1;          // 0 clockwise, 1 counter-clockwise
};

// Path distortion (block "noise").
struct BrushNoiseValues {
  bool enable = false;
  Texmap* map = nullptr;     // the distortion map when it is set and enabled; not owned
  float mapOpacity = 0.05f;  // x0.01
  bool mapEnable = true;
  float amp = 5.0f;
  float ampRandom = 0.0f;  // x0.01
  float period = 100.0f;
  float periodRandom = 0.0f;  // x0.01
  float phase = 0.0f;
  float phaseRandom = 0.0f;  // x0.01
};

// Colour range (block "color_mod"): active when any range is not 0.
struct BrushColorRange {
  int type = 0;                        // 0 RGB, 1 HSV
  float r = 0.0f, g = 0.0f, b = 0.0f;  // x0.01
  bool Active() const { return r != 0.0f || g != 0.0f || b != 0.0f; }
};

// The whole working copy of a brush at one time.
struct BrushValues {
  BrushTipValues tip;
  BrushStrokeValues stroke;
  BrushNoiseValues noise;
  bool dampSizeEnable = false;
  bool dampAlphaEnable = false;
  BrushColorRange colorRange;
};

// Reads the blocks (indexed by block id; a missing block reads as its
// descriptor's defaults) at t into a working copy and narrows `valid`.
// Map pointers are left null: the brush decides which maps it uses. The
// tip's derived values are filled.
BrushValues ReadBrushValues(IParamBlock2* const blocks[kBrushNumBlocks], TimeValue t,
                            Interval& valid);

}  // namespace tarnis
