// Tests of the shared random tables and the ease curve, against values worked
// out by hand from their rules.
#include "tarnis/common/random_tables.h"

#include <gtest/gtest.h>

#include <bitset>

#include "tarnis/common/ease.h"

namespace tarnis {
namespace {

TEST(RandomTables, FirstEntriesAreTheFirstStepsFromTheSeeds) {
  // (2061 * 55535 + 7) mod 65536 = 31786, and so on.
  const uint16_t a[] = {31786, 40489, 20508, 61811, 56030};
  const uint16_t b[] = {13319, 56418, 16641, 21780, 61963};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(RandomTableA()[i], a[i]) << i;
    EXPECT_EQ(RandomTableB()[i], b[i]) << i;
  }
}

TEST(RandomTables, EachTableRunsThroughEveryValueOnceAndEndsAtItsSeed) {
  // The step has full period, so 65536 steps visit every value and return.
  for (const RandomTable* table : {&RandomTableA(), &RandomTableB()}) {
    std::bitset<65536> seen;
    for (uint16_t v : *table) seen.set(v);
    EXPECT_TRUE(seen.all());
  }
  EXPECT_EQ(RandomTableA()[65535], 55535);
  EXPECT_EQ(RandomTableB()[65535], 1024);
}

TEST(RandomTables, StepKeepsOnlyTheLow16BitsOfWrappedArguments) {
  EXPECT_EQ(Lcg(0), 7u);
  EXPECT_EQ(Lcg(65536 + 55535), 31786u);
  EXPECT_EQ(Lcg(0xFFFFFFFFu), (2061u * 65535u + 7u) % 65536u);
  EXPECT_FLOAT_EQ(Unit16(32768), 0.5f);
}

TEST(Ease, RisesSmoothlyFromZeroToOneAndIsTheIdentityAboveOne) {
  EXPECT_FLOAT_EQ(Ease(0.0f), 0.0f);
  EXPECT_FLOAT_EQ(Ease(0.5f), 0.5f);
  EXPECT_FLOAT_EQ(Ease(1.0f), 1.0f);
  EXPECT_FLOAT_EQ(Ease(2.5f), 2.5f);
  EXPECT_NEAR(Ease(0.999f), 1.0f, 1e-3f);  // no jump at 1
  for (int i = 1; i <= 100; ++i) EXPECT_GT(Ease(i / 100.0f), Ease((i - 1) / 100.0f)) << i;
}

}  // namespace
}  // namespace tarnis
