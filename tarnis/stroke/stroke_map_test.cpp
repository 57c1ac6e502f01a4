// Tests of the stroke map object: a new map's slots and working copy, the
// coordinate set-up (seeds, origin, screen aspect, depth reduction, surface
// shift), the colour and colour map, compositing onto a zone colour (also
// from several threads), the samplers, cloning, saving and loading with the
// repair, reset, and the class descriptor.
#include "tarnis/stroke/stroke_map.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

#include "sdk/ref_graph.h"
#include "sdk/save_load.h"
#include "tarnis/common/blend_color.h"
#include "tarnis/material/shade_contexts.h"
#include "tarnis/stroke/stroke_class_desc.h"
#include "tarnis/stroke/stroke_test_helpers.h"

namespace tarnis {
namespace {

using testing::ColourMap;
using testing::ScopedStrokeClasses;
using testing::ScopedTestUVGen;
using testing::StrokeTestScene;
using testing::TestUVGen;

constexpr float kUnits = 480.0f;  // pattern units in a map unit

Stroke& Made(ReferenceHolder& holder) {
  return *holder.GetAs<Stroke>();
}

void Set(Stroke& stroke, int block, ParamID id, PB2Value value) {
  ASSERT_TRUE(stroke.Block(block)->SetValue(id, 0, value)) << block << " " << id;
}

void Refresh(Stroke& stroke) {
  Interval valid = FOREVER;
  stroke.Update(0, valid);
}

// Map coordinates of pattern point (x, y) for the default orientation.
Point2 UV(float x, float y) {
  return {0.5f + x / kUnits, 0.5f - y / kUnits};
}

// A stroke map without colour range, so its colour is exact.
Stroke* PlainStroke() {
  auto* stroke = new Stroke;
  for (ParamID id : {kStrokeColorModR, kStrokeColorModG, kStrokeColorModB}) {
    stroke->Block(kStrokeBlockColorMod)->SetValue(id, 0, 0.0f);
  }
  Refresh(*stroke);
  return stroke;
}

float CoverageAt(Stroke& stroke, ShadeContext& sc, Point2 uv, int seed = 0) {
  return stroke.Sample(sc, uv, seed, 1.0f).coverage;
}

TEST(StrokeMap, NewMapHasItsBlocksAndFlatCurvesAndReadsChannelOneWithoutAHost) {
  ReferenceHolder holder(new Stroke);
  Stroke& stroke = Made(holder);
  for (int b = 0; b < kStrokeNumBlocks; ++b) {
    EXPECT_EQ(stroke.Block(b)->GetDesc(), StrokeBlockDesc(b));
  }
  for (CurveControl* curve : {stroke.SizeCurve(), stroke.AlphaCurve()}) {
    ASSERT_NE(curve, nullptr);
    const ICurve* c = curve->GetControlCurve(0);
    ASSERT_EQ(c->GetNumPts(), 2);
    EXPECT_EQ(c->GetPoint(0, 0).p, Point2(0.0f, 1.0f));
    EXPECT_EQ(c->GetPoint(0, 1).p, Point2(1.0f, 1.0f));
    EXPECT_FLOAT_EQ(c->GetValue(0, 0.4f), 1.0f);
  }
  EXPECT_NE(stroke.SizeCurve(), stroke.AlphaCurve());
  EXPECT_EQ(stroke.Generator(), nullptr);
  EXPECT_EQ(stroke.GetSubTexmap(0), nullptr);
  EXPECT_EQ(stroke.NumSubTexmaps(), 1);
  EXPECT_EQ(stroke.GetSubTexmapSlotName(0), CStr("strokeMap"));

  FakeShadeContext sc;
  sc.SetUVW(1, Point3(UV(10.0f, 10.0f).x, UV(10.0f, 10.0f).y, 0.0f));
  const AColor c = stroke.EvalColor(sc);
  EXPECT_EQ(c.a, 1.0f);
  // Black moved by at most the default 6 % range.
  for (float v : {c.r, c.g, c.b}) {
    EXPECT_GE(v, 0.0f);
    EXPECT_LE(v, 0.06f);
  }
  EXPECT_NE(stroke.Requirements(0) & MTLREQ_UV, 0u);
}

TEST(StrokeMap, MakesItsGeneratorThroughTheClassDirectoryAndSamplesThroughIt) {
  ScopedTestUVGen generators;
  ReferenceHolder holder(PlainStroke());
  Stroke& stroke = Made(holder);
  auto* gen = dynamic_cast<TestUVGen*>(stroke.Generator());
  ASSERT_NE(gen, nullptr);
  EXPECT_EQ(stroke.GetTheUVGen(), gen);
  gen->channel = 2;
  Refresh(stroke);
  FakeShadeContext sc;
  sc.SetUVW(1, Point3(UV(20.0f, 20.0f).x, UV(20.0f, 20.0f).y, 0.0f));  // between dots
  sc.SetUVW(2, Point3(UV(10.0f, 10.0f).x, UV(10.0f, 10.0f).y, 0.0f));  // on a dot
  EXPECT_EQ(stroke.EvalColor(sc).a, 1.0f);
  EXPECT_EQ(stroke.GetMapChannel(), 2);
  EXPECT_EQ(stroke.Requirements(0) & MTLREQ_UV, 0u);
  std::vector<int> channels;
  stroke.LocalMappingsRequired(0, channels);
  EXPECT_EQ(channels, std::vector<int>{2});
}

TEST(StrokeMap, SamplesThePatternAtMapCoordinates) {
  ReferenceHolder holder(PlainStroke());
  Stroke& stroke = Made(holder);
  FakeShadeContext sc;
  EXPECT_EQ(CoverageAt(stroke, sc, UV(10.0f, 10.0f)), 1.0f);
  EXPECT_EQ(CoverageAt(stroke, sc, UV(-30.0f, 50.0f)), 1.0f);
  EXPECT_NEAR(CoverageAt(stroke, sc, UV(14.75f, 10.0f)), 0.5f, 2e-3f);
  EXPECT_NEAR(CoverageAt(stroke, sc, UV(10.0f, 5.25f)), 0.5f, 2e-3f);
  EXPECT_EQ(CoverageAt(stroke, sc, UV(0.0f, 0.0f)), 0.0f);
  // Rotation by 90 degrees swaps the axes of a grid that is square anyway,
  // and the stroke scale enlarges the pattern.
  Set(stroke, kStrokeBlockMain, kStrokeAngle, 90.0f);
  Refresh(stroke);
  EXPECT_EQ(CoverageAt(stroke, sc, UV(10.0f, -10.0f)), 1.0f);
  EXPECT_EQ(stroke.Sample(sc, UV(5.0f, 5.0f), 0, 2.0f).coverage, 1.0f);
}

TEST(StrokeMap, WidthHundredFillsSolidInTheStrokeColour) {
  ReferenceHolder holder(new Stroke);  // with the default colour range
  Stroke& stroke = Made(holder);
  Set(stroke, kStrokeBlockMain, kStrokeWidth, 100.0f);
  Set(stroke, kStrokeBlockMain, kStrokeColor, Color(0.2f, 0.4f, 0.6f));
  Refresh(stroke);
  FakeShadeContext sc;
  for (float u = -1.0f; u < 2.0f; u += 0.0371f) {
    const StrokeResult r = stroke.Sample(sc, Point2(u, 0.3f * u), 3, 1.0f);
    ASSERT_EQ(r.coverage, 1.0f) << u;
    ASSERT_EQ(r.colour, Color(0.2f, 0.4f, 0.6f)) << u;
  }
}

TEST(StrokeMap, SameSeedSamePatternAndAnotherSeedShiftsIt) {
  ReferenceHolder holder(PlainStroke());
  Stroke& stroke = Made(holder);
  Set(stroke, kStrokeBlockCoordExt, kStrokeRandomU, 1.0f);
  Set(stroke, kStrokeBlockCoordExt, kStrokeRandomV, 1.0f);
  Refresh(stroke);
  FakeShadeContext sc;
  float du0, dv0, du7, dv7;
  SeedShift(0, 1.0f, 1.0f, du0, dv0);
  SeedShift(7, 1.0f, 1.0f, du7, dv7);
  int differing = 0;
  for (float x = 0.0f; x < 60.0f; x += 0.77f) {
    for (float y = 0.0f; y < 40.0f; y += 0.93f) {
      const Point2 uv = UV(x, y);
      const float base = CoverageAt(stroke, sc, uv, 0);
      ASSERT_EQ(CoverageAt(stroke, sc, uv, 0), base);
      // Seed 7's pattern is seed 0's moved by the difference of their shifts.
      const Point2 moved(uv.x + du7 - du0, uv.y - (dv7 - dv0));
      ASSERT_NEAR(CoverageAt(stroke, sc, moved, 7), base, 2e-3f) << x << " " << y;
      if (std::fabs(CoverageAt(stroke, sc, uv, 7) - base) > 0.1f) ++differing;
    }
  }
  EXPECT_GT(differing, 100);
}

TEST(StrokeMap, ObjectOriginWithExplicitCoordinatesBehavesLikeTheScreenCentre) {
  ScopedTestUVGen generators;
  ReferenceHolder holder(PlainStroke());
  Stroke& stroke = Made(holder);
  StrokeTestScene scene(Point3(3.0f, -2.0f, -40.0f));
  // A depth reduction that would double the pattern if it applied.
  Set(stroke, kStrokeBlockCoordExt, kStrokeZScaleStart, 20.0f);
  Set(stroke, kStrokeBlockCoordExt, kStrokeZScaleEnd, 1000.0f);
  Refresh(stroke);
  std::vector<float> atScreenCentre;
  for (float x = 0.0f; x < 40.0f; x += 1.1f) {
    atScreenCentre.push_back(CoverageAt(stroke, scene.sc, UV(x, 0.5f * x)));
  }
  Set(stroke, kStrokeBlockCoordExt, kStrokeOrigin, kStrokeOriginObject);
  Refresh(stroke);
  EXPECT_FALSE(stroke.Values().objectOrigin);
  size_t k = 0;
  for (float x = 0.0f; x < 40.0f; x += 1.1f) {
    EXPECT_EQ(CoverageAt(stroke, scene.sc, UV(x, 0.5f * x)), atScreenCentre[k++]) << x;
  }
}

// A stroke map with screen coordinates (the test generator) in `scene`.
class ScreenStroke : public ::testing::Test {
 protected:
  void SetUp() override {
    holder_.Set(PlainStroke());
    auto* gen = dynamic_cast<TestUVGen*>(Stroke_().Generator());
    ASSERT_NE(gen, nullptr);
    gen->MakeScreen();
    Refresh(Stroke_());
  }
  Stroke& Stroke_() { return Made(holder_); }
  float At(StrokeTestScene& scene, float sx, float sy) {
    scene.SetScreen(sx, sy);
    return Stroke_().Evaluate(scene.sc, 0, 1.0f).coverage;
  }

