#include "tarnis/stroke/stroke_params.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "sdk/angles.h"
#include "sdk/class_desc.h"
#include "sdk/param_builders.h"
#include "tarnis/common/blend_color.h"
#include "tarnis/common/ini_handler.h"

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

ParamDef Percent(ParamID id, const char* name, float def = 0.0f) {
  return FloatSpinnerParam(id, name, TYPE_FLOAT, kAnim, def, {0.0f, 100.0f});
}

ParamBlockDesc2& CoordExtBlock() {
  static ParamBlockDesc2 desc{
      AutoBlockHeader(kStrokeBlockCoordExt, "coord_ext", kStrokeBlockCoordExt),
      {
          Percent(kStrokeRandomU, "strokeRandomU"),
          Percent(kStrokeRandomV, "strokeRandomV"),
          IntComboParam(kStrokeOrigin, "strokeOrigin", 0, kStrokeOriginScreen, {0, 1},
                        {"画面中央", "オブジェクトの中心"}),
          FloatSpinnerParam(kStrokeZScaleStart, "strokeZScaleStart", TYPE_FLOAT, kAnim, 100.0f,
                            {1.0f, 1000000.0f}),
          FloatSpinnerParam(kStrokeZScaleEnd, "strokeZScaleEnd", TYPE_FLOAT, kAnim, 100.0f,
                            {1.0f, 1000000.0f}),
      }};
  return desc;
}

ParamBlockDesc2& MainBlock() {
  static ParamBlockDesc2 desc{
      AutoBlockHeader(kStrokeBlockMain, "main", kStrokeBlockMain),
      {
          ColorSwatchParam(kStrokeColor, "strokeColor", kAnim, Color(0.0f, 0.0f, 0.0f)),
          Percent(kStrokeMapOpacity, "strokeMapOpacity", 100.0f),
          CheckboxParam(kStrokeMapEnable, "strokeMapEnable", kAnim, true),
          OwnedMapParam(kStrokeMap, "strokeMap", kStrokeMapRef),
          IntComboParam(kStrokeBlend, "strokeBlend", 0, 0, {0, kNumBlendModes - 1}, BlendNames()),
          Percent(kStrokeAlpha, "strokeAlpha", 100.0f),
          FloatSpinnerParam(kStrokeWidth, "strokeWidth", TYPE_FLOAT, kAnim, 5.0f, {0.1f, 100.0f}),
          Percent(kStrokeWidthRnd, "strokeWidthRnd"),
          FloatSpinnerParam(kStrokeAnti, "strokeAnti", TYPE_FLOAT, kAnim, 0.0f, {0.0f, 1000.0f}),
          FloatSpinnerParam(kStrokeLength, "strokeLength", TYPE_FLOAT, kAnim, 0.0f,
                            {0.0f, 1000.0f}),
          Percent(kStrokeLengthRnd, "strokeLengthRnd"),
          Percent(kStrokeHspase, "strokeHspase", 10.0f),
          Percent(kStrokeHrnd, "strokeHrnd"),
          Percent(kStrokeVspase, "strokeVspase", 10.0f),
          Percent(kStrokeVrnd, "strokeVrnd"),
          FloatSpinnerParam(kStrokeAngle, "strokeAngle", TYPE_FLOAT, kAnim, 0.0f,
                            {-3600.0f, 3600.0f}),
          FloatSpinnerParam(kStrokeAngleRnd, "strokeAngleRnd", TYPE_FLOAT, kAnim, 0.0f,
                            {0.0f, 180.0f}),
          FloatSpinnerParam(kStrokeBend, "strokeBend", TYPE_FLOAT, kAnim, 0.0f, {-100.0f, 100.0f}),
          FloatSpinnerParam(kStrokeSurface, "strokeSurface", TYPE_FLOAT, kAnim, 0.0f,
                            {-200.0f, 200.0f}),
      }};
  return desc;
}

ParamBlockDesc2& DampSizeBlock() {
  static ParamBlockDesc2 desc{
      AutoBlockHeader(kStrokeBlockDampSize, "damp_size", kStrokeBlockDampSize),
      {
          CheckboxParam(kStrokeDampSizeEnable, "strokeDampSizeEnable", kAnim, false),
          Percent(kStrokeDampSizeRandom, "strokeDampSizeRandom"),
      }};
  return desc;
}

