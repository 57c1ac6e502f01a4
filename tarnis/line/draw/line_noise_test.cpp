// Tests of the line noise: table filling, cell lookup with wrap and carry,
// the draws, allocation failure and the job seeds.
#include "tarnis/line/draw/line_noise.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace tarnis {
namespace {

// Seed 1 by hand: A[0] = 1 * 2061 + 7 = 2068; A[1] = 14434 - 12119 = 2315;
// A[2] = (2315 * 2061 + 7) mod 65536 = 4771222 - 72 * 65536 = 52630;
// A[3] = (14434 - 2315 * 12119) mod 65536 = -28041051 + 428 * 65536 = 8357.
// B starts from 1 ^ 0x35a1 = 13728: B[0] = 28293415 - 431 * 65536 = 47399;
// B[1] = (14434 - 13728 * 12119) mod 65536 = -166355198 + 2539 * 65536 = 40706.
// Corner (0, 0): A[0] B[0] + B[0] + A[0] = 98070599 = 1496 * 65536 + 28743.
constexpr uint16_t kHashOrigin = 28743;

LineNoise SeededNoise(uint16_t seed = 1) {
  LineNoise noise;
  EXPECT_TRUE(noise.Seed(seed));
  return noise;
}

TEST(LineNoise, FillsBothTablesFromTheSeedInPairs) {
  const LineNoise noise = SeededNoise(1);
  const uint16_t a[] = {2068, 2315, 52630, 8357};
  const uint16_t b[] = {47399, 40706};
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(noise.A(i), a[i]) << "A[" << i << "]";
  for (size_t i = 0; i < 2; ++i) EXPECT_EQ(noise.B(i), b[i]) << "B[" << i << "]";
}

TEST(LineNoise, ReseedingRefillsTheTables) {
  LineNoise noise = SeededNoise(1);
  ASSERT_TRUE(noise.Seed(2));
  EXPECT_EQ(noise.A(0), 2 * 2061 + 7);
  ASSERT_TRUE(noise.Seed(1));
  EXPECT_EQ(noise.A(0), 2068);
}

TEST(LineNoise, HashesTheCellCornersFromBothTables) {
  LineNoise noise = SeededNoise(1);
  noise.SetOrigin(Point2(160.0f, 120.0f));
  // At a cell corner the whole weight sits on corner (i, j).
  const NoiseCell c = noise.Lookup(Point2(160.0f, 120.0f), 8.0f);
  EXPECT_EQ(c.hash[0], kHashOrigin);
  EXPECT_FLOAT_EQ(c.weight[0], 1.0f);
  EXPECT_FLOAT_EQ(c.weight[1] + c.weight[2] + c.weight[3], 0.0f);
  // Corner (1, 0): A[0] B[1] + B[0] + A[1].
  EXPECT_EQ(c.hash[1], (2068u * 40706u + 47399u + 2315u) & 0xFFFFu);
  // Corner (0, 1): A[1] B[0] + B[1] + A[0].
  EXPECT_EQ(c.hash[2], (2315u * 47399u + 40706u + 2068u) & 0xFFFFu);
}

TEST(LineNoise, DrawsAtACellCornerMatchTheHandComputedValue) {
  const LineNoise noise = SeededNoise(1);
  const NoiseCell c = noise.Lookup(Point2(0.0f, 0.0f), 1.0f);
  // Salt 5: 5 ^ 28743 = 28738; (14434 - 28738 * 12119) mod 65536 = 62452;
  // S = 62452 / 65536 = 0.952942; d = 2S - 1 = 0.905884 > 0, so
  // r = (1 - d)^2 - 1 = -0.991142.
  EXPECT_NEAR(LineNoise::SaltedSum(c, 5), 62452.0f / 65536.0f, 1e-7f);
  EXPECT_NEAR(LineNoise::Draw(c, 5), -0.991142f, 1e-5f);
  // r(314, 222): S_a = 46055 / 65536, S_b = 56675 / 65536, d = 0.567535,
  // r = (1 - d)^2 - 1 = -0.812974.
  EXPECT_NEAR(LineNoise::Draw(c, c, 314, 222), -0.812974f, 1e-5f);
}

TEST(LineNoise, WeighsTheFourCornersBilinearly) {
  LineNoise noise = SeededNoise(3);
  noise.SetOrigin(Point2(100.0f, 50.0f));
  // u = 2.5 / 10 = 0.25, v = 7.5 / 10 = 0.75 in cell (0, 0).
  const NoiseCell c = noise.Lookup(Point2(102.5f, 57.5f), 10.0f);
  const float expected[4] = {0.75f * 0.25f, 0.25f * 0.25f, 0.75f * 0.75f, 0.25f * 0.75f};
  for (int k = 0; k < 4; ++k) EXPECT_NEAR(c.weight[k], expected[k], 1e-6f) << "corner " << k;
  // The cell's hashes are those of the corner lookups of its four corners.
  const NoiseCell corners[4] = {
      noise.Lookup(Point2(100.0f, 50.0f), 10.0f), noise.Lookup(Point2(110.0f, 50.0f), 10.0f),
      noise.Lookup(Point2(100.0f, 60.0f), 10.0f), noise.Lookup(Point2(110.0f, 60.0f), 10.0f)};
  for (int k = 0; k < 4; ++k) EXPECT_EQ(c.hash[k], corners[k].hash[0]) << "corner " << k;
}

TEST(LineNoise, IsContinuousAcrossCellBorders) {
  const LineNoise noise = SeededNoise(7);
  for (float x = -40.0f; x <= 40.0f; x += 4.0f) {
    for (uint32_t salt : {1u, 814u, 29318u}) {
      const float before = LineNoise::SaltedSum(noise.Lookup(Point2(x - 1e-3f, 3.3f), 4.0f), salt);
      const float after = LineNoise::SaltedSum(noise.Lookup(Point2(x + 1e-3f, 3.3f), 4.0f), salt);
      EXPECT_NEAR(before, after, 2e-3f) << "x " << x << " salt " << salt;
    }
  }
}

TEST(LineNoise, CellIndexWrapsAt65536AndCarriesIntoTheHighPart) {
  const LineNoise noise = SeededNoise(1);
  // Cell 65535: its right neighbour is table index 0 with high part 1,
  // which adds 255 for a column: 28743 + 255.
  const NoiseCell right = noise.Lookup(Point2(65535.5f, 0.0f), 1.0f);
  EXPECT_EQ(right.hash[0], (2068u * 13728u + 47399u + 1u) & 0xFFFFu);  // A[65535] = 1
  EXPECT_EQ(right.hash[1], kHashOrigin + 255);
  EXPECT_FLOAT_EQ(right.weight[0], 0.5f);
  EXPECT_FLOAT_EQ(right.weight[1], 0.5f);
  // Cell -1 is table index 65535 with high part -1, which adds 13.
  const NoiseCell left = noise.Lookup(Point2(-0.5f, 0.0f), 1.0f);
  EXPECT_EQ(left.hash[0], right.hash[0] + 13);
  EXPECT_EQ(left.hash[1], kHashOrigin);
  // Rows: high part 1 adds 19, high part -1 adds 127.
  EXPECT_EQ(noise.Lookup(Point2(0.0f, 65536.0f), 1.0f).hash[0], kHashOrigin + 19);
  const uint32_t rowMinus1 = (1u * 47399u + 13728u + 2068u + 127u) & 0xFFFFu;
  EXPECT_EQ(noise.Lookup(Point2(0.0f, -1.0f), 1.0f).hash[0], rowMinus1);
}

TEST(LineNoise, AnswersForPointsFarOffTheScreen) {
  const LineNoise noise = SeededNoise(9);
  const float far[] = {1e30f, -1e30f, INFINITY, NAN};
  for (float x : far) {
    const NoiseCell c = noise.Lookup(Point2(x, x), 0.0f);
    float total = 0.0f;
    for (float w : c.weight) total += w;
    EXPECT_NEAR(total, 1.0f, 1e-6f) << x;
    const float r = LineNoise::Draw(c, 17);
    EXPECT_TRUE(r >= -1.0f && r <= 1.0f) << x;
  }
}

TEST(LineNoise, DrawsLieInMinusOneToOneWithTheOppositeSignOfD) {
  const LineNoise noise = SeededNoise(12345);
  int negative = 0, positive = 0;
  double sum = 0.0;
  const int n = 2000;
  for (int k = 0; k < n; ++k) {
    const Point2 p(static_cast<float>(k % 50) * 7.3f - 180.0f, static_cast<float>(k / 50) * 5.1f);
    const Point2 q = p + Point2(3.7f, -1.9f);
    const NoiseCell a = noise.Lookup(p, 24.0f), b = noise.Lookup(q, 24.0f);
    const float d2 = LineNoise::SaltedSum(a, 898) + LineNoise::SaltedSum(b, 32552) - 1.0f;
    const float r2 = LineNoise::Draw(a, b, 898, 32552);
    const float d1 = 2.0f * LineNoise::SaltedSum(a, 57814) - 1.0f;
    const float r1 = LineNoise::Draw(a, 57814);
    for (auto [d, r] : {std::pair{d2, r2}, std::pair{d1, r1}}) {
      ASSERT_GE(r, -1.0f);
      ASSERT_LE(r, 1.0f);
      if (d > 0.0f) {
        EXPECT_LT(r, 0.0f) << "d " << d;
      } else if (d < 0.0f) {
        EXPECT_GT(r, 0.0f) << "d " << d;
      }
    }
    (r2 < 0.0f ? negative : positive)++;
    sum += r2;
  }
  // Over many cells the draws take both signs and centre on 0.
  EXPECT_GT(negative, n / 4);
  EXPECT_GT(positive, n / 4);
  EXPECT_NEAR(sum / n, 0.0, 0.1);
}

TEST(LineNoise, ShapeMapsTheEndsAndTheMiddle) {
  struct Case {
    float d, r;
  } cases[] = {{0.0f, 0.0f}, {1.0f, -1.0f}, {-1.0f, 1.0f}, {0.5f, -0.75f}, {-0.5f, 0.75f}};
  for (const Case& c : cases) EXPECT_FLOAT_EQ(LineNoise::Shape(c.d), c.r) << c.d;
}

std::unique_ptr<uint16_t[]> noMemory(size_t) {
  return nullptr;
}

int allocations = 0;
std::unique_ptr<uint16_t[]> secondFails(size_t count) {
  return ++allocations == 2 ? nullptr : std::make_unique<uint16_t[]>(count);
}

TEST(LineNoise, ReportsTablesThatCannotBeAllocated) {
  LineNoise none(noMemory);
  EXPECT_FALSE(none.Seed(1));
  EXPECT_FALSE(none.Ready());
  allocations = 0;
  LineNoise half(secondFails);
  EXPECT_FALSE(half.Seed(1));
  EXPECT_FALSE(half.Ready());
  // A later attempt allocates again.
  EXPECT_TRUE(half.Seed(1));
  EXPECT_TRUE(half.Ready());
  half.Free();
  EXPECT_FALSE(half.Ready());
}

TEST(LineNoise, JobSeedsFollowTheLineSetCategoryAndVisibility) {
  // (5 + 2 * 3 + 10000 + 1 * 199) * 2061 + 7 = 21042817 = 321 * 65536 + 5761.
  EXPECT_EQ(JobNoiseSeed(5, 2, true, 1), 5761);
  // (5 + 6 + 199) * 2061 + 7 = 432817 = 6 * 65536 + 39601.
  EXPECT_EQ(JobNoiseSeed(5, 2, false, 1), 39601);
  // 16-bit arithmetic: a seed 65536 higher gives the same noise.
  EXPECT_EQ(JobNoiseSeed(5 + 65536, 2, true, 1), 5761);
  EXPECT_EQ(NextNoiseSeed(1), 2068);
  EXPECT_EQ(NextNoiseSeed(65535), (65535u * 2061u + 7u) & 0xFFFFu);
}

}  // namespace
}  // namespace tarnis
