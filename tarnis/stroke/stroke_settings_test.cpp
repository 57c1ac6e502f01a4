// Tests of the stroke map's user defaults in "tarnis_stroke.ini": curves of
// new and reset maps, block defaults read at start-up, and the
// save-as-default step of the panels.
#include "tarnis/stroke/stroke_settings.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "sdk/testing/fake_interface.h"
#include "tarnis/common/ini_handler.h"
#include "tarnis/stroke/stroke_map.h"

namespace tarnis {
namespace {

// A settings directory of its own, installed through a fake host interface;
// puts back every descriptor default a test changes.
class StrokeSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("tarnis_stroke_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_ / "plugcfg");
    host_.settingsDir = dir_.string();
    ForgetSettingsDirectory();
  }
  void TearDown() override {
    for (int b = kStrokeBlockDampSize; b <= kStrokeBlockColorMod; ++b) {
      ParamBlockDesc2* desc = StrokeBlockDesc(b);
      for (int i = 0; i < desc->Count(); ++i) {
        const ParamDef& def = desc->GetParamDefByIndex(i);
        desc->SetDefault(def.id, defaults_[b][i]);
      }
    }
    ForgetSettingsDirectory();
    std::filesystem::remove_all(dir_);
  }
  std::filesystem::path IniPath() const { return dir_ / "plugcfg" / kStrokeIniFile; }
  void WriteIni(const std::string& text) { std::ofstream(IniPath()) << text; }
  std::string ReadIni() const {
    std::ifstream in(IniPath());
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  FakeInterface host_;
  std::filesystem::path dir_;

 private:
  // The defaults as the tables declare them, kept before any test runs.
  static PB2Value Default(int block, int index) {
    return StrokeBlockDesc(block)->GetParamDefByIndex(index).def;
  }
  PB2Value defaults_[kStrokeNumBlocks][4] = {
      {},
      {},
      {Default(2, 0), Default(2, 1)},
      {Default(3, 0), Default(3, 1)},
      {Default(4, 0), Default(4, 1), Default(4, 2), Default(4, 3)},
  };
};

Stroke& Made(ReferenceHolder& holder) {
  return *holder.GetAs<Stroke>();
}

const char kWholeSizeCurve[] =
    "[StrokeDampSizeCurve]\n"
    "num=2\n"
    "0px=0\n0py=0.3\n0ix=0\n0iy=0\n0ox=0\n0oy=0\n0f=258\n"
    "1px=1\n1py=0.6\n1ix=0\n1iy=0\n1ox=0\n1oy=0\n1f=258\n";

TEST_F(StrokeSettings, NewMapsTakeTheirCurvesFromTheFileWhenWhole) {
  WriteIni(std::string(kWholeSizeCurve) +
           "[StrokeDampAlphaCureve]\n"
           "num=2\n"
           "0px=0\n0py=0.3\n");
  ReferenceHolder holder(new Stroke);
  Stroke& stroke = Made(holder);
  const ICurve* size = stroke.SizeCurve()->GetControlCurve(0);
  ASSERT_EQ(size->GetNumPts(), 2);
  EXPECT_FLOAT_EQ(size->GetValue(0, 0.5f), 0.45f);
  // Read only in part: the built-in flat shape.
  const ICurve* alpha = stroke.AlphaCurve()->GetControlCurve(0);
  ASSERT_EQ(alpha->GetNumPts(), 2);
  EXPECT_FLOAT_EQ(alpha->GetValue(0, 0.0f), 1.0f);
  EXPECT_FLOAT_EQ(alpha->GetValue(0, 1.0f), 1.0f);
}

TEST_F(StrokeSettings, ACurveWithoutAnEntryGetsTheFlatDefault) {
  WriteIni("[StrokeDampSize]\nstrokeDampSizeEnable=1\n");
  ReferenceHolder holder(new Stroke);
  for (CurveControl* curve : {Made(holder).SizeCurve(), Made(holder).AlphaCurve()}) {
    const ICurve* c = curve->GetControlCurve(0);
    ASSERT_EQ(c->GetNumPts(), 2);
    EXPECT_EQ(c->GetPoint(0, 0).p, Point2(0.0f, 1.0f));
    EXPECT_EQ(c->GetPoint(0, 1).p, Point2(1.0f, 1.0f));
  }
}

TEST_F(StrokeSettings, ResetTakesTheCurvesFromTheFileAgain) {
  ReferenceHolder holder(new Stroke);
  Stroke& stroke = Made(holder);
  ASSERT_FLOAT_EQ(stroke.SizeCurve()->GetControlCurve(0)->GetValue(0, 0.5f), 1.0f);
  WriteIni(kWholeSizeCurve);
  stroke.Reset();
  Interval valid = FOREVER;
  stroke.Update(0, valid);
  EXPECT_FLOAT_EQ(stroke.SizeCurve()->GetControlCurve(0)->GetValue(0, 0.5f), 0.45f);
}

TEST_F(StrokeSettings, BlockDefaultsApplyToMapsMadeAfterwards) {
  WriteIni(
      "[StrokeDampSize]\n"
      "strokeDampSizeEnable=1\n"
      "strokeDampSizeRandom=40\n"
      "[StrokeDampAlpha]\n"
      "strokeDampAlphaRandom=250\n"  // out of range: clamped
      "[StrokeColorRange]\n"
      "colorModType=1\n"
      "colorModG=0\n");
  ReferenceHolder before(new Stroke);
  StrokeIniHandler ini;
  LoadStrokeDefaults(ini);
  ReferenceHolder after(new Stroke);

  EXPECT_FALSE(Made(before).Values().dampSizeEnable);
  const StrokeValues& v = Made(after).Values();
  EXPECT_TRUE(v.dampSizeEnable);
  EXPECT_FLOAT_EQ(v.dampSizeRandom, 0.8f);
  EXPECT_FLOAT_EQ(v.dampAlphaRandom, 2.0f);
  EXPECT_FALSE(v.dampAlphaEnable);  // no key: unchanged
  EXPECT_EQ(v.colorRange.type, kColorRangeHSV);
  EXPECT_FLOAT_EQ(v.colorRange.r, 0.06f);
  EXPECT_FLOAT_EQ(v.colorRange.g, 0.0f);
}

TEST_F(StrokeSettings, SavingDefaultsWritesTheBlocksAndCurvesForNewMaps) {
  ReferenceHolder holder(new Stroke);
  Stroke& stroke = Made(holder);
  stroke.Block(kStrokeBlockDampAlpha)->SetValue(kStrokeDampAlphaEnable, 0, true);
  stroke.Block(kStrokeBlockDampAlpha)->SetValue(kStrokeDampAlphaRandom, 0, 25.0f);
  stroke.Block(kStrokeBlockColorMod)->SetValue(kStrokeColorModB, 0, 12.0f);
  stroke.AlphaCurve()->GetControlCurve(0)->SetPoint(
      0, 0, {.p = {0.0f, 0.2f}, .in = {}, .out = {}, .flags = CURVEP_CORNER | CURVEP_ENDPOINT});
  // Something that is not a stroke setting stays out of the file.
  stroke.Block(kStrokeBlockMain)->SetValue(kStrokeWidth, 0, 9.0f);

  StrokeIniHandler ini;
  EXPECT_TRUE(SaveStrokeDefaults(stroke, ini));
  const std::string text = ReadIni();
  for (const char* key :
       {"[StrokeDampSize]", "[StrokeDampSizeCurve]", "[StrokeDampAlpha]", "[StrokeDampAlphaCureve]",
        "[StrokeColorRange]", "strokeDampAlphaRandom=25.000000", "colorModB=12.000000"}) {
    EXPECT_NE(text.find(key), std::string::npos) << key;
  }
  EXPECT_EQ(text.find("strokeWidth"), std::string::npos);

  ReferenceHolder next(new Stroke);
  const Stroke& made = Made(next);
  EXPECT_TRUE(made.Values().dampAlphaEnable);
  EXPECT_FLOAT_EQ(made.Values().dampAlphaRandom, 0.5f);
  EXPECT_FLOAT_EQ(made.Values().colorRange.b, 0.12f);
  EXPECT_FLOAT_EQ(made.Values().width, 5.0f);
  EXPECT_FLOAT_EQ(Made(next).AlphaCurve()->GetControlCurve(0)->GetValue(0, 0.0f), 0.2f);
  EXPECT_FLOAT_EQ(Made(next).SizeCurve()->GetControlCurve(0)->GetValue(0, 0.0f), 1.0f);
}

TEST_F(StrokeSettings, SavingFailsWithoutAFileOrWithoutTheBlock) {
  ReferenceHolder holder(new Stroke);
  Stroke& stroke = Made(holder);
  IniHandler nowhere;
  EXPECT_FALSE(SaveStrokeDefaults(stroke, nowhere));
  StrokeIniHandler ini;
  EXPECT_FALSE(SaveStrokeBlockDefaults(stroke, kStrokeBlockMain, ini));
  stroke.DeleteReference(kStrokeBlockColorMod);
  EXPECT_FALSE(SaveStrokeBlockDefaults(stroke, kStrokeBlockColorMod, ini));
  EXPECT_TRUE(SaveStrokeBlockDefaults(stroke, kStrokeBlockDampSize, ini));
}

}  // namespace
}  // namespace tarnis
