#include "tarnis/line/effect/line_type_blocks.h"

#include <string>
#include <vector>

#include "sdk/param_builders.h"

namespace tarnis {

namespace {

constexpr uint32_t kAnim = P_ANIMATABLE;

// The parameters of one line type: stored names carry the type number.
class TypeTable {
 public:
  explicit TypeTable(int type) : suffix_(std::to_string(type)) {}

  void Add(ParamDef def) {
    def.internalName += suffix_;
    params.push_back(std::move(def));
  }

  std::vector<ParamDef> params;

 private:
  std::string suffix_;
};

std::vector<ParamDef> TypeParams(int t) {
  TypeTable p(t);
  p.Add(ColorSwatchParam(kTypeLineColor, "lineColor", kAnim, Color(0, 0, 0)));
  p.Add(FloatSpinnerParam(kTypeLineMapOpacity, "lineMapOpacity", TYPE_PCNT_FRAC, kAnim, 100,
                          {0, 100}));
  p.Add(OwnedMapParam(kTypeLineMap, "lineMap", TypeLineMapRef(t)));
  p.Add(CheckboxParam(kTypeLineMapEnable, "lineMapEnable", kAnim, true));
  p.Add(PlainParam(kTypeLineBlend, "lineBlend", TYPE_INT, 0, {0, 15}));
  p.Add(FloatSpinnerParam(kTypeLineAlpha, "lineAlpha", TYPE_PCNT_FRAC, kAnim, 100, {0, 100}));
  p.Add(FloatSpinnerParam(kTypeLineSize, "lineSize", TYPE_FLOAT, kAnim, 1, {0.1f, 100}));
  p.Add(FloatSpinnerParam(kTypeLineStretch, "lineStretch", TYPE_PCNT_FRAC, kAnim, 0, {-100, 100}));
  p.Add(FloatSpinnerParam(kTypeLineAngle, "lineAngle", TYPE_ANGLE, kAnim, 0, {-3600, 3600}));
  p.Add(CheckboxParam(kTypeObjectRespectiveEnable, "objectRespectiveEnable", kAnim, false));
  p.Add(CheckboxParam(kTypeNormalRespectiveEnable, "normalRespectiveEnable", kAnim, false));
  p.Add(CheckboxParam(kTypeMaterialRespectiveEnable, "materialRespectiveEnable", kAnim, false));
  p.Add(CheckboxParam(kTypeSmoothRespectiveEnable, "smoothRespectiveEnable", kAnim, false));
  p.Add(CheckboxParam(kTypeIsectRespectiveEnable, "isectRespectiveEnable", kAnim, false));
  p.Add(FloatSpinnerParam(kTypeLineSizeMapAmount, "lineSizeMapAmount", TYPE_PCNT_FRAC, kAnim, 100,
                          {0, 100}));
  p.Add(CheckboxParam(kTypeLineSizeMapEnable, "lineSizeMapEnable", kAnim, true));
  p.Add(OwnedMapParam(kTypeLineSizeMap, "lineSizeMap", TypeSizeMapRef(t)));
  if (t == 3) return p.params;
  const bool visible = t == 1;
  p.Add(CheckboxParam(kTypeEdgeObject, "edgeObject", kAnim, visible));
  p.Add(CheckboxParam(kTypeEdgeOutlineOnly, "edgeOutlineOnly", kAnim, false));
  p.Add(CheckboxParam(kTypeEdgeNormal, "edgeNormal", kAnim, false));
  p.Add(FloatSpinnerParam(kTypeEdgeNormalMax, "edgeNormalMax", TYPE_ANGLE, kAnim, 180, {0, 180}));
  p.Add(FloatSpinnerParam(kTypeEdgeNormalMin, "edgeNormalMin", TYPE_ANGLE, kAnim, 45, {0, 180}));
  p.Add(CheckboxParam(kTypeEdgeMatID, "edgeMatID", kAnim, visible));
  p.Add(CheckboxParam(kTypeEdgeSmooth, "edgeSmooth", kAnim, visible));
  p.Add(CheckboxParam(kTypeEdgeIsect, "edgeIsect", kAnim, false));
  p.Add(CheckboxParam(kTypeEdgeNormalWire, "edgeNormalWire", kAnim, false));
  return p.params;
}

std::vector<ParamDef> DepthParams(int t) {
  TypeTable p(t);
  p.Add(FloatSpinnerParam(kDepthZMin, "lineZMin", TYPE_WORLD, kAnim, 100, {1, 1000000}));
  p.Add(FloatSpinnerParam(kDepthZMax, "lineZMax", TYPE_WORLD, kAnim, 1000, {1, 1000000}));
  p.Add(CheckboxParam(kDepthZScaleEnable, "lineZScaleEnable", kAnim, false));
  p.Add(FloatSpinnerParam(kDepthZAlphaMin, "lineZAlphaMin", TYPE_WORLD, kAnim, 100, {1, 1000000}));
  p.Add(FloatSpinnerParam(kDepthZAlphaMax, "lineZAlphaMax", TYPE_WORLD, kAnim, 1000, {1, 1000000}));
  p.Add(FloatSpinnerParam(kDepthZAlphaMaxValue, "lineZAlphaMaxValue", TYPE_PCNT_FRAC, kAnim, 100,
                          {0, 100}));
  p.Add(CheckboxParam(kDepthZAlphaEnable, "lineZAlphaEnable", kAnim, false));
  p.Add(CheckboxParam(kDepthZScaleObjectEnable, "lineZScaleObjectEnable", kAnim, false));
  p.Add(NodePickParam(kDepthZScaleObjectNode, "lineZScaleObjectNode"));
  p.Add(CheckboxParam(kDepthZAlphaObjectEnable, "lineZAlphaObjectEnable", kAnim, false));
  p.Add(NodePickParam(kDepthZAlphaObjectNode, "lineZAlphaObjectNode"));
  return p.params;
}

}  // namespace

ParamBlockDesc2* LineTypeBlockDesc(int type) {
  static ParamBlockDesc2 type1{AutoBlockHeader(1, "type1", 1), TypeParams(1)};
  static ParamBlockDesc2 type2{AutoBlockHeader(2, "type2", 2), TypeParams(2)};
  static ParamBlockDesc2 type3{AutoBlockHeader(3, "type3", 3), TypeParams(3)};
  ParamBlockDesc2* descs[] = {&type1, &type2, &type3};
  return type >= 1 && type <= kNumLineTypes ? descs[type - 1] : nullptr;
}

ParamBlockDesc2* LineDepthBlockDesc(int type) {
  static ParamBlockDesc2 damp1{AutoBlockHeader(4, "damp1", 4), DepthParams(1)};
  static ParamBlockDesc2 damp2{AutoBlockHeader(5, "damp2", 5), DepthParams(2)};
  static ParamBlockDesc2 damp3{AutoBlockHeader(6, "damp3", 6), DepthParams(3)};
  ParamBlockDesc2* descs[] = {&damp1, &damp2, &damp3};
  return type >= 1 && type <= kNumLineTypes ? descs[type - 1] : nullptr;
}

void BindLineTypeBlocks(ClassDesc2* cd) {
  for (int t = 1; t <= kNumLineTypes; ++t) {
    LineTypeBlockDesc(t)->SetClassDesc(cd);
    LineDepthBlockDesc(t)->SetClassDesc(cd);
  }
}

}  // namespace tarnis
