// Tests of the brush object: its parameter tables, a new brush's slots and
// working copy, strict slots and map cycles, validity, reset, cloning,
// saving and loading (with the repairs of old and damaged brushes), default
// curves from the settings file, the class descriptor and the sampler.
#include "tarnis/line/brush/brush.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>

#include "sdk/curve_control.h"
#include "sdk/ref_graph.h"
#include "sdk/testing/fake_interface.h"
#include "tarnis/common/ini_handler.h"
#include "tarnis/line/brush/brush_class_desc.h"
#include "tarnis/line/brush/brush_sampler.h"
#include "tarnis/line/brush/brush_test_helpers.h"
#include "tarnis/plugin/class_table.h"

namespace tarnis {
namespace {

using testing::ProbeMap;

constexpr float kNoLimit = std::numeric_limits<float>::infinity();

struct ParamRow {
  int block;
  ParamID id;
  const char* name;
  ParamType2 type;
  float def, min, max;
  bool animatable;
};

const ParamRow kParamRows[] = {
    {0, kBrushMapMapOpacity, "brushMapMapOpacity", TYPE_FLOAT, 100, 0, 100, true},
    {0, kBrushMapMapEnable, "brushMapMapEnable", TYPE_BOOL, 1, -kNoLimit, kNoLimit, true},
    {0, kBrushMapType, "brushMapType", TYPE_INT, 2, 0, 3, false},
    {0, kBrushMapStretch, "brushMapStretch", TYPE_FLOAT, 0, -100, 100, true},
    {0, kBrushMapAngle, "brushMapAngle", TYPE_FLOAT, 0, -3600, 3600, true},
    {0, kBrushMapGrooveNUM, "brushMapGrooveNUM", TYPE_INT, 5, 3, 20, true},
    {0, kBrushMapSize, "brushMapSize", TYPE_FLOAT, 16, 0.1f, 100, true},
    {0, kBrushMapAnti, "brushMapAnti", TYPE_FLOAT, 50, 0, 1000, true},
    {0, kBrushMapDampEnd, "brushMapDampEnd", TYPE_FLOAT, 100, 0, 100, true},
    {1, kBrushMapstrokeType2, "brushMapstrokeType2", TYPE_INT, 0, 0, 2, false},
    {1, kBrushMapStrokeLength, "brushMapStrokeLength", TYPE_FLOAT, 5, 1, 10000, true},
    {1, kBrushMapSpaceingRnd, "brushMapSpaceingRnd", TYPE_FLOAT, 0, 0, 100, true},
    {1, kBrushMapMultiple, "brushMapMultiple", TYPE_INT, 1, 1, 10, true},
    {1, kLimitAngle, "limitAngle", TYPE_FLOAT, 90, 0, 180, true},
    {1, kDirectionAngle, "directionAngle", TYPE_FLOAT, -30, -180, 180, true},
    {1, kLoopDirection, "loopDirection", TYPE_INT, 1, 0, 1, false},
    {1, kBrushMapStrokeSizeRnd, "brushMapStrokeSizeRnd", TYPE_FLOAT, 0, 0, 100, true},
    {2, kBrushNoiseEnable, "brushNoiseEnable", TYPE_BOOL, 0, -kNoLimit, kNoLimit, true},
    {2, kBrushMapNoiseMapOpacity, "brushMapNoiseMapOpacity", TYPE_FLOAT, 5, 0, 100, true},
    {2, kBrushMapNoisePeriod, "brushMapNoisePeriod", TYPE_FLOAT, 100, 5, 1000, true},
    {2, kBrushMapNoisePhase, "brushMapNoisePhase", TYPE_FLOAT, 0, -9999.9f, 9999.9f, true},
    {3, kBrushDampSizeEnable, "brushDampSizeEnable", TYPE_BOOL, 0, -kNoLimit, kNoLimit, true},
    {4, kBrushDampAlphaEnable, "brushDampAlphaEnable", TYPE_BOOL, 0, -kNoLimit, kNoLimit, true},
    {5, kColorModType, "colorModType", TYPE_INT, 0, 0, 1, false},
    {5, kColorModR, "colorModR", TYPE_FLOAT, 0, 0, 100, true},
    {5, kColorModB, "colorModB", TYPE_FLOAT, 0, 0, 100, true},
};

TEST(BrushParameters, DeclareIdsNamesTypesDefaultsRangesAndAnimation) {
  for (const ParamRow& row : kParamRows) {
    const ParamDef* def = BrushBlockDesc(row.block)->GetParamDef(row.id);
    ASSERT_NE(def, nullptr) << row.name;
    EXPECT_EQ(def->internalName, row.name);
    EXPECT_EQ(def->type, row.type) << row.name;
    const float got = def->def.Is<float>() ? def->def.Get<float>() : float(def->def.Get<int>());
    EXPECT_EQ(got, row.def) << row.name;
    EXPECT_EQ(def->range.min, row.min) << row.name;
    EXPECT_EQ(def->range.max, row.max) << row.name;
    EXPECT_EQ((def->flags & P_ANIMATABLE) != 0, row.animatable) << row.name;
  }
}

TEST(BrushParameters, BlocksAreBoundToTheBrushAndHeldInTheirOwnSlots) {
  const char* names[] = {"parameters", "brush_stroke", "noise",
                         "damp_size",  "damp_alpha",   "color_mod"};
  const int counts[] = {19, 22, 10, 1, 1, 4};
  ASSERT_EQ(GetBrushDesc()->NumParamBlockDescs(), kBrushNumBlocks);
  for (int b = 0; b < kBrushNumBlocks; ++b) {
    ParamBlockDesc2* desc = BrushBlockDesc(b);
    EXPECT_EQ(desc->ID(), b);
    EXPECT_EQ(desc->InternalName(), names[b]);
    EXPECT_EQ(desc->OwnerRef(), b);
    EXPECT_EQ(desc->Count(), counts[b]) << names[b];
    EXPECT_EQ(desc->GetClassDesc(), GetBrushDesc());
    EXPECT_EQ(GetBrushDesc()->GetParamBlockDesc(b), desc);
  }
  EXPECT_EQ(BrushBlockDesc(1)->GetParamDef(20), nullptr);
  EXPECT_EQ(BrushBlockDesc(0)->GetParamDef(kBrushMapMap)->ownerRef, kBrushTipMapRef);
  EXPECT_EQ(BrushBlockDesc(2)->GetParamDef(kBrushNoiseMap)->ownerRef, kBrushNoiseMapRef);
}

// The value of a ProbeMap, or -1 for anything else (an empty slot too).
float ProbeValue(Texmap* map) {
  auto* probe = dynamic_cast<ProbeMap*>(map);
  return probe ? probe->value : -1.0f;
}

Brush& Made(ReferenceHolder& holder) {
  return *holder.GetAs<Brush>();
}

void ExpectDefaultCurve(CurveControl* curve) {
  ASSERT_NE(curve, nullptr);
  const ICurve* c = curve->GetControlCurve(0);
  ASSERT_EQ(c->GetNumPts(), 3);
  EXPECT_FLOAT_EQ(c->GetValue(0, 0.0f), 0.0f);
  EXPECT_FLOAT_EQ(c->GetValue(0, 0.5f), 1.0f);
  EXPECT_FLOAT_EQ(c->GetValue(0, 1.0f), 0.0f);
}

TEST(Brush, NewBrushHasItsBlocksCurvesAndAScaledWorkingCopy) {
  ReferenceHolder holder(new Brush);
  Brush& brush = Made(holder);
  for (int b = 0; b < kBrushNumBlocks; ++b) EXPECT_EQ(brush.Block(b)->GetDesc(), BrushBlockDesc(b));
  EXPECT_EQ(brush.GetSubTexmap(0), nullptr);
  EXPECT_EQ(brush.GetSubTexmap(1), nullptr);
  ExpectDefaultCurve(brush.SizeCurve());
  ExpectDefaultCurve(brush.AlphaCurve());
  EXPECT_NE(brush.SizeCurve(), brush.AlphaCurve());

  const BrushValues& v = brush.Values();
  EXPECT_EQ(v.tip.type, kTipFlat);
  EXPECT_FLOAT_EQ(v.tip.mapOpacity, 1.0f);
  EXPECT_FLOAT_EQ(v.tip.sizeRnd, 0.8f);
  EXPECT_FLOAT_EQ(v.tip.anti, 0.5f);
  EXPECT_FLOAT_EQ(v.tip.dampStart, 1.0f);
  EXPECT_FLOAT_EQ(v.tip.size, 16.0f);
  EXPECT_FLOAT_EQ(v.noise.mapOpacity, 0.05f);
  EXPECT_FLOAT_EQ(v.stroke.directionAngle, -30.0f);
  EXPECT_FALSE(v.colorRange.Active());

  const uint64_t before = brush.Generation();
  brush.Block(kBrushBlockParameters)->SetValue(kBrushMapSizeRnd, 0, 40.0f);
  brush.Block(kBrushBlockColorMod)->SetValue(kColorModG, 0, 25.0f);
  Interval valid = FOREVER;
  brush.Update(0, valid);
  EXPECT_FLOAT_EQ(brush.Values().tip.sizeRnd, 0.4f);
  EXPECT_FLOAT_EQ(brush.Values().colorRange.g, 0.25f);
  EXPECT_TRUE(brush.Values().colorRange.Active());
  EXPECT_NE(brush.Generation(), before);
  EXPECT_TRUE(valid.IsInfinite());
}

TEST(Brush, SlotsRefuseObjectsOfTheWrongKind) {
  ReferenceHolder holder(new Brush);
  Brush& brush = Made(holder);
  ReferenceHolder map(new ProbeMap(0.5f));
  IParamBlock2* stroke = brush.Block(kBrushBlockStroke);
  EXPECT_EQ(brush.TryReplaceReference(kBrushBlockParameters, stroke), REF_FAIL);
  EXPECT_EQ(brush.TryReplaceReference(kBrushTipMapRef, brush.SizeCurve()), REF_FAIL);
  EXPECT_EQ(brush.TryReplaceReference(kBrushSizeCurveRef, map.Get()), REF_FAIL);
  EXPECT_EQ(brush.GetReference(kBrushBlockParameters), brush.Block(kBrushBlockParameters));
  EXPECT_EQ(brush.GetReference(kBrushTipMapRef), nullptr);

  // Maps set through the blocks land in the brush's slots, and the other way round.
  brush.Block(kBrushBlockParameters)->SetValue(kBrushMapMap, 0, map.Get());
  EXPECT_EQ(brush.GetSubTexmap(0), map.Get());
  brush.SetSubTexmap(1, map.GetAs<Texmap>());
  EXPECT_EQ(brush.Block(kBrushBlockNoise)->GetReferenceTarget(kBrushNoiseMap), map.Get());
}

TEST(Brush, UsesATipMapOnlyWhenItDoesNotLeadBackToTheBrush) {
  ReferenceHolder holder(new Brush);
  Brush& brush = Made(holder);
  brush.Block(kBrushBlockParameters)->SetValue(kBrushMapType, 0, kTipSoft);
  auto* plain = new ProbeMap(0.25f);
  auto* cyclic = new ProbeMap(0.25f);
  cyclic->ReplaceReference(0, &brush);
  struct Case {
    Texmap* map;
    float centre;
  };
  for (const Case& c : {Case{plain, 0.25f}, Case{cyclic, 1.0f}, Case{&brush, 1.0f}}) {
    brush.SetSubTexmap(0, c.map);
    Interval valid = FOREVER;
    brush.Update(0, valid);
    EXPECT_EQ(brush.Values().tip.map != nullptr, c.centre != 1.0f);
    EXPECT_FLOAT_EQ(brush.Tip().Intensity(0.5f, 0.5f), c.centre);
  }
  brush.SetSubTexmap(0, nullptr);  // breaks the cycles so everything is freed
}

TEST(Brush, WorkingCopyIsValidAsLongAsItsAnimatedValues) {
  ReferenceHolder holder(new Brush);
  Brush& brush = Made(holder);
  IParamBlock2* pb = brush.Block(kBrushBlockParameters);
  ASSERT_NE(pb->MakeAnimated(kBrushMapAngle, KeyInterp::kLinear), nullptr);
  pb->SetValue(kBrushMapAngle, 0, 0.0f);
  pb->SetValue(kBrushMapAngle, TIME_TICKSPERSEC, 90.0f);
  Interval valid = FOREVER;
  brush.Update(TIME_TICKSPERSEC / 2, valid);
  EXPECT_FLOAT_EQ(brush.Values().tip.angle, 45.0f);
  EXPECT_FALSE(valid.IsInfinite());
  EXPECT_TRUE(valid.InInterval(TIME_TICKSPERSEC / 2));
  EXPECT_FALSE(brush.Validity(TIME_TICKSPERSEC / 2).InInterval(TIME_TICKSPERSEC));
}

TEST(Brush, ResetBringsBackDefaultsAndDefaultCurves) {
  ReferenceHolder holder(new Brush);
  Brush& brush = Made(holder);
  brush.Block(kBrushBlockStroke)->SetValue(kBrushMapSpacing, 0, 40.0f);
  brush.SetSubTexmap(0, new ProbeMap(0.5f));
  brush.SizeCurve()->GetControlCurve(0)->SetNumPts(2);
  brush.Reset();
  Interval valid = FOREVER;
  brush.Update(0, valid);
  EXPECT_FLOAT_EQ(brush.Values().stroke.spacing, 5.0f);
  EXPECT_EQ(brush.GetSubTexmap(0), nullptr);
  ExpectDefaultCurve(brush.SizeCurve());
}

// Values spread over all six blocks, for clone and save / load.
struct SetRow {
  int block;
  ParamID id;
  PB2Value value;
};
const SetRow kSetRows[] = {
    {0, kBrushMapType, 1},        {0, kBrushMapAngle, 45.0f},    {1, kBrushMapSpacing, 12.0f},
    {1, kLoopDirection, 0},       {2, kBrushNoiseEnable, 1},     {2, kBrushMapNoiseAmp, 7.5f},
    {3, kBrushDampSizeEnable, 1}, {4, kBrushDampAlphaEnable, 1}, {5, kColorModType, 1},
    {5, kColorModG, 33.0f},
};

// A brush with kSetRows, a tip map, a changed size curve and a name.
Brush* EditedBrush() {
  auto* brush = new Brush;
  for (const SetRow& row : kSetRows) brush->Block(row.block)->SetValue(row.id, 0, row.value);
  brush->SetSubTexmap(0, new ProbeMap(0.75f));
  brush->SizeCurve()->GetControlCurve(0)->SetPoint(
      0, 1, {.p = {0.4f, 0.7f}, .in = {-0.1f, 0.0f}, .out = {0.1f, 0.0f}, .flags = CURVEP_BEZIER});
  brush->SetName("Ink");
  return brush;
}

void ExpectEdited(Brush& brush) {
  for (const SetRow& row : kSetRows) {
    PB2Value got;
    Interval valid = FOREVER;
    ASSERT_TRUE(brush.Block(row.block)->GetValue(row.id, 0, got, valid));
    EXPECT_EQ(got, row.value) << "block " << row.block << " id " << row.id;
  }
  EXPECT_EQ(ProbeValue(brush.GetSubTexmap(0)), 0.75f);
  EXPECT_EQ(brush.SizeCurve()->GetControlCurve(0)->GetPoint(0, 1).p.y, 0.7f);
  ExpectDefaultCurve(brush.AlphaCurve());
  EXPECT_STREQ(brush.GetName(), "Ink");
  EXPECT_EQ(brush.Values().tip.type, kTipDots);
}

TEST(Brush, CloneKeepsValuesMapsAndCurvesInItsOwnObjects) {
  ReferenceHolder original(EditedBrush());
  Brush& from = Made(original);
  ReferenceHolder copy(CloneRefHierarchy(&from));
  Brush& to = Made(copy);
  ExpectEdited(to);
  for (int i = 0; i < kBrushNumRefs; ++i) {
    if (from.GetReference(i)) {
      EXPECT_NE(to.GetReference(i), from.GetReference(i)) << i;
    }
  }
  to.SizeCurve()->GetControlCurve(0)->SetNumPts(2);
  EXPECT_EQ(from.SizeCurve()->GetControlCurve(0)->GetNumPts(), 3);
}

GraphLoadResult SaveAndLoad(ReferenceTarget* root) {
  testing::RegisterBrushTestClasses();
  MemorySave out;
  ReferenceTarget* roots[] = {root};
  std::string error;
  EXPECT_TRUE(SaveReferenceGraph(out, roots, &error)) << error;
  return LoadReferenceGraph(out.Bytes());
}

TEST(Brush, SavesAndLoadsEverything) {
  ReferenceHolder original(EditedBrush());
  GraphLoadResult loaded = SaveAndLoad(original.Get());
  ASSERT_TRUE(loaded) << loaded.error;
  EXPECT_TRUE(loaded.graph->warnings.empty());
  auto* brush = dynamic_cast<Brush*>(loaded.graph->Root(0));
  ASSERT_NE(brush, nullptr);
  ExpectEdited(*brush);
  // The slots are strict again once the load is over.
  EXPECT_EQ(brush->TryReplaceReference(kBrushSizeCurveRef, brush->GetSubTexmap(0)), REF_FAIL);
}

TEST(Brush, LoadGivesABrushWithoutColourRangeADefaultOne) {
  ReferenceHolder original(EditedBrush());
  Brush& brush = Made(original);
  brush.Block(kBrushBlockColorMod)->SetValue(kColorModR, 0, 50.0f);
  brush.SetSubTexmap(1, new ProbeMap(0.125f));
  brush.DeleteReference(kBrushBlockColorMod);
  GraphLoadResult loaded = SaveAndLoad(&brush);
  ASSERT_TRUE(loaded) << loaded.error;
  auto* repaired = dynamic_cast<Brush*>(loaded.graph->Root(0));
  ASSERT_NE(repaired, nullptr);
  IParamBlock2* colorMod = repaired->Block(kBrushBlockColorMod);
  ASSERT_NE(colorMod, nullptr);
  EXPECT_EQ(colorMod->GetFloat(kColorModR), 0.0f);
  EXPECT_EQ(colorMod->GetInt(kColorModType), 0);
  EXPECT_EQ(ProbeValue(repaired->GetSubTexmap(0)), 0.75f);
  EXPECT_EQ(ProbeValue(repaired->GetSubTexmap(1)), 0.125f);
  EXPECT_EQ(repaired->Block(kBrushBlockParameters)->GetInt(kBrushMapType), 1);
  EXPECT_EQ(repaired->SizeCurve()->GetControlCurve(0)->GetPoint(0, 1).p.y, 0.7f);
}

// A brush as it was saved before the colour range existed: blocks 0..4,
// then the tip map, the distortion map and the two curves.
class OldLayoutBrush : public ReferenceTarget {
 public:
  OldLayoutBrush() {
    for (int b = 0; b < kBrushBlockColorMod; ++b) {
      ReplaceReference(b, CreateParameterBlock2(BrushBlockDesc(b), this));
    }
  }
  Class_ID ClassID() override { return kBrushClassID; }
  SClass_ID SuperClassID() override { return TEXMAP_CLASS_ID; }
  int NumRefs() override { return 9; }
  ReferenceTarget* GetReference(int i) override { return i >= 0 && i < 9 ? refs_[i] : nullptr; }

