// The HSV conversions declared in color.h.
#include "sdk/color.h"

#include <cmath>

Color RGBtoHSV(const Color& rgb) {
  float mx = std::max({rgb.r, rgb.g, rgb.b});
  float mn = std::min({rgb.r, rgb.g, rgb.b});
  float delta = mx - mn;
  float v = mx;
  float s = mx > 0.0f ? delta / mx : 0.0f;
  float h = 0.0f;
  if (delta > 0.0f) {
    if (rgb.r == mx) {
      h = (rgb.g - rgb.b) / delta;
    } else if (rgb.g == mx) {
      h = 2.0f + (rgb.b - rgb.r) / delta;
    } else {
      h = 4.0f + (rgb.r - rgb.g) / delta;
    }
    h /= 6.0f;
    // A hue just below 0 wraps to a float that rounds up to 1; keep hue in [0, 1).
    if (h < 0.0f) h += 1.0f;
    if (h >= 1.0f) h = 0.0f;
  }
  return {h, s, v};
}

Color HSVtoRGB(const Color& hsv) {
  // A non-finite hue would make the sector below undefined; treat it as red.
  float h = std::isfinite(hsv.r) ? hsv.r - std::floor(hsv.r) : 0.0f;
  float s = std::clamp(hsv.g, 0.0f, 1.0f);
  float v = std::clamp(hsv.b, 0.0f, 1.0f);
  if (s <= 0.0f) return {v, v, v};
  float h6 = h * 6.0f;
  int sector = static_cast<int>(h6) % 6;
  float f = h6 - std::floor(h6);
  float p = v * (1.0f - s);
  float q = v * (1.0f - s * f);
  float t = v * (1.0f - s * (1.0f - f));
  switch (sector) {
    case 0:
      return {v, t, p};
    case 1:
      return {q, v, p};
    case 2:
      return {p, v, t};
    case 3:
      return {p, q, v};
    case 4:
      return {t, p, v};
    default:
      return {v, p, q};
  }
}
