#include "tarnis/line/brush/brush_tip.h"

#include <algorithm>
#include <cmath>

#include "sdk/angles.h"
#include "sdk/mtl.h"
#include "sdk/noise.h"
#include "tarnis/common/ease.h"
#include "tarnis/common/random_tables.h"
#include "tarnis/line/brush/sc_tex.h"

namespace tarnis {

namespace {

// Integer part of z + 0.5 (rounds half up for positive z, towards zero below).
int RoundIndex(float z) {
  return static_cast<int>(z + 0.5f);
}

}  // namespace

void BrushTipValues::Derive() {
  size = std::max(size, 0.001f);
  cellWidth = 2.0f * size + std::max(hSpace, 0.0f);
  cellHeight = 2.0f * size + std::max(vSpace, 0.0f);
  float f = 0.9f * (1.0f - anti);
  if (f < 0.0f) f = f / (1.0f - 0.5f * f);
  dotCore = f;
  dotRadiusFactor = 1.0f + 0.75f * anti;
  dotMargin = (1.0f + sizeRnd) * size * dotRadiusFactor;
  startSq = dampStart * dampStart;
  endSq = dampEnd * dampEnd;
  // Equal radii make a hard edge; the falloff band is then empty and the
  // scale is never used.
  falloffScale = startSq == endSq ? 0.0f : 1.0f / std::abs(startSq - endSq);
}

BrushTip::BrushTip(const BrushTipValues& values, uint16_t seed) : values_(values), seed_(seed) {
  const uint32_t x0 = ~static_cast<uint32_t>(RandomTableA()[seed]) & 0xFFFFu;
  const float rho1 = Unit16(Lcg(x0));
  const float rho2 = Unit16(Lcg(Lcg(x0)));
  float theta = values.angle;
  stretch_ = values.stretch;
  if (seed >= 1) {
    theta += (rho1 - 0.5f) * values.angleRnd;
    stretch_ *= 1.0f - values.stretchRnd * rho2;
  }
  cosTheta_ = std::cos(theta * kDegToRad);
  sinTheta_ = std::sin(theta * kDegToRad);
}

float BrushTip::Intensity(float u, float v) const {
  const float p = u - 0.5f;
  const float q = v - 0.5f;
  float r = 2.0f * (q * cosTheta_ - p * sinTheta_);
  float s = 2.0f * (p * cosTheta_ + q * sinTheta_);
  if (stretch_ > 0.0f) s *= 1.0f + 0.05f * stretch_;
  if (stretch_ < 0.0f) r *= 1.0f - 0.05f * stretch_;
  float d = r * r + s * s;

  const int type = values_.type;
  const float g = values_.groove;
  if (type != kTipFlat && g > 0.0f) {
    const float phi = std::atan2(s, r) + kPi;
    float w = (0.5f * noise1(4.0f * phi) + phi) / kTwoPi * static_cast<float>(values_.grooveNum);
    w = std::abs(2.0f * (w - std::floor(w)) - 1.0f);
    const float h = (noise1(10.0f * phi) + 1.25f) * w * w * w;
    d *= 1.0f + 0.0125f * h * g;
    r *= 1.0f - 0.0025f * h * g;
    s *= 1.0f - 0.0025f * h * g;
  }
  if (d >= 1.0f) return 0.0f;
  if (type == kTipFlat) return 1.0f;

  float intensity = Falloff(d);
  if ((type == kTipSoft || type == kTipDots) && values_.map && intensity > 0.0f) {
    const float o = values_.mapOpacity;
    intensity *= 1.0f - o + TipMapValue(s, r) * o;
  }
  if (type == kTipDots && intensity > 0.0f) intensity *= DotPattern(s, r);
  return intensity;
}

float BrushTip::Falloff(float d) const {
  const float s2 = values_.startSq;
  const float e2 = values_.endSq;
  const float k = values_.falloffScale;
  if (e2 >= s2) {
    if (d <= s2) return 1.0f;
    if (d <= e2) return Ease(1.0f - k * (d - s2));
    return 0.0f;
  }
  // The falloff runs inwards: a ring that is solid outside the start radius.
  if (d < e2) return 0.0f;
  if (d < s2) return Ease(1.0f - k * (s2 - d));
  return 1.0f;
}

float BrushTip::TipMapValue(float s, float r) const {
  SCTex sc(0.5f * s + 0.5f, 0.5f * r + 0.5f, values_.mapTime);
  return values_.map->EvalMono(sc);
}

float BrushTip::DotPattern(float x, float y) const {
  if (seed_ >= 1) {
    // Each stroke sees another part of the pattern.
    const uint32_t b1 = Lcg(RandomTableB()[seed_]);
    const uint32_t b2 = Lcg(b1);
    x += (Unit16(b1) - 0.5f) * 256.0f;
    y += (Unit16(b2) - 0.5f) * 256.0f;
  }
  x *= 50.0f;
  y *= 50.0f;
  const float w = values_.cellWidth;
  const float h = values_.cellHeight;
  const float m = values_.dotMargin;
  const int i0 = RoundIndex((x - w - m) / w), i1 = RoundIndex((x + w + m) / w);
  const int j0 = RoundIndex((y - h - m) / h), j1 = RoundIndex((y + h + m) / h);
  float sum = 0.0f;
  for (int i = i0; i < i1; ++i) {
    for (int j = j0; j < j1; ++j) {
      sum += DotCoverage(i, j, x, y);
      if (sum >= 1.0f) return 1.0f;
    }
  }
  return sum;
}

float BrushTip::DotCoverage(int i, int j, float x, float y) const {
  const RandomTable& a = RandomTableA();
  const RandomTable& b = RandomTableB();
  const auto iu = static_cast<uint16_t>(i);
  const auto ju = static_cast<uint16_t>(j);
  // Unsigned sums and products may wrap: only the low 16 bits count.
  const uint32_t l = Lcg(uint32_t{a[iu]} * b[ju] + a[seed_] + b[iu] + a[ju]);
  const uint32_t m = Lcg(l);
  const uint32_t third = Lcg(m);
  const float cx =
      (values_.hSpaceRand * (Unit16(l) - 0.5f) + static_cast<float>(i)) * values_.cellWidth;
  const float cy =
      (values_.vSpaceRand * (Unit16(m) - 0.5f) + static_cast<float>(j)) * values_.cellHeight;
  const float z = values_.sizeRnd * 2.0f * (Unit16(third) - 0.5f);
  const float radius = (z + values_.dotRadiusFactor) * values_.size;
  const float delta = (x - cx) * (x - cx) + (y - cy) * (y - cy);
  const float r2 = radius * radius;
  if (r2 <= 0.0f || delta > r2) return 0.0f;
  const float rel = delta / r2;
  const float f = values_.dotCore;
  float core = f * f * (z + 1.0f);
  if (f < 0.0f) core = -core;
  if (rel <= core) return 1.0f;
  return 1.0f - Ease(std::sqrt((rel - core) / (1.0f - core)));
}

}  // namespace tarnis
