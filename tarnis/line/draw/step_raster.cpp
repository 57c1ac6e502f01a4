#include "tarnis/line/draw/step_raster.h"

#include <algorithm>
#include <cmath>

#include "sdk/angles.h"
#include "tarnis/line/draw/line_canvas.h"
#include "tarnis/line/draw/line_noise.h"
#include "tarnis/line/draw/stroke_damping.h"

namespace tarnis {

Footprint Footprint::From(float stretchPercent, float angleDegrees, bool mirror) {
  Footprint f;
  const float sigma = stretchPercent * 0.01f;
  if (sigma > 0.0f) f.alongScale = 5.0f * sigma + 1.0f;
  if (sigma < 0.0f) f.crossScale = 1.0f - 5.0f * sigma;
  const float a = (mirror ? -angleDegrees : angleDegrees) * kDegToRad;
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

constexpr float kCornerStep = 8.0f * kPi / 180.0f;

inline float depthAt(float za, float zb, float f, bool parallel) {
  if (parallel) return za + (zb - za) * f;
  const float den = (za - zb) * f + zb;
  return den != 0.0f ? za * zb / den : za;
}

inline float lerp(float a, float b, float f) {
  return a + (b - a) * f;
}

inline Color lerp(const Color& a, const Color& b, float f) {
  return Color(a.r + (b.r - a.r) * f, a.g + (b.g - a.g) * f, a.b + (b.b - a.b) * f);
}

}  // namespace

void StepRaster::Flat(const StepEnd& a, const StepEnd& b, bool joined) const {
  LineCanvas& c = *canvas;
  const int ni = c.N();
  const float n = static_cast<float>(ni);
  const float soft = c.EdgeSoftness();
  const float invScale = c.InvScale();
  const Point2 A = a.p * n, B = b.p * n;
  const Point2 d = B - A;
  const float len2 = d.LengthSquared();
  const float len = std::sqrt(len2);
  const Point2 u = len > 0.0f ? d * (1.0f / len) : Point2(1.0f, 0.0f);
  const bool damped = damping && !damping->None();
  const bool distance = damped && damping->UsesDistance();
  const float maxSize =
      std::max(a.size, b.size) * (damped ? damping->MaxSizeFactor(a.u, b.u) : 1.0f);
  const float maxR = HalfWidth(maxSize, soft, ni);
  if (!(maxR > 0.0f)) return;
  const float radiusA = HalfWidth(a.size, soft, ni), radiusB = HalfWidth(b.size, soft, ni);
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
      if (std::fabs(q) > maxR) continue;
      const float fc = std::clamp(f, 0.0f, 1.0f);
      // Size and alpha at the sample's own place on the stroke: the point of
      // the axis beside it (an end for the caps). The depth is worked out
      // only for samples that need it.
      float R, at = 0.0f, depth = 0.0f;
      bool haveDepth = false;
      Point2 axis;
      if (damped) {
        at = lerp(a.u, b.u, fc);
        float sizeFactor = damping->SizeAlong(at);
        if (distance) {
          depth = depthAt(a.depth, b.depth, fc, parallel);
          haveDepth = true;
          axis = (A + d * fc) * c.InvN();
          sizeFactor *= damping->SizeByDistance(axis, depth);
        }
        R = HalfWidth(lerp(a.size, b.size, fc) * sizeFactor, soft, ni);
      } else {
        R = lerp(radiusA, radiusB, fc);
      }
      if (std::fabs(q) > R) continue;
      float coverage;
      if (f >= 0.0f && f <= 1.0f) {
        coverage = std::min(1.0f, (R - std::fabs(q)) * invScale);
      } else {
        const Point2 off = f < 0.0f ? w : P - B;
        const float g = f < 0.0f && joined ? off.LengthSquared() : capDistance2(off);
        if (g >= R * R) continue;
        const float o2 = off.LengthSquared();
        coverage =
            g > 0.0f ? std::min(1.0f, (R - std::sqrt(g)) * std::sqrt(o2 / g) * invScale) : 1.0f;
      }
      coverage *= lerp(a.alpha, b.alpha, fc);
      if (damped) {
        coverage *= damping->AlphaAlong(at);
        if (distance) coverage *= damping->AlphaByDistance(axis, depth);
      }
      if (coverage <= 0.0f) continue;
      if (!haveDepth) depth = depthAt(a.depth, b.depth, fc, parallel);
      c.StrokeSample(rows, x, y, coverage, -depth, key, lerp(a.colour, b.colour, fc));
    }
  }
}

bool StepRaster::stampAt(const StepEnd& a, const StepEnd& b, float f, Stamp& out) const {
  const LineCanvas& c = *canvas;
  const float n = static_cast<float>(c.N());
  out.centre = (a.p + (b.p - a.p) * f) * n;
  out.depth = depthAt(a.depth, b.depth, f, parallel);
  float size = lerp(a.size, b.size, f);
  out.alpha = lerp(a.alpha, b.alpha, f);
  if (damping && !damping->None()) {
    const float at = lerp(a.u, b.u, f);
    const Point2 p = out.centre * c.InvN();
    size *= damping->SizeFactor(at, p, out.depth);
    out.alpha *= damping->AlphaFactor(at, p, out.depth);
  }
  out.radius = HalfWidth(size, c.EdgeSoftness(), c.N());
  out.colour = lerp(a.colour, b.colour, f);
  out.raster = stamps->rasters[0];
  return out.radius > 0.0f && out.alpha > 0.0f;
}