  ScopedTestUVGen generators_;
  ReferenceHolder holder_;
};

TEST_F(ScreenStroke, OneMapUnitIsTheImageHeightOnBothAxes) {
  StrokeTestScene scene;
  const float unit = 100.0f / kUnits;  // pixels per pattern unit
  EXPECT_EQ(At(scene, 100.0f + 10.0f * unit, 50.0f + 10.0f * unit), 1.0f);
  EXPECT_NEAR(At(scene, 100.0f + 14.75f * unit, 50.0f + 10.0f * unit), 0.5f, 5e-3f);
  EXPECT_NEAR(At(scene, 100.0f + 10.0f * unit, 50.0f + 14.75f * unit), 0.5f, 5e-3f);
  EXPECT_EQ(At(scene, 100.0f + 30.0f * unit, 50.0f - 10.0f * unit), 1.0f);
}

TEST_F(ScreenStroke, ObjectOriginAnchorsThePatternAtTheObjectsProjectedCentre) {
  Set(Stroke_(), kStrokeBlockCoordExt, kStrokeOrigin, kStrokeOriginObject);
  Refresh(Stroke_());
  EXPECT_TRUE(Stroke_().Values().objectOrigin);
  StrokeTestScene centred(Point3(0.0f, 0.0f, -10.0f));
  // Projects to device (100 + 2 * 100 / 10, 50 - 1 * 100 / 10) = (120, 40).
  StrokeTestScene moved(Point3(2.0f, 1.0f, -10.0f));
  for (float dx = -20.0f; dx < 20.0f; dx += 0.9f) {
    for (float dy = -20.0f; dy < 20.0f; dy += 1.3f) {
      ASSERT_NEAR(At(moved, 120.0f + dx, 40.0f + dy), At(centred, 100.0f + dx, 50.0f + dy), 2e-3f)
          << dx << " " << dy;
    }
  }
  // In the material editor the pattern stays on the screen centre.
  moved.sc.inMtlEditor = true;
  centred.sc.inMtlEditor = true;
  EXPECT_EQ(At(moved, 100.0f + 10.0f * 100.0f / kUnits, 50.0f + 10.0f * 100.0f / kUnits), 1.0f);
}

TEST_F(ScreenStroke, DepthReductionScalesThePatternBetweenStartAndEndDepths) {
  Set(Stroke_(), kStrokeBlockCoordExt, kStrokeOrigin, kStrokeOriginObject);
  Refresh(Stroke_());
  StrokeTestScene scene(Point3(0.0f, 0.0f, -10.0f));
  std::vector<float> plain;
  for (float d = -15.0f; d < 15.0f; d += 0.7f) plain.push_back(At(scene, 100.0f + d, 50.0f + d));
  // Start 5, end 20, object at depth 10: the pattern shrinks to half its size.
  Set(Stroke_(), kStrokeBlockCoordExt, kStrokeZScaleStart, 5.0f);
  Set(Stroke_(), kStrokeBlockCoordExt, kStrokeZScaleEnd, 20.0f);
  Refresh(Stroke_());
  size_t k = 0;
  for (float d = -15.0f; d < 15.0f; d += 0.7f) {
    EXPECT_NEAR(At(scene, 100.0f + 0.5f * d, 50.0f + 0.5f * d), plain[k++], 2e-3f) << d;
  }
  // Start 40 beyond the object and the end: the pattern grows by 40 / 20.
  Set(Stroke_(), kStrokeBlockCoordExt, kStrokeZScaleStart, 40.0f);
  Refresh(Stroke_());
  k = 0;
  for (float d = -15.0f; d < 15.0f; d += 0.7f) {
    EXPECT_NEAR(At(scene, 100.0f + 0.5f * d, 50.0f + 0.5f * d), plain[k++], 2e-3f) << d;
  }
}

TEST(StrokeMap, SurfaceShiftMovesThePatternAlongTheNormalsScreenDirection) {
  ReferenceHolder holder(PlainStroke());
  Stroke& stroke = Made(holder);
  StrokeTestScene scene(Point3(0.0f, 0.0f, -10.0f));
  scene.sc.SetAllNormals(Point3(1.0f, 0.0f, 1.0f));
  std::vector<float> plain;
  for (float x = 0.0f; x < 40.0f; x += 0.8f)
    plain.push_back(CoverageAt(stroke, scene.sc, UV(x, 10.0f)));
  Set(stroke, kStrokeBlockMain, kStrokeSurface, 100.0f);
  Refresh(stroke);
  // k = 1 x n_z / (y-scale x depth), x -= n_x k x-scale: x moves by 0.05 map units.
  const float shift = 0.5f * 1.0f / (100.0f * 10.0f) * 100.0f * kUnits;
  ASSERT_FLOAT_EQ(shift, 24.0f);
  size_t k = 0;
  for (float x = 0.0f; x < 40.0f; x += 0.8f) {
    EXPECT_NEAR(CoverageAt(stroke, scene.sc, UV(x - shift, 10.0f)), plain[k++], 2e-3f) << x;
  }
  // Facing the camera, or without a node, nothing moves.
  scene.sc.SetAllNormals(Point3(0.0f, 0.0f, 1.0f));
  EXPECT_EQ(CoverageAt(stroke, scene.sc, UV(10.0f, 10.0f)), 1.0f);
  scene.sc.SetAllNormals(Point3(1.0f, 0.0f, 1.0f));
  scene.sc.node = nullptr;
  EXPECT_EQ(CoverageAt(stroke, scene.sc, UV(10.0f, 10.0f)), 1.0f);
}

TEST(StrokeMap, ColourMapLiesOverTheStrokeColourByItsOpacity) {
  ReferenceHolder holder(PlainStroke());
  Stroke& stroke = Made(holder);
  Set(stroke, kStrokeBlockMain, kStrokeColor, Color(0.0f, 0.0f, 1.0f));
  Set(stroke, kStrokeBlockMain, kStrokeMapOpacity, 50.0f);
  stroke.SetSubTexmap(0, new ColourMap(AColor(1.0f, 0.0f, 0.0f, 1.0f)));
  EXPECT_EQ(stroke.Block(kStrokeBlockMain)->GetReferenceTarget(kStrokeMap), stroke.GetSubTexmap(0));
  Refresh(stroke);
  FakeShadeContext sc;
  EXPECT_EQ(stroke.Sample(sc, UV(10.0f, 10.0f), 0, 1.0f).colour, Color(0.5f, 0.0f, 0.5f));
  Set(stroke, kStrokeBlockMain, kStrokeMapEnable, false);
  Refresh(stroke);
  EXPECT_EQ(stroke.Sample(sc, UV(10.0f, 10.0f), 0, 1.0f).colour, Color(0.0f, 0.0f, 1.0f));
  // A map that leads back to the stroke map is not used.
  Set(stroke, kStrokeBlockMain, kStrokeMapEnable, true);
  stroke.SetSubTexmap(0, &stroke);
  Refresh(stroke);
  EXPECT_EQ(stroke.Sample(sc, UV(10.0f, 10.0f), 0, 1.0f).colour, Color(0.0f, 0.0f, 1.0f));
  stroke.SetSubTexmap(0, nullptr);
}

TEST(StrokeMap, ColourRangeZeroKeepsTheColourAndARangeVariesIt) {
  ReferenceHolder holder(PlainStroke());
  Stroke& stroke = Made(holder);
  Set(stroke, kStrokeBlockMain, kStrokeColor, Color(0.3f, 0.5f, 0.7f));
  Refresh(stroke);
  FakeShadeContext sc;
  for (int i = 0; i < 10; ++i) {
    const StrokeResult r = stroke.Sample(sc, UV(20.0f * i + 10.0f, 10.0f), 0, 1.0f);
    ASSERT_EQ(r.coverage, 1.0f);
    EXPECT_EQ(r.colour, Color(0.3f, 0.5f, 0.7f)) << i;
  }
  Set(stroke, kStrokeBlockColorMod, kStrokeColorModG, 20.0f);
  Refresh(stroke);
  float lo = 1.0f, hi = 0.0f;
  for (int i = 0; i < 10; ++i) {
    const Color c = stroke.Sample(sc, UV(20.0f * i + 10.0f, 10.0f), 0, 1.0f).colour;
    EXPECT_EQ(c.r, 0.3f);
    EXPECT_EQ(c.b, 0.7f);
    EXPECT_LE(std::fabs(c.g - 0.5f), 0.2f + 1e-6f);
    lo = std::min(lo, c.g), hi = std::max(hi, c.g);
  }
  EXPECT_GT(hi - lo, 0.1f);
}

TEST(StrokeMap, BothProfilesOffKeepWidthAndOpacityWhateverTheCurves) {
  ReferenceHolder holder(PlainStroke());
  Stroke& stroke = Made(holder);
  Set(stroke, kStrokeBlockMain, kStrokeLength, 60.0f);
  Refresh(stroke);
  FakeShadeContext sc;
  std::vector<float> plain;
  for (float x = 0.0f; x < 100.0f; x += 1.7f) plain.push_back(CoverageAt(stroke, sc, UV(x, 8.0f)));
  for (CurveControl* curve : {stroke.SizeCurve(), stroke.AlphaCurve()}) {
    curve->GetControlCurve(0)->SetPoint(
        0, 0, {.p = {0.0f, 0.0f}, .in = {}, .out = {}, .flags = CURVEP_CORNER});
    curve->GetControlCurve(0)->SetPoint(
        0, 1, {.p = {1.0f, 0.0f}, .in = {}, .out = {}, .flags = CURVEP_CORNER});
  }
  Refresh(stroke);
  size_t k = 0;
  for (float x = 0.0f; x < 100.0f; x += 1.7f) {
    EXPECT_EQ(CoverageAt(stroke, sc, UV(x, 8.0f)), plain[k++]) << x;
  }
  // Switched on, the zero curves take every stroke away.
  Set(stroke, kStrokeBlockDampSize, kStrokeDampSizeEnable, true);
  Refresh(stroke);
  EXPECT_EQ(CoverageAt(stroke, sc, UV(40.0f, 10.0f)), 0.0f);
}

TEST(StrokeMap, ProfilesFollowCurveEditsAfterTheNextUpdateOnly) {
  ReferenceHolder holder(PlainStroke());
  Stroke& stroke = Made(holder);
  Set(stroke, kStrokeBlockDampAlpha, kStrokeDampAlphaEnable, true);
  Refresh(stroke);
  FakeShadeContext sc;
  ASSERT_EQ(CoverageAt(stroke, sc, UV(10.0f, 10.0f)), 1.0f);
  ICurve* curve = stroke.AlphaCurve()->GetControlCurve(0);
  curve->SetPoint(0, 0, {.p = {0.0f, 0.25f}, .in = {}, .out = {}, .flags = CURVEP_CORNER});
  curve->SetPoint(0, 1, {.p = {1.0f, 0.25f}, .in = {}, .out = {}, .flags = CURVEP_CORNER});
  // The working copy holds its own copy of the curve until the next update.
  EXPECT_EQ(CoverageAt(stroke, sc, UV(10.0f, 10.0f)), 1.0f);
  Refresh(stroke);
  EXPECT_FLOAT_EQ(CoverageAt(stroke, sc, UV(10.0f, 10.0f)), 0.25f);
}

TEST(StrokeMap, ShadeStrokeBlendsByOpacityTimesAlphaTimesCoverage) {
  ReferenceHolder holder(PlainStroke());
  Stroke& stroke = Made(holder);
  Set(stroke, kStrokeBlockMain, kStrokeColor, Color(0.2f, 0.4f, 1.0f));
  Set(stroke, kStrokeBlockMain, kStrokeBlend, 3);  // multiply
  Set(stroke, kStrokeBlockMain, kStrokeAlpha, 50.0f);
  Refresh(stroke);
  FakeShadeContext sc;
  sc.SetUVW(1, Point3(UV(10.0f, 10.0f).x, UV(10.0f, 10.0f).y, 0.0f));
  Color zone(0.5f, 0.5f, 0.5f);
  EXPECT_FLOAT_EQ(stroke.ShadeStroke(sc, 0.8f, zone, 0, 1.0f), 0.4f);
  // Multiply gives (0.1, 0.2, 0.5); 0.4 of the way there.
  EXPECT_NEAR(zone.r, 0.34f, 1e-6f);
  EXPECT_NEAR(zone.g, 0.38f, 1e-6f);
  EXPECT_NEAR(zone.b, 0.5f, 1e-6f);

  // Half way out of the dot the coverage halves.
  sc.SetUVW(1, Point3(UV(14.75f, 10.0f).x, UV(14.75f, 10.0f).y, 0.0f));
  zone = Color(0.5f, 0.5f, 0.5f);
  EXPECT_NEAR(stroke.ShadeStroke(sc, 1.0f, zone, 0, 1.0f), 0.25f, 1e-3f);

  // Between the dots nothing changes.
  sc.SetUVW(1, Point3(UV(0.0f, 0.0f).x, UV(0.0f, 0.0f).y, 0.0f));
  zone = Color(0.5f, 0.5f, 0.5f);
  EXPECT_EQ(stroke.ShadeStroke(sc, 1.0f, zone, 0, 1.0f), 0.0f);
  EXPECT_EQ(zone, Color(0.5f, 0.5f, 0.5f));
}

TEST(StrokeMap, ShadeStrokeUsesEachBlendMode) {
  ReferenceHolder holder(PlainStroke());
  Stroke& stroke = Made(holder);
  const Color colour(0.9f, 0.3f, 0.6f);
  Set(stroke, kStrokeBlockMain, kStrokeColor, colour);
  FakeShadeContext sc;
  sc.SetUVW(1, Point3(UV(10.0f, 10.0f).x, UV(10.0f, 10.0f).y, 0.0f));
  for (int index = 0; index < kNumBlendModes; ++index) {
    Set(stroke, kStrokeBlockMain, kStrokeBlend, index);
    Refresh(stroke);
    Color zone(0.25f, 0.5f, 0.75f);
    Color expected = zone;
    BlendColor(expected, colour, 0.6f, BlendModeOfIndex(index));
    EXPECT_FLOAT_EQ(stroke.ShadeStroke(sc, 0.6f, zone, 0, 1.0f), 0.6f);
    EXPECT_EQ(zone, expected) << index;
  }
}

TEST(StrokeMap, ShadeStrokeCarriesSeedAndScaleToTheSample) {
  ReferenceHolder holder(PlainStroke());
  Stroke& stroke = Made(holder);
  Set(stroke, kStrokeBlockCoordExt, kStrokeRandomU, 0.5f);
  Refresh(stroke);
  FakeShadeContext sc;
  int compared = 0;
  for (float x = 0.0f; x < 50.0f; x += 1.3f) {
    const Point2 uv = UV(x, 20.0f / 3.0f);  // on the first row of dots at scale 1.5
    sc.SetUVW(1, Point3(uv.x, uv.y, 0.0f));
    Color zone(1.0f, 1.0f, 1.0f);
    const float k = stroke.ShadeStroke(sc, 1.0f, zone, 9, 1.5f);
    EXPECT_EQ(k, stroke.Sample(sc, uv, 9, 1.5f).coverage) << x;
    compared += k > 0.0f;
  }
  EXPECT_GT(compared, 5);
}

TEST(StrokeMap, ConcurrentShadingGivesTheResultsOfOneThread) {
  ReferenceHolder holder(new Stroke);
  Stroke& stroke = Made(holder);
  Set(stroke, kStrokeBlockMain, kStrokeLength, 30.0f);
  Set(stroke, kStrokeBlockMain, kStrokeAngleRnd, 40.0f);
  Set(stroke, kStrokeBlockMain, kStrokeWidthRnd, 50.0f);
  Set(stroke, kStrokeBlockMain, kStrokeHrnd, 60.0f);
  Set(stroke, kStrokeBlockDampSize, kStrokeDampSizeEnable, true);
  Set(stroke, kStrokeBlockDampSize, kStrokeDampSizeRandom, 50.0f);
  Set(stroke, kStrokeBlockDampAlpha, kStrokeDampAlphaEnable, true);
  Set(stroke, kStrokeBlockColorMod, kStrokeColorModType, kColorRangeHSV);
  Set(stroke, kStrokeBlockMain, kStrokeColor, Color(0.8f, 0.3f, 0.1f));
  stroke.SizeCurve()->GetControlCurve(0)->SetPoint(
      0, 0, {.p = {0.0f, 0.0f}, .in = {}, .out = {}, .flags = CURVEP_CORNER});
  Refresh(stroke);

  constexpr int kSamples = 3000;
  auto run = [&](int first, int step, std::vector<Color>& colours, std::vector<float>& ks) {
    FakeShadeContext sc;
    for (int i = first; i < kSamples; i += step) {
      sc.SetUVW(1, Point3(0.003f * i, 0.0017f * i + 0.2f, 0.0f));
      Color zone(0.5f, 0.6f, 0.7f);
      ks[static_cast<size_t>(i)] = stroke.ShadeStroke(sc, 0.9f, zone, i % 5, 1.0f);
      colours[static_cast<size_t>(i)] = zone;
    }
  };
  std::vector<Color> single(kSamples), parallel(kSamples);
  std::vector<float> singleK(kSamples), parallelK(kSamples);
  run(0, 1, single, singleK);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] { run(t, 4, parallel, parallelK); });
  }
  for (std::thread& t : threads) t.join();
  int covered = 0;
  for (size_t i = 0; i < kSamples; ++i) {
    ASSERT_EQ(parallelK[i], singleK[i]) << i;
    ASSERT_EQ(parallel[i], single[i]) << i;
    covered += singleK[i] > 0.0f;
  }
  EXPECT_GT(covered, 100);
}

