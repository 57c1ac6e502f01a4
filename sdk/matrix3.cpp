#include "sdk/matrix3.h"

#include <cmath>

void Matrix3::RotateX(float radians) { *this = *this * RotateXMatrix(radians); }
void Matrix3::RotateY(float radians) { *this = *this * RotateYMatrix(radians); }
void Matrix3::RotateZ(float radians) { *this = *this * RotateZMatrix(radians); }
void Matrix3::Scale(const Point3& s) { *this = *this * ScaleMatrix(s); }

Matrix3 Matrix3::operator*(const Matrix3& b) const {
  Matrix3 r;
  for (int i = 0; i < 3; ++i) r.m_[i] = VectorTransform(b, m_[i]);
  r.m_[3] = m_[3] * b;
  return r;
}

bool Matrix3::operator==(const Matrix3& b) const {
  for (int i = 0; i < 4; ++i) {
    if (!(m_[i] == b.m_[i])) return false;
  }
  return true;
}

float Matrix3::Determinant() const { return DotProd(m_[0], m_[1] % m_[2]); }

Matrix3 TranslationMatrix(const Point3& p) {
  Matrix3 m;
  m.SetTrans(p);
  return m;
}

// Rotations are counter-clockwise looking down the axis towards the origin
// (right-handed): RotateZMatrix(90 degrees) carries +x to +y.
Matrix3 RotateXMatrix(float radians) {
  float c = std::cos(radians), s = std::sin(radians);
  return Matrix3({1, 0, 0}, {0.0f, c, s}, {0.0f, -s, c}, {0, 0, 0});
}

Matrix3 RotateYMatrix(float radians) {
  float c = std::cos(radians), s = std::sin(radians);
  return Matrix3({c, 0.0f, -s}, {0, 1, 0}, {s, 0.0f, c}, {0, 0, 0});
}

Matrix3 RotateZMatrix(float radians) {
  float c = std::cos(radians), s = std::sin(radians);
  return Matrix3({c, s, 0.0f}, {-s, c, 0.0f}, {0, 0, 1}, {0, 0, 0});
}

Matrix3 ScaleMatrix(const Point3& s) {
  return Matrix3({s.x, 0.0f, 0.0f}, {0.0f, s.y, 0.0f}, {0.0f, 0.0f, s.z}, {0.0f, 0.0f, 0.0f});
}

Matrix3 Inverse(const Matrix3& m) {
  const Point3& a = m.GetRow(0);
  const Point3& b = m.GetRow(1);
  const Point3& c = m.GetRow(2);
  float det = m.Determinant();
  if (det == 0.0f || !std::isfinite(det)) return Matrix3();
  // Rows of the adjugate come from cross products of the rows: the inverse's
  // columns are (b x c, c x a, a x b) / det.
  Point3 bc = b % c, ca = c % a, ab = a % b;
  float inv = 1.0f / det;
  Matrix3 r({bc.x * inv, ca.x * inv, ab.x * inv}, {bc.y * inv, ca.y * inv, ab.y * inv},
            {bc.z * inv, ca.z * inv, ab.z * inv}, {0, 0, 0});
  r.SetTrans(-VectorTransform(r, m.GetTrans()));
  return r;
}

Matrix3 NormalMatrix(const Matrix3& m) {
  Matrix3 inv = Inverse(m);
  // Transpose the 3x3 part of the inverse.
  Matrix3 r({inv.GetRow(0).x, inv.GetRow(1).x, inv.GetRow(2).x},
            {inv.GetRow(0).y, inv.GetRow(1).y, inv.GetRow(2).y},
            {inv.GetRow(0).z, inv.GetRow(1).z, inv.GetRow(2).z}, {0, 0, 0});
  return r;
}

Matrix3 LookAtMatrix(const Point3& from, const Point3& to, const Point3& up) {
  Point3 z = Normalize(from - to);
  Point3 x = Normalize(up % z);
  if (x.LengthSquared() == 0.0f) {
    // Looking along `up`: any perpendicular will do.
    x = Normalize(Point3(0.0f, 1.0f, 0.0f) % z);
    if (x.LengthSquared() == 0.0f) x = Point3(1.0f, 0.0f, 0.0f);
  }
  Point3 y = z % x;
  return Matrix3(x, y, z, from);
}
