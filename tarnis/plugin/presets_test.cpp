// Tests of the five kinds of presets on the plug-in's objects: what each
// kind writes into its file, and what applying it changes and leaves alone.
#include "tarnis/plugin/presets.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "sdk/curve_control.h"
#include "sdk/hold.h"
#include "sdk/testing/fake_interface.h"
#include "sdk/testing/scratch_dir.h"
#include "tarnis/common/ini_handler.h"
#include "tarnis/common/shape_control.h"
#include "tarnis/line/brush/brush.h"
#include "tarnis/line/effect/line_setting.h"
#include "tarnis/material/tarmat.h"
#include "tarnis/material/tarmat_ext.h"
#include "tarnis/output/mat_render_element.h"
#include "tarnis/output/mat_render_element_class_desc.h"
#include "tarnis/output/plugin_render_element.h"
#include "tarnis/stroke/stroke_map.h"
#include "tarnis/stroke/stroke_test_helpers.h"

namespace tarnis {
namespace {

class Presets : public ::testing::Test {
 protected:
  void SetUp() override {
    ForgetSettingsDirectory();
    host.settingsDir = dir.Path().string();
    theHold.Reset();
  }
  void TearDown() override {
    theHold.Reset();
    ForgetSettingsDirectory();
  }

  std::string FileOf(PresetKind kind) {
    return dir.File(std::string("plugcfg/") + kPresetKinds[static_cast<int>(kind)].fileName);
  }
  bool FileHas(PresetKind kind, const std::string& line) {
    return ReadBytes(FileOf(kind)).find("\n" + line + "\n") != std::string::npos;
  }
  PresetService& service = ThePresetService();
  ScratchDir dir;
  FakeInterface host;
};

template <class T>
T& Made(ReferenceHolder& h) {
  return *h.GetAs<T>();
}

void MovePoint(CurveControl* control, int i, float y) {
  ICurve* curve = control->GetControlCurve(0);
  CurvePoint pt = curve->GetPoint(0, i);
  pt.p.y = y;
  curve->SetPoint(0, i, pt, false);
}

TEST_F(Presets, ABrushPresetHoldsTheTipOnly) {
  ReferenceHolder a(new Brush), b(new Brush);
  Made<Brush>(a).Block(kBrushBlockParameters)->SetValue(kBrushMapSize, 0, 12.0f);
  Made<Brush>(a).Block(kBrushBlockStroke)->SetValue(kBrushMapStrokeLength, 0, 40.0f);
  ASSERT_EQ(service.Save(PresetKind::kBrush, "Big", a.Get()).status, PresetStatus::kDone);
  EXPECT_TRUE(FileHas(PresetKind::kBrush, "brushMapSize = 12.000000"));
  EXPECT_FALSE(FileHas(PresetKind::kBrush, "brushMapStrokeLength = 40.000000"));

  ASSERT_EQ(service.Apply(PresetKind::kBrush, "big", b.Get()).status, PresetStatus::kDone);
  EXPECT_FLOAT_EQ(Made<Brush>(b).Block(kBrushBlockParameters)->GetFloat(kBrushMapSize), 12.0f);
  EXPECT_NE(Made<Brush>(b).Block(kBrushBlockStroke)->GetFloat(kBrushMapStrokeLength), 40.0f);
  EXPECT_EQ(theHold.NumUndoEntries(), 1);
  theHold.Undo();
  EXPECT_NE(Made<Brush>(b).Block(kBrushBlockParameters)->GetFloat(kBrushMapSize), 12.0f);
}

TEST_F(Presets, ABrushStrokePresetCarriesBlocksOneToFiveAndBothCurves) {
  ReferenceHolder a(new Brush), b(new Brush);
  Brush& from = Made<Brush>(a);
  from.Block(kBrushBlockParameters)->SetValue(kBrushMapSize, 0, 12.0f);
  from.Block(kBrushBlockStroke)->SetValue(kBrushMapStrokeLength, 0, 40.0f);
  from.Block(kBrushBlockNoise)->SetValue(kBrushMapNoiseAmp, 0, 9.0f);
  from.Block(kBrushBlockDampAlpha)->SetValue(kBrushDampAlphaEnable, 0, 1);
  from.Block(kBrushBlockColorMod)->SetValue(kColorModG, 0, 33.0f);
  MovePoint(from.SizeCurve(), 1, 0.25f);
  MovePoint(from.AlphaCurve(), 0, 0.75f);
  ASSERT_EQ(service.Save(PresetKind::kBrushStroke, "Wobbly", a.Get()).status, PresetStatus::kDone);
  EXPECT_TRUE(FileHas(PresetKind::kBrushStroke, "size_curve_1py = 0.250000"));
  EXPECT_TRUE(FileHas(PresetKind::kBrushStroke, "alpha_curve_0py = 0.750000"));

  ASSERT_EQ(service.Apply(PresetKind::kBrushStroke, "Wobbly", b.Get()).status, PresetStatus::kDone);
  Brush& to = Made<Brush>(b);
  EXPECT_FLOAT_EQ(to.Block(kBrushBlockStroke)->GetFloat(kBrushMapStrokeLength), 40.0f);
  EXPECT_FLOAT_EQ(to.Block(kBrushBlockNoise)->GetFloat(kBrushMapNoiseAmp), 9.0f);
  EXPECT_EQ(to.Block(kBrushBlockDampAlpha)->GetInt(kBrushDampAlphaEnable), 1);
  EXPECT_FLOAT_EQ(to.Block(kBrushBlockColorMod)->GetFloat(kColorModG), 33.0f);
  EXPECT_EQ(to.SizeCurve()->GetControlCurve(0)->Points(),
            from.SizeCurve()->GetControlCurve(0)->Points());
  EXPECT_EQ(to.AlphaCurve()->GetControlCurve(0)->Points(),
            from.AlphaCurve()->GetControlCurve(0)->Points());
  EXPECT_NE(to.Block(kBrushBlockParameters)->GetFloat(kBrushMapSize), 12.0f);
  // One undo entry takes back the blocks and the curves together.
  theHold.Undo();
  EXPECT_NE(to.Block(kBrushBlockStroke)->GetFloat(kBrushMapStrokeLength), 40.0f);
  EXPECT_NE(to.SizeCurve()->GetControlCurve(0)->Points(),
            from.SizeCurve()->GetControlCurve(0)->Points());
}

TEST_F(Presets, ALineSettingTakesBrushPresetsOnItsBrush) {
  ReferenceHolder setting(new LineSetting);
  Brush* brush = Made<LineSetting>(setting).GetBrush();
  ASSERT_NE(brush, nullptr);
  EXPECT_EQ(service.TargetOf(PresetKind::kBrush, setting.Get()), brush);
  EXPECT_EQ(service.TargetOf(PresetKind::kBrushStroke, setting.Get()), brush);
  std::filesystem::create_directories(dir.File("plugcfg"));
  WriteBytes(FileOf(PresetKind::kBrush), "[Wide]\nbrushMapStretch = 45\n");
  ASSERT_EQ(service.Apply(PresetKind::kBrush, "Wide", setting.Get()).status, PresetStatus::kDone);
  EXPECT_FLOAT_EQ(brush->Block(kBrushBlockParameters)->GetFloat(kBrushMapStretch), 45.0f);
}

TEST_F(Presets, APresetLackingKeysChangesOnlyThePresentOnes) {
  std::filesystem::create_directories(dir.File("plugcfg"));
  WriteBytes(FileOf(PresetKind::kBrush), "[Part]\nbrushMapAngle = 45\nbrushMapSize =\n");
  ReferenceHolder b(new Brush);
  IParamBlock2* tip = Made<Brush>(b).Block(kBrushBlockParameters);
  tip->SetValue(kBrushMapSize, 0, 7.0f);
  tip->SetValue(kBrushMapAnti, 0, 3.0f);
  ASSERT_EQ(service.Apply(PresetKind::kBrush, "Part", b.Get()).status, PresetStatus::kDone);
  EXPECT_FLOAT_EQ(tip->GetFloat(kBrushMapAngle), 45.0f);
  EXPECT_FLOAT_EQ(tip->GetFloat(kBrushMapSize), 7.0f);
  EXPECT_FLOAT_EQ(tip->GetFloat(kBrushMapAnti), 3.0f);
}

TEST_F(Presets, AStrokePresetHoldsBlockZeroTheCurvesAndTheCoordinates) {
  testing::ScopedTestUVGen uvgen;
  ReferenceHolder a(new Stroke), b(new Stroke);
  Stroke& from = Made<Stroke>(a);
  ASSERT_NE(from.Generator(), nullptr);
  from.Block(kStrokeBlockCoordExt)->SetValue(kStrokeRandomU, 0, 30.0f);
  from.Block(kStrokeBlockMain)->SetValue(kStrokeWidth, 0, 50.0f);
  from.Generator()->SetMapChannel(4);
  MovePoint(from.AlphaCurve(), 1, 0.5f);
  ASSERT_EQ(service.Save(PresetKind::kStroke, "Hatch", a.Get()).status, PresetStatus::kDone);
  EXPECT_TRUE(FileHas(PresetKind::kStroke, "strokeRandomU = 30.000000"));
  EXPECT_TRUE(FileHas(PresetKind::kStroke, "StdUV_MapChannel = 4"));
  EXPECT_TRUE(FileHas(PresetKind::kStroke, "alpha_curve_1py = 0.500000"));
  EXPECT_FALSE(FileHas(PresetKind::kStroke, "strokeWidth = 50.000000"));

  ASSERT_EQ(service.Apply(PresetKind::kStroke, "Hatch", b.Get()).status, PresetStatus::kDone);
  Stroke& to = Made<Stroke>(b);
  EXPECT_FLOAT_EQ(to.Block(kStrokeBlockCoordExt)->GetFloat(kStrokeRandomU), 30.0f);
  EXPECT_EQ(to.Generator()->GetMapChannel(), 4);
  EXPECT_EQ(to.AlphaCurve()->GetControlCurve(0)->Points(),
            from.AlphaCurve()->GetControlCurve(0)->Points());
  EXPECT_NE(to.Block(kStrokeBlockMain)->GetFloat(kStrokeWidth), 50.0f);
}

TEST_F(Presets, AHighlightPresetHoldsTheDesignOutlineOfTheAdvancedSettings) {
  ReferenceHolder a(new TarmatExt), mtl(new Tarmat);
  QvPolygonCtrl* outline = Made<TarmatExt>(a).Outline();
  ASSERT_NE(outline, nullptr);
  ShapeNode node = outline->GetNode(2);
  outline->SetNode(2, node.angle, 0.4f, kNodeSmooth, Point2(0.1f, 0.2f), Point2());
  ASSERT_EQ(service.Save(PresetKind::kHighlight, "Star", a.Get()).status, PresetStatus::kDone);
  EXPECT_TRUE(FileHas(PresetKind::kHighlight, "hi_2r = 0.400000"));

  TarmatExt* ext = Made<Tarmat>(mtl).Ext();
  ASSERT_NE(ext, nullptr);
  EXPECT_EQ(service.TargetOf(PresetKind::kHighlight, mtl.Get()), ext);
  ASSERT_EQ(service.Apply(PresetKind::kHighlight, "Star", mtl.Get()).status, PresetStatus::kDone);
  ASSERT_EQ(ext->Outline()->NumNodes(), outline->NumNodes());
  EXPECT_FLOAT_EQ(ext->Outline()->GetNode(2).radius, 0.4f);
  EXPECT_EQ(ext->Outline()->GetNode(2).type, kNodeSmooth);
  EXPECT_FLOAT_EQ(ext->Outline()->RadiusAt(node.angle), outline->RadiusAt(node.angle));
}

TEST_F(Presets, AMaterialElementPresetLeavesTheElementsOwnSettingsAlone) {
  ReferenceHolder a(static_cast<ReferenceTarget*>(GetMatRenderElementDesc()->Create(false)));
  ReferenceHolder b(static_cast<ReferenceTarget*>(GetMatRenderElementDesc()->Create(false)));
  IParamBlock2* from = Made<MatRenderElement>(a).Block();
  from->SetValue(kMatElementMatID, 0, 7);
  from->SetValue(kElementFilterOn, 0, 0);
  ASSERT_EQ(service.Save(PresetKind::kMatElement, "Seven", a.Get()).status, PresetStatus::kDone);
  EXPECT_TRUE(FileHas(PresetKind::kMatElement, "matID = 7"));
  EXPECT_EQ(ReadBytes(FileOf(PresetKind::kMatElement)).find("filterOn"), std::string::npos);

  // Even a preset that names them does not change ids 0 to 3.
  WriteBytes(FileOf(PresetKind::kMatElement),
             "[Seven]\nenabled = 0\nfilterOn = 0\nmatID = 7\nobjID = 3\n");
  Made<MatRenderElement>(b).SetElementName("Mine");
  ASSERT_EQ(service.Apply(PresetKind::kMatElement, "Seven", b.Get()).status, PresetStatus::kDone);
  IParamBlock2* to = Made<MatRenderElement>(b).Block();
  EXPECT_EQ(to->GetInt(kMatElementMatID), 7);
  EXPECT_EQ(to->GetInt(kMatElementObjID), 3);
  EXPECT_EQ(to->GetInt(kElementEnabled), 1);
  EXPECT_EQ(to->GetInt(kElementFilterOn), 1);
  EXPECT_STREQ(Made<MatRenderElement>(b).ElementName(), "Mine");
}

TEST_F(Presets, AnObjectOfAnotherKindTakesNoPreset) {
  ReferenceHolder brush(new Brush), element(new TarmatExt);
  EXPECT_EQ(service.TargetOf(PresetKind::kStroke, brush.Get()), nullptr);
  EXPECT_EQ(service.TargetOf(PresetKind::kMatElement, element.Get()), nullptr);
  EXPECT_EQ(service.Save(PresetKind::kStroke, "x", brush.Get()).status, PresetStatus::kNoTarget);
  EXPECT_FALSE(std::filesystem::exists(FileOf(PresetKind::kStroke)) &&
               !ReadBytes(FileOf(PresetKind::kStroke)).empty());
}

}  // namespace
}  // namespace tarnis