TEST(StrokeMap, PlainSamplesArePremultipliedAndStrokeContextsGiveSeedScaleAndColour) {
  ReferenceHolder holder(PlainStroke());
  Stroke& stroke = Made(holder);
  Set(stroke, kStrokeBlockMain, kStrokeColor, Color(0.2f, 0.6f, 1.0f));
  Refresh(stroke);
  FakeShadeContext sc;
  sc.SetUVW(1, Point3(UV(14.75f, 10.0f).x, UV(14.75f, 10.0f).y, 0.0f));
  const AColor plain = stroke.EvalColor(sc);
  EXPECT_NEAR(plain.a, 0.5f, 2e-3f);
  EXPECT_NEAR(plain.g, 0.6f * plain.a, 1e-6f);
  EXPECT_NEAR(stroke.EvalMono(sc), 0.6f * plain.a, 1e-6f);

  // Scale 2 puts the same coordinates on the dot's rim at 9.5 units.
  StrokeShadeContext strokeContext(sc, 0, 2.0f);
  const AColor scaled = stroke.EvalColor(strokeContext);
  EXPECT_EQ(scaled.a, 0.0f);
  sc.SetUVW(1, Point3(UV(7.375f, 5.0f).x, UV(7.375f, 5.0f).y, 0.0f));
  StrokeShadeContext onRim(sc, 0, 2.0f);
  const AColor rim = stroke.EvalColor(onRim);
  EXPECT_NEAR(rim.a, 0.5f, 2e-3f);
  EXPECT_EQ(rim.RGB(), Color(0.2f, 0.6f, 1.0f));  // not premultiplied
  EXPECT_NEAR(stroke.EvalMono(onRim), 0.6f, 1e-6f);
}

