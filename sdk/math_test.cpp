// Tests for the geometric value types: Point3, Matrix3 and the boxes.
#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

#include "sdk/boxes.h"
#include "sdk/matrix3.h"
#include "sdk/points.h"

namespace {

constexpr float kQuarterTurn = std::numbers::pi_v<float> / 2.0f;

void ExpectNear(const Point3& a, const Point3& b, float tol) {
  EXPECT_NEAR(a.x, b.x, tol);
  EXPECT_NEAR(a.y, b.y, tol);
  EXPECT_NEAR(a.z, b.z, tol);
}

void ExpectIdentity(const Matrix3& m, float tol) {
  const Matrix3 id;
  for (int i = 0; i < 4; ++i) ExpectNear(m.GetRow(i), id.GetRow(i), tol);
}

// Affine transforms built as scale, three rotations, then translation, about
// half of them mirrored by a negative scale, a few with sheared rows, and two
// tiny scales whose determinant underflows a float.
std::vector<Matrix3> RandomAffineMatrices() {
  std::mt19937 rng(12345);
  auto draw = [&rng](float lo, float hi) { return std::uniform_real_distribution(lo, hi)(rng); };
  auto draw3 = [&draw](float lo, float hi) {
    return Point3{draw(lo, hi), draw(lo, hi), draw(lo, hi)};
  };
  std::vector<Matrix3> out;
  for (int i = 0; i < 40; ++i) {
    Point3 s = draw3(0.2f, 5.0f);
    if (i % 2) s.y = -s.y;
    if (i % 3 == 0) s.z = -s.z;
    Point3 angles = draw3(-3.14f, 3.14f);
    out.push_back(ScaleMatrix(s) * RotateXMatrix(angles.x) * RotateYMatrix(angles.y) *
                  RotateZMatrix(angles.z) * TranslationMatrix(draw3(-50.0f, 50.0f)));
  }
  for (int i = 0; i < 10; ++i) {
    Matrix3 m(draw3(-2.0f, 2.0f) + Point3::XAxis(), draw3(-2.0f, 2.0f) + Point3::YAxis(),
              draw3(-2.0f, 2.0f) + 3.0f * Point3::ZAxis(), draw3(-50.0f, 50.0f));
    if (std::fabs(m.Determinant()) > 0.1f) out.push_back(m);
  }
  for (float tiny : {1e-13f, 1e-18f}) {
    out.push_back(ScaleMatrix({tiny, 2.0f * tiny, tiny}) * TranslationMatrix({1, 2, 3}));
  }
  return out;
}

}  // namespace

TEST(Matrix3, TimesItsInverseIsIdentityIncludingMirrors) {
  for (const Matrix3& m : RandomAffineMatrices()) {
    ExpectIdentity(m * Inverse(m), 2e-4f);
    ExpectIdentity(Inverse(m) * m, 2e-4f);
    EXPECT_EQ(Inverse(m).Parity(), m.Parity());
  }
}

TEST(Matrix3, RotationsTurnCounterClockwiseAboutTheirAxis) {
  struct Case {
    Matrix3 m;
    Point3 from, to;
  };
  const Case cases[] = {
      {RotateZMatrix(kQuarterTurn), Point3::XAxis(), Point3::YAxis()},
      {RotateZMatrix(kQuarterTurn), Point3::YAxis(), -Point3::XAxis()},
      {RotateXMatrix(kQuarterTurn), Point3::YAxis(), Point3::ZAxis()},
      {RotateXMatrix(kQuarterTurn), Point3::ZAxis(), -Point3::YAxis()},
      {RotateYMatrix(kQuarterTurn), Point3::ZAxis(), Point3::XAxis()},
      {RotateYMatrix(kQuarterTurn), Point3::XAxis(), -Point3::ZAxis()},
      {RotateZMatrix(-kQuarterTurn), Point3::XAxis(), -Point3::YAxis()},
  };
  for (const Case& c : cases) {
    ExpectNear(c.from * c.m, c.to, 1e-6f);
    EXPECT_NEAR(c.m.Determinant(), 1.0f, 1e-6f);
  }
  // The cross product follows the same right-handed rule.
  EXPECT_EQ(Point3::XAxis() % Point3::YAxis(), Point3::ZAxis());
}

TEST(Matrix3, ProductAppliesTheLeftOperandFirst) {
  Matrix3 move = TranslationMatrix({1, 0, 0}), turn = RotateZMatrix(kQuarterTurn);
  ExpectNear(Point3() * (move * turn), Point3(0, 1, 0), 1e-6f);
  ExpectNear(Point3() * (turn * move), Point3(1, 0, 0), 1e-6f);
  // The in-place operations also apply after what the matrix already does.
  Matrix3 m = move;
  m.RotateZ(kQuarterTurn);
  m.Scale({2, 2, 2});
  m.Translate({0, 0, 5});
  ExpectNear(Point3() * m, Point3(0, 2, 5), 1e-6f);

  std::vector<Matrix3> ms = RandomAffineMatrices();
  Point3 p(0.3f, -1.2f, 2.5f);
  for (size_t i = 0; i + 1 < ms.size(); ++i) {
    ExpectNear(p * (ms[i] * ms[i + 1]), (p * ms[i]) * ms[i + 1], 2e-3f);
  }
}

