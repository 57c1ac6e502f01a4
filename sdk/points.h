// Point2, Point3 and Point4: the SDK's small vectors of floats. Plain value
// types with the usual arithmetic; `%` is the cross product of two Point3s and
// `*` between two Point3s is NOT defined (use DotProd) to keep the two apart.
#pragma once

#include <cmath>
#include <type_traits>

struct Point2 {
  float x = 0.0f, y = 0.0f;

  constexpr Point2() = default;
  constexpr Point2(float x_, float y_) : x(x_), y(y_) {}

  float& operator[](int i) { return i == 0 ? x : y; }
  float operator[](int i) const { return i == 0 ? x : y; }

  constexpr Point2 operator-() const { return {-x, -y}; }
  constexpr Point2 operator+(const Point2& b) const { return {x + b.x, y + b.y}; }
  constexpr Point2 operator-(const Point2& b) const { return {x - b.x, y - b.y}; }
  constexpr Point2 operator*(float f) const { return {x * f, y * f}; }
  constexpr Point2 operator/(float f) const { return {x / f, y / f}; }
  Point2& operator+=(const Point2& b) {
    x += b.x;
    y += b.y;
    return *this;
  }
  Point2& operator-=(const Point2& b) {
    x -= b.x;
    y -= b.y;
    return *this;
  }
  Point2& operator*=(float f) {
    x *= f;
    y *= f;
    return *this;
  }
  constexpr bool operator==(const Point2&) const = default;

  float Length() const { return std::sqrt(x * x + y * y); }
  constexpr float LengthSquared() const { return x * x + y * y; }
};

constexpr Point2 operator*(float f, const Point2& p) {
  return p * f;
}
constexpr float DotProd(const Point2& a, const Point2& b) {
  return a.x * b.x + a.y * b.y;
}
// The z component of the 3-D cross product: positive when b turns left from a.
constexpr float CrossProd(const Point2& a, const Point2& b) {
  return a.x * b.y - a.y * b.x;
}
inline float Length(const Point2& p) {
  return p.Length();
}
// Unit vector in p's direction; the zero vector stays zero.
inline Point2 Normalize(const Point2& p) {
  float l = p.Length();
  return l > 0.0f ? p / l : p;
}

struct Point3 {
  float x = 0.0f, y = 0.0f, z = 0.0f;

  constexpr Point3() = default;
  // Any mix of arithmetic types, so Point3(0, 0.5f, 1.0) needs no casts.
  template <class X, class Y, class Z>
  requires std::is_arithmetic_v<X> && std::is_arithmetic_v<Y> && std::is_arithmetic_v<Z>
  constexpr Point3(X x_, Y y_, Z z_) : x(float(x_)), y(float(y_)), z(float(z_)) {}

  static constexpr Point3 Origin() { return {0.0f, 0.0f, 0.0f}; }
  static constexpr Point3 XAxis() { return {1.0f, 0.0f, 0.0f}; }
  static constexpr Point3 YAxis() { return {0.0f, 1.0f, 0.0f}; }
  static constexpr Point3 ZAxis() { return {0.0f, 0.0f, 1.0f}; }

  float& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
  float operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }

  constexpr Point3 operator-() const { return {-x, -y, -z}; }
  constexpr Point3 operator+(const Point3& b) const { return {x + b.x, y + b.y, z + b.z}; }
  constexpr Point3 operator-(const Point3& b) const { return {x - b.x, y - b.y, z - b.z}; }
  constexpr Point3 operator*(float f) const { return {x * f, y * f, z * f}; }
  constexpr Point3 operator/(float f) const { return {x / f, y / f, z / f}; }
  // Cross product.
  constexpr Point3 operator%(const Point3& b) const {
    return {y * b.z - z * b.y, z * b.x - x * b.z, x * b.y - y * b.x};
  }
  Point3& operator+=(const Point3& b) {
    x += b.x;
    y += b.y;
    z += b.z;
    return *this;
  }
  Point3& operator-=(const Point3& b) {
    x -= b.x;
    y -= b.y;
    z -= b.z;
    return *this;
  }
  Point3& operator*=(float f) {
    x *= f;
    y *= f;
    z *= f;
    return *this;
  }
  Point3& operator/=(float f) {
    x /= f;
    y /= f;
    z /= f;
    return *this;
  }
  constexpr bool operator==(const Point3&) const = default;

  float Length() const { return std::sqrt(x * x + y * y + z * z); }
  constexpr float LengthSquared() const { return x * x + y * y + z * z; }
  // Largest absolute component.
  float MaxComponent() const {
    return std::fmax(std::fabs(x), std::fmax(std::fabs(y), std::fabs(z)));
  }
};

constexpr Point3 operator*(float f, const Point3& p) {
  return p * f;
}
constexpr float DotProd(const Point3& a, const Point3& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
constexpr Point3 CrossProd(const Point3& a, const Point3& b) {
  return a % b;
}
// Component-wise product.
constexpr Point3 MultComponents(const Point3& a, const Point3& b) {
  return {a.x * b.x, a.y * b.y, a.z * b.z};
}
inline float Length(const Point3& p) {
  return p.Length();
}
// Unit vector in p's direction; the zero vector stays zero.
inline Point3 Normalize(const Point3& p) {
  float l = p.Length();
  return l > 0.0f ? p / l : p;
}

struct Point4 {
  float x = 0.0f, y = 0.0f, z = 0.0f, w = 0.0f;

  constexpr Point4() = default;
  constexpr Point4(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}
  constexpr Point4(const Point3& p, float w_) : x(p.x), y(p.y), z(p.z), w(w_) {}

  float& operator[](int i) { return i == 0 ? x : (i == 1 ? y : (i == 2 ? z : w)); }
  float operator[](int i) const { return i == 0 ? x : (i == 1 ? y : (i == 2 ? z : w)); }

  constexpr Point4 operator-() const { return {-x, -y, -z, -w}; }
  constexpr Point4 operator+(const Point4& b) const { return {x + b.x, y + b.y, z + b.z, w + b.w}; }
  constexpr Point4 operator-(const Point4& b) const { return {x - b.x, y - b.y, z - b.z, w - b.w}; }
  constexpr Point4 operator*(float f) const { return {x * f, y * f, z * f, w * f}; }
  constexpr Point4 operator/(float f) const { return {x / f, y / f, z / f, w / f}; }
  constexpr bool operator==(const Point4&) const = default;

  constexpr Point3 XYZ() const { return {x, y, z}; }
};

constexpr float DotProd(const Point4& a, const Point4& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
}
