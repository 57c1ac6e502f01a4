// Tests of the curve control: values at x with known answers, point editing
// in x order, save and load, cloning, undo and change messages.
#include "sdk/curve_control.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "sdk/class_desc.h"
#include "sdk/hold.h"
#include "sdk/ref_graph.h"
#include "sdk/save_load.h"
#include "sdk/testing/test_objects.h"

namespace {

CurvePoint Pt(float x, float y, int flags = 0, Point2 in = {}, Point2 out = {}) {
  return {Point2(x, y), in, out, flags};
}

// A control with one curve made of `pts`, kept alive by its holder.
struct Fixture {
  explicit Fixture(std::vector<CurvePoint> pts) : holder(new CurveControl) {
    control = holder.GetAs<CurveControl>();
    curve = control->GetControlCurve(0);
    curve->SetNumPts(0);
    for (const CurvePoint& p : pts) curve->Insert(curve->GetNumPts(), p);
  }
  ReferenceHolder holder;
  CurveControl* control;
  ICurve* curve;
};

// (0,0) to (1,1), leaving flat and arriving flat: symmetric about (0.5, 0.5).
std::vector<CurvePoint> SCurve() {
  return {Pt(0, 0, CURVEP_BEZIER, {}, Point2(0.5f, 0)),
          Pt(1, 1, CURVEP_BEZIER, Point2(-0.5f, 0), {})};
}

std::vector<uint8_t> SaveControl(CurveControl& c) {
  MemorySave out;
  EXPECT_EQ(c.Save(&out), IO_OK);
  return out.Bytes();
}

}  // namespace

TEST(CurveControl, NewControlIsTheStraightDefaultLine) {
  ReferenceHolder keep(new CurveControl);
  auto* c = keep.GetAs<CurveControl>();
  ASSERT_EQ(c->GetNumCurves(), 1);
  EXPECT_EQ(c->GetXRange(), Point2(0, 1));
  EXPECT_EQ(c->GetYRange(), Point2(0, 1));
  ICurve* curve = c->GetControlCurve(0);
  EXPECT_EQ(curve->Points(), CurveControl::DefaultPoints());
  for (float x : {0.0f, 0.25f, 0.5f, 0.9f}) EXPECT_NEAR(curve->GetValue(0, x), x, 1e-6f);
  // Switching Bézier on for both ends keeps the line straight.
  for (int i = 0; i < 2; ++i) {
    CurvePoint p = curve->GetPoint(0, i);
    p.flags |= CURVEP_BEZIER;
    curve->SetPoint(0, i, p);
  }
  for (float x : {0.1f, 0.25f, 0.7f}) EXPECT_NEAR(curve->GetValue(0, x), x, 1e-5f);
  EXPECT_EQ(c->GetControlCurve(1), nullptr);
  EXPECT_EQ(c->GetControlCurve(-1), nullptr);
}

TEST(CurveControl, ValuesOutsideThePointsKeepTheEndValues) {
  Fixture f({Pt(0.2f, 0.7f), Pt(0.5f, 0.1f), Pt(0.8f, 0.4f)});
  const std::pair<float, float> cases[] = {
      {-100.0f, 0.7f},
      {0.0f, 0.7f},
      {0.2f, 0.7f},
      {0.8f, 0.4f},
      {1.0f, 0.4f},
      {1e30f, 0.4f},
      {std::numeric_limits<float>::quiet_NaN(), 0.7f},
  };
  for (auto [x, y] : cases) EXPECT_FLOAT_EQ(f.curve->GetValue(0, x), y) << "x = " << x;
  Fixture empty({});
  EXPECT_EQ(empty.curve->GetValue(0, 0.5f), 0.0f);
}

TEST(CurveControl, SymmetricSCurveHasKnownValues) {
  Fixture f(SCurve());
  EXPECT_NEAR(f.curve->GetValue(0, 0.5f), 0.5f, 1e-6f);
  float previous = -1;
  for (int i = 0; i <= 100; ++i) {
    float x = i / 100.0f;
    float y = f.curve->GetValue(0, x);
    EXPECT_NEAR(y + f.curve->GetValue(0, 1 - x), 1.0f, 2e-6f) << "x = " << x;
    EXPECT_GE(y, previous) << "x = " << x;
    previous = y;
  }
  // Flat ends: an ease-in below the diagonal on the left half.
  EXPECT_LT(f.curve->GetValue(0, 0.1f), 0.05f);
}