TEST(StrokeMap, BumpFollowsTheCoverageAcrossADotsEdge) {
  ReferenceHolder holder(PlainStroke());
  Stroke& stroke = Made(holder);
  Set(stroke, kStrokeBlockMain, kStrokeColor, Color(1.0f, 1.0f, 1.0f));
  Refresh(stroke);
  FakeShadeContext sc;
  sc.SetDPdUVW(1, Point3(1.0f, 0.0f, 0.0f), Point3(0.0f, 1.0f, 0.0f));
  // On the right rim the value falls as u grows; on the dot's centre it is flat.
  sc.SetUVW(1, Point3(UV(14.75f, 10.0f).x, UV(14.75f, 10.0f).y, 0.0f));
  const Point3 rim = stroke.EvalNormalPerturb(sc);
  EXPECT_LT(rim.x, 0.0f);
  EXPECT_NEAR(rim.y, 0.0f, 1e-3f);
  sc.SetUVW(1, Point3(UV(10.0f, 10.0f).x, UV(10.0f, 10.0f).y, 0.0f));
  EXPECT_EQ(stroke.EvalNormalPerturb(sc), Point3());
}

// Values spread over all five blocks, for clone and save / load.
struct SetRow {
  int block;
  ParamID id;
  PB2Value value;
};
const SetRow kSetRows[] = {
    {0, kStrokeRandomU, 12.0f},
    {0, kStrokeOrigin, 1},
    {1, kStrokeWidth, 3.5f},
    {1, kStrokeColor, Color(0.1f, 0.2f, 0.3f)},
    {1, kStrokeBlend, 5},
    {1, kStrokeHspase, 4.0f},
    {2, kStrokeDampSizeEnable, 1},
    {2, kStrokeDampSizeRandom, 30.0f},
    {3, kStrokeDampAlphaRandom, 7.0f},
    {4, kStrokeColorModType, 1},
    {4, kStrokeColorModB, 40.0f},
};

