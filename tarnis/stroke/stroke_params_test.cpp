// Tests of the stroke map's parameter tables and of the cell and margin
// values the working copy derives from them.
#include "tarnis/stroke/stroke_params.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "sdk/param_block_desc.h"
#include "tarnis/stroke/stroke_class_desc.h"

namespace tarnis {
namespace {

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
    {0, kStrokeRandomU, "strokeRandomU", TYPE_FLOAT, 0, 0, 100, true},
    {0, kStrokeRandomV, "strokeRandomV", TYPE_FLOAT, 0, 0, 100, true},
    {0, kStrokeOrigin, "strokeOrigin", TYPE_INT, 0, 0, 1, false},
    {0, kStrokeZScaleStart, "strokeZScaleStart", TYPE_FLOAT, 100, 1, 1000000, true},
    {0, kStrokeZScaleEnd, "strokeZScaleEnd", TYPE_FLOAT, 100, 1, 1000000, true},
    {1, kStrokeMapOpacity, "strokeMapOpacity", TYPE_FLOAT, 100, 0, 100, true},
    {1, kStrokeMapEnable, "strokeMapEnable", TYPE_BOOL, 1, -kNoLimit, kNoLimit, true},
    {1, kStrokeBlend, "strokeBlend", TYPE_INT, 0, 0, 15, false},
    {1, kStrokeAlpha, "strokeAlpha", TYPE_FLOAT, 100, 0, 100, true},
    {1, kStrokeWidth, "strokeWidth", TYPE_FLOAT, 5, 0.1f, 100, true},
    {1, kStrokeWidthRnd, "strokeWidthRnd", TYPE_FLOAT, 0, 0, 100, true},
    {1, kStrokeAnti, "strokeAnti", TYPE_FLOAT, 0, 0, 1000, true},
    {1, kStrokeLength, "strokeLength", TYPE_FLOAT, 0, 0, 1000, true},
    {1, kStrokeLengthRnd, "strokeLengthRnd", TYPE_FLOAT, 0, 0, 100, true},
    {1, kStrokeHspase, "strokeHspase", TYPE_FLOAT, 10, 0, 100, true},
    {1, kStrokeHrnd, "strokeHrnd", TYPE_FLOAT, 0, 0, 100, true},
    {1, kStrokeVspase, "strokeVspase", TYPE_FLOAT, 10, 0, 100, true},
    {1, kStrokeVrnd, "strokeVrnd", TYPE_FLOAT, 0, 0, 100, true},
    {1, kStrokeAngle, "strokeAngle", TYPE_FLOAT, 0, -3600, 3600, true},
    {1, kStrokeAngleRnd, "strokeAngleRnd", TYPE_FLOAT, 0, 0, 180, true},
    {1, kStrokeBend, "strokeBend", TYPE_FLOAT, 0, -100, 100, true},
    {1, kStrokeSurface, "strokeSurface", TYPE_FLOAT, 0, -200, 200, true},
    {2, kStrokeDampSizeEnable, "strokeDampSizeEnable", TYPE_BOOL, 0, -kNoLimit, kNoLimit, true},
    {2, kStrokeDampSizeRandom, "strokeDampSizeRandom", TYPE_FLOAT, 0, 0, 100, true},
    {3, kStrokeDampAlphaEnable, "strokeDampAlphaEnable", TYPE_BOOL, 0, -kNoLimit, kNoLimit, true},
    {3, kStrokeDampAlphaRandom, "strokeDampAlphaRandom", TYPE_FLOAT, 0, 0, 100, true},
    {4, kStrokeColorModType, "colorModType", TYPE_INT, 0, 0, 1, false},
    {4, kStrokeColorModR, "colorModR", TYPE_FLOAT, 6, 0, 100, true},
    {4, kStrokeColorModG, "colorModG", TYPE_FLOAT, 6, 0, 100, true},
    {4, kStrokeColorModB, "colorModB", TYPE_FLOAT, 6, 0, 100, true},
};

TEST(StrokeParameters, DeclareIdsNamesTypesDefaultsRangesAndAnimation) {
  for (const ParamRow& row : kParamRows) {
    const ParamDef* def = StrokeBlockDesc(row.block)->GetParamDef(row.id);
    ASSERT_NE(def, nullptr) << row.name;
    EXPECT_EQ(def->internalName, row.name);
    EXPECT_EQ(def->type, row.type) << row.name;
    const float got = def->def.Is<float>() ? def->def.Get<float>() : float(def->def.Get<int>());
    EXPECT_EQ(got, row.def) << row.name;
    EXPECT_EQ(def->range.min, row.min) << row.name;
    EXPECT_EQ(def->range.max, row.max) << row.name;
    EXPECT_EQ((def->flags & P_ANIMATABLE) != 0, row.animatable) << row.name;
  }
  const ParamDef* colour = StrokeBlockDesc(kStrokeBlockMain)->GetParamDef(kStrokeColor);
  ASSERT_NE(colour, nullptr);
  EXPECT_EQ(colour->internalName, "strokeColor");
  EXPECT_EQ(colour->type, TYPE_RGBA);
  EXPECT_EQ(colour->def.Get<Color>(), Color(0.0f, 0.0f, 0.0f));
  EXPECT_NE(colour->flags & P_ANIMATABLE, 0u);
  const ParamDef* map = StrokeBlockDesc(kStrokeBlockMain)->GetParamDef(kStrokeMap);
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(map->internalName, "strokeMap");
  EXPECT_EQ(map->ownerRef, kStrokeMapRef);
}

TEST(StrokeParameters, BlocksAreBoundToTheStrokeMapAndHeldInTheirOwnSlots) {
  const char* names[] = {"coord_ext", "main", "damp_size", "damp_alpha", "color_mod"};
  const int counts[] = {5, 19, 2, 2, 4};
  ASSERT_EQ(GetStrokeDesc()->NumParamBlockDescs(), kStrokeNumBlocks);
  for (int b = 0; b < kStrokeNumBlocks; ++b) {
    ParamBlockDesc2* desc = StrokeBlockDesc(b);
    EXPECT_EQ(desc->ID(), b);
    EXPECT_EQ(desc->InternalName(), names[b]);
    EXPECT_EQ(desc->OwnerRef(), b);
    EXPECT_EQ(desc->Count(), counts[b]) << names[b];
    EXPECT_EQ(desc->GetClassDesc(), GetStrokeDesc());
  }
}

TEST(StrokeValues, DefaultCellsAreTwentyUnitsSquareWithRoundDots) {
  StrokeValues v;
  v.Derive();
  EXPECT_FLOAT_EQ(v.w0, 5.0f);
  EXPECT_FLOAT_EQ(v.cellW, 20.0f);
  EXPECT_FLOAT_EQ(v.cellH, 20.0f);
  EXPECT_FLOAT_EQ(v.core, 0.9f);
  EXPECT_FLOAT_EQ(v.widthScale, 1.0f);
  EXPECT_FLOAT_EQ(v.marginX, 5.0f);
  EXPECT_FLOAT_EQ(v.marginY, 5.0f);
  EXPECT_FALSE(v.solid);
}

TEST(StrokeValues, DeriveCellsSoftnessAndMarginsFromTheStoredValues) {
  struct Case {
    float width, length, hspase, vspase, anti, widthRnd, lengthRnd, angleRnd;
    float cellW, cellH, core, widthScale, marginX, marginY;
  };
  const Case cases[] = {
      // A long stroke gives (1 - w0/L) w0 of its ends back to the gap.
      {2, 20, 4, 3, 0, 0, 0, 0, 20 + 4 + 4 - 0.9f * 2, 7, 0.9f, 1, 2 + 10, 2},
      // Softness 50: core 0.45, width x1.375; width and length jitter widen the margins.
      {4, 2, 0, 0, 50, 100, 100, 0, 2 + 8, 8, 0.45f, 1.375f, 2 * 4 * 1.375f + 2, 11},
      // Softness 200: a negative core is eased towards -1.
      {1, 0, 10, 10, 200, 0, 0, 180, 12, 12, -0.9f / 1.45f, 2.5f, 2.5f, 2.5f},
      // Angle randomness 60 turns half the length into the cross margin.
      {1, 10, 0, 0, 0, 0, 0, 60, 12 - 0.9f, 2, 0.9f, 1, 6, 0.5f * 5 + 1},
      // Width below its minimum and negative gaps.
      {0.0001f, 0, -5, -5, 0, 0, 0, 0, 0.002f, 0.002f, 0.9f, 1, 0.001f, 0.001f},
  };
  for (const Case& c : cases) {
    StrokeValues v;
    v.width = c.width, v.length = c.length, v.hspase = c.hspase, v.vspase = c.vspase;
    v.anti = c.anti, v.widthRnd = c.widthRnd, v.lengthRnd = c.lengthRnd, v.angleRnd = c.angleRnd;
    v.Derive();
    EXPECT_NEAR(v.cellW, c.cellW, 1e-4f) << c.width << " " << c.length;
    EXPECT_NEAR(v.cellH, c.cellH, 1e-4f) << c.width << " " << c.length;
    EXPECT_NEAR(v.core, c.core, 1e-5f) << c.anti;
    EXPECT_NEAR(v.widthScale, c.widthScale, 1e-5f) << c.anti;
    EXPECT_NEAR(v.marginX, c.marginX, 1e-4f) << c.width << " " << c.length;
    EXPECT_NEAR(v.marginY, c.marginY, 1e-4f) << c.width << " " << c.length;
  }
}

TEST(StrokeValues, ReadScalesPercentagesAndFallsBackToDefaultsForMissingBlocks) {
  IParamBlock2* none[kStrokeNumBlocks] = {};
  Interval valid = FOREVER;
  const StrokeValues v = ReadStrokeValues(none, 0, valid);
  EXPECT_FLOAT_EQ(v.alpha, 1.0f);
  EXPECT_FLOAT_EQ(v.mapOpacity, 1.0f);
  EXPECT_FLOAT_EQ(v.colorRange.r, 0.06f);
  EXPECT_TRUE(v.colorRange.Active());
  EXPECT_FLOAT_EQ(v.hspase, 10.0f);
  EXPECT_FLOAT_EQ(v.cellW, 20.0f);
  EXPECT_TRUE(valid.IsInfinite());
}

}  // namespace
}  // namespace tarnis