TEST(Matrix3, NormalMatrixKeepsNormalsPerpendicularToTransformedSurfaces) {
  const Point3 t1(0.3f, -0.8f, 0.5f), t2(-0.6f, 0.1f, 0.9f);
  for (const Matrix3& m : RandomAffineMatrices()) {
    Matrix3 nm = NormalMatrix(m);
    EXPECT_EQ(nm.GetTrans(), Point3());
    Point3 n2 = Normalize(VectorTransform(nm, t1 % t2));
    Point3 s1 = Normalize(VectorTransform(m, t1)), s2 = Normalize(VectorTransform(m, t2));
    EXPECT_NEAR(DotProd(n2, s1), 0.0f, 1e-4f);
    EXPECT_NEAR(DotProd(n2, s2), 0.0f, 1e-4f);
  }
  // Squashing z by 4 turns a 45-degree slope's normal towards z: (1,0,1) -> (1,0,4).
  Point3 n = VectorTransform(NormalMatrix(ScaleMatrix({1, 1, 0.25f})), Point3(1, 0, 1));
  EXPECT_NEAR(n.z / n.x, 4.0f, 1e-5f);
}

TEST(Matrix3, InverseOfASingularMatrixIsTheIdentity) {
  const Point3 a(0.1f, 0.7f, -0.3f), b(1.3f, -0.2f, 0.9f);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const Matrix3 singular[] = {
      ScaleMatrix({1, 0, 1}),
      Matrix3({1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {1, 1, 1}),
      Matrix3({0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}),
      Matrix3(a, b, a * 0.3f + b * 0.7f, {2, 3, 4}),  // coplanar rows up to rounding
      Matrix3({nan, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}),
      ScaleMatrix({1e-40f, 1e-40f, 1e-40f}),  // regular, but the inverse overflows floats
  };
  for (size_t i = 0; i < std::size(singular); ++i) {
    EXPECT_TRUE(Inverse(singular[i]).IsIdentity()) << "case " << i;
  }
}

TEST(Matrix3, DeterminantSignTellsMirrors) {
  EXPECT_NEAR((ScaleMatrix({2, 3, 4}) * RotateXMatrix(0.5f)).Determinant(), 24.0f, 1e-5f);
  EXPECT_TRUE((ScaleMatrix({1, 1, -2}) * TranslationMatrix({9, 9, 9})).Parity());
  EXPECT_FALSE((ScaleMatrix({-1, -1, 1}) * RotateYMatrix(1.0f)).Parity());
  EXPECT_FALSE(ScaleMatrix({1, 0, 1}).Parity());
}

TEST(Matrix3, LookAtMatrixPointsMinusZAtTheTarget) {
  struct Case {
    Point3 from, to, up;
  };
  const Case cases[] = {
      {{10, -12, 8}, {0, 0, 1}, {0, 0, 1}}, {{0, 0, 10}, {0, 0, 0}, {0, 1, 0}},
      {{3, 4, 5}, {-1, 2, 0}, {0, 0, 7}},  // up not unit length
      {{0, 0, 10}, {0, 0, 0}, {0, 0, 1}},  // looking straight down along up
      {{0, 5, 0}, {0, -5, 0}, {0, 1, 0}},  // looking along -up
      {{1, 2, 3}, {1, 2, 3}, {0, 0, 1}},   // on its own target
  };
  for (const Case& c : cases) {
    Matrix3 m = LookAtMatrix(c.from, c.to, c.up);
    EXPECT_EQ(m.GetTrans(), c.from);
    EXPECT_NEAR(m.Determinant(), 1.0f, 1e-5f);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(m.GetRow(i).Length(), 1.0f, 1e-5f);
    EXPECT_NEAR(DotProd(m.GetRow(0), m.GetRow(1)), 0.0f, 1e-5f);
    if (c.from == c.to) continue;
    ExpectNear(-m.GetRow(2), Normalize(c.to - c.from), 1e-5f);
    EXPECT_NEAR(DotProd(m.GetRow(0), c.up), 0.0f, 1e-4f);
    if ((Normalize(c.up) % m.GetRow(2)).Length() > 1e-3f) {
      EXPECT_GT(DotProd(m.GetRow(1), c.up), 0.0f);
    }
  }
  ExpectNear(LookAtMatrix({0, 0, 10}, {0, 0, 0}, {0, 1, 0}).GetRow(0), Point3::XAxis(), 1e-6f);
}

TEST(Box3, TransformedBoxIsTheTightBoxOfTransformedCorners) {
  const Box3 box(Point3(-1, 2, 0), Point3(3, 2.5f, 4));
  for (const Matrix3& m : RandomAffineMatrices()) {
    Box3 moved = box * m;
    Box3 expected;
    for (int i = 0; i < 8; ++i) {
      EXPECT_TRUE(moved.Contains(box.Corner(i) * m));
      expected += box.Corner(i) * m;
    }
    EXPECT_EQ(moved.pmin, expected.pmin);
    EXPECT_EQ(moved.pmax, expected.pmax);
    ExpectNear(moved.Center(), box.Center() * m, 1e-3f);
  }
  EXPECT_TRUE((Box3() * RotateZMatrix(1.0f)).IsEmpty());
}

TEST(Box3, EmptyBoxesContainAndIntersectNothing) {
  Box3 empty, unit(Point3(0, 0, 0), Point3(1, 1, 1));
  empty.EnlargeBy(5.0f);
  EXPECT_TRUE(empty.IsEmpty());
  EXPECT_FALSE(empty.Contains(Point3()));
  EXPECT_FALSE(empty.Intersects(unit));
  EXPECT_FALSE(unit.Intersects(empty));
  EXPECT_FALSE(Box2().Intersects(Box2(Point2(0, 0), Point2(2, 3))));
  // Touching faces share points; a gap of any size does not.
  EXPECT_TRUE(unit.Intersects(Box3(Point3(1, 0, 0), Point3(2, 1, 1))));
  EXPECT_FALSE(unit.Intersects(Box3(Point3(1.001f, 0, 0), Point3(2, 1, 1))));
  unit += empty;
  EXPECT_EQ(unit.Width(), Point3(1, 1, 1));
}
