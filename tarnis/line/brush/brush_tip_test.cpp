// Tests of the tip evaluation: the disc, the falloff profile, stretch and
// rotation (with their per-seed randomness), grooves, the tip map and the
// dot pattern, each against answers worked out from the tip's rules.
#include "tarnis/line/brush/brush_tip.h"

#include <gtest/gtest.h>

#include <cmath>

#include "sdk/angles.h"
#include "sdk/reference.h"
#include "tarnis/line/brush/brush_test_helpers.h"
#include "tarnis/common/ease.h"
#include "tarnis/common/random_tables.h"

namespace tarnis {
namespace {

BrushTipValues Values(int type) {
  BrushTipValues v;
  v.type = type;
  v.Derive();
  return v;
}

// The intensity at tip radius rho (1 = rim) in direction `deg` from the u axis.
float At(const BrushTip& tip, float rho, float deg) {
  return tip.Intensity(0.5f + 0.5f * rho * std::cos(deg * kDegToRad),
                       0.5f + 0.5f * rho * std::sin(deg * kDegToRad));
}

TEST(BrushTip, DefaultTipIsAUnitDisc) {
  const BrushTipValues v = Values(kTipFlat);
  for (uint16_t seed : {0, 1, 4321}) {
    const BrushTip tip(v, seed);
    for (float deg = 0.0f; deg < 360.0f; deg += 15.0f) {
      EXPECT_EQ(At(tip, 0.0f, deg), 1.0f);
      EXPECT_EQ(At(tip, 0.99f, deg), 1.0f) << deg;
      EXPECT_EQ(At(tip, 1.01f, deg), 0.0f) << deg;
    }
  }
}

TEST(BrushTip, FalloffFollowsTheEaseCurveBetweenStartAndEnd) {
  struct Case {
    float start, end, rho, expected;
  };
  // With start 0.5 and end 1, d = rho^2 = 0.625 lies half way (in d) through
  // the band 0.25..1, where ease(0.5) = 0.5.
  const Case cases[] = {
      {0.5f, 1.0f, 0.3f, 1.0f},
      {0.5f, 1.0f, 0.5f, 1.0f},
      {0.5f, 1.0f, std::sqrt(0.625f), 0.5f},
      {0.5f, 1.0f, std::sqrt(0.8125f), Ease(0.25f)},
      {0.5f, 1.0f, 1.0f, 0.0f},
      {0.6f, 0.6f, 0.59f, 1.0f},  // start = end: a hard edge
      {0.6f, 0.6f, 0.61f, 0.0f},
      {0.8f, 0.4f, 0.3f, 0.0f},  // end < start: a ring, solid outside the start
      {0.8f, 0.4f, std::sqrt(0.4f), 0.5f},
      {0.8f, 0.4f, 0.9f, 1.0f},
  };
  for (int type : {kTipSoft, kTipDots, kTipGrooved}) {
    for (const Case& c : cases) {
      BrushTipValues v = Values(type);
      v.dampStart = c.start;
      v.dampEnd = c.end;
      // Dots so large and hard that the pattern is solid over the whole tip.
      v.anti = v.sizeRnd = v.hSpaceRand = v.vSpaceRand = 0.0f;
      v.size = 100.0f;
      v.Derive();
      EXPECT_NEAR(At(BrushTip(v, 0), c.rho, 0.0f), c.expected, 1e-5f)
          << "type " << type << " start " << c.start << " end " << c.end << " rho " << c.rho;
    }
  }
}

TEST(BrushTip, StretchNarrowsTheTipAlongItsSAxis) {
  struct Case {
    float stretch, edgeU, edgeV;  // half extents of the tip along u and v, in tip radii
  };
  // s is scaled by 1 + 0.05 stretch (20 doubles s, so the extent halves;
  // 100 scales it by 6), r by 1 - 0.05 stretch for negative stretch.
  const Case cases[] = {{0.0f, 1.0f, 1.0f},
                        {20.0f, 0.5f, 1.0f},
                        {100.0f, 1.0f / 6.0f, 1.0f},
                        {-100.0f, 1.0f, 1.0f / 6.0f}};
  for (const Case& c : cases) {
    BrushTipValues v = Values(kTipFlat);
    v.stretch = c.stretch;
    v.Derive();
    const BrushTip tip(v, 0);
    EXPECT_EQ(At(tip, 0.98f * c.edgeU, 0.0f), 1.0f) << c.stretch;
    EXPECT_EQ(At(tip, 1.02f * c.edgeU, 0.0f), 0.0f) << c.stretch;
    EXPECT_EQ(At(tip, 0.98f * c.edgeV, 90.0f), 1.0f) << c.stretch;
    EXPECT_EQ(At(tip, 1.02f * c.edgeV, 90.0f), 0.0f) << c.stretch;
  }
}

TEST(BrushTip, SeedsTurnTheTipByTheirShareOfTheRandomAngle) {
  struct Case {
    uint16_t seed;
    float degrees;  // angle + (rho1 - 0.5) * 360, rho1 from ~A[seed]
  };
  const Case cases[] = {
      {0, 30.0f}, {1, 30.0f + 56.1017f}, {2, 30.0f - 170.7825f}, {3, 30.0f - 139.0265f}};
  BrushTipValues v = Values(kTipFlat);
  v.stretch = 100.0f;  // a thin bar along the r axis
  v.angle = 30.0f;
  v.angleRnd = 360.0f;
  v.Derive();
  for (const Case& c : cases) {
    const BrushTip tip(v, c.seed);
    // The bar's long axis (r) points along (-sin, cos) of the tip angle.
    EXPECT_EQ(At(tip, 0.9f, c.degrees + 90.0f), 1.0f) << c.seed;
    EXPECT_EQ(At(tip, 0.9f, c.degrees + 110.0f), 0.0f) << c.seed;
    EXPECT_EQ(At(tip, 0.9f, c.degrees + 70.0f), 0.0f) << c.seed;
  }
}

TEST(BrushTip, SeedsReduceTheStretchByTheirRandomShare) {
  BrushTipValues v = Values(kTipFlat);
  v.stretch = 20.0f;
  v.stretchRnd = 1.0f;
  v.Derive();
  for (uint16_t seed : {0, 1, 2, 77}) {
    const uint32_t x0 = ~static_cast<uint32_t>(RandomTableA()[seed]) & 0xFFFFu;
    const float rho2 = seed == 0 ? 0.0f : Unit16(Lcg(Lcg(x0)));
    const float edge = 1.0f / (1.0f + 0.05f * 20.0f * (1.0f - rho2));
    const BrushTip tip(v, seed);
    EXPECT_EQ(At(tip, 0.99f * edge, 0.0f), 1.0f) << seed;
    EXPECT_EQ(At(tip, 1.01f * edge, 0.0f), 0.0f) << seed;
  }
}

TEST(BrushTip, GroovesNotchTheRimOfSoftTipsOnly) {
  for (int type : {kTipSoft, kTipDots, kTipFlat, kTipGrooved}) {
    BrushTipValues v = Values(type);
    v.groove = 100.0f;
    v.anti = v.sizeRnd = v.hSpaceRand = v.vSpaceRand = 0.0f;
    v.size = 100.0f;
    v.Derive();
    const BrushTip tip(v, 0);
    int notches = 0;
    bool inside = At(tip, 0.9f, 0.0f) > 0.0f;
    for (float deg = 0.5f; deg < 360.0f; deg += 0.5f) {
      const bool now = At(tip, 0.9f, deg) > 0.0f;
      notches += inside && !now ? 1 : 0;
      inside = now;
    }
    if (type == kTipFlat) {
      EXPECT_EQ(notches, 0);
    } else {
      EXPECT_GE(notches, v.grooveNum) << type;
      EXPECT_EQ(At(tip, 0.3f, 0.0f) > 0.0f, true) << type;  // the inside stays whole
    }
  }
}

TEST(BrushTip, TipMapScalesSoftTipsAtTheMappedPosition) {
  ReferenceHolder constant(new testing::ProbeMap(0.25f));
  ReferenceHolder probe(new testing::ProbeMap(testing::ProbeMap::kReportU));
  struct Case {
    int type;
    ReferenceTarget* map;
    float opacity, rho, expected;
  };
  const Case cases[] = {
      {kTipSoft, constant.Get(), 1.0f, 0.0f, 0.25f},
      {kTipSoft, constant.Get(), 0.5f, 0.0f, 0.625f},   // 1 - o + m o
      {kTipSoft, probe.Get(), 1.0f, 0.5f, 0.75f},       // u = 0.5 s + 0.5 with s = 0.5
      {kTipGrooved, constant.Get(), 1.0f, 0.0f, 1.0f},  // no map on these types
      {kTipFlat, constant.Get(), 1.0f, 0.0f, 1.0f},
  };
  for (const Case& c : cases) {
    BrushTipValues v = Values(c.type);
    v.map = dynamic_cast<Texmap*>(c.map);
    v.mapOpacity = c.opacity;
    v.Derive();
    EXPECT_NEAR(At(BrushTip(v, 0), c.rho, 0.0f), c.expected, 1e-6f) << c.type;
  }
}

// A dot pattern without jitter: dots of radius `size` on a 42-unit grid.
BrushTipValues RegularDots() {
  BrushTipValues v = Values(kTipDots);
  v.hSpaceRand = v.vSpaceRand = v.sizeRnd = v.anti = 0.0f;
  v.Derive();
  return v;
}

TEST(BrushTip, DotPatternHasSolidDotsOnItsGrid) {
  const BrushTipValues v = RegularDots();
  ASSERT_FLOAT_EQ(v.cellWidth, 42.0f);
  const BrushTip tip(v, 0);
  // Tip coordinates are scaled by 50 into pattern units.
  EXPECT_EQ(tip.DotPattern(0.0f, 0.0f), 1.0f);
  EXPECT_EQ(tip.DotPattern(42.0f / 50.0f, 42.0f / 50.0f), 1.0f);
  EXPECT_EQ(tip.DotPattern(21.0f / 50.0f, 0.0f), 0.0f);  // between dots, 21 > radius 16
  // The core (0.9 of the radius) is solid; the edge eases out to the radius.
  EXPECT_EQ(tip.DotPattern(0.89f * 16.0f / 50.0f, 0.0f), 1.0f);
  const float edge = tip.DotPattern(0.95f * 16.0f / 50.0f, 0.0f);
  const float expected = 1.0f - Ease(std::sqrt((0.95f * 0.95f - 0.81f) / (1.0f - 0.81f)));
  EXPECT_NEAR(edge, expected, 1e-4f);
}

TEST(BrushTip, NonZeroSeedsShiftTheDotPatternByTheirOwnOffset) {
  const BrushTipValues v = RegularDots();
  const BrushTip plain(v, 0);
  for (uint16_t seed : {1, 2, 999}) {
    const BrushTip shifted(v, seed);
    const uint32_t b1 = Lcg(RandomTableB()[seed]);
    const float dx = (Unit16(b1) - 0.5f) * 256.0f;
    const float dy = (Unit16(Lcg(b1)) - 0.5f) * 256.0f;
    int differ = 0;
    for (float x = -1.0f; x <= 1.0f; x += 0.05f) {
      for (float y = -1.0f; y <= 1.0f; y += 0.05f) {
        EXPECT_NEAR(shifted.DotPattern(x, y), plain.DotPattern(x + dx, y + dy), 2e-3f);
        differ += shifted.DotPattern(x, y) != plain.DotPattern(x, y) ? 1 : 0;
      }
    }
    EXPECT_GT(differ, 0) << seed;
  }
}

TEST(BrushTip, SeedZeroIgnoresEveryRandomRange) {
  BrushTipValues random = Values(kTipDots);
  random.stretch = 50.0f;
  random.stretchRnd = 1.0f;
  random.angleRnd = 360.0f;
  random.Derive();
  BrushTipValues fixed = random;
  fixed.stretchRnd = 0.0f;
  fixed.angleRnd = 0.0f;
  const BrushTip a(random, 0), b(fixed, 0), c(random, 7);
  int differ = 0;
  for (float u = 0.0f; u <= 1.0f; u += 0.05f) {
    for (float w = 0.0f; w <= 1.0f; w += 0.05f) {
      EXPECT_EQ(a.Intensity(u, w), b.Intensity(u, w));
      differ += a.Intensity(u, w) != c.Intensity(u, w) ? 1 : 0;
    }
  }
  EXPECT_GT(differ, 0);
}

}  // namespace
}  // namespace tarnis