Stroke* EditedStroke() {
  auto* stroke = new Stroke;
  for (const SetRow& row : kSetRows) stroke->Block(row.block)->SetValue(row.id, 0, row.value);
  stroke->SetSubTexmap(0, new ColourMap(AColor(0.0f, 1.0f, 0.0f, 1.0f)));
  stroke->SizeCurve()->GetControlCurve(0)->SetPoint(
      0, 1, {.p = {1.0f, 0.3f}, .in = {}, .out = {}, .flags = CURVEP_CORNER | CURVEP_ENDPOINT});
  stroke->SetName("#3");
  return stroke;
}

void ExpectEdited(Stroke& stroke) {
  for (const SetRow& row : kSetRows) {
    PB2Value got;
    Interval valid = FOREVER;
    ASSERT_TRUE(stroke.Block(row.block)->GetValue(row.id, 0, got, valid));
    EXPECT_EQ(got, row.value) << "block " << row.block << " id " << row.id;
  }
  auto* map = dynamic_cast<ColourMap*>(stroke.GetSubTexmap(0));
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(map->colour, AColor(0.0f, 1.0f, 0.0f, 1.0f));
  EXPECT_FLOAT_EQ(stroke.SizeCurve()->GetControlCurve(0)->GetPoint(0, 1).p.y, 0.3f);
  EXPECT_FLOAT_EQ(stroke.AlphaCurve()->GetControlCurve(0)->GetPoint(0, 1).p.y, 1.0f);
  EXPECT_STREQ(stroke.GetName(), "#3");
  EXPECT_FLOAT_EQ(stroke.Values().width, 3.5f);
  EXPECT_TRUE(stroke.Values().dampSizeEnable);
}

