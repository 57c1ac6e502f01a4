#include "tarnis/line/engine/step_raster.h"

#include <algorithm>
#include <cmath>

#include "tarnis/line/engine/line_canvas.h"

namespace tarnis {

Footprint Footprint::From(float stretchPercent, float angleDegrees, bool mirror) {
  Footprint f;
  const float sigma = stretchPercent * 0.01f;
  if (sigma > 0.0f) f.alongScale = 5.0f * sigma + 1.0f;
  if (sigma < 0.0f) f.crossScale = 1.0f - 5.0f * sigma;
  const float a = (mirror ? -angleDegrees : angleDegrees) * 0.017453292f;
  f.cosA = std::cos(a);
  f.sinA = std::sin(a);
  return f;
}

float HalfWidth(float size, float edgeSoftness, int n) {
  const float r =
      size < 2.0f ? (edgeSoftness + 1.0f) * size / 2.0f : (size + 1.0f + edgeSoftness) / 2.0f;
  return r * static_cast<float>(n);
}

namespace {

inline float depthAt(float za, float zb, float f, bool parallel) {
  if (parallel) return za + (zb - za) * f;
  const float den = (za - zb) * f + zb;
  return den != 0.0f ? za * zb / den : za;
}

inline Color lerp(const Color& a, const Color& b, float f) {
  return Color(a.r + (b.r - a.r) * f, a.g + (b.g - a.g) * f, a.b + (b.b - a.b) * f);
}

}  // namespace

void StepRaster::Flat(const StepEnd& a, const StepEnd& b) const {
  LineCanvas& c = *canvas;
  const float n = static_cast<float>(c.N());
  const float invScale = c.InvScale();
  const Point2 A = a.p * n, B = b.p * n;
  const Point2 d = B - A;
  const float len2 = d.LengthSquared();
  const float len = std::sqrt(len2);
  const Point2 u = len > 0.0f ? d * (1.0f / len) : Point2(1.0f, 0.0f);
  const float maxR = std::max(a.radius, b.radius);
  if (!(maxR > 0.0f)) return;
  const int x0 = std::max(0, static_cast<int>(std::floor(std::min(A.x, B.x) - maxR - 1.0f)));
  const int x1 =
      std::min(c.SuperWidth() - 1, static_cast<int>(std::ceil(std::max(A.x, B.x) + maxR + 1.0f)));
  LineCanvas::Band& rows = band ? *band : c.WholeBand();
  const int y0 =
      std::max(rows.rowBegin, static_cast<int>(std::floor(std::min(A.y, B.y) - maxR - 1.0f)));
  const int y1 =
      std::min(rows.rowEnd - 1, static_cast<int>(std::ceil(std::max(A.y, B.y) + maxR + 1.0f)));
  if (y0 > y1 || x0 > x1) return;
  // Cap offsets are measured in the footprint's axes, each shrunk by its scale.
  const Footprint& fp = footprint;
  auto capDistance2 = [&](Point2 off) {
    const float along = (off.x * fp.cosA + off.y * fp.sinA) * fp.alongScale;
    const float cross = (-off.x * fp.sinA + off.y * fp.cosA) * fp.crossScale;
    return along * along + cross * cross;
  };
  for (int y = y0; y <= y1; ++y) {
    const float py = static_cast<float>(y) + 0.5f;
    // Along a row, |q| <= maxR holds on one stretch of x: visit only that.
    int xa = x0, xb = x1;
    if (len > 0.0f && std::fabs(u.y) > 1e-6f) {
      const float base = u.x * (py - A.y);
      float lo = A.x + (base - maxR) / u.y, hi = A.x + (base + maxR) / u.y;
      if (lo > hi) std::swap(lo, hi);
      xa = std::max(x0, static_cast<int>(std::floor(lo - 0.5f)));
      xb = std::min(x1, static_cast<int>(std::ceil(hi - 0.5f)));
    }
    for (int x = xa; x <= xb; ++x) {
      const Point2 P(static_cast<float>(x) + 0.5f, py);
      const Point2 w = P - A;
      const float along = len > 0.0f ? DotProd(w, u) : 0.0f;
      const float f = len > 0.0f ? along / len : -1.0f;
      const float q = CrossProd(u, w);
      const float fc = std::clamp(f, 0.0f, 1.0f);
      const float R = a.radius + (b.radius - a.radius) * fc;
      if (std::fabs(q) > R) continue;
      float coverage;
      if (f >= 0.0f && f <= 1.0f) {
        coverage = std::min(1.0f, (R - std::fabs(q)) * invScale);
      } else {
        const Point2 off = f < 0.0f ? w : P - B;
        const float g = capDistance2(off);
        if (g >= R * R) continue;
        const float o2 = off.LengthSquared();
        coverage =
            g > 0.0f ? std::min(1.0f, (R - std::sqrt(g)) * std::sqrt(o2 / g) * invScale) : 1.0f;
      }
      coverage *= a.alpha + (b.alpha - a.alpha) * fc;
      if (coverage <= 0.0f) continue;
      c.StrokeSample(rows, x, y, coverage, -depthAt(a.depth, b.depth, fc, parallel), key,
                     lerp(a.colour, b.colour, fc));
    }
  }
}

void StepRaster::Stamps(const StepEnd& a, const StepEnd& b, std::span<const uint8_t> raster,
                        int size, bool skipFirst) const {
  LineCanvas& c = *canvas;
  const float n = static_cast<float>(c.N());
  const Point2 A = a.p * n, B = b.p * n;
  const float L = (B - A).Length();
  const int count = 1 + static_cast<int>(std::floor(2.0f * L / n));
  const Footprint& fp = footprint;
  const float half = static_cast<float>(size) * 0.5f;
  LineCanvas::Band& rows = band ? *band : c.WholeBand();
  for (int i = skipFirst ? 1 : 0; i <= count; ++i) {
    const float f = static_cast<float>(i) / static_cast<float>(count);
    const Point2 centre = A + (B - A) * f;
    const float R = a.radius + (b.radius - a.radius) * f;
    if (!(R > 0.0f)) continue;
    const float alpha = a.alpha + (b.alpha - a.alpha) * f;
    const float depth = depthAt(a.depth, b.depth, f, parallel);
    const Color colour = lerp(a.colour, b.colour, f);
    const int x0 = std::max(0, static_cast<int>(std::floor(centre.x - R)));
    const int x1 = std::min(c.SuperWidth() - 1, static_cast<int>(std::ceil(centre.x + R)));
    const int y0 = std::max(rows.rowBegin, static_cast<int>(std::floor(centre.y - R)));
    const int y1 = std::min(rows.rowEnd - 1, static_cast<int>(std::ceil(centre.y + R)));
    for (int y = y0; y <= y1; ++y) {
      for (int x = x0; x <= x1; ++x) {
        const Point2 off(static_cast<float>(x) + 0.5f - centre.x,
                         static_cast<float>(y) + 0.5f - centre.y);
        // Into the stamp's frame: rotate back by the angle, undo the stretch,
        // scale the radius to half the raster.
        const float along = (off.x * fp.cosA + off.y * fp.sinA) * fp.alongScale;
        const float cross = (-off.x * fp.sinA + off.y * fp.cosA) * fp.crossScale;
        const float sx = along / R * half + half - 0.5f;
        const float sy = cross / R * half + half - 0.5f;
        const int ix = static_cast<int>(std::floor(sx)), iy = static_cast<int>(std::floor(sy));
        if (ix < 0 || iy < 0 || ix + 1 >= size || iy + 1 >= size) continue;
        const float fx = sx - static_cast<float>(ix), fy = sy - static_cast<float>(iy);
        auto at = [&](int xx, int yy) {
          return static_cast<float>(raster[static_cast<size_t>(yy * size + xx)]);
        };
        const float grey = (at(ix, iy) * (1 - fx) + at(ix + 1, iy) * fx) * (1 - fy) +
                           (at(ix, iy + 1) * (1 - fx) + at(ix + 1, iy + 1) * fx) * fy;
        const float coverage = grey / 255.0f * alpha;
        if (coverage > 0.0f)
          c.StrokeSample(rows, x, y, std::min(1.0f, coverage), -depth, key, colour);
      }
    }
  }
}

}  // namespace tarnis
