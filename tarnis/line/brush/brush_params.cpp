#include "tarnis/line/brush/brush_params.h"

#include "sdk/class_desc.h"
#include "tarnis/common/ini_handler.h"

namespace tarnis {

namespace {

constexpr uint32_t kAnim = P_ANIMATABLE;

ParamBlockHeader Header(int id, const char* name) {
  return {.id = id, .internalName = name, .ownerRef = id, .flags = P_AUTO_CONSTRUCT};
}

ParamDef Float(ParamID id, const char* name, float def, float min, float max) {
  return {.id = id,
          .internalName = name,
          .type = TYPE_FLOAT,
          .flags = kAnim,
          .def = def,
          .range = {min, max},
          .ui = {.control = ParamControl::kSpinner}};
}

ParamDef Int(ParamID id, const char* name, uint32_t flags, int def, int min, int max,
             std::vector<std::string> choices = {}) {
  const ParamControl control = choices.empty() ? ParamControl::kSpinner : ParamControl::kCombo;
  return {.id = id,
          .internalName = name,
          .type = TYPE_INT,
          .flags = flags,
          .def = def,
          .range = {static_cast<float>(min), static_cast<float>(max)},
          .ui = {.control = control, .items = std::move(choices)}};
}

ParamDef Bool(ParamID id, const char* name, bool def) {
  return {.id = id,
          .internalName = name,
          .type = TYPE_BOOL,
          .flags = kAnim,
          .def = def,
          .ui = {.control = ParamControl::kCheckbox}};
}

// A map that lives in the brush's own reference slot `ref`.
ParamDef Map(ParamID id, const char* name, int ref) {
  return {.id = id,
          .internalName = name,
          .type = TYPE_TEXMAP,
          .flags = P_OWNERS_REF,
          .ownerRef = ref,
          .ui = {.control = ParamControl::kMapButton}};
}

ParamBlockDesc2& ParametersBlock() {
  static ParamBlockDesc2 desc{
      Header(kBrushBlockParameters, "parameters"),
      {
          Float(kBrushMapMapOpacity, "brushMapMapOpacity", 100.0f, 0.0f, 100.0f),
          Bool(kBrushMapMapEnable, "brushMapMapEnable", true),
          Map(kBrushMapMap, "brushMapMap", kBrushTipMapRef),
          Int(kBrushMapType, "brushMapType", 0, kTipFlat, 0, 3, {"通常", "複数", "単純"}),
          Float(kBrushMapStretch, "brushMapStretch", 0.0f, -100.0f, 100.0f),
          Float(kBrushMapStretchRnd, "brushMapStretchRnd", 0.0f, 0.0f, 100.0f),
          Float(kBrushMapAngle, "brushMapAngle", 0.0f, -3600.0f, 3600.0f),
          Float(kBrushMapAngleRnd, "brushMapAngleRnd", 0.0f, 0.0f, 360.0f),
          Float(kBrushMapGroove, "brushMapGroove", 0.0f, 0.0f, 100.0f),
          Int(kBrushMapGrooveNUM, "brushMapGrooveNUM", kAnim, 5, 3, 20),
          Float(kBrushMapSize, "brushMapSize", 16.0f, 0.1f, 100.0f),
          Float(kBrushMapSizeRnd, "brushMapSizeRnd", 80.0f, 0.0f, 100.0f),
          Float(kBrushMapAnti, "brushMapAnti", 50.0f, 0.0f, 1000.0f),
          Float(kBrushMapHSpace, "brushMapHSpace", 10.0f, 0.0f, 100.0f),
          Float(kBrushMapHSpaceRand, "brushMapHSpaceRand", 100.0f, 0.0f, 100.0f),
          Float(kBrushMapVSpace, "brushMapVSpace", 10.0f, 0.0f, 100.0f),
          Float(kBrushMapVSpaceRand, "brushMapVSpaceRand", 100.0f, 0.0f, 100.0f),
          Float(kBrushMapDampStart, "brushMapDampStart", 100.0f, 0.0f, 100.0f),
          Float(kBrushMapDampEnd, "brushMapDampEnd", 100.0f, 0.0f, 100.0f),
      }};
  return desc;
}

ParamBlockDesc2& StrokeBlock() {
  static ParamBlockDesc2 desc{
      Header(kBrushBlockStroke, "brush_stroke"),
      {
          Int(kBrushMapStrokeType, "brushMapStrokeType", 0, 0, 0, 3,
              {"通常", "レーキ", "ランダム"}),
          Int(kBrushMapstrokeType2, "brushMapstrokeType2", 0, 0, 0, 2, {"実線", "破線"}),
          Float(kBrushMapStrokeLength, "brushMapStrokeLength", 5.0f, 1.0f, 10000.0f),
          Float(kBrushMapStrokeLengthRnd, "brushMapStrokeLengthRnd", 0.0f, 0.0f, 100.0f),
          Float(kBrushMapStrokeSizeRnd, "brushMapStrokeSizeRnd", 0.0f, 0.0f, 100.0f),
          Float(kBrushMapSpacing, "brushMapSpacing", 5.0f, 1.0f, 100.0f),
          Float(kBrushMapSpaceingRnd, "brushMapSpaceingRnd", 0.0f, 0.0f, 100.0f),
          Float(kBrushMapOvershoot, "brushMapOvershoot", 0.0f, 0.0f, 100.0f),
          Float(kBrushMapOvershootRnd, "brushMapOvershootRnd", 0.0f, 0.0f, 100.0f),
          Int(kBrushMapMultiple, "brushMapMultiple", kAnim, 1, 1, 10),
          Int(kBrushMapMultipleRnd, "brushMapMultipleRnd", kAnim, 0, 0, 10),
          Float(kBrushMapNormalOffset, "brushMapNormalOffset", 0.0f, -1000.0f, 1000.0f),
          Float(kBrushMapNormalOffsetRnd, "brushMapNormalOffsetRnd", 0.0f, 0.0f, 100.0f),
          Float(kBrushMapOffsetX, "brushMapOffsetX", 0.0f, -100.0f, 100.0f),
          Float(kBrushMapOffsetXRnd, "brushMapOffsetXRnd", 0.0f, 0.0f, 100.0f),
          Float(kBrushMapOffsetY, "brushMapOffsetY", 0.0f, -100.0f, 100.0f),
          Float(kBrushMapOffsetYRnd, "brushMapOffsetYRnd", 0.0f, 0.0f, 100.0f),
          Float(kLimitAngle, "limitAngle", 90.0f, 0.0f, 180.0f),
          Float(kMinimumLength, "minimumLength", 2.0f, 0.0f, 100.0f),
          Float(kCombineLength, "combineLength", 2.0f, 0.0f, 100.0f),
          Float(kDirectionAngle, "directionAngle", -30.0f, -180.0f, 180.0f),
          Int(kLoopDirection, "loopDirection", 0, 1, 0, 1, {"時計回り", "反時計回り"}),
      }};
  return desc;
}

ParamBlockDesc2& NoiseBlock() {
  static ParamBlockDesc2 desc{
      Header(kBrushBlockNoise, "noise"),
      {
          Bool(kBrushNoiseEnable, "brushNoiseEnable", false),
          Map(kBrushNoiseMap, "brushNoiseMap", kBrushNoiseMapRef),
          Float(kBrushMapNoiseMapOpacity, "brushMapNoiseMapOpacity", 5.0f, 0.0f, 100.0f),
          Bool(kBrushNoiseMapEnable, "brushNoiseMapEnable", true),
          Float(kBrushMapNoiseAmp, "brushMapNoiseAmp", 5.0f, 0.0f, 100.0f),
          Float(kBrushMapNoiseAmpRandom, "brushMapNoiseAmpRandom", 0.0f, 0.0f, 100.0f),
          Float(kBrushMapNoisePeriod, "brushMapNoisePeriod", 100.0f, 5.0f, 1000.0f),
          Float(kBrushMapNoisePeriodRandom, "brushMapNoisePeriodRandom", 0.0f, 0.0f, 100.0f),
          Float(kBrushMapNoisePhase, "brushMapNoisePhase", 0.0f, -9999.9f, 9999.9f),
          Float(kBrushMapNoisePhaseRandom, "brushMapNoisePhaseRandom", 0.0f, 0.0f, 100.0f),
      }};
  return desc;
}

ParamBlockDesc2& DampSizeBlock() {
  static ParamBlockDesc2 desc{Header(kBrushBlockDampSize, "damp_size"),
                              {Bool(kBrushDampSizeEnable, "brushDampSizeEnable", false)}};
  return desc;
}

ParamBlockDesc2& DampAlphaBlock() {
  static ParamBlockDesc2 desc{Header(kBrushBlockDampAlpha, "damp_alpha"),
                              {Bool(kBrushDampAlphaEnable, "brushDampAlphaEnable", false)}};
  return desc;
}

ParamBlockDesc2& ColorModBlock() {
  static ParamBlockDesc2 desc{Header(kBrushBlockColorMod, "color_mod"),
                              {
                                  Int(kColorModType, "colorModType", 0, 0, 0, 1, {"RGB", "HSV"}),
                                  Float(kColorModR, "colorModR", 0.0f, 0.0f, 100.0f),
                                  Float(kColorModG, "colorModG", 0.0f, 0.0f, 100.0f),
                                  Float(kColorModB, "colorModB", 0.0f, 0.0f, 100.0f),
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