TEST(StrokeMap, CloneKeepsValuesMapAndCurvesInItsOwnObjects) {
  ScopedTestUVGen generators;
  ReferenceHolder original(EditedStroke());
  Stroke& from = Made(original);
  ReferenceHolder copy(CloneRefHierarchy(&from));
  Stroke& to = Made(copy);
  ExpectEdited(to);
  for (int i = 0; i < kStrokeNumRefs; ++i) {
    ASSERT_NE(from.GetReference(i), nullptr) << i;
    EXPECT_NE(to.GetReference(i), from.GetReference(i)) << i;
  }
  to.SizeCurve()->GetControlCurve(0)->SetNumPts(3);
  EXPECT_EQ(from.SizeCurve()->GetControlCurve(0)->GetNumPts(), 2);
}

TEST(StrokeMap, SlotsRefuseObjectsOfTheWrongKind) {
  ReferenceHolder holder(new Stroke);
  Stroke& stroke = Made(holder);
  ReferenceHolder map(new ColourMap);
  EXPECT_EQ(stroke.TryReplaceReference(kStrokeBlockMain, stroke.Block(kStrokeBlockCoordExt)),
            REF_FAIL);
  EXPECT_EQ(stroke.TryReplaceReference(kStrokeMapRef, stroke.SizeCurve()), REF_FAIL);
  EXPECT_EQ(stroke.TryReplaceReference(kStrokeUVGenRef, map.Get()), REF_FAIL);
  EXPECT_EQ(stroke.TryReplaceReference(kStrokeAlphaCurveRef, map.Get()), REF_FAIL);
  EXPECT_NE(stroke.Block(kStrokeBlockMain), nullptr);
  EXPECT_EQ(stroke.GetSubTexmap(0), nullptr);
}

