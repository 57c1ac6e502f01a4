// The per-stroke draws and the colour modification of strokes.
#include "tarnis/line/draw/stroke_random.h"

#include <algorithm>
#include <cmath>

#include "sdk/angles.h"

namespace tarnis {

namespace {

// The distortion period never reaches 0, so the phase shift stays finite.
constexpr float kMinNoisePeriod = 1e-4f;

float clamp01(float v) {
  return std::clamp(v, 0.0f, 1.0f);
}

// The draws of one stroke: r(a, b) over its first and second points and
// r(a) over its first point.
class StrokeDraws {
 public:
  StrokeDraws(const LineNoise& noise, const StrokePlace& place)
      : first_(noise.Lookup(place.first, place.cell)),
        second_(noise.Lookup(place.second, place.cell)) {}
  float operator()(uint32_t a, uint32_t b) const { return LineNoise::Draw(first_, second_, a, b); }
  float operator()(uint32_t a) const { return LineNoise::Draw(first_, a); }

 private:
  NoiseCell first_, second_;
};

}  // namespace

StrokeRandom StrokeRandom::Draw(const LineNoise& noise, const StrokePlace& place,
                                const BrushValues& brush) {
  const StrokeDraws r(noise, place);
  const BrushStrokeValues& s = brush.stroke;
  const BrushNoiseValues& n = brush.noise;
  const BrushTipValues& tip = brush.tip;
  const float scale = place.scale;
  StrokeRandom out;
  out.skipExtra = r(314, 222) < 0.0f;
  out.sizeFactor = 1.0f + r(14814, 22222) * s.sizeRnd;
  out.colorMod[0] = r(1224, 2003) * brush.colorRange.r;
  out.colorMod[1] = r(715, 2202) * brush.colorRange.g;
  out.colorMod[2] = r(930, 1408) * brush.colorRange.b;
  out.offsetX = (s.offsetX + r(898, 32552) * s.offsetXRnd) * scale;
  out.offsetY = (s.offsetY + r(25993, 37) * s.offsetYRnd) * scale;
  out.normalOffset = (s.normalOffset + r(9737, 46543) * s.normalOffsetRnd) * scale;
  out.startOvershoot = (1.0f + r(814, 222) * s.overshootRnd) * s.overshoot * scale;
  out.endOvershoot = (1.0f + r(222, 814) * s.overshootRnd) * s.overshoot * scale;
  // Amplitude and period vary with salts of their own.
  out.noiseAmp = (1.0f + r(4421, 17351) * n.ampRandom) * n.amp * scale;
  out.noisePeriod =
      std::max(kMinNoisePeriod, (1.0f + r(6173, 30977) * n.periodRandom) * n.period * scale);
  out.noisePhase = n.phase + r(511, 21097) * n.phaseRandom -
                   (0.5f * place.chainLength + out.startOvershoot) / out.noisePeriod;
  out.stretch = tip.stretch;
  if (tip.type == kTipFlat && tip.stretch > 0.0f && tip.stretchRnd != 0.0f) {
    out.stretch = tip.stretch * (1.0f - (0.5f * r(29318, 814) + 0.5f) * tip.stretchRnd);
  }
  out.angle = tip.angle + r(29318, 222) * tip.angleRnd;
  out.angleCos = std::cos(out.angle * kDegToRad);
  out.angleSin = std::sin(out.angle * kDegToRad);
  out.dashLength = (1.0f + r(57814) * s.lengthRnd) * s.length * scale;
  out.dashPeriod = (1.0f + r(22254) * s.spacingRnd) * s.spacing * scale + out.dashLength;
  for (int k = 0; k < kMaxBristles; ++k) {
    const auto salt = static_cast<uint32_t>(k);
    out.bristleWidth[k] = r(3301 + 977 * salt, 12011 + 463 * salt);
    out.bristleAlpha[k] = r(7919 + 331 * salt, 5003 + 1201 * salt);
  }
  out.stampVariant =
      static_cast<float>(noise.Lookup(place.middle, place.cell).hash[0]) * (1.0f / 65536.0f);
  return out;
}

void ApplyColorModification(Color& c, int mode, float dx, float dy, float dz) {
  if (dx == 0.0f && dy == 0.0f && dz == 0.0f) return;
  if (mode != kColorModHSV) {
    c = Color(clamp01(c.r + dx), clamp01(c.g + dy), clamp01(c.b + dz));
    return;
  }
  Color hsv = RGBtoHSV(c);
  float hue = hsv.r + 0.75f * dx;
  hue -= std::floor(hue);
  hsv = Color(std::isfinite(hue) ? clamp01(hue) : 0.0f, clamp01(hsv.g + dy), clamp01(hsv.b + dz));
  c = HSVtoRGB(hsv);
}

}  // namespace tarnis
