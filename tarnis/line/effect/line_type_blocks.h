// The per-line-type parameter blocks a line set owns: the type blocks
// "type1".."type3" (which edges become lines, and the mirrors of the base
// setting's values) and the depth blocks "damp1".."damp3" (size and alpha
// change with distance). Internal names carry the type digit (`lineColor1`).
// Type 3 has no edge switches.
#pragma once

#include "sdk/param_block.h"

class ClassDesc2;

namespace tarnis {

inline constexpr int kNumLineTypes = 3;

// Type-block parameter ids (the same in all three blocks).
enum LineTypeParamID : ParamID {
  kTypeLineColor = 3,
  kTypeLineMapOpacity = 4,
  kTypeLineMap = 5,
  kTypeLineMapEnable = 6,
  kTypeLineBlend = 7,
  kTypeLineAlpha = 8,
  kTypeLineSize = 9,
  kTypeLineStretch = 10,
  kTypeLineAngle = 11,
  kTypeObjectRespectiveEnable = 12,
  kTypeNormalRespectiveEnable = 13,
  kTypeMaterialRespectiveEnable = 14,
  kTypeSmoothRespectiveEnable = 15,
  kTypeIsectRespectiveEnable = 16,
  kTypeEdgeObject = 17,
  kTypeEdgeOutlineOnly = 18,
  kTypeEdgeNormal = 19,
  kTypeEdgeNormalMax = 20,
  kTypeEdgeNormalMin = 21,
  kTypeEdgeMatID = 22,
  kTypeEdgeSmooth = 23,
  kTypeEdgeIsect = 24,
  kTypeLineSizeMapAmount = 41,
  kTypeLineSizeMap = 42,
  kTypeLineSizeMapEnable = 43,
  kTypeEdgeNormalWire = 44,
};

// Depth-block parameter ids.
enum LineDepthParamID : ParamID {
  kDepthZScaleEnable = 25,
  kDepthZMin = 26,
  kDepthZMax = 27,
  kDepthZAlphaEnable = 28,
  kDepthZAlphaMin = 29,
  kDepthZAlphaMax = 30,
  kDepthZAlphaMaxValue = 31,
  kDepthZScaleObjectEnable = 35,
  kDepthZScaleObjectNode = 36,
  kDepthZAlphaObjectEnable = 37,
  kDepthZAlphaObjectNode = 38,
};

// The owner's reference slots: type block t in slot t, depth block in 3 + t,
// the type's line map in 6 + t and size map in 9 + t (t = 1..3).
inline constexpr int TypeBlockRef(int type) {
  return type;
}
inline constexpr int DepthBlockRef(int type) {
  return 3 + type;
}
inline constexpr int TypeLineMapRef(int type) {
  return 6 + type;
}
inline constexpr int TypeSizeMapRef(int type) {
  return 9 + type;
}

// The descriptors of line type 1..3 (null for any other type).
ParamBlockDesc2* LineTypeBlockDesc(int type);
ParamBlockDesc2* LineDepthBlockDesc(int type);
// Binds all six blocks to the line set's class descriptor.
void BindLineTypeBlocks(ClassDesc2* cd);

}  // namespace tarnis
