#include "tarnis/material/zone_shading.h"

#include <algorithm>
#include <cmath>

#include "tarnis/common/ease.h"

namespace tarnis {

namespace {

// A lower edge and core start at 0 (or an upper edge and core end at 1)
// become unreachable, so the outer zones never fade out past the scale.
constexpr float kOpenEnd = 10000.0f;

float SampleWeight(float w, float t, float f, float g, float u) {
  if (!(t <= w && w < u)) return 0.0f;
  float weight = 0.0f;
  if (w < f && f != t) weight += (w - t) / (f - t);
  if (f <= w && w <= g) weight += 1.0f;
  if (w > g && g != u) weight += (u - w) / (u - g);
  return weight;
}

float AreaWeight(float w, float e, float t, float f, float g, float u) {
  const float lo = w - e;
  const float hi = w + e;
  if (!(hi >= t && lo < u)) return 0.0f;
  float weight = 0.0f;
  if (lo < f && f > t) {
    const float k = std::min(hi, f) - t;
    const float l = std::max(lo, t) - t;
    weight += (k - l) * (k + l) / (2.0f * (f - t));
  }
  if (hi >= f && lo <= g) weight += std::min(hi, g) - std::max(lo, f);
  if (hi > g && u > g) {
    const float p = u - std::max(lo, g);
    const float q = u - std::min(hi, u);
    weight += (p - q) * (p + q) / (2.0f * (u - g));
  }
  return weight;
}

void Normalise(ZoneWeights& weights) {
  float sum = 0.0f;
  for (float x : weights) sum += x;
  if (!(sum > 0.0f)) return;
  float eased = 0.0f;
  for (float& x : weights) {
    if (x > 0.0f) x = Ease(Ease(x / sum));
    eased += x;
  }
  if (eased > 0.0f) {
    for (float& x : weights) x /= eased;
  }
}

}  // namespace

ZoneWeights RawZoneWeights(float w, const std::array<ZoneCore, kToonZones>& zones,
                           float halfWidth) {
  ZoneWeights weights{};
  for (int j = 0; j < kToonZones; ++j) {
    float f = zones[j].min;
    float g = zones[j].max;
    float t = j == 0 ? 0.0f : zones[j - 1].max;
    float u = j == kToonZones - 1 ? 1.0f : zones[j + 1].min;
    if (t == u) continue;
    if (t == 0.0f && f == 0.0f) t = f = -kOpenEnd;
    if (u == 1.0f && g == 1.0f) u = g = kOpenEnd;
    weights[j] = halfWidth > 0.0f ? AreaWeight(w, std::max(halfWidth, 0.0001f), t, f, g, u)
                                  : SampleWeight(w, t, f, g, u);
  }
  return weights;
}

ZoneWeights ComputeZoneWeights(float w, const std::array<ZoneCore, kToonZones>& zones,
                               float halfWidth) {
  ZoneWeights weights = RawZoneWeights(w, zones, halfWidth);
  Normalise(weights);
  return weights;
}

float ShapeHighlight(float h, float level, float sharpness, bool zoneAntiAliasing, float alpha) {
  h = std::min(h, 1.0f);
  const float cap = level > 1.0f ? 1.0f : 1.0f - (1.0f - level) * (1.0f - level);
  if (h < cap) {
    const float n = 1.0f - sharpness;
    const float o = cap * 0.5f;
    float p = n * o;
    // The working sharpness tops out at 0.99 (100 × 0.0099, give or take a
    // rounding); there, without anti-aliased zones, the edge is hard.
    if (!zoneAntiAliasing && std::abs(sharpness - 0.99f) < 1e-5f) p = 0.0f;
    if (p < h - o) {
      h = cap;
    } else if (h - o <= -p || p == 0.0f) {
      h = 0.0f;
    } else {
      const float q = (h - o) / p;
      const float k = 1.0f - n * n * n;
      const float bent = q > 0.0f ? 1.0f - (1.0f - q) * (1.0f - q) : (q + 1.0f) * (q + 1.0f) - 1.0f;
      h = (bent * k + (1.0f - k) * q) * o + o;
    }
  }
  return h * alpha;
}

}  // namespace tarnis