 protected:
  void SetReference(int i, ReferenceTarget* target) override {
    if (i >= 0 && i < 9) refs_[i] = target;
  }

 private:
  ReferenceTarget* refs_[9] = {};
};

TEST(Brush, LoadMovesTheReferencesOfAnOldBrushUpOnePlace) {
  ReferenceHolder holder(new OldLayoutBrush);
  auto* old = holder.GetAs<OldLayoutBrush>();
  dynamic_cast<IParamBlock2*>(old->GetReference(0))->SetValue(kBrushMapType, 0, kTipSoft);
  old->ReplaceReference(5, new ProbeMap(0.75f));
  old->ReplaceReference(6, new ProbeMap(0.125f));
  auto* size = new CurveControl;  // two points, the last at (1, 1)
  auto* alpha = new CurveControl;
  alpha->GetControlCurve(0)->SetNumPts(1);
  old->ReplaceReference(7, size);
  old->ReplaceReference(8, alpha);

  GraphLoadResult loaded = SaveAndLoad(old);
  ASSERT_TRUE(loaded) << loaded.error;
  auto* brush = dynamic_cast<Brush*>(loaded.graph->Root(0));
  ASSERT_NE(brush, nullptr);
  ASSERT_NE(brush->Block(kBrushBlockColorMod), nullptr);
  EXPECT_EQ(brush->Block(kBrushBlockColorMod)->GetFloat(kColorModR), 0.0f);
  EXPECT_EQ(brush->Block(kBrushBlockParameters)->GetInt(kBrushMapType), kTipSoft);
  EXPECT_EQ(ProbeValue(brush->GetSubTexmap(0)), 0.75f);
  EXPECT_EQ(ProbeValue(brush->GetSubTexmap(1)), 0.125f);
  EXPECT_EQ(brush->SizeCurve()->GetControlCurve(0)->GetNumPts(), 2);
  EXPECT_EQ(brush->AlphaCurve()->GetControlCurve(0)->GetNumPts(), 1);
  EXPECT_EQ(brush->Values().tip.map, brush->GetSubTexmap(0));
}

TEST(Brush, LoadReplacesObjectsOfTheWrongKindWithDefaults) {
  ReferenceHolder holder(new OldLayoutBrush);
  auto* damaged = holder.GetAs<OldLayoutBrush>();
  // Looks new (slot 7 is empty) but holds a map where a block belongs.
  damaged->ReplaceReference(2, new ProbeMap(0.5f));
  GraphLoadResult loaded = SaveAndLoad(damaged);
  ASSERT_TRUE(loaded) << loaded.error;
  EXPECT_FALSE(loaded.graph->warnings.empty());
  auto* brush = dynamic_cast<Brush*>(loaded.graph->Root(0));
  ASSERT_NE(brush, nullptr);
  for (int b = 0; b < kBrushNumBlocks; ++b) EXPECT_NE(brush->Block(b), nullptr) << b;
  EXPECT_FLOAT_EQ(brush->Block(kBrushBlockNoise)->GetFloat(kBrushMapNoiseAmp), 5.0f);
  ExpectDefaultCurve(brush->SizeCurve());
  ExpectDefaultCurve(brush->AlphaCurve());
}

// A settings directory of its own, installed through a fake host interface.
class BrushSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("tarnis_brush_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_ / "plugcfg");
    host_.settingsDir = dir_.string();
    ForgetSettingsDirectory();
  }
  void TearDown() override {
    ForgetSettingsDirectory();
    std::filesystem::remove_all(dir_);
  }
  void WriteIni(const std::string& text) {
    std::ofstream(dir_ / "plugcfg" / kBrushIniFile) << text;
  }