ParamBlockDesc2& DampAlphaBlock() {
  static ParamBlockDesc2 desc{
      AutoBlockHeader(kStrokeBlockDampAlpha, "damp_alpha", kStrokeBlockDampAlpha),
      {
          CheckboxParam(kStrokeDampAlphaEnable, "strokeDampAlphaEnable", kAnim, false),
          Percent(kStrokeDampAlphaRandom, "strokeDampAlphaRandom"),
      }};
  return desc;
}

ParamBlockDesc2& ColorModBlock() {
  static ParamBlockDesc2 desc{
      AutoBlockHeader(kStrokeBlockColorMod, "color_mod", kStrokeBlockColorMod),
      {
          IntComboParam(kStrokeColorModType, "colorModType", 0, kColorRangeRGB, {0, 1},
                        {"RGB", "HSV"}),
          Percent(kStrokeColorModR, "colorModR", 6.0f),
          Percent(kStrokeColorModG, "colorModG", 6.0f),
          Percent(kStrokeColorModB, "colorModB", 6.0f),
      }};
  return desc;
}

// Reads one block; a missing block answers its descriptor's defaults.
class BlockReader {
 public:
  BlockReader(IParamBlock2* pb, int block, TimeValue t, Interval& valid)
      : pb_(pb), desc_(StrokeBlockDesc(block)), t_(t), valid_(valid) {}

  float Float(ParamID id) {
    float v = 0.0f;
    if (pb_ && pb_->GetValue(id, t_, v, valid_)) return v;
    const PB2Value& def = desc_->GetParamDef(id)->def;
    return def.Is<float>() ? def.Get<float>() : static_cast<float>(def.Get<int>());
  }
  int Int(ParamID id) {
    int v = 0;
    if (pb_ && pb_->GetValue(id, t_, v, valid_)) return v;
    return desc_->GetParamDef(id)->def.Get<int>();
  }
  bool Bool(ParamID id) { return Int(id) != 0; }
  Color Colour(ParamID id) {
    Color v;
    if (pb_ && pb_->GetValue(id, t_, v, valid_)) return v;
    return desc_->GetParamDef(id)->def.Get<Color>();
  }

 private:
  IParamBlock2* pb_;
  ParamBlockDesc2* desc_;
  TimeValue t_;
  Interval& valid_;
};

void ReadCoordExt(BlockReader in, StrokeValues& v) {
  v.randomU = in.Float(kStrokeRandomU);
  v.randomV = in.Float(kStrokeRandomV);
  v.origin = in.Int(kStrokeOrigin);
  v.zScaleStart = in.Float(kStrokeZScaleStart);
  v.zScaleEnd = in.Float(kStrokeZScaleEnd);
}

void ReadMain(BlockReader in, StrokeValues& v) {
  v.color = in.Colour(kStrokeColor);
  v.mapOpacity = in.Float(kStrokeMapOpacity) * 0.01f;
  v.mapEnable = in.Bool(kStrokeMapEnable);
  v.blend = in.Int(kStrokeBlend);
  v.alpha = in.Float(kStrokeAlpha) * 0.01f;
  v.width = in.Float(kStrokeWidth);
  v.widthRnd = in.Float(kStrokeWidthRnd);
  v.anti = in.Float(kStrokeAnti);
  v.length = in.Float(kStrokeLength);
  v.lengthRnd = in.Float(kStrokeLengthRnd);
  v.hspase = in.Float(kStrokeHspase);
  v.hrnd = in.Float(kStrokeHrnd);
  v.vspase = in.Float(kStrokeVspase);
  v.vrnd = in.Float(kStrokeVrnd);
  v.angle = in.Float(kStrokeAngle);
  v.angleRnd = in.Float(kStrokeAngleRnd);
  v.bend = in.Float(kStrokeBend);
  v.surface = in.Float(kStrokeSurface);
}

}  // namespace