GraphLoadResult SaveAndLoad(ReferenceTarget* root) {
  MemorySave out;
  ReferenceTarget* roots[] = {root};
  std::string error;
  EXPECT_TRUE(SaveReferenceGraph(out, roots, &error)) << error;
  return LoadReferenceGraph(out.Bytes());
}

TEST(StrokeMap, SavesAndLoadsEverything) {
  ScopedStrokeClasses classes;
  ScopedTestUVGen generators;
  ReferenceHolder original(EditedStroke());
  GraphLoadResult loaded = SaveAndLoad(original.Get());
  ASSERT_TRUE(loaded) << loaded.error;
  EXPECT_TRUE(loaded.graph->warnings.empty());
  auto* stroke = dynamic_cast<Stroke*>(loaded.graph->Root(0));
  ASSERT_NE(stroke, nullptr);
  ExpectEdited(*stroke);
  EXPECT_NE(stroke->Generator(), nullptr);
  EXPECT_EQ(stroke->TryReplaceReference(kStrokeSizeCurveRef, stroke->GetSubTexmap(0)), REF_FAIL);
}

TEST(StrokeMap, LoadFillsMissingSlotsAndDropsObjectsOfTheWrongKind) {
  ScopedStrokeClasses classes;
  ReferenceHolder original(EditedStroke());
  Stroke& stroke = Made(original);
  stroke.DeleteReference(kStrokeBlockColorMod);
  stroke.DeleteReference(kStrokeAlphaCurveRef);
  GraphLoadResult first = SaveAndLoad(&stroke);
  ASSERT_TRUE(first) << first.error;
  auto* repaired = dynamic_cast<Stroke*>(first.graph->Root(0));
  ASSERT_NE(repaired, nullptr);
  ASSERT_NE(repaired->Block(kStrokeBlockColorMod), nullptr);
  EXPECT_FLOAT_EQ(repaired->Block(kStrokeBlockColorMod)->GetFloat(kStrokeColorModR), 6.0f);
  ASSERT_NE(repaired->AlphaCurve(), nullptr);
  EXPECT_EQ(repaired->AlphaCurve()->GetControlCurve(0)->GetNumPts(), 2);
  EXPECT_FLOAT_EQ(repaired->SizeCurve()->GetControlCurve(0)->GetPoint(0, 1).p.y, 0.3f);
  EXPECT_EQ(repaired->Block(kStrokeBlockMain)->GetInt(kStrokeBlend), 5);
  // The generator is made when the host offers one.
  EXPECT_EQ(repaired->Generator(), nullptr);
}

