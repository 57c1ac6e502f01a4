#include "tarnis/line/effect/line_type_blocks.h"

#include <string>
#include <vector>

namespace tarnis {

namespace {

class TypeTable {
 public:
  explicit TypeTable(int type) : suffix_(std::to_string(type)) {}

  void Float(ParamID id, const char* name, ParamType2 type, float def, float min, float max) {
    Add({.id = id,
         .type = type,
         .flags = P_ANIMATABLE,
         .def = def,
         .range = {min, max},
         .ui = {.control = ParamControl::kSpinner}},
        name);
  }
  void Bool(ParamID id, const char* name, bool def) {
    Add({.id = id,
         .type = TYPE_BOOL,
         .flags = P_ANIMATABLE,
         .def = def,
         .ui = {.control = ParamControl::kCheckbox}},
        name);
  }
  void Ref(ParamID id, const char* name, ParamType2 type, int ownerRef) {
    Add({.id = id,
         .type = type,
         .flags = ownerRef >= 0 ? P_OWNERS_REF : 0u,
         .ownerRef = ownerRef,
         .ui = {.control =
                    type == TYPE_INODE ? ParamControl::kNodeList : ParamControl::kMapButton}},
        name);
  }
  void Add(ParamDef def, const char* name) {
    def.internalName = name + suffix_;
    params.push_back(std::move(def));
  }

  std::vector<ParamDef> params;

 private:
  std::string suffix_;
};

std::vector<ParamDef> TypeParams(int t) {
  TypeTable p(t);
  p.Add({.id = kTypeLineColor,
         .type = TYPE_RGBA,
         .flags = P_ANIMATABLE,
         .def = Color(0, 0, 0),
         .ui = {.control = ParamControl::kColorSwatch}},
        "lineColor");
  p.Float(kTypeLineMapOpacity, "lineMapOpacity", TYPE_PCNT_FRAC, 100, 0, 100);
  p.Ref(kTypeLineMap, "lineMap", TYPE_TEXMAP, TypeLineMapRef(t));
  p.Bool(kTypeLineMapEnable, "lineMapEnable", true);
  p.Add({.id = kTypeLineBlend, .type = TYPE_INT, .def = 0, .range = {0, 15}}, "lineBlend");
  p.Float(kTypeLineAlpha, "lineAlpha", TYPE_PCNT_FRAC, 100, 0, 100);
  p.Float(kTypeLineSize, "lineSize", TYPE_FLOAT, 1, 0.1f, 100);
  p.Float(kTypeLineStretch, "lineStretch", TYPE_PCNT_FRAC, 0, -100, 100);
  p.Float(kTypeLineAngle, "lineAngle", TYPE_ANGLE, 0, -3600, 3600);
  p.Bool(kTypeObjectRespectiveEnable, "objectRespectiveEnable", false);
  p.Bool(kTypeNormalRespectiveEnable, "normalRespectiveEnable", false);
  p.Bool(kTypeMaterialRespectiveEnable, "materialRespectiveEnable", false);
  p.Bool(kTypeSmoothRespectiveEnable, "smoothRespectiveEnable", false);
  p.Bool(kTypeIsectRespectiveEnable, "isectRespectiveEnable", false);
  p.Float(kTypeLineSizeMapAmount, "lineSizeMapAmount", TYPE_PCNT_FRAC, 100, 0, 100);
  p.Bool(kTypeLineSizeMapEnable, "lineSizeMapEnable", true);
  p.Ref(kTypeLineSizeMap, "lineSizeMap", TYPE_TEXMAP, TypeSizeMapRef(t));
  if (t == 3) return p.params;
  const bool visible = t == 1;
  p.Bool(kTypeEdgeObject, "edgeObject", visible);
  p.Bool(kTypeEdgeOutlineOnly, "edgeOutlineOnly", false);
  p.Bool(kTypeEdgeNormal, "edgeNormal", false);
  p.Float(kTypeEdgeNormalMax, "edgeNormalMax", TYPE_ANGLE, 180, 0, 180);
  p.Float(kTypeEdgeNormalMin, "edgeNormalMin", TYPE_ANGLE, 45, 0, 180);
  p.Bool(kTypeEdgeMatID, "edgeMatID", visible);
  p.Bool(kTypeEdgeSmooth, "edgeSmooth", visible);
  p.Bool(kTypeEdgeIsect, "edgeIsect", false);
  p.Bool(kTypeEdgeNormalWire, "edgeNormalWire", false);
  return p.params;
}

std::vector<ParamDef> DepthParams(int t) {
  TypeTable p(t);
  p.Float(kDepthZMin, "lineZMin", TYPE_WORLD, 100, 1, 1000000);
  p.Float(kDepthZMax, "lineZMax", TYPE_WORLD, 1000, 1, 1000000);
  p.Bool(kDepthZScaleEnable, "lineZScaleEnable", false);
  p.Float(kDepthZAlphaMin, "lineZAlphaMin", TYPE_WORLD, 100, 1, 1000000);
  p.Float(kDepthZAlphaMax, "lineZAlphaMax", TYPE_WORLD, 1000, 1, 1000000);
  p.Float(kDepthZAlphaMaxValue, "lineZAlphaMaxValue", TYPE_PCNT_FRAC, 100, 0, 100);
  p.Bool(kDepthZAlphaEnable, "lineZAlphaEnable", false);
  p.Bool(kDepthZScaleObjectEnable, "lineZScaleObjectEnable", false);
  p.Ref(kDepthZScaleObjectNode, "lineZScaleObjectNode", TYPE_INODE, -1);
  p.Bool(kDepthZAlphaObjectEnable, "lineZAlphaObjectEnable", false);
  p.Ref(kDepthZAlphaObjectNode, "lineZAlphaObjectNode", TYPE_INODE, -1);
  return p.params;
}

ParamBlockHeader Header(int id, const std::string& name) {
  return {.id = id, .internalName = name, .ownerRef = id, .flags = P_AUTO_CONSTRUCT};
}

}  // namespace

ParamBlockDesc2* LineTypeBlockDesc(int type) {
  static ParamBlockDesc2 type1{Header(1, "type1"), TypeParams(1)};
  static ParamBlockDesc2 type2{Header(2, "type2"), TypeParams(2)};
  static ParamBlockDesc2 type3{Header(3, "type3"), TypeParams(3)};
  ParamBlockDesc2* descs[] = {&type1, &type2, &type3};
  return type >= 1 && type <= kNumLineTypes ? descs[type - 1] : nullptr;
}

ParamBlockDesc2* LineDepthBlockDesc(int type) {
  static ParamBlockDesc2 damp1{Header(4, "damp1"), DepthParams(1)};
  static ParamBlockDesc2 damp2{Header(5, "damp2"), DepthParams(2)};
  static ParamBlockDesc2 damp3{Header(6, "damp3"), DepthParams(3)};
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