void StrokeValues::Derive() {
  solid = width >= 100.0f;
  w0 = std::max(width, 0.001f);
  hgap = std::max(hspase, 0.0f);
  vgap = std::max(vspase, 0.0f);
  // A stroke longer than it is wide gives back part of its rounded ends to
  // the gap, so long strokes pack closer than their full extent.
  cellW = length + 2.0f * w0 + hgap;
  if (w0 < length) cellW -= (1.0f - w0 / length) * w0;
  cellH = 2.0f * w0 + vgap;

  soft = anti * 0.01f;
  core = 0.9f * (1.0f - soft);
  if (core < 0.0f) core = core / (1.0f - 0.5f * core);
  widthScale = 1.0f + 0.75f * soft;

  marginW = (1.0f + widthRnd * 0.01f) * w0 * widthScale;
  marginL = (0.005f * lengthRnd + 0.5f) * length;
  marginX = marginW + marginL;
  marginY = std::sin(angleRnd * 0.5f * kDegToRad) * marginL + marginW;

  cosAngle = std::cos(angle * kDegToRad);
  sinAngle = std::sin(angle * kDegToRad);
}

ParamBlockDesc2* StrokeBlockDesc(int block) {
  switch (block) {
    case kStrokeBlockCoordExt:
      return &CoordExtBlock();
    case kStrokeBlockMain:
      return &MainBlock();
    case kStrokeBlockDampSize:
      return &DampSizeBlock();
    case kStrokeBlockDampAlpha:
      return &DampAlphaBlock();
    case kStrokeBlockColorMod:
      return &ColorModBlock();
    default:
      break;
  }
  TARNIS_CHECK(false) << "the stroke map has no block " << block;
  return nullptr;
}

void BindStrokeBlocks(ClassDesc2* cd) {
  for (int b = 0; b < kStrokeNumBlocks; ++b) StrokeBlockDesc(b)->SetClassDesc(cd);
}

const char* StrokeDefaultsSection(int block) {
  switch (block) {
    case kStrokeBlockDampSize:
      return "StrokeDampSize";
    case kStrokeBlockDampAlpha:
      return "StrokeDampAlpha";
    case kStrokeBlockColorMod:
      return "StrokeColorRange";
    default:
      return nullptr;
  }
}

const char* StrokeCurveSection(int block) {
  switch (block) {
    case kStrokeBlockDampSize:
      return "StrokeDampSizeCurve";
    case kStrokeBlockDampAlpha:
      return "StrokeDampAlphaCureve";
    default:
      return nullptr;
  }
}

void LoadStrokeDefaults(IniHandler& ini) {
  for (int b = 0; b < kStrokeNumBlocks; ++b) {
    if (const char* section = StrokeDefaultsSection(b)) {
      ini.LoadDefaults(section, *StrokeBlockDesc(b));
    }
  }
}

StrokeValues ReadStrokeValues(IParamBlock2* const blocks[kStrokeNumBlocks], TimeValue t,
                              Interval& valid) {
  StrokeValues v;
  ReadCoordExt({blocks[kStrokeBlockCoordExt], kStrokeBlockCoordExt, t, valid}, v);
  ReadMain({blocks[kStrokeBlockMain], kStrokeBlockMain, t, valid}, v);

  BlockReader size(blocks[kStrokeBlockDampSize], kStrokeBlockDampSize, t, valid);
  v.dampSizeEnable = size.Bool(kStrokeDampSizeEnable);
  v.dampSizeRandom = size.Float(kStrokeDampSizeRandom) * 0.02f;
  BlockReader alpha(blocks[kStrokeBlockDampAlpha], kStrokeBlockDampAlpha, t, valid);
  v.dampAlphaEnable = alpha.Bool(kStrokeDampAlphaEnable);
  v.dampAlphaRandom = alpha.Float(kStrokeDampAlphaRandom) * 0.02f;

  BlockReader mod(blocks[kStrokeBlockColorMod], kStrokeBlockColorMod, t, valid);
  v.colorRange.type = mod.Int(kStrokeColorModType);
  v.colorRange.r = mod.Float(kStrokeColorModR) * 0.01f;
  v.colorRange.g = mod.Float(kStrokeColorModG) * 0.01f;
  v.colorRange.b = mod.Float(kStrokeColorModB) * 0.01f;

  v.Derive();
  return v;
}

}  // namespace tarnis
