#include "tarnis/line/brush/brush_params.h"

#include "sdk/class_desc.h"
#include "sdk/param_builders.h"
#include "tarnis/common/ini_handler.h"

namespace tarnis {

namespace {

constexpr uint32_t kAnim = P_ANIMATABLE;

ParamBlockDesc2& ParametersBlock() {
  static ParamBlockDesc2 desc{
      AutoBlockHeader(kBrushBlockParameters, "parameters", kBrushBlockParameters),
      {
          FloatSpinnerParam(kBrushMapMapOpacity, "brushMapMapOpacity", TYPE_FLOAT, kAnim, 100.0f,
                            {0.0f, 100.0f}),
          CheckboxParam(kBrushMapMapEnable, "brushMapMapEnable", kAnim, true),
          OwnedMapParam(kBrushMapMap, "brushMapMap", kBrushTipMapRef),
          IntComboParam(kBrushMapType, "brushMapType", 0, kTipFlat, {0, 3},
                        {"通常", "複数", "単純"}),
          FloatSpinnerParam(kBrushMapStretch, "brushMapStretch", TYPE_FLOAT, kAnim, 0.0f,
                            {-100.0f, 100.0f}),
          FloatSpinnerParam(kBrushMapStretchRnd, "brushMapStretchRnd", TYPE_FLOAT, kAnim, 0.0f,
                            {0.0f, 100.0f}),
          FloatSpinnerParam(kBrushMapAngle, "brushMapAngle", TYPE_FLOAT, kAnim, 0.0f,
                            {-3600.0f, 3600.0f}),
          FloatSpinnerParam(kBrushMapAngleRnd, "brushMapAngleRnd", TYPE_FLOAT, kAnim, 0.0f,
                            {0.0f, 360.0f}),
          FloatSpinnerParam(kBrushMapGroove, "brushMapGroove", TYPE_FLOAT, kAnim, 0.0f,
                            {0.0f, 100.0f}),
          IntSpinnerParam(kBrushMapGrooveNUM, "brushMapGrooveNUM", kAnim, 5, {3, 20}),
          FloatSpinnerParam(kBrushMapSize, "brushMapSize", TYPE_FLOAT, kAnim, 16.0f,
                            {0.1f, 100.0f}),
          FloatSpinnerParam(kBrushMapSizeRnd, "brushMapSizeRnd", TYPE_FLOAT, kAnim, 80.0f,
                            {0.0f, 100.0f}),
          FloatSpinnerParam(kBrushMapAnti, "brushMapAnti", TYPE_FLOAT, kAnim, 50.0f,
                            {0.0f, 1000.0f}),
          FloatSpinnerParam(kBrushMapHSpace, "brushMapHSpace", TYPE_FLOAT, kAnim, 10.0f,
                            {0.0f, 100.0f}),
          FloatSpinnerParam(kBrushMapHSpaceRand, "brushMapHSpaceRand", TYPE_FLOAT, kAnim, 100.0f,
                            {0.0f, 100.0f}),
          FloatSpinnerParam(kBrushMapVSpace, "brushMapVSpace", TYPE_FLOAT, kAnim, 10.0f,
                            {0.0f, 100.0f}),
          FloatSpinnerParam(kBrushMapVSpaceRand, "brushMapVSpaceRand", TYPE_FLOAT, kAnim, 100.0f,
                            {0.0f, 100.0f}),
          FloatSpinnerParam(kBrushMapDampStart, "brushMapDampStart", TYPE_FLOAT, kAnim, 100.0f,
                            {0.0f, 100.0f}),
          FloatSpinnerParam(kBrushMapDampEnd, "brushMapDampEnd", TYPE_FLOAT, kAnim, 100.0f,
                            {0.0f, 100.0f}),
      }};
  return desc;
}

ParamBlockDesc2& StrokeBlock() {
  static ParamBlockDesc2 desc{
      AutoBlockHeader(kBrushBlockStroke, "brush_stroke", kBrushBlockStroke),
      {
          IntComboParam(kBrushMapStrokeType, "brushMapStrokeType", 0, 0, {0, 3},
                        {"通常", "レーキ", "ランダム"}),
          IntComboParam(kBrushMapstrokeType2, "brushMapstrokeType2", 0, 0, {0, 2},
                        {"実線", "破線"}),
          FloatSpinnerParam(kBrushMapStrokeLength, "brushMapStrokeLength", TYPE_FLOAT, kAnim, 5.0f,
                            {1.0f, 10000.0f}),
          FloatSpinnerParam(kBrushMapStrokeLengthRnd, "brushMapStrokeLengthRnd", TYPE_FLOAT, kAnim,
                            0.0f, {0.0f, 100.0f}),
          FloatSpinnerParam(kBrushMapStrokeSizeRnd, "brushMapStrokeSizeRnd", TYPE_FLOAT, kAnim,
                            0.0f, {0.0f, 100.0f}),
          FloatSpinnerParam(kBrushMapSpacing, "brushMapSpacing", TYPE_FLOAT, kAnim, 5.0f,
                            {1.0f, 100.0f}),
          FloatSpinnerParam(kBrushMapSpaceingRnd, "brushMapSpaceingRnd", TYPE_FLOAT, kAnim, 0.0f,
                            {0.0f, 100.0f}),
          FloatSpinnerParam(kBrushMapOvershoot, "brushMapOvershoot", TYPE_FLOAT, kAnim, 0.0f,
                            {0.0f, 100.0f}),
          FloatSpinnerParam(kBrushMapOvershootRnd, "brushMapOvershootRnd", TYPE_FLOAT, kAnim, 0.0f,
                            {0.0f, 100.0f}),
          IntSpinnerParam(kBrushMapMultiple, "brushMapMultiple", kAnim, 1, {1, 10}),
          IntSpinnerParam(kBrushMapMultipleRnd, "brushMapMultipleRnd", kAnim, 0, {0, 10}),
          FloatSpinnerParam(kBrushMapNormalOffset, "brushMapNormalOffset", TYPE_FLOAT, kAnim, 0.0f,
                            {-1000.0f, 1000.0f}),
          FloatSpinnerParam(kBrushMapNormalOffsetRnd, "brushMapNormalOffsetRnd", TYPE_FLOAT, kAnim,
                            0.0f, {0.0f, 100.0f}),
          FloatSpinnerParam(kBrushMapOffsetX, "brushMapOffsetX", TYPE_FLOAT, kAnim, 0.0f,
                            {-100.0f, 100.0f}),
          FloatSpinnerParam(kBrushMapOffsetXRnd, "brushMapOffsetXRnd", TYPE_FLOAT, kAnim, 0.0f,
                            {0.0f, 100.0f}),
          FloatSpinnerParam(kBrushMapOffsetY, "brushMapOffsetY", TYPE_FLOAT, kAnim, 0.0f,
                            {-100.0f, 100.0f}),
          FloatSpinnerParam(kBrushMapOffsetYRnd, "brushMapOffsetYRnd", TYPE_FLOAT, kAnim, 0.0f,
                            {0.0f, 100.0f}),
          FloatSpinnerParam(kLimitAngle, "limitAngle", TYPE_FLOAT, kAnim, 90.0f, {0.0f, 180.0f}),
          FloatSpinnerParam(kMinimumLength, "minimumLength", TYPE_FLOAT, kAnim, 2.0f,
                            {0.0f, 100.0f}),
          FloatSpinnerParam(kCombineLength, "combineLength", TYPE_FLOAT, kAnim, 2.0f,
                            {0.0f, 100.0f}),
          FloatSpinnerParam(kDirectionAngle, "directionAngle", TYPE_FLOAT, kAnim, -30.0f,
                            {-180.0f, 180.0f}),
          IntComboParam(kLoopDirection, "loopDirection", 0, 1, {0, 1}, {"時計回り", "反時計回り"}),
      }};
  return desc;
}

ParamBlockDesc2& NoiseBlock() {
  static ParamBlockDesc2 desc{
      AutoBlockHeader(kBrushBlockNoise, "noise", kBrushBlockNoise),
      {
          CheckboxParam(kBrushNoiseEnable, "brushNoiseEnable", kAnim, false),
          OwnedMapParam(kBrushNoiseMap, "brushNoiseMap", kBrushNoiseMapRef),
          FloatSpinnerParam(kBrushMapNoiseMapOpacity, "brushMapNoiseMapOpacity", TYPE_FLOAT, kAnim,
                            5.0f, {0.0f, 100.0f}),
          CheckboxParam(kBrushNoiseMapEnable, "brushNoiseMapEnable", kAnim, true),
          FloatSpinnerParam(kBrushMapNoiseAmp, "brushMapNoiseAmp", TYPE_FLOAT, kAnim, 5.0f,
                            {0.0f, 100.0f}),
          FloatSpinnerParam(kBrushMapNoiseAmpRandom, "brushMapNoiseAmpRandom", TYPE_FLOAT, kAnim,
                            0.0f, {0.0f, 100.0f}),
          FloatSpinnerParam(kBrushMapNoisePeriod, "brushMapNoisePeriod", TYPE_FLOAT, kAnim, 100.0f,
                            {5.0f, 1000.0f}),
          FloatSpinnerParam(kBrushMapNoisePeriodRandom, "brushMapNoisePeriodRandom", TYPE_FLOAT,
                            kAnim, 0.0f, {0.0f, 100.0f}),
          FloatSpinnerParam(kBrushMapNoisePhase, "brushMapNoisePhase", TYPE_FLOAT, kAnim, 0.0f,
                            {-9999.9f, 9999.9f}),
          FloatSpinnerParam(kBrushMapNoisePhaseRandom, "brushMapNoisePhaseRandom", TYPE_FLOAT,
                            kAnim, 0.0f, {0.0f, 100.0f}),
      }};
  return desc;
}

ParamBlockDesc2& DampSizeBlock() {
  static ParamBlockDesc2 desc{
      AutoBlockHeader(kBrushBlockDampSize, "damp_size", kBrushBlockDampSize),
      {CheckboxParam(kBrushDampSizeEnable, "brushDampSizeEnable", kAnim, false)}};
  return desc;
}

ParamBlockDesc2& DampAlphaBlock() {
  static ParamBlockDesc2 desc{
      AutoBlockHeader(kBrushBlockDampAlpha, "damp_alpha", kBrushBlockDampAlpha),
      {CheckboxParam(kBrushDampAlphaEnable, "brushDampAlphaEnable", kAnim, false)}};
  return desc;
}

ParamBlockDesc2& ColorModBlock() {
  static ParamBlockDesc2 desc{
      AutoBlockHeader(kBrushBlockColorMod, "color_mod", kBrushBlockColorMod),
      {
          IntComboParam(kColorModType, "colorModType", 0, 0, {0, 1}, {"RGB", "HSV"}),
          FloatSpinnerParam(kColorModR, "colorModR", TYPE_FLOAT, kAnim, 0.0f, {0.0f, 100.0f}),
          FloatSpinnerParam(kColorModG, "colorModG", TYPE_FLOAT, kAnim, 0.0f, {0.0f, 100.0f}),
          FloatSpinnerParam(kColorModB, "colorModB", TYPE_FLOAT, kAnim, 0.0f, {0.0f, 100.0f}),
      }};
  return desc;
}

// Reads one block at a time; a missing block answers its descriptor's defaults.
class BlockReader {
 public:
  BlockReader(IParamBlock2* pb, int block, TimeValue t, Interval& valid)
      : pb_(pb), desc_(BrushBlockDesc(block)), t_(t), valid_(valid) {}

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
  float Percent(ParamID id) { return Float(id) * 0.01f; }