TEST(CurveControl, BezierSegmentMatchesTheCubicAtKnownParameters) {
  // Handles a third of the width in x make x(u) = u, so y(x) is the cubic
  // with control values 0, 1, 1, 0: y(u) = 3u(1-u).
  const float third = 1.0f / 3.0f;
  Fixture f({Pt(0, 0, CURVEP_BEZIER, {}, Point2(third, 1)),
             Pt(1, 0, CURVEP_BEZIER, Point2(-third, 1), {})});
  for (float u : {0.1f, 0.25f, 0.5f, 0.8f}) {
    EXPECT_NEAR(f.curve->GetValue(0, u), 3 * u * (1 - u), 1e-5f) << "u = " << u;
  }
  // Without CURVEP_BEZIER the same handles are ignored: a straight line.
  Fixture linear({Pt(0, 0, 0, {}, Point2(third, 1)), Pt(1, 0, 0, Point2(-third, 1), {})});
  EXPECT_EQ(linear.curve->GetValue(0, 0.5f), 0.0f);
}

TEST(CurveControl, HandlesPastTheSegmentAreShortenedAlongTheirDirection) {
  // An out handle along the diagonal reaching far past the segment, an end
  // without handles: the curve stays on the diagonal.
  Fixture f({Pt(0, 0, CURVEP_BEZIER, {}, Point2(5, 5)), Pt(1, 1)});
  for (float x : {0.05f, 0.3f, 0.6f, 0.95f}) EXPECT_NEAR(f.curve->GetValue(0, x), x, 1e-5f);
  // The handle (2, 1) on a segment 1 wide is used as (1, 0.5): with the end
  // (1, 0) linear, u = 0.5 gives x = 1 - (1 - u)^3 = 0.875 and
  // y = 3 (1 - u)^2 u 0.5 = 0.1875.
  Fixture shortened({Pt(0, 0, CURVEP_BEZIER, {}, Point2(2, 1)), Pt(1, 0)});
  EXPECT_NEAR(shortened.curve->GetValue(0, 0.875f), 0.1875f, 1e-5f);
  // Handles pointing backwards in x still give a single value per x.
  Fixture back(
      {Pt(0, 0, CURVEP_BEZIER, {}, Point2(-2, 3)), Pt(1, 1, CURVEP_BEZIER, Point2(2, -3), {})});
  for (int i = 0; i <= 20; ++i) EXPECT_TRUE(std::isfinite(back.curve->GetValue(0, i / 20.0f)));
}

TEST(CurveControl, InsertedPointsGoInXOrderAndTheCurvePassesThroughThem) {
  Fixture f({Pt(0, 0), Pt(1, 1)});
  // Asked for index 0, but x = 0.5 belongs between the two points.
  EXPECT_EQ(f.curve->Insert(0, Pt(0.5f, 0.9f)), 1);
  EXPECT_FLOAT_EQ(f.curve->GetValue(0, 0.5f), 0.9f);
  EXPECT_FLOAT_EQ(f.curve->GetValue(0, 0.25f), 0.45f);
  EXPECT_EQ(f.curve->Insert(1, Pt(2, 0)), 3);
  EXPECT_EQ(f.curve->GetNumPts(), 4);
  EXPECT_EQ(f.curve->Insert(0, Pt(NAN, 0)), -1);
  EXPECT_EQ(f.curve->GetNumPts(), 4);
  EXPECT_TRUE(f.curve->Delete(1));
  EXPECT_FALSE(f.curve->Delete(3));
  EXPECT_FLOAT_EQ(f.curve->GetValue(0, 0.5f), 0.5f);
}

