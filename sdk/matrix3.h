// Matrix3: an affine transform stored as four rows of three floats. Points
// are row vectors and transform as `p * tm` = p.x*row0 + p.y*row1 + p.z*row2
// + row3, so `a * b` applies a first, then b.
#pragma once

#include "sdk/points.h"

class Matrix3 {
 public:
  // The identity.
  constexpr Matrix3() : m_{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}} {}
  constexpr Matrix3(const Point3& r0, const Point3& r1, const Point3& r2, const Point3& r3)
      : m_{r0, r1, r2, r3} {}

  constexpr const Point3& GetRow(int i) const { return m_[i]; }
  void SetRow(int i, const Point3& p) { m_[i] = p; }
  constexpr const Point3& GetTrans() const { return m_[3]; }
  void SetTrans(const Point3& p) { m_[3] = p; }
  void NoTrans() { m_[3] = Point3(); }
  void IdentityMatrix() { *this = Matrix3(); }
  bool IsIdentity() const { return *this == Matrix3(); }

  // The three columns of the 3x3 part.
  Point3 GetColumn3(int i) const { return {m_[0][i], m_[1][i], m_[2][i]}; }

  // Post-multiplies (applies after the current transform).
  void Translate(const Point3& p) { m_[3] += p; }
  void RotateX(float radians);
  void RotateY(float radians);
  void RotateZ(float radians);
  void Scale(const Point3& s);

  Matrix3 operator*(const Matrix3& b) const;
  Matrix3& operator*=(const Matrix3& b) { return *this = *this * b; }
  bool operator==(const Matrix3& b) const;

  // Determinant of the 3x3 part; negative for a mirroring transform.
  float Determinant() const;
  // True when the transform mirrors (odd number of negative scales).
  bool Parity() const { return Determinant() < 0.0f; }

 private:
  Point3 m_[4];
};

inline Point3 operator*(const Point3& p, const Matrix3& m) {
  const Point3& r0 = m.GetRow(0);
  const Point3& r1 = m.GetRow(1);
  const Point3& r2 = m.GetRow(2);
  const Point3& r3 = m.GetRow(3);
  return {p.x * r0.x + p.y * r1.x + p.z * r2.x + r3.x, p.x * r0.y + p.y * r1.y + p.z * r2.y + r3.y,
          p.x * r0.z + p.y * r1.z + p.z * r2.z + r3.z};
}

// Transforms a direction: the 3x3 part only, no translation.
inline Point3 VectorTransform(const Matrix3& m, const Point3& v) {
  const Point3& r0 = m.GetRow(0);
  const Point3& r1 = m.GetRow(1);
  const Point3& r2 = m.GetRow(2);
  return {v.x * r0.x + v.y * r1.x + v.z * r2.x, v.x * r0.y + v.y * r1.y + v.z * r2.y,
          v.x * r0.z + v.y * r1.z + v.z * r2.z};
}

Matrix3 TranslationMatrix(const Point3& p);
Matrix3 RotateXMatrix(float radians);
Matrix3 RotateYMatrix(float radians);
Matrix3 RotateZMatrix(float radians);
Matrix3 ScaleMatrix(const Point3& s);
// The inverse of an affine transform: m * Inverse(m) is the identity up to
// rounding. A singular matrix (rows coplanar to float precision) or one whose
// inverse would overflow gives the identity rather than infinities.
Matrix3 Inverse(const Matrix3& m);
// The matrix that carries normals: inverse-transpose of the 3x3 part, no
// translation. Normals transformed with it stay perpendicular to surfaces
// transformed with m (they are not renormalised).
Matrix3 NormalMatrix(const Matrix3& m);
// A right-handed orthonormal frame whose row 2 (z axis) points from `to`
// back towards `from`, so its -z axis looks at `to`; row 1 (y) lies in the
// plane of `up` and the view direction, on up's side; translation is `from`.
// This is the camera-to-world matrix of a camera at `from` aimed at `to`.
// When `up` is parallel to the view another perpendicular is chosen; when
// `from` equals `to` the frame looks down world -z.
Matrix3 LookAtMatrix(const Point3& from, const Point3& to, const Point3& up);
