// Tests for noise1.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "sdk/noise.h"

TEST(Noise1, IsZeroAtWholeNumbers) {
  for (int i = -600; i <= 600; ++i) EXPECT_EQ(noise1(static_cast<float>(i)), 0.0f) << i;
}

TEST(Noise1, StaysWithinPlusMinusOneAndVaries) {
  std::mt19937 rng(99);
  std::uniform_real_distribution<float> u(-1000.0f, 1000.0f);
  double sum = 0.0, sumSq = 0.0;
  float lo = 0.0f, hi = 0.0f;
  const int kSamples = 100000;
  for (int i = 0; i < kSamples; ++i) {
    float x = u(rng);
    float v = noise1(x);
    ASSERT_TRUE(v >= -1.0f && v <= 1.0f) << "noise1(" << x << ") = " << v;
    EXPECT_EQ(v, noise1(x));  // the same argument always gives the same value
    lo = std::fmin(lo, v), hi = std::fmax(hi, v);
    sum += v, sumSq += double(v) * v;
  }
  double mean = sum / kSamples;
  double stddev = std::sqrt(sumSq / kSamples - mean * mean);
  // A useful noise swings both ways around zero, not a near-constant signal.
  EXPECT_LT(lo, -0.3f);
  EXPECT_GT(hi, 0.3f);
  EXPECT_GT(stddev, 0.05);
  EXPECT_LT(std::fabs(mean), 0.05);
}

TEST(Noise1, SmallStepsGiveSmallChanges) {
  // The slope is at most 2 * (1 + 1.875) = 5.75 (gradients within -1..1, fade
  // slope at most 1.875), on whole numbers too, where both cells give 0.
  const float kStep = 1.0f / 1024.0f;
  float largest = 0.0f;
  for (float x = -20.0f; x < 20.0f; x += kStep) {
    float change = std::fabs(noise1(x + kStep) - noise1(x));
    largest = std::fmax(largest, change);
  }
  EXPECT_LT(largest, 8.0f * kStep);
  EXPECT_GT(largest, 0.1f * kStep);
}

TEST(Noise1, RepeatsEvery256) {
  for (float x = -300.0f; x < 300.0f; x += 0.375f) {
    EXPECT_EQ(noise1(x), noise1(x + 256.0f)) << x;
  }
}

TEST(Noise1, HugeAndNonFiniteInputsGiveZero) {
  const float inf = std::numeric_limits<float>::infinity();
  for (float x :
       {std::numeric_limits<float>::quiet_NaN(), inf, -inf, 1e30f, -1e30f,
        std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(), 3e9f, 16777216.0f}) {
    EXPECT_EQ(noise1(x), 0.0f) << x;
  }
}
