// Zone weights and highlight shaping with known answers.
#include "tarnis/material/zone_shading.h"

#include <gtest/gtest.h>

#include <numeric>

namespace tarnis {
namespace {

using Cores = std::array<ZoneCore, kToonZones>;

const Cores kQuarters = {{{0.0f, 0.25f}, {0.25f, 0.5f}, {0.5f, 0.75f}, {0.75f, 1.0f}}};
// Zone 1 ends at 0.3 and zone 2 starts at 0.5: a cross-fade between them.
const Cores kGap = {{{0.0f, 0.3f}, {0.5f, 0.6f}, {0.6f, 0.8f}, {0.8f, 1.0f}}};

float Sum(const ZoneWeights& w) {
  return std::accumulate(w.begin(), w.end(), 0.0f);
}

TEST(ZoneWeightsTest, TouchingZonesSwitchHardAndABorderBelongsToTheUpperZone) {
  EXPECT_EQ(ComputeZoneWeights(0.1f, kQuarters, 0.0f), (ZoneWeights{1, 0, 0, 0}));
  EXPECT_EQ(ComputeZoneWeights(0.25f, kQuarters, 0.0f), (ZoneWeights{0, 1, 0, 0}));
  EXPECT_EQ(ComputeZoneWeights(0.5f, kQuarters, 0.0f), (ZoneWeights{0, 0, 1, 0}));
  EXPECT_EQ(ComputeZoneWeights(0.99f, kQuarters, 0.0f), (ZoneWeights{0, 0, 0, 1}));
}

TEST(ZoneWeightsTest, TheOuterZonesReachPastTheScale) {
  EXPECT_EQ(ComputeZoneWeights(-0.5f, kQuarters, 0.0f), (ZoneWeights{1, 0, 0, 0}));
  EXPECT_EQ(ComputeZoneWeights(1.0f, kQuarters, 0.0f), (ZoneWeights{0, 0, 0, 1}));
  EXPECT_EQ(ComputeZoneWeights(3.0f, kQuarters, 0.0f), (ZoneWeights{0, 0, 0, 1}));
  // An outer zone whose core stops short of the end fades out past it.
  const Cores shortLast = {{{0.0f, 0.25f}, {0.25f, 0.5f}, {0.5f, 0.75f}, {0.75f, 0.9f}}};
  EXPECT_EQ(ComputeZoneWeights(0.95f, shortLast, 0.0f)[3], 1.0f)
      << "normalised: the last zone is the only one there";
  EXPECT_NEAR(RawZoneWeights(0.95f, shortLast, 0.0f)[3], 0.5f, 1e-6f);
}

TEST(ZoneWeightsTest, AGapIsACrossFadeEasedTwice) {
  ZoneWeights raw = RawZoneWeights(0.4f, kGap, 0.0f);
  EXPECT_NEAR(raw[0], 0.5f, 1e-6f);
  EXPECT_NEAR(raw[1], 0.5f, 1e-6f);
  raw = RawZoneWeights(0.45f, kGap, 0.0f);
  EXPECT_NEAR(raw[0], 0.25f, 1e-6f);
  EXPECT_NEAR(raw[1], 0.75f, 1e-6f);

  // The middle stays even; elsewhere the ease steepens the fade.
  ZoneWeights w = ComputeZoneWeights(0.4f, kGap, 0.0f);
  EXPECT_NEAR(w[0], 0.5f, 1e-6f);
  EXPECT_NEAR(w[1], 0.5f, 1e-6f);
  w = ComputeZoneWeights(0.45f, kGap, 0.0f);
  // e(0.25) = 0.1875, e(0.1875) = 0.1367..., then normalised with e(e(0.75)).
  auto ease = [](float x) { return (-4 * x * x * x + 6 * x * x + x) / 3; };
  const float a = ease(ease(0.25f)), b = ease(ease(0.75f));
  EXPECT_NEAR(w[0], a / (a + b), 1e-5f);
  EXPECT_NEAR(w[1], b / (a + b), 1e-5f);
  EXPECT_LT(w[0], 0.25f);
  EXPECT_NEAR(Sum(w), 1.0f, 1e-6f);
}

TEST(ZoneWeightsTest, AntiAliasedWeightsSumToOneAndBlurOnlyNearBorders) {
  for (float w = -0.2f; w <= 1.2f; w += 0.01f) {
    for (float e : {0.0001f, 0.01f, 0.1f}) {
      EXPECT_NEAR(Sum(ComputeZoneWeights(w, kQuarters, e)), 1.0f, 1e-5f) << w << " " << e;
      EXPECT_NEAR(Sum(ComputeZoneWeights(w, kGap, e)), 1.0f, 1e-5f) << w << " " << e;
    }
  }
  // Far from a border anti-aliasing changes nothing.
  EXPECT_EQ(ComputeZoneWeights(0.125f, kQuarters, 0.05f), (ZoneWeights{1, 0, 0, 0}));
  // On a border, both sides share.
  const ZoneWeights border = ComputeZoneWeights(0.25f, kQuarters, 0.05f);
  EXPECT_NEAR(border[0], 0.5f, 1e-5f);
  EXPECT_NEAR(border[1], 0.5f, 1e-5f);
  // The shared area grows with the width: closer to the border's far side,
  // the lower zone keeps a share that a narrower window does not see.
  EXPECT_GT(ComputeZoneWeights(0.28f, kQuarters, 0.05f)[0], 0.0f);
  EXPECT_EQ(ComputeZoneWeights(0.28f, kQuarters, 0.01f)[0], 0.0f);
}

TEST(ZoneWeightsTest, CrossedOrEmptyZonesGiveNoWeight) {
  // Zone 2's core ends where zone 3's starts... and zone 3 starts below
  // zone 2's end: the gap has no width, the zone between gets nothing.
  const Cores pinched = {{{0.0f, 0.5f}, {0.5f, 0.5f}, {0.5f, 0.75f}, {0.75f, 1.0f}}};
  const ZoneWeights w = ComputeZoneWeights(0.5f, pinched, 0.0f);
  EXPECT_EQ(w[1], 0.0f);
  EXPECT_NEAR(Sum(w), 1.0f, 1e-6f);
}

TEST(HighlightShapingTest, SharpnessZeroLeavesTheHighlightAndAlphaScalesIt) {
  for (float h : {0.0f, 0.1f, 0.3f, 0.5f, 0.74f}) {
    EXPECT_NEAR(ShapeHighlight(h, 0.5f, 0.0f, true, 1.0f), h, 1e-6f) << h;
    EXPECT_NEAR(ShapeHighlight(h, 0.5f, 0.0f, true, 0.5f), 0.5f * h, 1e-6f) << h;
  }
  EXPECT_EQ(ShapeHighlight(2.0f, 2.0f, 0.0f, true, 1.0f), 1.0f) << "clamped to 1";
}

TEST(HighlightShapingTest, FullSharpnessWithoutZoneAntiAliasingIsAHardStep) {
  const float level = 0.5f;
  const float cap = 1.0f - (1.0f - level) * (1.0f - level);  // 0.75
  const float sharp = 100 * 0.0099f;
  for (float h = 0.0f; h < cap; h += 0.01f) {
    const float shaped = ShapeHighlight(h, level, sharp, false, 1.0f);
    EXPECT_TRUE(shaped == 0.0f || shaped == cap) << h << " gave " << shaped;
    EXPECT_EQ(shaped, h > cap / 2 ? cap : 0.0f) << h;
  }
  // With anti-aliased zones the same sharpness keeps a narrow soft edge.
  const float soft = ShapeHighlight(cap / 2 + 0.001f, level, sharp, true, 1.0f);
  EXPECT_GT(soft, 0.0f);
  EXPECT_LT(soft, cap);
}

TEST(HighlightShapingTest, SharpnessBendsTheEdgeIntoAnSCurve) {
  const float level = 1.0f;  // cap 1
  const float a = ShapeHighlight(0.6f, level, 0.5f, true, 1.0f);
  const float b = ShapeHighlight(0.4f, level, 0.5f, true, 1.0f);
  EXPECT_GT(a, 0.6f) << "above the middle it rises faster";
  EXPECT_LT(b, 0.4f) << "below it falls faster";
  EXPECT_NEAR(a + b, 1.0f, 1e-5f) << "symmetric about the middle";
  EXPECT_NEAR(ShapeHighlight(0.5f, level, 0.5f, true, 1.0f), 0.5f, 1e-6f);
}

}  // namespace
}  // namespace tarnis
