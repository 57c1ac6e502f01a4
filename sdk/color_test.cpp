// Tests for the HSV conversions in color.h.
#include <gtest/gtest.h>

#include <limits>

#include "sdk/color.h"

namespace {

void ExpectNear(const Color& a, const Color& b, float tol) {
  EXPECT_NEAR(a.r, b.r, tol);
  EXPECT_NEAR(a.g, b.g, tol);
  EXPECT_NEAR(a.b, b.b, tol);
}

struct HsvCase {
  Color rgb, hsv;
};

const HsvCase kKnownColours[] = {
    {{1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 1.0f}},         // red
    {{1.0f, 1.0f, 0.0f}, {1.0f / 6.0f, 1.0f, 1.0f}},  // yellow
    {{0.0f, 1.0f, 0.0f}, {1.0f / 3.0f, 1.0f, 1.0f}},  // green
    {{0.0f, 1.0f, 1.0f}, {0.5f, 1.0f, 1.0f}},         // cyan
    {{0.0f, 0.0f, 1.0f}, {2.0f / 3.0f, 1.0f, 1.0f}},  // blue
    {{1.0f, 0.0f, 1.0f}, {5.0f / 6.0f, 1.0f, 1.0f}},  // magenta
    {{0.5f, 0.5f, 0.5f}, {0.0f, 0.0f, 0.5f}},         // grey
    {{0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}},         // black
    {{1.0f, 1.0f, 1.0f}, {0.0f, 0.0f, 1.0f}},         // white
    {{0.5f, 0.25f, 0.25f}, {0.0f, 0.5f, 0.5f}},       // dull red
    {{0.2f, 0.4f, 0.8f}, {0.6111111f, 0.75f, 0.8f}},  // sky blue
};

}  // namespace

TEST(Color, KnownColoursConvertBothWays) {
  for (const HsvCase& c : kKnownColours) {
    ExpectNear(RGBtoHSV(c.rgb), c.hsv, 1e-6f);
    ExpectNear(HSVtoRGB(c.hsv), c.rgb, 1e-6f);
  }
}

TEST(Color, RGBSurvivesARoundTripThroughHSV) {
  for (int r = 0; r <= 10; ++r) {
    for (int g = 0; g <= 10; ++g) {
      for (int b = 0; b <= 10; ++b) {
        Color rgb(r / 10.0f, g / 10.0f, b / 10.0f);
        Color hsv = RGBtoHSV(rgb);
        EXPECT_GE(hsv.r, 0.0f);
        EXPECT_LT(hsv.r, 1.0f);
        EXPECT_GE(hsv.g, 0.0f);
        EXPECT_LE(hsv.g, 1.0f);
        ExpectNear(HSVtoRGB(hsv), rgb, 1e-5f);
      }
    }
  }
}

TEST(Color, HueJustBelowRedStaysBelowOne) {
  // (g - b) slightly negative gives a hue a hair under 1, which rounds to 1.
  Color hsv = RGBtoHSV({1.0f, 0.0f, 1e-8f});
  EXPECT_GE(hsv.r, 0.0f);
  EXPECT_LT(hsv.r, 1.0f);
  ExpectNear(HSVtoRGB(hsv), {1.0f, 0.0f, 1e-8f}, 1e-6f);
}

TEST(Color, HSVtoRGBTakesHueModuloOneAndClampsTheRest) {
  struct Case {
    Color hsv, same;
  };
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const Case cases[] = {
      {{1.0f, 1.0f, 1.0f}, {0.0f, 1.0f, 1.0f}},    {{1.25f, 0.5f, 0.8f}, {0.25f, 0.5f, 0.8f}},
      {{-0.75f, 0.5f, 0.8f}, {0.25f, 0.5f, 0.8f}}, {{3.0f, 0.7f, 0.6f}, {0.0f, 0.7f, 0.6f}},
      {{0.4f, 2.0f, 1.5f}, {0.4f, 1.0f, 1.0f}},    {{0.4f, -1.0f, -0.5f}, {0.4f, 0.0f, 0.0f}},
      {{inf, 1.0f, 1.0f}, {0.0f, 1.0f, 1.0f}},     {{nan, 1.0f, 1.0f}, {0.0f, 1.0f, 1.0f}},
  };
  for (const Case& c : cases) ExpectNear(HSVtoRGB(c.hsv), HSVtoRGB(c.same), 1e-6f);
}