  FakeInterface host_;
  std::filesystem::path dir_;
};

TEST_F(BrushSettings, NewBrushesTakeTheirCurvesFromTheSettingsFileWhenWhole) {
  WriteIni(
      "[BrushDampSizeCurveDefault]\n"
      "num=2\n"
      "0px=0\n0py=0.3\n0ix=0\n0iy=0\n0ox=0\n0oy=0\n0f=258\n"
      "1px=1\n1py=0.6\n1ix=0\n1iy=0\n1ox=0\n1oy=0\n1f=258\n"
      "[BrushDampAlphaCurveDefault]\n"
      "num=2\n"
      "0px=0\n0py=0.3\n");
  ReferenceHolder holder(new Brush);
  Brush& brush = Made(holder);
  const ICurve* size = brush.SizeCurve()->GetControlCurve(0);
  ASSERT_EQ(size->GetNumPts(), 2);
  EXPECT_FLOAT_EQ(size->GetValue(0, 0.5f), 0.45f);
  ExpectDefaultCurve(brush.AlphaCurve());  // read only in part: the built-in shape
}

TEST_F(BrushSettings, UserDefaultsOfTheBlocksApplyToBrushesMadeAfterwards) {
  WriteIni(
      "[BrushStrokeDefault]\n"
      "brushMapSpacing=12.5\n"
      "[BrushColorModDefault]\n"
      "colorModType=1\n"
      "colorModR=250\n");  // out of range: clamped
  ReferenceHolder before(new Brush);
  BrushIniHandler ini;
  LoadBrushDefaults(ini);
  ReferenceHolder after(new Brush);
  // Descriptor defaults are shared by the whole test program: put them back.
  BrushBlockDesc(kBrushBlockStroke)->SetDefault(kBrushMapSpacing, 5.0f);
  BrushBlockDesc(kBrushBlockColorMod)->SetDefault(kColorModType, 0);
  BrushBlockDesc(kBrushBlockColorMod)->SetDefault(kColorModR, 0.0f);

  EXPECT_FLOAT_EQ(Made(before).Values().stroke.spacing, 5.0f);
  EXPECT_FLOAT_EQ(Made(after).Values().stroke.spacing, 12.5f);
  EXPECT_EQ(Made(after).Values().colorRange.type, 1);
  EXPECT_FLOAT_EQ(Made(after).Values().colorRange.r, 1.0f);
  EXPECT_FLOAT_EQ(Made(after).Values().tip.size, 16.0f);  // no key: unchanged
}

TEST(BrushClassDesc, DescribesTheBrushAndIsInTheClassTable) {
  ClassDesc2* cd = GetBrushDesc();
  EXPECT_EQ(cd->SuperClassID(), TEXMAP_CLASS_ID);
  EXPECT_EQ(cd->ClassID(), Class_ID(0x3C1E671C, 0x7C0F52A1));
  EXPECT_STREQ(cd->InternalName(), "Tarnis_LineBrush");
  EXPECT_STREQ(cd->ClassName(), "Tarnis Line Brush");
  EXPECT_STREQ(cd->Category(), "");
  EXPECT_EQ(cd->IsPublic(), 0);
  const auto& table = ClassTable();
  EXPECT_NE(std::find(table.begin(), table.end(), cd), table.end());

  ReferenceHolder made(static_cast<ReferenceTarget*>(cd->Create(false)));
  ASSERT_NE(made.GetAs<Brush>(), nullptr);
  EXPECT_NE(made.GetAs<Brush>()->Block(kBrushBlockColorMod), nullptr);
  ReferenceHolder empty(static_cast<ReferenceTarget*>(cd->Create(true)));
  EXPECT_EQ(empty.GetAs<Brush>()->Block(kBrushBlockParameters), nullptr);
}

TEST(BrushSampler, AnswersTheTipAsGreyWithFullAlpha) {
  ReferenceHolder holder(new Brush);
  Brush& brush = Made(holder);
  brush.Block(kBrushBlockParameters)->SetValue(kBrushMapType, 0, kTipSoft);
  brush.Block(kBrushBlockParameters)->SetValue(kBrushMapDampStart, 0, 50.0f);
  Interval valid = FOREVER;
  brush.Update(0, valid);
  const BrushSampler sampler(brush);
  // Radius sqrt(0.625) is half way through the falloff band.
  const float u = 0.5f + 0.5f * std::sqrt(0.625f);
  EXPECT_NEAR(sampler.SampleMono(u, 0.5f), 0.5f, 1e-5f);
  EXPECT_EQ(sampler.SampleMonoFilter(u, 0.5f, 0.1f, 0.1f), sampler.SampleMono(u, 0.5f));
  const AColor c = sampler.SampleFilter(u, 0.5f, 0.1f, 0.1f);
  EXPECT_NEAR(c.r, 0.5f, 1e-5f);
  EXPECT_EQ(c.r, c.g);
  EXPECT_EQ(c.g, c.b);
  EXPECT_EQ(c.a, 1.0f);
  EXPECT_EQ(sampler.Sample(0.0f, 0.0f), AColor(0.0f, 0.0f, 0.0f, 1.0f));
}

}  // namespace
}  // namespace tarnis
