// Tests of the stamp cache: the raster of a known tip, hits and reuse of the
// least recently used entry, stale entries after an update, size changes,
// and lookups that cannot allocate.
#include "tarnis/line/brush/stamp_cache.h"

#include <gtest/gtest.h>

#include <new>

#include "sdk/reference.h"
#include "tarnis/line/brush/brush.h"

namespace tarnis {
namespace {

TEST(StampCache, RasterOfTheDefaultBrushIsTheDiscInscribedInIt) {
  ReferenceHolder holder(new Brush);
  auto& brush = *holder.GetAs<Brush>();
  StampCache cache;
  const auto stamp = cache.Lookup(brush, kLineStampSize);
  ASSERT_TRUE(stamp);
  ASSERT_EQ(stamp->size(), size_t{kLineStampSize * kLineStampSize});
  // Pixel centres map to the tip square with (k - 31.5) / 63.5 + 0.5, so a
  // pixel is inside the unit disc when its distance from 31.5 is below 31.75.
  for (int j = 0; j < kLineStampSize; ++j) {
    for (int k = 0; k < kLineStampSize; ++k) {
      const double dx = k - 31.5, dy = j - 31.5;
      const int expected = dx * dx + dy * dy < 31.75 * 31.75 ? 255 : 0;
      EXPECT_EQ((*stamp)[static_cast<size_t>(j * kLineStampSize + k)], expected) << k << "," << j;
    }
  }
}

TEST(StampCache, AnswersRepeatedLookupsFromTheCacheAndReusesTheLeastRecentlyUsed) {
  ReferenceHolder holder(new Brush);
  auto& brush = *holder.GetAs<Brush>();
  StampCache cache(3);
  auto lookup = [&](uint16_t seed) {
    brush.SetStrokeSeed(seed);
    return cache.Lookup(brush, 16)->data();
  };
  const uint8_t* one = lookup(1);
  const uint8_t* two = lookup(2);
  const uint8_t* three = lookup(3);
  EXPECT_EQ(cache.Misses(), 3);
  EXPECT_EQ(lookup(1), one);  // a hit; 2 is now the least recently used
  EXPECT_EQ(cache.Misses(), 3);
  EXPECT_EQ(lookup(4), two);  // 4 takes 2's raster
  EXPECT_EQ(cache.Misses(), 4);
  EXPECT_EQ(lookup(1), one);
  EXPECT_EQ(lookup(3), three);
  EXPECT_EQ(cache.Misses(), 4);
  lookup(2);  // gone: computed again
  EXPECT_EQ(cache.Misses(), 5);
}

TEST(StampCache, ComputesTheStampAgainAfterTheBrushChanged) {
  ReferenceHolder holder(new Brush);
  auto& brush = *holder.GetAs<Brush>();
  StampCache cache;
  const auto before = *cache.Lookup(brush, 32);
  const uint8_t centre = before[16 * 32 + 16];
  ASSERT_EQ(centre, 255);
  brush.Block(kBrushBlockParameters)->SetValue(kBrushMapType, 0, kTipSoft);
  brush.Block(kBrushBlockParameters)->SetValue(kBrushMapDampStart, 0, 0.0f);
  Interval valid = FOREVER;
  brush.Update(0, valid);
  const auto after = *cache.Lookup(brush, 32);
  EXPECT_EQ(cache.Misses(), 2);
  EXPECT_LT(after[16 * 32 + 16], 255);  // a soft tip now, no longer flat at the centre
}

TEST(StampCache, ChangingTheSizeEmptiesTheCache) {
  ReferenceHolder holder(new Brush);
  auto& brush = *holder.GetAs<Brush>();
  StampCache cache;
  EXPECT_EQ(cache.Lookup(brush, 8)->size(), 64u);
  EXPECT_EQ(cache.Lookup(brush, 16)->size(), 256u);
  EXPECT_EQ(cache.Lookup(brush, 8)->size(), 64u);
  EXPECT_EQ(cache.Misses(), 3);
  cache.SetCount(5);
  cache.Lookup(brush, 8);
  EXPECT_EQ(cache.Misses(), 4);
}

// Runs out of memory on its first allocation.
class FailingOnceCache : public StampCache {
 protected:
  std::unique_ptr<uint8_t[]> AllocateRasters(size_t bytes) override {
    if (failures_++ == 0) throw std::bad_alloc();
    return StampCache::AllocateRasters(bytes);
  }

 private:
  int failures_ = 0;
};

TEST(StampCache, AnswersNoStampInsteadOfFailing) {
  ReferenceHolder holder(new Brush);
  auto& brush = *holder.GetAs<Brush>();
  FailingOnceCache failing;
  EXPECT_FALSE(failing.Lookup(brush, 64));
  EXPECT_TRUE(failing.Lookup(brush, 64));  // memory is back: a stamp again

  StampCache cache;
  for (int size : {0, -3, 1 << 20}) EXPECT_FALSE(cache.Lookup(brush, size)) << size;
  StampCache empty(0);
  EXPECT_FALSE(empty.Lookup(brush, 8));
}

}  // namespace
}  // namespace tarnis
