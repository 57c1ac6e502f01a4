// Curve tables against the curves they sample, and the distance changes:
// the alpha floor at the far end and distances measured from a node.
#include "tarnis/line/draw/stroke_damping.h"

#include <gtest/gtest.h>

#include <cmath>

#include "sdk/curve_control.h"
#include "sdk/hold.h"
#include "sdk/reference.h"
#include "tarnis/line/frame/frame_view.h"
#include "tarnis/line/frame/stroke_params.h"

namespace tarnis {
namespace {

TEST(CurveTable, FollowsABezierCurveAndBoundsItsMaximum) {
  ReferenceHolder holder(new CurveControl);
  auto* control = holder.GetAs<CurveControl>();
  ICurve* curve = control->GetControlCurve(0);
  ASSERT_NE(curve, nullptr);
  // 0 -> 1 -> 0 with smooth handles.
  curve->SetNumPts(3);
  curve->SetPoint(0, 0, CurvePoint{Point2(0, 0), Point2(0, 0), Point2(0.2f, 0.6f), CURVEP_BEZIER});
  curve->SetPoint(0, 1,
                  CurvePoint{Point2(0.5f, 1), Point2(-0.2f, 0), Point2(0.2f, 0), CURVEP_BEZIER});
  curve->SetPoint(0, 2, CurvePoint{Point2(1, 0), Point2(-0.2f, 0.6f), Point2(0, 0), CURVEP_BEZIER});
  theHold.Reset();
  CurveTable table;
  EXPECT_FALSE(table.Set());
  EXPECT_FLOAT_EQ(table.At(0.3f), 1.0f);  // unset: no change
  table.Build(control, 0);
  ASSERT_TRUE(table.Set());
  float largest = 0;
  for (int i = 0; i <= 100; ++i) {
    const float x = static_cast<float>(i) / 100.0f;
    EXPECT_NEAR(table.At(x), curve->GetValue(0, x), 2e-3f) << x;
    largest = std::max(largest, curve->GetValue(0, x));
  }
  EXPECT_NEAR(table.Max(), largest, 2e-3f);
  // Outside 0..1 the ends hold.
  EXPECT_FLOAT_EQ(table.At(-3.0f), table.At(0.0f));
  EXPECT_FLOAT_EQ(table.At(7.0f), table.At(1.0f));
  // Bounds are tight where the curve is low: near its ends it stays far
  // below its peak.
  EXPECT_LT(table.MaxOver(0.95f, 1.0f), 0.3f);
  EXPECT_LT(table.MaxOver(0.0f, 0.03f), 0.3f);
  EXPECT_NEAR(table.MaxOver(0.2f, 0.8f), largest, 2e-3f);
  // A bound over a stretch is never below the curve inside it.
  for (float a : {0.0f, 0.1f, 0.45f, 0.7f}) {
    for (float b : {0.05f, 0.3f, 0.55f, 1.0f}) {
      const float bound = table.MaxOver(a, b);
      for (int i = 0; i <= 20; ++i) {
        const float x = std::min(a, b) + std::fabs(b - a) * static_cast<float>(i) / 20.0f;
        EXPECT_GE(bound + 1e-6f, table.At(x)) << a << ".." << b << " at " << x;
      }
    }
  }
}

TEST(DistanceDamping, AlphaFadesFromFullToItsFarValue) {
  DistanceDamping d;
  d.on = true;
  d.curve.BuildFrom([](float x) { return 1.0f - x; });  // full near, 0 far
  d.min = 10.0f;
  d.invRange = 1.0f / 10.0f;
  d.floor = 0.25f;
  EXPECT_FLOAT_EQ(d.At(5.0f), 1.0f);
  EXPECT_FLOAT_EQ(d.At(15.0f), 0.625f);
  EXPECT_FLOAT_EQ(d.At(20.0f), 0.25f);
  EXPECT_FLOAT_EQ(d.At(90.0f), 0.25f);
  EXPECT_FLOAT_EQ(d.Max(), 1.0f);
}

TEST(StrokeDamping, MeasuresFromTheCameraOrFromANode) {
  FrameView view;
  view.projType = PROJ_PARALLEL;
  view.xscale = 10.0f;
  view.yscale = -10.0f;
  view.xc = 50.0f;
  view.yc = 40.0f;
  LineDepth depth;
  depth.size.on = true;
  depth.size.min = 0.0f;
  depth.size.max = 10.0f;
  depth.size.invRange = 0.1f;
  StrokeDamping damping;
  damping.Build(nullptr, nullptr, depth, view, 0);
  ASSERT_FALSE(damping.None());
  // Without a curve the distance change keeps the size; give it one.
  damping.SizeByDistance().curve.BuildFrom([](float x) { return 1.0f - x; });
  damping.Refresh();
  EXPECT_NEAR(damping.SizeFactor(0.5f, Point2(50, 40), -4.0f), 0.6f, 1e-5f);
  EXPECT_NEAR(damping.AlphaFactor(0.5f, Point2(50, 40), -4.0f), 1.0f, 1e-6f);
  // From a node 3 units right of the camera axis at depth -4: the point on
  // the axis at depth -4 is 3 away.
  damping.SizeByDistance().fromNode = true;
  damping.SizeByDistance().nodePosition = Point3(3, 0, -4);
  EXPECT_NEAR(damping.SizeFactor(0.5f, Point2(50, 40), -4.0f), 0.7f, 1e-5f);
  // The screen point 30 pixels right lies on the node: distance 0.
  EXPECT_NEAR(damping.SizeFactor(0.5f, Point2(80, 40), -4.0f), 1.0f, 1e-5f);
}

}  // namespace
}  // namespace tarnis
