// Tests of the hatch field in pattern units: the default dot grid and its
// soft edge, stroke angles under full angle randomness, the size and opacity
// profiles, the colour range and its RGB and HSV shifts.
#include "tarnis/stroke/stroke_field.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "sdk/angles.h"
#include "sdk/curve_control.h"

namespace tarnis {
namespace {

StrokeValues Defaults() {
  StrokeValues v;
  v.colorRange = StrokeColorRange{kColorRangeRGB, 0.0f, 0.0f, 0.0f};
  v.Derive();
  return v;
}

float Coverage(const StrokeValues& v, float x, float y, int seed = 0,
               const StrokeProfiles& profiles = {}) {
  return HatchField(v, profiles, x, y, seed).coverage;
}

TEST(HatchField, DefaultStrokesAreDotsOfRadiusFiveOnATwentyUnitGrid) {
  const StrokeValues v = Defaults();
  for (int i = -3; i <= 3; ++i) {
    for (int j = -3; j <= 3; ++j) {
      const float cx = 20.0f * i + 10.0f, cy = 20.0f * j + 10.0f;
      EXPECT_EQ(Coverage(v, cx, cy), 1.0f) << i << " " << j;
      // Full inside 0.9 of the radius, eased to nothing at the radius.
      EXPECT_EQ(Coverage(v, cx + 4.4f, cy), 1.0f) << i << " " << j;
      EXPECT_NEAR(Coverage(v, cx, cy - 4.75f), 0.5f, 1e-3f) << i << " " << j;
      EXPECT_NEAR(Coverage(v, cx + 3.3588f, cy + 3.3588f), 0.5f, 2e-3f) << i << " " << j;
      EXPECT_EQ(Coverage(v, cx - 5.05f, cy), 0.0f) << i << " " << j;
      // Between the dots nothing is drawn.
      EXPECT_EQ(Coverage(v, cx + 10.0f, cy), 0.0f) << i << " " << j;
      EXPECT_EQ(Coverage(v, cx + 10.0f, cy + 10.0f), 0.0f) << i << " " << j;
    }
  }
}

TEST(HatchField, PointsOutOfReachOfAFloatAreUncovered) {
  const StrokeValues v = Defaults();
  EXPECT_EQ(Coverage(v, 1e30f, 10.0f), 0.0f);
  EXPECT_EQ(Coverage(v, 10.0f, -1e30f), 0.0f);
  EXPECT_EQ(Coverage(v, std::nanf(""), 10.0f), 0.0f);
  EXPECT_EQ(Coverage(v, INFINITY, 10.0f), 0.0f);
}

// The direction (degrees, -90..90) of an isolated stroke centred at (cx, cy):
// the mean over a circle of radius r of the doubled angles, weighted by
// coverage, so that both ends of the stroke count alike.
float StrokeDirection(const StrokeValues& v, float cx, float cy, float r) {
  double c2 = 0.0, s2 = 0.0;
  for (int k = 0; k < 2880; ++k) {
    const float rad = 0.125f * static_cast<float>(k) * kDegToRad;
    const float c = Coverage(v, cx + r * std::cos(rad), cy + r * std::sin(rad));
    c2 += c * std::cos(2.0 * rad);
    s2 += c * std::sin(2.0 * rad);
  }
  if (c2 == 0.0 && s2 == 0.0) return NAN;
  return static_cast<float>(0.5 * std::atan2(s2, c2) * kRadToDegD);
}

TEST(HatchField, FullAngleRandomnessTurnsStrokesUpTo89Degrees) {
  StrokeValues v = Defaults();
  v.width = 0.5f;
  v.length = 100.0f;
  v.hspase = 100.0f;
  v.vspase = 100.0f;
  v.angleRnd = 180.0f;
  v.Derive();
  // Cells are far enough apart that each stroke stands alone.
  float widest = 0.0f;
  for (int i = 0; i < 6; ++i) {
    for (int j = 0; j < 6; ++j) {
      const float cx = (i + 0.5f) * v.cellW, cy = (j + 0.5f) * v.cellH;
      const float dir = StrokeDirection(v, cx, cy, 30.0f);
      ASSERT_FALSE(std::isnan(dir)) << i << " " << j;
      EXPECT_LE(std::fabs(dir), 89.1f + 0.2f) << i << " " << j;
      widest = std::max(widest, std::fabs(dir));
    }
  }
  EXPECT_GT(widest, 60.0f);  // the range is really used
}

TEST(HatchField, WithoutAngleRandomnessStrokesRunAlongX) {
  StrokeValues v = Defaults();
  v.width = 1.0f;
  v.length = 40.0f;
  v.Derive();
  const float cx = 0.5f * v.cellW, cy = 0.5f * v.cellH;
  EXPECT_NEAR(StrokeDirection(v, cx, cy, 15.0f), 0.0f, 1e-3f);
  // Straight part of half-length 20, then a half disc of radius 1.
  EXPECT_EQ(Coverage(v, cx + 20.0f, cy), 1.0f);
  EXPECT_EQ(Coverage(v, cx - 20.5f, cy), 1.0f);
  EXPECT_EQ(Coverage(v, cx + 21.05f, cy), 0.0f);
  EXPECT_EQ(Coverage(v, cx + 20.8f, cy + 0.8f), 0.0f);  // outside the rounded end
}

// A curve through (0, y0) and (1, y1), straight.
void SetLine(CurveControl& curve, float y0, float y1) {
  ICurve* c = curve.GetControlCurve(0);
  c->SetNumPts(2);
  c->SetPoint(0, 0, {.p = {0.0f, y0}, .in = {}, .out = {}, .flags = CURVEP_CORNER});
  c->SetPoint(0, 1, {.p = {1.0f, y1}, .in = {}, .out = {}, .flags = CURVEP_CORNER});
}

// Long horizontal strokes, one per cell, far apart.
StrokeValues LongStrokes() {
  StrokeValues v = Defaults();
  v.width = 5.0f;
  v.length = 100.0f;
  v.hspase = 50.0f;
  v.vspase = 50.0f;
  v.Derive();
  return v;
}

TEST(HatchField, ASizeCurveAtZeroOnOneEndTapersStrokesToNothingThere) {
  const StrokeValues v = LongStrokes();
  CurveControl curve;
  SetLine(curve, 0.0f, 1.0f);
  const StrokeProfiles profiles{curve.GetControlCurve(0), nullptr};
  for (int i = 0; i < 4; ++i) {
    const float cx = (i + 0.5f) * v.cellW, cy = 0.5f * v.cellH;
    // The end at larger x keeps nearly its full width, the other tapers.
    EXPECT_EQ(Coverage(v, cx + 45.0f, cy + 2.0f, 0, profiles), 1.0f) << i;
    EXPECT_EQ(Coverage(v, cx - 45.0f, cy + 1.0f, 0, profiles), 0.0f) << i;
    EXPECT_EQ(Coverage(v, cx - 52.0f, cy, 0, profiles), 0.0f) << i;
    EXPECT_GT(Coverage(v, cx - 45.0f, cy, 0, profiles), 0.0f) << i;
    EXPECT_GT(Coverage(v, cx + 52.0f, cy, 0, profiles), 0.0f) << i;
    // Without the profile both ends are alike.
    EXPECT_EQ(Coverage(v, cx - 45.0f, cy + 1.0f), 1.0f) << i;
  }
}

TEST(HatchField, NegativeCurveValuesCountAsZero) {
  const StrokeValues v = LongStrokes();
  CurveControl negative;
  SetLine(negative, -1.0f, -1.0f);
  const float cx = 0.5f * v.cellW, cy = 0.5f * v.cellH;
  ASSERT_EQ(Coverage(v, cx, cy), 1.0f);
  EXPECT_EQ(Coverage(v, cx, cy, 0, {negative.GetControlCurve(0), nullptr}), 0.0f);
  EXPECT_EQ(Coverage(v, cx, cy, 0, {nullptr, negative.GetControlCurve(0)}), 0.0f);
}

TEST(HatchField, AnOpacityCurveScalesCoverageAlongTheStroke) {
  const StrokeValues v = LongStrokes();
  CurveControl ramp;
  SetLine(ramp, 0.0f, 1.0f);
  const StrokeProfiles profiles{nullptr, ramp.GetControlCurve(0)};
  const float cx = 0.5f * v.cellW, cy = 0.5f * v.cellH;
  // P = -a / (D + w) with a = cx - x, D = 50, w = 5; k = 0.5 P + 0.5.
  for (float offset : {-40.0f, -11.0f, 0.0f, 22.0f, 44.0f}) {
    const float k = 0.5f * (offset / 55.0f) + 0.5f;
    EXPECT_NEAR(Coverage(v, cx + offset, cy, 0, profiles), k, 1e-5f) << offset;
  }
}

TEST(HatchField, ProfilesWithAConstantFullCurveChangeNothing) {
  StrokeValues v = LongStrokes();
  v.widthRnd = 50.0f;
  v.lengthRnd = 50.0f;
  v.angleRnd = 30.0f;
  v.anti = 40.0f;
  v.Derive();
  CurveControl full;
  SetLine(full, 1.0f, 1.0f);
  const StrokeProfiles profiles{full.GetControlCurve(0), full.GetControlCurve(0)};
  for (float x = 0.0f; x < 600.0f; x += 3.7f) {
    for (float y = 0.0f; y < 120.0f; y += 2.9f) {
      ASSERT_EQ(Coverage(v, x, y, 3, profiles), Coverage(v, x, y, 3)) << x << " " << y;
    }
  }
}

TEST(HatchField, WobbleDisplacesTheProfileOnlyInsideTheStroke) {
  const StrokeValues v = LongStrokes();
  CurveControl ramp;
  SetLine(ramp, 0.0f, 1.0f);
  const StrokeProfiles still{nullptr, ramp.GetControlCurve(0)};
  StrokeValues wobbly = v;
  wobbly.dampAlphaRandom = 100.0f * 0.02f;
  const float cx = 0.5f * v.cellW, cy = 0.5f * v.cellH;
  int moved = 0;
  for (float offset = -50.0f; offset <= 50.0f; offset += 2.5f) {
    const float a = Coverage(v, cx + offset, cy, 0, still);
    const float b = Coverage(wobbly, cx + offset, cy, 0, still);
    const float p = offset / 55.0f;
    // The displacement is at most (1 - P^2) times the noise amplitude.
    EXPECT_LE(std::fabs(a - b), 0.5f * (1.0f - p * p) * 2.0f + 1e-5f) << offset;
    if (std::fabs(a - b) > 1e-3f) ++moved;
  }
  EXPECT_GT(moved, 0);
}

TEST(HatchField, AnInactiveColourRangeShiftsNothing) {
  StrokeValues v = Defaults();
  v.hrnd = 100.0f;
  v.vrnd = 100.0f;
  v.Derive();
  for (float x = 0.0f; x < 200.0f; x += 1.3f) {
    const HatchSample s = HatchField(v, {}, x, 7.0f, 5);
    ASSERT_EQ(s.shift, Color(0.0f, 0.0f, 0.0f)) << x;
  }
}

TEST(HatchField, ColourOffsetsSpreadOverTheRangeOfEachComponent) {
  StrokeValues v = Defaults();
  v.colorRange = StrokeColorRange{kColorRangeRGB, 1.0f, 0.5f, 0.25f};
  v.Derive();
  Color lo(1, 1, 1), hi(-1, -1, -1);
  for (int i = 0; i < 20; ++i) {
    for (int j = 0; j < 20; ++j) {
      const HatchSample s = HatchField(v, {}, 20.0f * i + 10.0f, 20.0f * j + 10.0f, 0);
      ASSERT_EQ(s.coverage, 1.0f);
      for (int c = 0; c < 3; ++c) {
        lo[c] = std::min(lo[c], s.shift[c]);
        hi[c] = std::max(hi[c], s.shift[c]);
      }
    }
  }
  const float range[] = {1.0f, 0.5f, 0.25f};
  for (int c = 0; c < 3; ++c) {
    EXPECT_GE(lo[c], -range[c]) << c;
    EXPECT_LE(hi[c], range[c]) << c;
    EXPECT_LT(lo[c], -0.8f * range[c]) << c;
    EXPECT_GT(hi[c], 0.8f * range[c]) << c;
  }
}

TEST(HatchField, OverlappingStrokesGiveTheCoverageWeightedMeanOffset) {
  StrokeValues v = Defaults();
  v.hspase = 0.0f;  // dots of radius 5 every 10 units overlap at their edges
  v.vspase = 0.0f;
  v.anti = 50.0f;
  v.colorRange = StrokeColorRange{kColorRangeRGB, 1.0f, 1.0f, 1.0f};
  v.Derive();
  const HatchSample left = HatchField(v, {}, 5.0f, 5.0f, 0);
  const HatchSample right = HatchField(v, {}, 15.0f, 5.0f, 0);
  const HatchSample between = HatchField(v, {}, 10.0f, 5.0f, 0);
  ASSERT_EQ(left.coverage, 1.0f);
  ASSERT_EQ(right.coverage, 1.0f);
  // Half way both dots cover alike: the offset is their mean.
  EXPECT_NEAR(between.shift.r, 0.5f * (left.shift.r + right.shift.r), 1e-5f);
  EXPECT_NEAR(between.shift.b, 0.5f * (left.shift.b + right.shift.b), 1e-5f);
}

TEST(ColorShift, RgbAddsAndClamps) {
  EXPECT_EQ(ApplyColorShift({0.5f, 0.5f, 0.5f}, {0.25f, -0.125f, 0.0f}, kColorRangeRGB),
            Color(0.75f, 0.375f, 0.5f));
  EXPECT_EQ(ApplyColorShift({0.9f, 0.1f, 0.5f}, {0.5f, -0.5f, 0.0f}, kColorRangeRGB),
            Color(1.0f, 0.0f, 0.5f));
}

float Hue(const Color& c) {
  return RGBtoHSV(c).r;
}

// How far apart two hues are on the colour wheel (0..0.5).
float HueDistance(float a, float b) {
  const float d = std::fabs(a - b);
  return std::min(d, 1.0f - d);
}

TEST(ColorShift, HsvMovesTheHueByHalfTheFirstOffsetAndWraps) {
  const Color cyan = HSVtoRGB({0.5f, 1.0f, 1.0f});
  EXPECT_NEAR(HueDistance(Hue(ApplyColorShift(cyan, {1.0f, 0.0f, 0.0f}, kColorRangeHSV)), 1.0f),
              0.0f, 1e-4f);
  EXPECT_NEAR(Hue(ApplyColorShift(cyan, {-0.5f, 0.0f, 0.0f}, kColorRangeHSV)), 0.25f, 1e-4f);
  const Color violet = HSVtoRGB({0.9f, 1.0f, 1.0f});
  EXPECT_NEAR(Hue(ApplyColorShift(violet, {0.6f, 0.0f, 0.0f}, kColorRangeHSV)), 0.2f, 1e-4f);
  const Color orange = HSVtoRGB({0.1f, 1.0f, 1.0f});
  EXPECT_NEAR(Hue(ApplyColorShift(orange, {-0.6f, 0.0f, 0.0f}, kColorRangeHSV)), 0.8f, 1e-4f);
  // Saturation and value move by the whole offsets, clamped.
  const Color muted = HSVtoRGB({0.5f, 0.5f, 0.5f});
  const Color shifted = RGBtoHSV(ApplyColorShift(muted, {0.0f, 0.25f, 0.75f}, kColorRangeHSV));
  EXPECT_NEAR(shifted.g, 0.75f, 1e-4f);
  EXPECT_NEAR(shifted.b, 1.0f, 1e-4f);
}

TEST(ColorShift, FullHueRangeShiftsEachStrokeByAtMostHalfTheWheel) {
  StrokeValues v = Defaults();
  v.colorRange = StrokeColorRange{kColorRangeHSV, 1.0f, 0.0f, 0.0f};
  v.Derive();
  const Color cyan = HSVtoRGB({0.5f, 1.0f, 1.0f});
  float lo = 1.0f, hi = 0.0f;
  for (int i = 0; i < 20; ++i) {
    for (int j = 0; j < 20; ++j) {
      const HatchSample s = HatchField(v, {}, 20.0f * i + 10.0f, 20.0f * j + 10.0f, 2);
      const float hue = Hue(ApplyColorShift(cyan, s.shift, v.colorRange.type));
      EXPECT_NEAR(HueDistance(hue, 0.5f + 0.5f * s.shift.r), 0.0f, 1e-4f);
      lo = std::min(lo, hue);
      hi = std::max(hi, hue);
    }
  }
  EXPECT_GE(lo, 0.0f);
  EXPECT_LE(hi, 1.0f);
  EXPECT_LT(lo, 0.1f);
  EXPECT_GT(hi, 0.9f);
}

TEST(SeedShift, IsTheSameForTheSameSeedAndWithinTheRange) {
  float du0 = 0, dv0 = 0, du1 = 0, dv1 = 0;
  SeedShift(12, 3.0f, 2.0f, du0, dv0);
  SeedShift(12, 3.0f, 2.0f, du1, dv1);
  EXPECT_EQ(du0, du1);
  EXPECT_EQ(dv0, dv1);
  int differing = 0;
  for (int seed = 0; seed < 64; ++seed) {
    SeedShift(seed, 3.0f, 2.0f, du1, dv1);
    EXPECT_LE(std::fabs(du1), 3.0f);
    EXPECT_LE(std::fabs(dv1), 2.0f);
    if (du1 != du0) ++differing;
    SeedShift(seed, 0.0f, 0.0f, du1, dv1);
    EXPECT_EQ(du1, 0.0f);
    EXPECT_EQ(dv1, 0.0f);
  }
  EXPECT_GT(differing, 60);
}

}  // namespace
}  // namespace tarnis
