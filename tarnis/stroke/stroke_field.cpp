#include "tarnis/stroke/stroke_field.h"

#include <algorithm>
#include <cmath>

#include "sdk/angles.h"
#include "sdk/curve_control.h"
#include "sdk/noise.h"
#include "tarnis/common/ease.h"
#include "tarnis/common/random_tables.h"

namespace tarnis {

namespace {

// Beyond this many cells from the origin a float no longer places a point
// within a cell.
constexpr double kMaxCellIndex = 1.0e12;

// Signed 16-bit step arithmetic: unsigned products wrap modulo 2^32, a
// multiple of 65536, so the low 16 bits are the value modulo 65536.
constexpr uint32_t Mod16(uint32_t x) {
  return x & 0xFFFFu;
}

// The angle hash of a cell and the values drawn from it.
constexpr uint32_t AngleHash(uint32_t tau) {
  return Mod16(0u - 8043u * tau - 4863u);
}
constexpr uint32_t SecondHash(uint32_t x) {
  return Mod16(14434u - 12119u * x);
}

// A random offset in -1..1 from a 16-bit value.
constexpr float Signed(uint32_t x) {
  return 2.0f * Unit16(x) - 1.0f;
}

// The profile's curve parameter at position p (-1..1) along the stroke,
// displaced by noise that vanishes at the ends.
float ProfileParameter(uint32_t hash, float p, float wobble) {
  const float n = wobble != 0.0f ? noise1(static_cast<float>(hash) + p) : 0.0f;
  return (n * (1.0f - p * p) * wobble + p) * 0.5f + 0.5f;
}

float CurveFactor(const ICurve& curve, float k) {
  return std::max(curve.GetValue(0, k), 0.0f);
}

struct CellSums {
  float coverage = 0.0f;
  Color shift{0.0f, 0.0f, 0.0f};
};

// Adds the stroke of cell (i, j) at pattern point (x, y) to the sums.
void AddCell(const StrokeValues& v, const StrokeProfiles& profiles, int64_t i, int64_t j,
             uint32_t aj, uint32_t bn, double x, double y, CellSums& sums) {
  const RandomTable& tableB = RandomTableB();
  const uint32_t bi = tableB[static_cast<size_t>(i & 0xFFFF)];
  const uint32_t tau = Mod16(bi + (bi + 1u) * aj + bn);

  const uint32_t e = AngleHash(tau);
  float sinPhi = 0.0f, cosPhi = 1.0f;
  if (v.angleRnd != 0.0f) {
    const float phi = (Unit16(e) - 0.5f) * 0.99f * v.angleRnd * kDegToRad;
    sinPhi = std::sin(phi);
    cosPhi = std::cos(phi);
  }
  const double ox = (Unit16(Lcg(tau)) - 0.5f) * v.hrnd * 0.01f;
  const double oy = (Unit16(SecondHash(tau)) - 0.5f) * v.vrnd * 0.01f;
  const float dx = static_cast<float>((ox + static_cast<double>(i) + 0.5) * v.cellW - x);
  const float dy = static_cast<float>((oy + static_cast<double>(j) + 0.5) * v.cellH - y);

  // Across the stroke.
  float u = std::fabs(dx * sinPhi - dy * cosPhi);
  const float widthJitter = (Unit16(Lcg(e)) - 0.5f) * 0.02f * v.widthRnd;
  float w = (widthJitter + v.widthScale) * v.w0;
  if (u > w) return;

  // Along it: a straight part of half-length d, then a half disc.
  const float a = dy * sinPhi + dx * cosPhi;
  const float along = std::fabs(a);
  const uint32_t g = SecondHash(e);
  const float d = ((Unit16(g) - 0.5f) * 0.02f * v.lengthRnd + 1.0f) * v.length * 0.5f;
  if (along > d + w) return;
  float f = 0.0f;
  if (along > d) {
    f = (along - d) * (along - d) + u * u;
    if (f > w * w) return;
  }

  float core = v.core;
  uint32_t h = AngleHash(e);
  if (profiles.size) {
    h = Lcg(g);
    const float p = -a / (d + w);
    const float factor = CurveFactor(*profiles.size, ProfileParameter(h, p, v.dampSizeRandom));
    w *= factor;
    core *= factor;
  }
  // A profile may thin the stroke to nothing here.
  if (!(w > 0.0f)) return;

  if (f > 0.0f) u = std::sqrt(f);
  u /= w;
  if (u > 1.0f) return;
  if (widthJitter < 0.0f) u = 1.0f - (1.0f - u) * (widthJitter + 1.0f);
  float coverage = u > core ? 1.0f - Ease((u - core) / (1.0f - core)) : 1.0f;

  if (profiles.alpha) {
    const float p = -a / (d + w);
    coverage *= CurveFactor(*profiles.alpha, ProfileParameter(Lcg(h), p, v.dampAlphaRandom));
  }
  if (!(coverage > 0.0f)) return;

  sums.coverage += coverage;
  if (v.colorRange.Active()) {
    const StrokeColorRange& range = v.colorRange;
    sums.shift.r += Signed(Mod16(30933u - 8043u * tau)) * range.r * coverage;
    sums.shift.g += Signed(Mod16(0u - 12119u * tau - 13690u)) * range.g * coverage;
    sums.shift.b += Signed(Mod16(2061u * tau + 19899u)) * range.b * coverage;
  }
}

}  // namespace

HatchSample HatchField(const StrokeValues& v, const StrokeProfiles& profiles, float xf, float yf,
                       int seed) {
  HatchSample out;
  const double x = xf, y = yf;
  const double cw = v.cellW, ch = v.cellH;
  const double lowX = (x - cw - v.marginX) / cw, highX = (x + cw + v.marginX) / cw;
  const double lowY = (y - ch - v.marginY) / ch, highY = (y + ch + v.marginY) / ch;
  for (double bound : {lowX, highX, lowY, highY}) {
    if (!(std::fabs(bound) < kMaxCellIndex)) return out;
  }
  // Truncation toward zero, as the cell ranges have always been cut.
  const int64_t i0 = static_cast<int64_t>(lowX), i1 = static_cast<int64_t>(highX) - 1;
  const int64_t j0 = static_cast<int64_t>(lowY), j1 = static_cast<int64_t>(highY) - 1;

  const RandomTable& tableA = RandomTableA();
  const uint32_t bn = RandomTableB()[static_cast<uint16_t>(seed)];
  CellSums sums;
  for (int64_t j = j0; j <= j1; ++j) {
    const uint32_t aj = tableA[static_cast<size_t>(j & 0xFFFF)];
    for (int64_t i = i0; i <= i1; ++i) AddCell(v, profiles, i, j, aj, bn, x, y, sums);
  }
  if (sums.coverage > 0.0f) {
    out.coverage = std::min(sums.coverage, 1.0f);
    out.shift = sums.shift / sums.coverage;
  }
  return out;
}

Color ApplyColorShift(const Color& colour, const Color& shift, int type) {
  if (type != kColorRangeHSV) {
    Color c = colour + shift;
    c.ClampMinMax();
    return c;
  }
  Color hsv = RGBtoHSV(colour);
  float hue = hsv.r + 0.5f * shift.r;
  // Round the colour wheel by whole turns; the offsets are at most one turn.
  if (hue > 1.0f) hue -= std::ceil(hue - 1.0f);
  if (hue < 0.0f) hue += std::ceil(-hue);
  hsv = Color(hue, hsv.g + shift.g, hsv.b + shift.b);
  hsv.ClampMinMax();
  return HSVtoRGB(hsv);
}

void SeedShift(int seed, float rangeU, float rangeV, float& du, float& dv) {
  const uint32_t b = Lcg(RandomTableB()[static_cast<uint16_t>(seed)]);
  du = (Unit16(b) - 0.5f) * 2.0f * rangeU;
  dv = (Unit16(Lcg(b)) - 0.5f) * 2.0f * rangeV;
}

}  // namespace tarnis
