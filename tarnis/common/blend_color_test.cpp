// Tests of the blend modes: every formula at its list position against
// hand-computed values, the amount-0 exit, no clamping, the HSV modes and
// mode numbers outside the table.
#include "tarnis/common/blend_color.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace tarnis {
namespace {

struct BlendCase {
  int index;
  Color base;
  Color layer;
  float amount;
  Color expected;
};

void ExpectNear(const Color& got, const Color& want, const std::string& what) {
  EXPECT_NEAR(got.r, want.r, 1e-5f) << what;
  EXPECT_NEAR(got.g, want.g, 1e-5f) << what;
  EXPECT_NEAR(got.b, want.b, 1e-5f) << what;
}

TEST(BlendColor, EveryIndexAppliesTheFormulaOfItsMode) {
  const Color a(0.2f, 0.6f, 0.9f);
  const Color b(0.5f, 0.3f, 0.8f);
  const Color green(0.0f, 1.0f, 0.0f);  // hue 1/3, saturation 1, value 1
  const Color rose(0.8f, 0.4f, 0.4f);   // hue 0, saturation 0.5, value 0.8
  const BlendCase cases[] = {
      {0, a, b, 0.5f, {0.35f, 0.45f, 0.85f}},  // normal at half amount: the average
      {0, a, b, 2.0f, {0.8f, 0.0f, 0.7f}},     // amounts beyond 1 overshoot
      {1, a, b, 1.0f, {0.7f, 0.9f, 1.7f}},     // add, not clamped
      {2, a, b, 1.0f, {-0.3f, 0.3f, 0.1f}},    // subtract, not clamped
      {3, a, b, 1.0f, {0.1f, 0.18f, 0.72f}},
      {4, a, b, 1.0f, {0.6f, 0.72f, 0.98f}},
      // Overlay decides by the base, hard light by the layer.
      {5, a, {0.7f, 0.3f, 0.8f}, 1.0f, {0.28f, 0.44f, 0.96f}},
      {6, a, {0.7f, 0.3f, 0.8f}, 1.0f, {0.52f, 0.36f, 0.96f}},
      // Soft light: layer below 0.5; base above the knee; base below it.
      {7, {0.1f, 0.25f, 0.1f}, {0.3f, 0.75f, 0.75f}, 1.0f, {0.064f, 0.375f, 0.199f}},
      {7, {0.1f, 0.25f, 0.9f}, {0.3f, 0.75f, 0.75f}, 0.5f, {0.082f, 0.3125f, 0.912171f}},
      {8, a, b, 1.0f, {0.2f, 0.3f, 0.8f}},
      {9, a, b, 1.0f, {0.5f, 0.6f, 0.9f}},
      {10, a, b, 1.0f, {0.3f, 0.3f, 0.1f}},
      {11, a, b, 1.0f, {0.5f, 0.54f, 0.26f}},
      {12, green, rose, 1.0f, {0.4f, 0.8f, 0.4f}},  // hue of the base
      {13, green, rose, 1.0f, {0.8f, 0.0f, 0.0f}},  // saturation of the base
      {14, green, rose, 1.0f, {0.0f, 0.8f, 0.0f}},  // hue and saturation of the base
      {15, green, rose, 1.0f, {1.0f, 0.5f, 0.5f}},  // value of the base
      {15, green, rose, 0.5f, {0.5f, 0.75f, 0.25f}},
  };
  for (const BlendCase& c : cases) {
    Color base = c.base;
    BlendColor(base, c.layer, c.amount, BlendModeOfIndex(c.index));
    ExpectNear(base, c.expected, "index " + std::to_string(c.index));
  }
}

TEST(BlendColor, AmountZeroLeavesTheBaseUntouchedInEveryMode) {
  // An infinite layer turns any computed blend into inf or NaN, so only an
  // early exit keeps the base exact.
  const float inf = std::numeric_limits<float>::infinity();
  const Color base(0.25f, 0.5f, 0.75f);
  for (int index = 0; index < kNumBlendModes; ++index) {
    Color c = base;
    BlendColor(c, Color(inf, -inf, inf), 0.0f, BlendModeOfIndex(index));
    EXPECT_EQ(c, base) << "index " << index;
  }
}

TEST(BlendColor, SoftLightWithAMidGreyLayerKeepsTheBaseInEveryBranch) {
  for (float a : {0.05f, 0.1254902f, 0.3f, 0.9f}) {
    Color base(a, a, a);
    BlendColor(base, Color(0.5f, 0.5f, 0.5f), 1.0f, kBlendSoftLight);
    ExpectNear(base, Color(a, a, a), "base " + std::to_string(a));
  }
}

TEST(BlendColor, HueModeTakesOnlyTheHueFromTheBase) {
  // A red base under a grey layer: hue 0 from red, no saturation from grey.
  Color red(1.0f, 0.0f, 0.0f);
  BlendColor(red, Color(0.5f, 0.5f, 0.5f), 1.0f, kBlendHue);
  ExpectNear(red, Color(0.5f, 0.5f, 0.5f), "red base, grey layer");
  // A grey base has hue 0 (red); saturation and value come from a blue layer.
  Color grey(0.5f, 0.5f, 0.5f);
  BlendColor(grey, Color(0.0f, 0.0f, 1.0f), 1.0f, kBlendHue);
  ExpectNear(grey, Color(1.0f, 0.0f, 0.0f), "grey base, blue layer");
}

TEST(BlendColor, ModeNumbersOutsideTheTableLeaveTheBase) {
  const Color base(0.25f, 0.5f, 0.75f);
  for (int mode : {0, 49, 66, -1, 1000}) {
    Color c = base;
    BlendColor(c, Color(1.0f, 0.0f, 1.0f), 1.0f, mode);
    EXPECT_EQ(c, base) << "mode " << mode;
  }
  EXPECT_EQ(BlendModeOfIndex(-1), 0);
  EXPECT_EQ(BlendModeOfIndex(kNumBlendModes), 0);
}

TEST(BlendColor, ListPositionsShowHardLightBeforeSoftLight) {
  EXPECT_EQ(BlendModeOfIndex(6), kBlendHardLight);
  EXPECT_EQ(BlendModeOfIndex(7), kBlendSoftLight);
  EXPECT_EQ(std::string(BlendModeName(0)), "Normal");
  EXPECT_EQ(std::string(BlendModeName(6)), "Hard light");
  EXPECT_EQ(std::string(BlendModeName(7)), "Soft light");
  EXPECT_EQ(std::string(BlendModeName(15)), "Luminosity");
  EXPECT_EQ(std::string(BlendModeName(16)), "");
  // Every other position names the mode of the same number.
  for (int index = 0; index < kNumBlendModes; ++index) {
    if (index == 6 || index == 7) continue;
    EXPECT_EQ(BlendModeOfIndex(index), kBlendNormal + index) << "index " << index;
  }
}

}  // namespace
}  // namespace tarnis
