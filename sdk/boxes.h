// Axis-aligned boxes (Box2, Box3) and Ray. A new box is empty; adding points
// grows it. An empty box contains nothing and intersects nothing.
#pragma once

#include <algorithm>
#include <limits>

#include "sdk/matrix3.h"
#include "sdk/points.h"

struct Box2 {
  Point2 pmin{std::numeric_limits<float>::max(), std::numeric_limits<float>::max()};
  Point2 pmax{-std::numeric_limits<float>::max(), -std::numeric_limits<float>::max()};

  Box2() = default;
  Box2(const Point2& a, const Point2& b)
      : pmin(std::min(a.x, b.x), std::min(a.y, b.y)),
        pmax(std::max(a.x, b.x), std::max(a.y, b.y)) {}

  void Init() { *this = Box2(); }
  bool IsEmpty() const { return pmin.x > pmax.x || pmin.y > pmax.y; }
  Box2& operator+=(const Point2& p) {
    pmin = {std::min(pmin.x, p.x), std::min(pmin.y, p.y)};
    pmax = {std::max(pmax.x, p.x), std::max(pmax.y, p.y)};
    return *this;
  }
  Box2& operator+=(const Box2& b) {
    if (!b.IsEmpty()) *this += b.pmin, *this += b.pmax;
    return *this;
  }
  bool Contains(const Point2& p) const {
    return p.x >= pmin.x && p.x <= pmax.x && p.y >= pmin.y && p.y <= pmax.y;
  }
  // True when the boxes share at least one point (touching counts).
  bool Intersects(const Box2& b) const {
    return !IsEmpty() && !b.IsEmpty() && pmin.x <= b.pmax.x && b.pmin.x <= pmax.x &&
           pmin.y <= b.pmax.y && b.pmin.y <= pmax.y;
  }
  Point2 Center() const { return (pmin + pmax) * 0.5f; }
  Point2 Width() const { return IsEmpty() ? Point2() : pmax - pmin; }
};

struct Box3 {
  Point3 pmin{std::numeric_limits<float>::max(), std::numeric_limits<float>::max(),
              std::numeric_limits<float>::max()};
  Point3 pmax{-std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(),
              -std::numeric_limits<float>::max()};

  Box3() = default;
  Box3(const Point3& a, const Point3& b) { *this += a, *this += b; }

  void Init() { *this = Box3(); }
  bool IsEmpty() const { return pmin.x > pmax.x || pmin.y > pmax.y || pmin.z > pmax.z; }
  Box3& operator+=(const Point3& p) {
    pmin = {std::min(pmin.x, p.x), std::min(pmin.y, p.y), std::min(pmin.z, p.z)};
    pmax = {std::max(pmax.x, p.x), std::max(pmax.y, p.y), std::max(pmax.z, p.z)};
    return *this;
  }
  Box3& operator+=(const Box3& b) {
    if (!b.IsEmpty()) *this += b.pmin, *this += b.pmax;
    return *this;
  }
  bool Contains(const Point3& p) const {
    return p.x >= pmin.x && p.x <= pmax.x && p.y >= pmin.y && p.y <= pmax.y && p.z >= pmin.z &&
           p.z <= pmax.z;
  }
  bool Intersects(const Box3& b) const {
    return !IsEmpty() && !b.IsEmpty() && pmin.x <= b.pmax.x && b.pmin.x <= pmax.x &&
           pmin.y <= b.pmax.y && b.pmin.y <= pmax.y && pmin.z <= b.pmax.z && b.pmin.z <= pmax.z;
  }
  // Grows the box by d on every side.
  void EnlargeBy(float d) {
    if (IsEmpty()) return;
    pmin -= Point3(d, d, d);
    pmax += Point3(d, d, d);
  }
  Point3 Center() const { return (pmin + pmax) * 0.5f; }
  Point3 Width() const { return IsEmpty() ? Point3() : pmax - pmin; }
  // One of the eight corners; bit 0 picks x, bit 1 y, bit 2 z from pmax.
  Point3 Corner(int i) const {
    return {(i & 1) ? pmax.x : pmin.x, (i & 2) ? pmax.y : pmin.y, (i & 4) ? pmax.z : pmin.z};
  }
};

// The box around the eight transformed corners of b.
inline Box3 operator*(const Box3& b, const Matrix3& m) {
  Box3 r;
  if (b.IsEmpty()) return r;
  for (int i = 0; i < 8; ++i) r += b.Corner(i) * m;
  return r;
}

struct Ray {
  Point3 p;    // origin
  Point3 dir;  // direction, not necessarily unit length
};
