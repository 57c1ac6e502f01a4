#include "tarnis/material/tarmat_params.h"

#include <string>

#include "sdk/class_desc.h"
#include "sdk/param_builders.h"
#include "tarnis/common/blend_color.h"

namespace tarnis {

namespace {

constexpr uint32_t kAnim = P_ANIMATABLE;

std::vector<std::string> BlendNames() {
  std::vector<std::string> names;
  for (int i = 0; i < kNumBlendModes; ++i) {
    const char* name = BlendModeName(i);
    names.emplace_back(name ? name : "");
  }
  return names;
}

ParamDef MaterialParam(ParamID id, std::string name, int ownerRef) {
  return ParamDef{.id = id,
                  .internalName = std::move(name),
                  .type = TYPE_MTL,
                  .flags = P_OWNERS_REF,
                  .ownerRef = ownerRef};
}

ParamBlockDesc2& MainBlock() {
  static ParamBlockDesc2 desc{
      AutoBlockHeader(kTarmatBlockMain, "main", kTarmatBlockMain),
      {
          MaterialParam(kTmBaseMaterial, "baseMaterial", kTarmatBaseMtlRef),
          FloatSpinnerParam(kTmShade, "shade", TYPE_FLOAT, kAnim, 0.0f, {0.0f, 100.0f}),
          ColorSwatchParam(kTmHiColor, "hiColor", kAnim, Color(1.0f, 1.0f, 1.0f)),
          IntComboParam(kTmHiBlend, "hiBlend", 0, 0, {0, 15}, BlendNames()),
          FloatSpinnerParam(kTmHiAlpha, "hiAlpha", TYPE_FLOAT, kAnim, 100.0f, {0.0f, 100.0f}),
          IntSpinnerParam(kTmHiLevel, "hiLevel", kAnim, 0, {0, 999}),
          IntSpinnerParam(kTmHiGross, "hiGross", kAnim, 10, {0, 100}),
          IntSpinnerParam(kTmHiAniso, "hiAniso", kAnim, 0, {0, 100}),
          IntSpinnerParam(kTmHiOrient, "hiOrient", kAnim, 0, {-36000, 36000}),
          IntSpinnerParam(kTmHiSharp, "hiSharp", kAnim, 0, {0, 100}),
          FloatSpinnerParam(kTmHiMapOpacity, "hiMapOpacity", TYPE_FLOAT, kAnim, 100.0f,
                            {0.0f, 100.0f}),
          CheckboxParam(kTmHiMapEnable, "hiMapEnable", kAnim, true),
          OwnedMapParam(kTmHiMap, "hiMap", kTarmatHiMapRef),
          OwnedMapParam(kTmHiLevelMap, "hiLevelMap", kTarmatHiLevelMapRef),
          OwnedMapParam(kTmHiGrossMap, "hiGrossMap", kTarmatHiGrossMapRef),
          CheckboxParam(kTmBumpEnable, "bumpEnable", kAnim, false),
          IntSpinnerParam(kTmBumpAmount, "bumpAmount", kAnim, 30, {-999, 999}),
          OwnedMapParam(kTmBumpMap, "bumpMap", kTarmatBumpMapRef),
          CheckboxParam(kTmReflecEnable, "reflecEnable", kAnim, false),
          IntSpinnerParam(kTmReflecAmount, "reflecAmount", kAnim, 100, {0, 100}),
          OwnedMapParam(kTmReflecMap, "reflecMap", kTarmatReflecMapRef),
          CheckboxParam(kTmRndAuto, "rndAuto", 0, false),
          IntSpinnerParam(kTmRndInterval, "rndInterval", 0, 1, {1, 999}),
          CheckboxParam(kTmRndMoveDetect, "rndMoveDetect", 0, false),
          CheckboxParam(kTmStrokeOnly, "strokeOnly", kAnim, false),
          FloatSpinnerParam(kTmStrokeScale, "strokeScale", TYPE_FLOAT, kAnim, 100.0f,
                            {1.0f, 999.0f}),
          CheckboxParam(kTmStrokeHiddenFace, "strokeHiddenFace", kAnim, false),
          MaterialParam(kTmExtMaterial, "extMaterial", kTarmatExtMtlRef),
      }};
  return desc;
}

ParamBlockDesc2& GradBlock() {
  static ParamBlockDesc2 desc{AutoBlockHeader(kTarmatBlockGrad, "grad", kTarmatBlockGrad),
                              {MaterialParam(kTgExtMaterial, "extMaterial", kTarmatExtMtlRef)}};
  return desc;
}

std::string ZoneName(const char* base, int zone) {
  return base + std::to_string(zone + 1);
}

ParamBlockDesc2 MakeZoneBlock(int zone) {
  const int block = kTarmatBlockZone1 + zone;
  ParamDef strokeEnable = PlainParam(kTzStrokeEnable, ZoneName("strokeEnable", zone),
                                     TYPE_BOOL_TAB, false);
  strokeEnable.tabSize = kTarmatStrokesPerZone;
  ParamDef strokes{.id = kTzStroke,
                   .internalName = ZoneName("stroke", zone),
                   .type = TYPE_TEXMAP_TAB,
                   .flags = P_OWNERS_REF,
                   .ownerRef = StrokeRef(zone, 0),
                   .tabSize = kTarmatStrokesPerZone};
  return ParamBlockDesc2{
      AutoBlockHeader(block, ZoneName("zone", zone), block),
      {
          FloatSpinnerParam(kTzMin, ZoneName("zoneMin", zone), TYPE_FLOAT, 0, 0.0f,
                            {0.0f, 100.0f}),
          FloatSpinnerParam(kTzMax, ZoneName("zoneMax", zone), TYPE_FLOAT, 0, 0.0f,
                            {0.0f, 100.0f}),
          CheckboxParam(kTzEnable, ZoneName("zoneEnable", zone), kAnim, true),
          ColorSwatchParam(kTzColor, ZoneName("zoneColor", zone), kAnim, Color(0.0f, 0.0f, 0.0f)),
          FloatSpinnerParam(kTzMapOpacity, ZoneName("zoneMapOpacity", zone), TYPE_FLOAT, kAnim,
                            100.0f, {0.0f, 100.0f}),
          CheckboxParam(kTzMapEnable, ZoneName("zoneMapEnable", zone), kAnim, true),
          OwnedMapParam(kTzMap, ZoneName("zoneMap", zone), ZoneMapRef(zone)),
          IntComboParam(kTzBlend, ZoneName("zoneBlend", zone), 0, 0, {0, 15}, BlendNames()),
          FloatSpinnerParam(kTzAlpha, ZoneName("zoneAlpha", zone), TYPE_FLOAT, kAnim, 100.0f,
                            {0.0f, 100.0f}),
          strokeEnable,
          strokes,
      }};
}

ParamBlockDesc2& ZoneBlock(int zone) {
  static ParamBlockDesc2 zones[4] = {MakeZoneBlock(0), MakeZoneBlock(1), MakeZoneBlock(2),
                                     MakeZoneBlock(3)};
  return zones[zone];
}

ParamBlockDesc2& VersionBlock() {
  static ParamBlockDesc2 desc{
      AutoBlockHeader(kTarmatBlockVersion, "version", kTarmatBlockVersion), {}};
  return desc;
}

}  // namespace

ParamBlockDesc2* TarmatBlockDesc(int block) {
  switch (block) {
    case kTarmatBlockMain:
      return &MainBlock();
    case kTarmatBlockGrad:
      return &GradBlock();
    case kTarmatBlockVersion:
      return &VersionBlock();
    default:
      if (block >= kTarmatBlockZone1 && block < kTarmatBlockZone1 + 4) {
        return &ZoneBlock(block - kTarmatBlockZone1);
      }
      return nullptr;
  }
}

void BindTarmatBlocks(ClassDesc2* cd) {
  for (int b = 0; b < kTarmatNumBlocks; ++b) TarmatBlockDesc(b)->SetClassDesc(cd);
}

}  // namespace tarnis