TEST(CurveControl, MovedPointsKeepXOrder) {
  struct Case {
    const char* what;
    CurvePoint moved;  // new value of point 1
    bool checkConstraints;
    std::vector<float> expectedX;
  };
  const Case cases[] = {
      {"clamped at the right neighbour", Pt(0.9f, 0), true, {0, 0.6f, 0.6f, 1}},
      {"clamped at the left neighbour", Pt(-1, 0), true, {0, 0, 0.6f, 1}},
      {"free point moves past its neighbour",
       Pt(0.9f, 0, CURVEP_NO_X_CONSTRAINT),
       true,
       {0, 0.6f, 0.9f, 1}},
      {"stored as given without constraints", Pt(0.9f, 0), false, {0, 0.9f, 0.6f, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fixture f({Pt(0, 0), Pt(0.3f, 0.3f), Pt(0.6f, 0.6f), Pt(1, 1)});
    ASSERT_TRUE(f.curve->SetPoint(0, 1, c.moved, c.checkConstraints));
    std::vector<float> xs;
    for (const CurvePoint& p : f.curve->Points()) xs.push_back(p.p.x);
    EXPECT_EQ(xs, c.expectedX);
  }
}

TEST(CurveControl, PointsSetOutOfOrderAreValuedInXOrder) {
  // A reader setting a whole curve point by point passes through states out
  // of x order; values then follow the points sorted by x.
  Fixture f({Pt(0, 0), Pt(0.1f, 0.1f), Pt(0.2f, 0.2f), Pt(1, 1)});
  const CurvePoint wanted[] = {Pt(0, 1), Pt(0.5f, 0.0f), Pt(0.6f, 0.2f), Pt(1, 0)};
  f.curve->SetPoint(0, 0, wanted[0], false);
  f.curve->SetPoint(0, 1, wanted[1], false);
  EXPECT_FLOAT_EQ(f.curve->GetValue(0, 0.1f), 0.6f);  // between (0,1) and (0.2,0.2)
  f.curve->SetPoint(0, 2, wanted[2], false);
  f.curve->SetPoint(0, 3, wanted[3], false);
  EXPECT_EQ(f.curve->Points(), std::vector<CurvePoint>(wanted, wanted + 4));
  EXPECT_FLOAT_EQ(f.curve->GetValue(0, 0.25f), 0.5f);
}

TEST(CurveControl, RefusesCountsAndCoordinatesOutOfBounds) {
  Fixture f({Pt(0, 0), Pt(1, 1)});
  EXPECT_FALSE(f.curve->SetNumPts(-1));
  EXPECT_FALSE(f.curve->SetNumPts(ICurve::kMaxPoints + 1));
  EXPECT_EQ(f.curve->GetNumPts(), 2);
  EXPECT_TRUE(f.curve->SetNumPts(3));
  EXPECT_EQ(f.curve->GetPoint(0, 2), Pt(1, 1));  // a copy of the last point
  EXPECT_FALSE(f.curve->SetPoint(0, 3, Pt(0, 0)));
  EXPECT_FALSE(f.curve->SetPoint(0, 0, Pt(0, INFINITY)));
  EXPECT_EQ(f.curve->GetPoint(0, 0), Pt(0, 0));
  EXPECT_FALSE(f.control->SetNumCurves(CurveControl::kMaxCurves + 1));
  EXPECT_TRUE(f.control->SetNumCurves(3));
  EXPECT_EQ(f.control->GetControlCurve(0), f.curve);  // existing curves stay put
  EXPECT_EQ(f.control->GetControlCurve(2)->Points(), CurveControl::DefaultPoints());
}

TEST(CurveControl, SaveAndLoadRoundTrip) {
  Fixture f(SCurve());
  f.control->SetNumCurves(2);
  f.control->GetControlCurve(1)->Insert(
      1, Pt(0.5f, -2, CURVEP_SELECTED, Point2(-0.1f, 0.2f), Point2(0.1f, -0.2f)));
  f.control->SetXRange(-1, 2);
  f.control->SetYRange(-3, 3);
  f.control->SetCCFlags(0xABCD);
  std::vector<uint8_t> bytes = SaveControl(*f.control);

  ReferenceHolder keep(new CurveControl);
  auto* loaded = keep.GetAs<CurveControl>();
  MemoryLoad in(bytes);
  ASSERT_EQ(loaded->Load(&in), IO_OK);
  EXPECT_EQ(loaded->GetXRange(), Point2(-1, 2));
  EXPECT_EQ(loaded->GetYRange(), Point2(-3, 3));
  EXPECT_EQ(loaded->GetCCFlags(), 0xABCDu);
  ASSERT_EQ(loaded->GetNumCurves(), 2);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(loaded->GetControlCurve(i)->Points(), f.control->GetControlCurve(i)->Points());
  }
  EXPECT_EQ(SaveControl(*loaded), bytes);
}

TEST(CurveControl, DamagedDataIsRefusedAndLeavesTheControlAsItWas) {
  Fixture f(SCurve());
  std::vector<uint8_t> good = SaveControl(*f.control);
  auto loadInto = [](std::span<const uint8_t> bytes, ReferenceHolder& keep) {
    MemoryLoad in(bytes);
    return keep.GetAs<CurveControl>()->Load(&in);
  };
  // Every prefix cut inside a chunk is refused.
  const size_t rangesChunk = 6 + 5 * 4;
  for (size_t n = 1; n < good.size(); ++n) {
    if (n == rangesChunk) continue;  // ends between chunks: a control without curves
    ReferenceHolder keep(new CurveControl);
    EXPECT_EQ(loadInto(std::span(good.data(), n), keep), IO_ERROR) << n;
    EXPECT_EQ(keep.GetAs<CurveControl>()->GetControlCurve(0)->Points(),
              CurveControl::DefaultPoints());
  }
  // A point count far beyond the data, and a NaN coordinate.
  std::vector<uint8_t> hugeCount = good;
  const size_t countAt = rangesChunk + 6;
  std::memset(hugeCount.data() + countAt, 0xFF, 4);
  std::vector<uint8_t> nan = good;
  const float quietNaN = std::numeric_limits<float>::quiet_NaN();
  std::memcpy(nan.data() + countAt + 4, &quietNaN, 4);
  for (const auto* bad : {&hugeCount, &nan}) {
    ReferenceHolder keep(new CurveControl);
    EXPECT_EQ(loadInto(*bad, keep), IO_ERROR);
  }
}

TEST(CurveControl, CloneIsIndependentAndHasNoOwner) {
  Fixture f(SCurve());
  TestTarget owner;
  f.control->SetOwner(&owner);
  f.control->SetXRange(0, 4);
  ReferenceHolder copyHolder(CloneRefHierarchy(f.control));
  auto* copy = copyHolder.GetAs<CurveControl>();
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->GetOwner(), nullptr);
  EXPECT_EQ(copy->GetXRange(), Point2(0, 4));
  EXPECT_EQ(copy->GetControlCurve(0)->Points(), f.curve->Points());
  copy->GetControlCurve(0)->Delete(0);
  EXPECT_EQ(f.curve->GetNumPts(), 2);
  f.control->SetOwner(nullptr);
}

