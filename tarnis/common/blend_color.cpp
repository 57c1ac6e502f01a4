// The blend-mode formulas behind BlendColor.
#include "tarnis/common/blend_color.h"

#include <algorithm>
#include <cmath>

#include "tarnis/resources/string_table.h"

namespace tarnis {
namespace {

// Soft light below this base value (32 / 255) uses the polynomial branch.
constexpr float kSoftLightKnee = 0.1254902f;

float SoftLight(float a, float b) {
  if (b < 0.5f) return (a - a * a) * (2.0f * b - 1.0f) + a;
  if (a <= kSoftLightKnee) return (a - a * a) * (2.0f * b - 1.0f) * (3.0f - 8.0f * a) + a;
  return (std::sqrt(a) - a) * (2.0f * b - 1.0f) + a;
}

// The result of a per-channel mode for base a and layer b.
float BlendChannel(int mode, float a, float b) {
  switch (mode) {
    case kBlendNormal:
      return b;
    case kBlendAdd:
      return a + b;
    case kBlendSubtract:
      return a - b;
    case kBlendMultiply:
      return a * b;
    case kBlendScreen:
      return 1.0f - (1.0f - a) * (1.0f - b);
    case kBlendOverlay:
      return a < 0.5f ? 2.0f * a * b : 1.0f - 2.0f * (1.0f - a) * (1.0f - b);
    case kBlendHardLight:
      return b < 0.5f ? 2.0f * a * b : 1.0f - 2.0f * (1.0f - a) * (1.0f - b);
    case kBlendSoftLight:
      return SoftLight(a, b);
    case kBlendDarken:
      return std::min(a, b);
    case kBlendLighten:
      return std::max(a, b);
    case kBlendDifference:
      return std::abs(a - b);
    default:  // kBlendExclusion
      return (1.0f - a) * b + (1.0f - b) * a;
  }
}

// The HSV modes take the named component(s) from the base and the rest from
// the layer.
Color BlendHSV(int mode, const Color& base, const Color& layer) {
  Color a = RGBtoHSV(base);
  Color b = RGBtoHSV(layer);
  switch (mode) {
    case kBlendHue:
      return HSVtoRGB(Color(a.r, b.g, b.b));
    case kBlendSaturation:
      return HSVtoRGB(Color(b.r, a.g, b.b));
    case kBlendColor:
      return HSVtoRGB(Color(a.r, a.g, b.b));
    default:  // kBlendLuminosity
      return HSVtoRGB(Color(b.r, b.g, a.b));
  }
}

}  // namespace

int BlendModeOfIndex(int index) {
  if (index < 0 || index >= kNumBlendModes) return 0;
  return kBlendModeTable[static_cast<size_t>(index)];
}

const char* BlendModeName(int index) {
  const char* name = FindString(BlendModeOfIndex(index));
  return name ? name : "";
}

void BlendColor(Color& base, const Color& layer, float amount, int mode) {
  if (amount == 0.0f) return;
  if (mode < kBlendNormal || mode > kBlendLuminosity) return;
  Color r;
  if (mode >= kBlendHue) {
    r = BlendHSV(mode, base, layer);
  } else {
    for (int c = 0; c < 3; ++c) r[c] = BlendChannel(mode, base[c], layer[c]);
  }
  for (int c = 0; c < 3; ++c) base[c] = base[c] + (r[c] - base[c]) * amount;
}

}  // namespace tarnis