// A stroke map as a damaged file would hold it: a map where a block
// belongs and a block where the generator belongs.
class DamagedStroke : public ReferenceTarget {
 public:
  DamagedStroke() {
    ReplaceReference(kStrokeBlockMain, new ColourMap);
    ReplaceReference(kStrokeUVGenRef, CreateParameterBlock2(StrokeBlockDesc(0), this));
  }
  Class_ID ClassID() override { return kStrokeClassID; }
  SClass_ID SuperClassID() override { return TEXMAP_CLASS_ID; }
  int NumRefs() override { return kStrokeNumRefs; }
  ReferenceTarget* GetReference(int i) override {
    return i >= 0 && i < kStrokeNumRefs ? refs_[i] : nullptr;
  }

 protected:
  void SetReference(int i, ReferenceTarget* target) override {
    if (i >= 0 && i < kStrokeNumRefs) refs_[i] = target;
  }

 private:
  ReferenceTarget* refs_[kStrokeNumRefs] = {};
};

TEST(StrokeMap, LoadReplacesObjectsOfTheWrongKindWithDefaultsAndWarns) {
  ScopedStrokeClasses classes;
  ScopedTestUVGen generators;
  ReferenceHolder holder(new DamagedStroke);
  GraphLoadResult loaded = SaveAndLoad(holder.Get());
  ASSERT_TRUE(loaded) << loaded.error;
  // One warning per dropped object (the loader adds its own for what
  // nothing references any more).
  int dropped = 0;
  for (const std::string& w : loaded.graph->warnings) {
    dropped += w == "stroke map slot 1 held an object of the wrong kind; it was dropped" ||
               w == "stroke map slot 5 held an object of the wrong kind; it was dropped";
  }
  EXPECT_EQ(dropped, 2);
  auto* stroke = dynamic_cast<Stroke*>(loaded.graph->Root(0));
  ASSERT_NE(stroke, nullptr);
  for (int b = 0; b < kStrokeNumBlocks; ++b) EXPECT_NE(stroke->Block(b), nullptr) << b;
  EXPECT_FLOAT_EQ(stroke->Block(kStrokeBlockMain)->GetFloat(kStrokeWidth), 5.0f);
  EXPECT_NE(dynamic_cast<TestUVGen*>(stroke->Generator()), nullptr);
  EXPECT_NE(stroke->SizeCurve(), nullptr);
  EXPECT_NE(stroke->AlphaCurve(), nullptr);
  FakeShadeContext sc;
  sc.SetUVW(1, Point3(UV(10.0f, 10.0f).x, UV(10.0f, 10.0f).y, 0.0f));
  EXPECT_EQ(stroke->EvalColor(sc).a, 1.0f);
}

TEST(StrokeMap, ResetBringsBackDefaultsAndFlatCurves) {
  ScopedTestUVGen generators;
  ReferenceHolder holder(EditedStroke());
  Stroke& stroke = Made(holder);
  auto* gen = dynamic_cast<TestUVGen*>(stroke.Generator());
  ASSERT_NE(gen, nullptr);
  gen->MakeScreen();
  stroke.Reset();
  Refresh(stroke);
  EXPECT_FLOAT_EQ(stroke.Values().width, 5.0f);
  EXPECT_EQ(stroke.Values().origin, kStrokeOriginScreen);
  EXPECT_EQ(stroke.GetSubTexmap(0), nullptr);
  EXPECT_EQ(gen->mapping, UVMAP_EXPLICIT);
  EXPECT_FLOAT_EQ(stroke.SizeCurve()->GetControlCurve(0)->GetPoint(0, 1).p.y, 1.0f);
}

TEST(StrokeClassDesc, DescribesTheStrokeMap) {
  ClassDesc2* cd = GetStrokeDesc();
  EXPECT_EQ(cd->SuperClassID(), TEXMAP_CLASS_ID);
  EXPECT_EQ(cd->ClassID(), Class_ID(0x54022257, 0x0814C4F5));
  EXPECT_STREQ(cd->InternalName(), "Tarnis_Stroke");
  EXPECT_STREQ(cd->ClassName(), "Tarnis Stroke");
  EXPECT_STREQ(cd->Category(), "Maps");  // listed with the host's 2D maps
  EXPECT_EQ(cd->IsPublic(), 0);
  ReferenceHolder made(static_cast<ReferenceTarget*>(cd->Create(false)));
  ASSERT_NE(made.GetAs<Stroke>(), nullptr);
  EXPECT_NE(made.GetAs<Stroke>()->Block(kStrokeBlockColorMod), nullptr);
  EXPECT_NE(dynamic_cast<ZoneStroke*>(made.Get()), nullptr);
  ReferenceHolder empty(static_cast<ReferenceTarget*>(cd->Create(true)));
  EXPECT_EQ(empty.GetAs<Stroke>()->Block(kStrokeBlockMain), nullptr);
}

}  // namespace
}  // namespace tarnis