 private:
  IParamBlock2* pb_;
  ParamBlockDesc2* desc_;
  TimeValue t_;
  Interval& valid_;
};

BrushTipValues ReadTip(BlockReader in) {
  BrushTipValues tip;
  tip.type = in.Int(kBrushMapType);
  tip.mapOpacity = in.Percent(kBrushMapMapOpacity);
  tip.mapEnable = in.Bool(kBrushMapMapEnable);
  tip.stretch = in.Float(kBrushMapStretch);
  tip.stretchRnd = in.Percent(kBrushMapStretchRnd);
  tip.angle = in.Float(kBrushMapAngle);
  tip.angleRnd = in.Float(kBrushMapAngleRnd);
  tip.groove = in.Float(kBrushMapGroove);
  tip.grooveNum = in.Int(kBrushMapGrooveNUM);
  tip.size = in.Float(kBrushMapSize);
  tip.sizeRnd = in.Percent(kBrushMapSizeRnd);
  tip.anti = in.Percent(kBrushMapAnti);
  tip.hSpace = in.Float(kBrushMapHSpace);
  tip.hSpaceRand = in.Percent(kBrushMapHSpaceRand);
  tip.vSpace = in.Float(kBrushMapVSpace);
  tip.vSpaceRand = in.Percent(kBrushMapVSpaceRand);
  tip.dampStart = in.Percent(kBrushMapDampStart);
  tip.dampEnd = in.Percent(kBrushMapDampEnd);
  tip.Derive();
  return tip;
}

BrushStrokeValues ReadStroke(BlockReader in) {
  BrushStrokeValues s;
  s.strokeType = in.Int(kBrushMapStrokeType);
  s.strokeType2 = in.Int(kBrushMapstrokeType2);
  s.length = in.Float(kBrushMapStrokeLength);
  s.lengthRnd = in.Percent(kBrushMapStrokeLengthRnd);
  s.sizeRnd = in.Percent(kBrushMapStrokeSizeRnd);
  s.spacing = in.Float(kBrushMapSpacing);
  s.spacingRnd = in.Percent(kBrushMapSpaceingRnd);
  s.overshoot = in.Float(kBrushMapOvershoot);
  s.overshootRnd = in.Percent(kBrushMapOvershootRnd);
  s.multiple = in.Int(kBrushMapMultiple);
  s.multipleRnd = in.Int(kBrushMapMultipleRnd);
  s.normalOffset = in.Float(kBrushMapNormalOffset);
  s.normalOffsetRnd = in.Float(kBrushMapNormalOffsetRnd);
  s.offsetX = in.Float(kBrushMapOffsetX);
  s.offsetXRnd = in.Float(kBrushMapOffsetXRnd);
  s.offsetY = in.Float(kBrushMapOffsetY);
  s.offsetYRnd = in.Float(kBrushMapOffsetYRnd);
  s.limitAngle = in.Float(kLimitAngle);
  s.minimumLength = in.Float(kMinimumLength);
  s.combineLength = in.Float(kCombineLength);
  s.directionAngle = in.Float(kDirectionAngle);
  s.loopDirection = in.Int(kLoopDirection);
  return s;
}

BrushNoiseValues ReadNoise(BlockReader in) {
  BrushNoiseValues n;
  n.enable = in.Bool(kBrushNoiseEnable);
  n.mapOpacity = in.Percent(kBrushMapNoiseMapOpacity);
  n.mapEnable = in.Bool(kBrushNoiseMapEnable);
  n.amp = in.Float(kBrushMapNoiseAmp);
  n.ampRandom = in.Percent(kBrushMapNoiseAmpRandom);
  n.period = in.Float(kBrushMapNoisePeriod);
  n.periodRandom = in.Percent(kBrushMapNoisePeriodRandom);
  n.phase = in.Float(kBrushMapNoisePhase);
  n.phaseRandom = in.Percent(kBrushMapNoisePhaseRandom);
  return n;
}

BrushColorRange ReadColorRange(BlockReader in) {
  BrushColorRange c;
  c.type = in.Int(kColorModType);
  c.r = in.Percent(kColorModR);
  c.g = in.Percent(kColorModG);
  c.b = in.Percent(kColorModB);
  return c;
}

}  // namespace

ParamBlockDesc2* BrushBlockDesc(int block) {
  switch (block) {
    case kBrushBlockParameters:
      return &ParametersBlock();
    case kBrushBlockStroke:
      return &StrokeBlock();
    case kBrushBlockNoise:
      return &NoiseBlock();
    case kBrushBlockDampSize:
      return &DampSizeBlock();
    case kBrushBlockDampAlpha:
      return &DampAlphaBlock();
    case kBrushBlockColorMod:
      return &ColorModBlock();
    default:
      break;
  }
  TARNIS_CHECK(false) << "the brush has no block " << block;
  return nullptr;
}

void BindBrushBlocks(ClassDesc2* cd) {
  for (int b = 0; b < kBrushNumBlocks; ++b) BrushBlockDesc(b)->SetClassDesc(cd);
}

const char* BrushDefaultsSection(int block) {
  static const char* const kSections[kBrushNumBlocks] = {
      "BrushBaseDefault",     "BrushStrokeDefault",    "BrushNoiseDefault",
      "BrushDampSizeDefault", "BrushDampAlphaDefault", "BrushColorModDefault"};
  TARNIS_CHECK(block >= 0 && block < kBrushNumBlocks) << "the brush has no block " << block;
  return kSections[block];
}

void LoadBrushDefaults(IniHandler& ini) {
  for (int b = 0; b < kBrushNumBlocks; ++b) {
    ini.LoadDefaults(BrushDefaultsSection(b), *BrushBlockDesc(b));
  }
}

BrushValues ReadBrushValues(IParamBlock2* const blocks[kBrushNumBlocks], TimeValue t,
                            Interval& valid) {
  BrushValues v;
  v.tip = ReadTip({blocks[kBrushBlockParameters], kBrushBlockParameters, t, valid});
  v.stroke = ReadStroke({blocks[kBrushBlockStroke], kBrushBlockStroke, t, valid});
  v.noise = ReadNoise({blocks[kBrushBlockNoise], kBrushBlockNoise, t, valid});
  v.dampSizeEnable = BlockReader(blocks[kBrushBlockDampSize], kBrushBlockDampSize, t, valid)
                         .Bool(kBrushDampSizeEnable);
  v.dampAlphaEnable = BlockReader(blocks[kBrushBlockDampAlpha], kBrushBlockDampAlpha, t, valid)
                          .Bool(kBrushDampAlphaEnable);
  v.colorRange = ReadColorRange({blocks[kBrushBlockColorMod], kBrushBlockColorMod, t, valid});
  return v;
}

}  // namespace tarnis
