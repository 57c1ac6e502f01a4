// Tests of the per-stroke draws and of the colour modification of strokes.
#include "tarnis/line/draw/stroke_random.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tarnis {
namespace {

BrushValues StoredBrush() {
  BrushValues b;
  b.stroke.overshoot = 10.0f;
  b.stroke.normalOffset = -3.0f;
  b.stroke.offsetX = 2.0f;
  b.stroke.offsetY = -1.5f;
  b.stroke.length = 10.0f;
  b.stroke.spacing = 4.0f;
  b.noise.amp = 6.0f;
  b.noise.period = 20.0f;
  b.noise.phase = 0.25f;
  b.tip.type = kTipFlat;
  b.tip.stretch = 40.0f;
  b.tip.angle = 30.0f;
  return b;
}

BrushValues RandomBrush() {
  BrushValues b = StoredBrush();
  b.stroke.sizeRnd = 0.5f;
  b.stroke.offsetXRnd = 0.8f;
  b.stroke.offsetYRnd = 0.8f;
  b.stroke.normalOffsetRnd = 0.6f;
  b.stroke.overshootRnd = 0.5f;
  b.stroke.lengthRnd = 0.5f;
  b.stroke.spacingRnd = 0.5f;
  b.noise.ampRandom = 0.5f;
  b.noise.periodRandom = 0.5f;
  b.noise.phaseRandom = 0.5f;
  b.tip.stretchRnd = 1.0f;
  b.tip.angleRnd = 90.0f;
  b.colorRange = {kColorModRGB, 0.1f, 0.2f, 0.3f};
  return b;
}

LineNoise Noise(uint16_t seed) {
  LineNoise noise;
  EXPECT_TRUE(noise.Seed(seed));
  return noise;
}

TEST(StrokeRandom, WithoutRandomnessEveryStrokeKeepsTheStoredValues) {
  const LineNoise noise = Noise(77);
  const BrushValues brush = StoredBrush();
  for (int k = 0; k < 20; ++k) {
    StrokePlace place;
    place.first = Point2(static_cast<float>(k) * 13.0f, 40.0f);
    place.second = place.first + Point2(5.0f, 2.0f);
    place.middle = place.first + Point2(30.0f, 9.0f);
    place.cell = 13.3f;
    place.chainLength = 100.0f;
    place.scale = 2.0f;
    const StrokeRandom r = StrokeRandom::Draw(noise, place, brush);
    EXPECT_FLOAT_EQ(r.sizeFactor, 1.0f);
    for (float c : r.colorMod) EXPECT_FLOAT_EQ(c, 0.0f);
    EXPECT_FLOAT_EQ(r.offsetX, 4.0f);
    EXPECT_FLOAT_EQ(r.offsetY, -3.0f);
    EXPECT_FLOAT_EQ(r.normalOffset, -6.0f);
    EXPECT_FLOAT_EQ(r.startOvershoot, 20.0f);
    EXPECT_FLOAT_EQ(r.endOvershoot, 20.0f);
    EXPECT_FLOAT_EQ(r.noiseAmp, 12.0f);
    EXPECT_FLOAT_EQ(r.noisePeriod, 40.0f);
    // The sine is centred on the chain: 0.25 - (100 / 2 + 20) / 40.
    EXPECT_FLOAT_EQ(r.noisePhase, 0.25f - 70.0f / 40.0f);
    EXPECT_FLOAT_EQ(r.stretch, 40.0f);
    EXPECT_FLOAT_EQ(r.angle, 30.0f);
    EXPECT_NEAR(r.angleCos, std::sqrt(3.0f) / 2.0f, 1e-6f);
    EXPECT_NEAR(r.angleSin, 0.5f, 1e-6f);
    EXPECT_FLOAT_EQ(r.dashLength, 20.0f);
    EXPECT_FLOAT_EQ(r.dashPeriod, 28.0f);
  }
}

TEST(StrokeRandom, DrawsAtACellCornerMatchTheHandComputedValues) {
  // All three points at the noise origin: corner (0, 0) with hash 28743
  // for seed 1 (see the noise tests) and weight 1.
  const LineNoise noise = Noise(1);
  StrokePlace place;
  const StrokeRandom r = StrokeRandom::Draw(noise, place, RandomBrush());
  // r(314, 222): S = (46055 + 56675) / 65536, d = 0.567535, r = -0.812974.
  EXPECT_TRUE(r.skipExtra);
  // r(14814, 22222): S = (7779 + 63699) / 65536, d = 0.090668, r = -0.173115.
  EXPECT_NEAR(r.sizeFactor, 1.0f + 0.5f * -0.173115f, 1e-5f);
  // r(29318, 222): S = (55755 + 56675) / 65536, d = 0.715546, r = -0.919086.
  EXPECT_NEAR(r.angle, 30.0f + 90.0f * -0.919086f, 1e-3f);
  // r(57814): S = 8475 / 65536, d = -0.741364, r = 1 - 0.258636^2 = 0.933107.
  EXPECT_NEAR(r.dashLength, (1.0f + 0.5f * 0.933107f) * 10.0f, 1e-4f);
  // r(1224, 2003): S = (23241 + 26902) / 65536, d = -0.234879, r = 0.414589.
  EXPECT_NEAR(r.colorMod[0], 0.1f * 0.414589f, 1e-6f);
  // r(29318, 814): d = 0.572235, r = -0.817017; 40 (1 - (0.5 r + 0.5)).
  EXPECT_NEAR(r.stretch, 40.0f * (1.0f - (0.5f * -0.817017f + 0.5f)), 1e-4f);
  EXPECT_FLOAT_EQ(r.stampVariant, 28743.0f / 65536.0f);
}

TEST(StrokeRandom, EveryDrawStaysWithinItsRange) {
  const LineNoise noise = Noise(4242);
  const BrushValues b = RandomBrush();
  for (int k = 0; k < 400; ++k) {
    StrokePlace place;
    place.first = Point2(static_cast<float>(k % 20) * 17.0f, static_cast<float>(k / 20) * 11.0f);
    place.second = place.first + Point2(-4.0f, 6.0f);
    place.middle = place.first + Point2(12.0f, 12.0f);
    place.cell = 10.0f;
    const StrokeRandom r = StrokeRandom::Draw(noise, place, b);
    EXPECT_GE(r.sizeFactor, 0.5f);
    EXPECT_LE(r.sizeFactor, 1.5f);
    for (int c = 0; c < 3; ++c) EXPECT_LE(std::fabs(r.colorMod[c]), 0.1f * (c + 1) + 1e-6f);
    EXPECT_LE(std::fabs(r.offsetX - 2.0f), 0.8f + 1e-6f);
    EXPECT_LE(std::fabs(r.offsetY + 1.5f), 0.8f + 1e-6f);
    EXPECT_LE(std::fabs(r.normalOffset + 3.0f), 0.6f + 1e-6f);
    for (float o : {r.startOvershoot, r.endOvershoot}) {
      EXPECT_GE(o, 5.0f - 1e-5f);
      EXPECT_LE(o, 15.0f + 1e-5f);
    }
    EXPECT_GE(r.stretch, 0.0f);
    EXPECT_LE(r.stretch, 40.0f);
    EXPECT_LE(std::fabs(r.angle - 30.0f), 90.0f + 1e-4f);
    EXPECT_GE(r.dashLength, 5.0f - 1e-5f);
    EXPECT_LE(r.dashLength, 15.0f + 1e-5f);
    EXPECT_GE(r.dashPeriod - r.dashLength, 2.0f - 1e-5f);
    EXPECT_LE(r.dashPeriod - r.dashLength, 6.0f + 1e-5f);
    EXPECT_GE(r.stampVariant, 0.0f);
    EXPECT_LT(r.stampVariant, 1.0f);
  }
}

TEST(StrokeRandom, PropertiesVaryIndependentlyFromStrokeToStroke) {
  const LineNoise noise = Noise(99);
  const BrushValues b = RandomBrush();
  int sizeAndOffsetAgree = 0, startEndDiffer = 0, skipped = 0;
  const int n = 300;
  for (int k = 0; k < n; ++k) {
    StrokePlace place;
    place.first = Point2(static_cast<float>(k) * 9.7f - 1400.0f, 33.0f);
    place.second = place.first + Point2(20.0f, 0.0f);
    place.cell = 8.0f;
    const StrokeRandom r = StrokeRandom::Draw(noise, place, b);
    if ((r.sizeFactor > 1.0f) == (r.offsetX > 2.0f)) ++sizeAndOffsetAgree;
    if (std::fabs(r.startOvershoot - r.endOvershoot) > 1e-3f) ++startEndDiffer;
    if (r.skipExtra) ++skipped;
  }
  // Different salts give unrelated draws; swapped salts (start and end
  // overshoot) differ once the two points lie in different places.
  EXPECT_GT(sizeAndOffsetAgree, n / 4);
  EXPECT_LT(sizeAndOffsetAgree, 3 * n / 4);
  EXPECT_GT(startEndDiffer, n / 2);
  EXPECT_GT(skipped, n / 4);
  EXPECT_LT(skipped, 3 * n / 4);
}

TEST(StrokeRandom, OnlyPositiveStretchOfFlatTipsIsRandomised) {
  const LineNoise noise = Noise(5);
  StrokePlace place;
  place.first = Point2(3.0f, 4.0f);
  place.second = Point2(9.0f, 1.0f);
  struct Case {
    int type;
    float stretch;
    bool varies;
  } cases[] = {{kTipFlat, 40.0f, true},
               {kTipFlat, -40.0f, false},
               {kTipSoft, 40.0f, false},
               {kTipDots, 40.0f, false}};
  for (const Case& c : cases) {
    BrushValues b = RandomBrush();
    b.tip.type = c.type;
    b.tip.stretch = c.stretch;
    const StrokeRandom r = StrokeRandom::Draw(noise, place, b);
    if (c.varies) {
      EXPECT_LT(r.stretch, c.stretch) << "type " << c.type;
    } else {
      EXPECT_FLOAT_EQ(r.stretch, c.stretch) << "type " << c.type;
    }
  }
}

TEST(StrokeRandom, AVanishingPeriodLeavesAFinitePhase) {
  const LineNoise noise = Noise(5);
  BrushValues b = StoredBrush();
  b.noise.period = 0.0f;
  StrokePlace place;
  place.chainLength = 50.0f;
  const StrokeRandom r = StrokeRandom::Draw(noise, place, b);
  EXPECT_GT(r.noisePeriod, 0.0f);
  EXPECT_TRUE(std::isfinite(r.noisePhase));
}

void ExpectColor(const Color& c, const Color& expected, const char* what) {
  EXPECT_NEAR(c.r, expected.r, 1e-5f) << what;
  EXPECT_NEAR(c.g, expected.g, 1e-5f) << what;
  EXPECT_NEAR(c.b, expected.b, 1e-5f) << what;
}

TEST(ColorModification, ModifiesInRGBOrHSVAndClamps) {
  // A hue step of 1/3 takes 1/3 / 0.75 of dx.
  const float third = (1.0f / 3.0f) / 0.75f;
  struct Case {
    const char* what;
    int mode;
    Color in;
    float dx, dy, dz;
    Color out;
  } cases[] = {
      {"zero amounts change nothing",
       kColorModRGB,
       {1.5f, -0.2f, 0.3f},
       0,
       0,
       0,
       {1.5f, -0.2f, 0.3f}},
      {"zero amounts in HSV", kColorModHSV, {1.5f, -0.2f, 0.3f}, 0, 0, 0, {1.5f, -0.2f, 0.3f}},
      {"rgb adds and clamps", kColorModRGB, {0.5f, 0.5f, 0.5f}, 0.2f, -0.7f, 0.6f, {0.7f, 0, 1}},
      {"hue forward", kColorModHSV, {1, 0, 0}, third, 0, 0, {0, 1, 0}},
      {"hue wraps below 0", kColorModHSV, {1, 0, 0}, -third, 0, 0, {0, 0, 1}},
      {"hue wraps above 1", kColorModHSV, {0, 0, 1}, third, 0, 0, {1, 0, 0}},
      {"saturation clamps at 0", kColorModHSV, {1, 0, 0}, 0, -1.5f, 0, {1, 1, 1}},
      {"value halves", kColorModHSV, {1, 0, 0}, 0, 0, -0.5f, {0.5f, 0, 0}},
      {"value clamps at 1", kColorModHSV, {0.5f, 0, 0}, 0, 0, 2.0f, {1, 0, 0}},
  };
  for (const Case& c : cases) {
    Color color = c.in;
    ApplyColorModification(color, c.mode, c.dx, c.dy, c.dz);
    ExpectColor(color, c.out, c.what);
  }
}

}  // namespace
}  // namespace tarnis