TEST(CurveControl, EditsAreUndoneAndRedone) {
  Fixture f({Pt(0, 0), Pt(1, 1)});
  theHold.Reset();
  theHold.Begin();
  f.curve->Insert(1, Pt(0.5f, 0.9f));
  f.curve->SetPoint(0, 0, Pt(0, 0.4f));
  f.control->SetYRange(0, 2);
  theHold.Accept("Curve edit");
  const std::vector<CurvePoint> edited = f.curve->Points();
  ASSERT_TRUE(theHold.Undo());
  EXPECT_EQ(f.curve->Points(), (std::vector<CurvePoint>{Pt(0, 0), Pt(1, 1)}));
  EXPECT_EQ(f.control->GetYRange(), Point2(0, 1));
  ASSERT_TRUE(theHold.Redo());
  EXPECT_EQ(f.curve->Points(), edited);
  EXPECT_EQ(f.control->GetYRange(), Point2(0, 2));
  theHold.Reset();
}

TEST(CurveControl, EditsTellDependentsUnlessAskedNotTo) {
  Fixture f({Pt(0, 0), Pt(1, 1)});
  TestTarget watcher(1);
  watcher.ReplaceReference(0, f.control);
  f.curve->SetPoint(0, 1, Pt(1, 0.5f));
  EXPECT_EQ(watcher.CountHeard(REFMSG_CHANGE), 1);
  f.curve->SetPoint(0, 1, Pt(1, 0.2f), true, /*notify=*/false);
  EXPECT_EQ(watcher.CountHeard(REFMSG_CHANGE), 1);
  f.curve->Insert(1, Pt(0.5f, 0.5f));
  EXPECT_EQ(watcher.CountHeard(REFMSG_CHANGE), 2);
  watcher.DeleteAllRefs();
}

TEST(CurveControl, IsMadeByTheClassDirectoryAndSurvivesAGraphRoundTrip) {
  void* made = CreateInstance(REF_MAKER_CLASS_ID, CURVE_CONTROL_CLASS_ID);
  ASSERT_NE(made, nullptr);
  ReferenceHolder keep(static_cast<ReferenceTarget*>(made));
  auto* c = keep.GetAs<CurveControl>();
  ASSERT_NE(c, nullptr);
  c->GetControlCurve(0)->Insert(1, Pt(0.3f, 0.8f, CURVEP_BEZIER));
  MemorySave out;
  ReferenceTarget* roots[] = {c};
  ASSERT_TRUE(SaveReferenceGraph(out, roots));
  GraphLoadResult loaded = LoadReferenceGraph(out.Bytes());
  ASSERT_TRUE(loaded) << loaded.error;
  auto* back = dynamic_cast<CurveControl*>(loaded.graph->Root(0));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->GetControlCurve(0)->Points(), c->GetControlCurve(0)->Points());
}
