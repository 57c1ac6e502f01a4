// Matrix3 products, the rotation and scale builders, Inverse, NormalMatrix
// and LookAtMatrix declared in matrix3.h.
#include "sdk/matrix3.h"

#include <cmath>
#include <limits>

void Matrix3::RotateX(float radians) {
  *this = *this * RotateXMatrix(radians);
}
void Matrix3::RotateY(float radians) {
  *this = *this * RotateYMatrix(radians);
}
void Matrix3::RotateZ(float radians) {
  *this = *this * RotateZMatrix(radians);
}
void Matrix3::Scale(const Point3& s) {
  *this = *this * ScaleMatrix(s);
}

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

float Matrix3::Determinant() const {
  return DotProd(m_[0], m_[1] % m_[2]);
}

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

namespace {

struct Vec3d {
  double x, y, z;
};

Vec3d toDouble(const Point3& p) {
  return {p.x, p.y, p.z};
}
Vec3d cross(const Vec3d& a, const Vec3d& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double dot(const Vec3d& a, const Vec3d& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
double length(const Vec3d& a) {
  return std::sqrt(dot(a, a));
}

bool allFinite(const Matrix3& m) {
  for (int i = 0; i < 4; ++i) {
    const Point3& r = m.GetRow(i);
    if (!std::isfinite(r.x) || !std::isfinite(r.y) || !std::isfinite(r.z)) return false;
  }
  return true;
}

}  // namespace

Matrix3 Inverse(const Matrix3& m) {
  // Work in double so tiny but regular scales (1e-20) neither underflow the
  // determinant nor overflow its reciprocal.
  Vec3d a = toDouble(m.GetRow(0)), b = toDouble(m.GetRow(1)), c = toDouble(m.GetRow(2));
  Vec3d bc = cross(b, c), ca = cross(c, a), ab = cross(a, b);
  double det = dot(a, bc);
  // Rows whose spanned volume, relative to their lengths, is below float
  // precision are coplanar as far as the stored floats can tell: singular.
  double volumeScale = length(a) * length(b) * length(c);
  if (!(std::fabs(det) > std::numeric_limits<float>::epsilon() * volumeScale)) return Matrix3();
  // The inverse's columns are (b x c, c x a, a x b) / det.
  double inv = 1.0 / det;
  auto row = [&](double u, double v, double w) { return Point3(u * inv, v * inv, w * inv); };
  Matrix3 r(row(bc.x, ca.x, ab.x), row(bc.y, ca.y, ab.y), row(bc.z, ca.z, ab.z), {0, 0, 0});
  r.SetTrans(-VectorTransform(r, m.GetTrans()));
  return allFinite(r) ? r : Matrix3();
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
  // A camera on its own target has no direction: look down world -z.
  if (z.LengthSquared() == 0.0f) z = Point3(0.0f, 0.0f, 1.0f);
  Point3 x = Normalize(up % z);
  if (x.LengthSquared() == 0.0f) {
    // Looking along `up`: any perpendicular will do.
    x = Normalize(Point3(0.0f, 1.0f, 0.0f) % z);
    if (x.LengthSquared() == 0.0f) x = Point3(1.0f, 0.0f, 0.0f);
  }
  Point3 y = z % x;
  return Matrix3(x, y, z, from);
}