void StepRaster::Stamps(const StepEnd& a, const StepEnd& b, bool skipFirst,
                        float cornerTurn) const {
  if (!stamps || stamps->count < 1 || !stamps->rasters[0]) return;
  LineCanvas& c = *canvas;
  LineCanvas::Band& rows = band ? *band : c.WholeBand();
  const float n = static_cast<float>(c.N());
  Stamp s;
  // Corner filling: the stamp at the corner swept through the turn.
  const int cornerStamps = static_cast<int>(std::fabs(cornerTurn) / kCornerStep);
  if (cornerStamps > 0 && stampAt(a, b, 0.0f, s)) {
    const float sign = cornerTurn < 0.0f ? -1.0f : 1.0f;
    for (int k = 1; k <= cornerStamps; ++k) {
      s.cosR = std::cos(sign * kCornerStep * static_cast<float>(k));
      s.sinR = std::sin(sign * kCornerStep * static_cast<float>(k));
      stamp(s, rows);
    }
    s.cosR = 1.0f, s.sinR = 0.0f;
  }
  if (scatter && scatter->noise && scatter->noise->Ready()) {
    // Stamps at whole multiples of the spacing along the stroke, so steps
    // share none; each draws its variant, scale, opacity and sideways shift
    // from the noise under it.
    const float spacing = std::max(0.25f, scatter->spacing);
    const float span = b.pos - a.pos;
    if (!(span > 0.0f)) return;
    const Point2 dir = (b.p - a.p) * (1.0f / std::max(1e-6f, (b.p - a.p).Length()));
    for (float at = std::ceil(a.pos / spacing) * spacing; at < b.pos; at += spacing) {
      if (!stampAt(a, b, (at - a.pos) / span, s)) continue;
      const Point2 pixels = s.centre * c.InvN();
      const NoiseCell cell = scatter->noise->Lookup(pixels, 2.0f);
      const uint16_t h = cell.hash[0];
      const uint16_t h2 = cell.hash[3];
      s.raster = stamps->rasters[static_cast<size_t>(h % static_cast<uint16_t>(stamps->count))];
      s.radius *= 0.55f + 0.45f * static_cast<float>(h2 & 0xff) / 255.0f;
      s.alpha *= 0.5f + 0.5f * static_cast<float>(h2 >> 8) / 255.0f;
      const float shift = (static_cast<float>((h >> 4) & 0xff) / 255.0f - 0.5f) * 0.6f * s.radius;
      s.centre = s.centre + Point2(-dir.y, dir.x) * shift;
      stamp(s, rows);
    }
    return;
  }
  // Otherwise a stamp every half pixel.
  const float L = (b.p - a.p).Length() * n;
  const int count = 1 + static_cast<int>(std::floor(2.0f * L / n));
  for (int i = skipFirst ? 1 : 0; i <= count; ++i) {
    if (stampAt(a, b, static_cast<float>(i) / static_cast<float>(count), s)) stamp(s, rows);
  }
}

void StepRaster::stamp(const Stamp& s, LineCanvas::Band& rows) const {
  LineCanvas& c = *canvas;
  const int size = stamps->size;
  const float half = static_cast<float>(size) * 0.5f;
  const float R = s.radius;
  const int x0 = std::max(0, static_cast<int>(std::floor(s.centre.x - R)));
  const int x1 = std::min(c.SuperWidth() - 1, static_cast<int>(std::ceil(s.centre.x + R)));
  const int y0 = std::max(rows.rowBegin, static_cast<int>(std::floor(s.centre.y - R)));
  const int y1 = std::min(rows.rowEnd - 1, static_cast<int>(std::ceil(s.centre.y + R)));
  const float flip = mirror ? -1.0f : 1.0f;
  auto at = [&](int xx, int yy) {
    return static_cast<float>(s.raster[static_cast<size_t>(yy * size + xx)]);
  };
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      // Into the stamp's frame. The raster already holds the tip's angle and
      // stretch; only corner stamps turn it further.
      const float ox = static_cast<float>(x) + 0.5f - s.centre.x;
      const float oy = static_cast<float>(y) + 0.5f - s.centre.y;
      const float rx = (ox * s.cosR + oy * s.sinR) * flip;
      const float ry = -ox * s.sinR + oy * s.cosR;
      const float sx = rx / R * half + half - 0.5f;
      const float sy = ry / R * half + half - 0.5f;
      const int ix = static_cast<int>(std::floor(sx)), iy = static_cast<int>(std::floor(sy));
      if (ix < 0 || iy < 0 || ix + 1 >= size || iy + 1 >= size) continue;
      const float fx = sx - static_cast<float>(ix), fy = sy - static_cast<float>(iy);
      const float grey = (at(ix, iy) * (1 - fx) + at(ix + 1, iy) * fx) * (1 - fy) +
                         (at(ix, iy + 1) * (1 - fx) + at(ix + 1, iy + 1) * fx) * fy;
      const float coverage = grey / 255.0f * s.alpha;
      if (coverage > 0.0f)
        c.StrokeSample(rows, x, y, std::min(1.0f, coverage), -s.depth, key, s.colour);
    }
  }
}

}  // namespace tarnis
