// Tests for the SDK containers: BitArray, Tab and CStr.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sdk/bit_array.h"
#include "sdk/cstr.h"
#include "sdk/tab.h"

namespace {

// Sizes around the 64-bit word boundaries, where tail bits go wrong.
const int kSizes[] = {1, 5, 63, 64, 65, 127, 128, 129, 200};

}  // namespace

TEST(BitArray, CountsOnlyBitsInsideTheSize) {
  for (int n : kSizes) {
    BitArray bits(n);
    EXPECT_EQ(bits.NumberSet(), 0) << n;
    EXPECT_EQ((~bits).NumberSet(), n) << n;
    bits.SetAll();
    EXPECT_EQ(bits.NumberSet(), n) << n;
    EXPECT_TRUE((~bits).IsEmpty()) << n;

    BitArray some(n);
    for (int i = 0; i < n; i += 3) some.Set(i);
    some.Set(n - 1);
    int set = some.NumberSet();
    EXPECT_EQ(set, (n + 2) / 3 + ((n - 1) % 3 != 0 ? 1 : 0)) << n;
    BitArray flipped = ~some;
    EXPECT_EQ(flipped.NumberSet(), n - set) << n;
    EXPECT_FALSE(flipped[n - 1]) << n;
    EXPECT_EQ(~flipped, some) << n;
    EXPECT_EQ((flipped | some).NumberSet(), n) << n;
    EXPECT_TRUE((flipped & some).IsEmpty()) << n;
    flipped ^= bits;  // bits is all ones: xor flips back
    EXPECT_EQ(flipped, some) << n;
  }
}

TEST(BitArray, SetSizeKeepsLowBitsOnlyWhenAsked) {
  for (int n : kSizes) {
    BitArray bits(n);
    bits.SetAll();
    bits.SetSize(n + 70, true);
    EXPECT_EQ(bits.NumberSet(), n) << n;
    EXPECT_TRUE(bits[n - 1]) << n;
    EXPECT_FALSE(bits[n]) << n;

    // Shrinking drops the high bits for good: growing again brings zeros.
    bits.SetAll();
    bits.SetSize(n / 2, true);
    EXPECT_EQ(bits.NumberSet(), n / 2) << n;
    bits.SetSize(n + 1, true);
    EXPECT_EQ(bits.NumberSet(), n / 2) << n;

    bits.SetSize(n + 1);
    EXPECT_TRUE(bits.IsEmpty()) << n;
    EXPECT_EQ(bits.GetSize(), n + 1) << n;
  }
}

TEST(BitArrayDeathTest, IndexOutsideTheSizeStopsTheProgram) {
  BitArray bits(10);
  EXPECT_DEATH(bits.Set(10), "bit 10 of 10");
  EXPECT_DEATH((void)bits[-1], "bit -1 of 10");
  BitArray other(11);
  EXPECT_DEATH(bits |= other, "sizes 10 and 11");
}

TEST(Tab, InsertDeleteAndAppendKeepOrder) {
  Tab<int> t;
  const int abc[] = {1, 2, 3};
  EXPECT_EQ(t.Append(3, abc), 0);
  EXPECT_EQ(t.Append(4), 3);
  const int front[] = {-1, 0};
  EXPECT_EQ(t.Insert(0, 2, front), 0);
  const int mid = 99;
  t.Insert(3, 1, &mid);
  t.Insert(t.Count(), 1, &mid);
  EXPECT_EQ(t.Vector(), (std::vector<int>{-1, 0, 1, 99, 2, 3, 4, 99}));
  EXPECT_EQ(t.Delete(2, 3), 5);
  EXPECT_EQ(t.Vector(), (std::vector<int>{-1, 0, 3, 4, 99}));
  EXPECT_EQ(t.Delete(0, 0), 5);
  EXPECT_EQ(t.Append(0, nullptr), 5);
  t.SetCount(7);
  EXPECT_EQ(t.Vector(), (std::vector<int>{-1, 0, 3, 4, 99, 0, 0}));
}

TEST(Tab, CopiesFromItselfSurviveGrowing) {
  Tab<std::string> t;
  t.Append(std::string("alpha-long-enough-to-live-on-the-heap"));
  t.Append(std::string("beta-long-enough-to-live-on-the-heap"));
  t.Shrink();
  t.Append(t.Count(), t.Addr(0));  // the source moves when the Tab grows
  t.Insert(1, 2, t.Addr(2));
  ASSERT_EQ(t.Count(), 6);
  const char* expected[] = {"alpha", "alpha", "beta", "beta", "alpha", "beta"};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(t[i].substr(0, t[i].find('-')), expected[i]) << i;
}

TEST(TabDeathTest, OutOfRangeEditsStopTheProgram) {
  Tab<int> t;
  t.SetCount(3);
  EXPECT_DEATH(t.Delete(2, 2), "delete 2 at 2 of 3");
  EXPECT_DEATH(t.Insert(4, 0, nullptr), "insert at 4 of 3");
  EXPECT_DEATH((void)t[3], "index 3 of 3");
}

TEST(CStr, PrintfFormatsOutputOfAnyLength) {
  for (size_t len : {0u, 1u, 255u, 256u, 4096u, 100000u}) {
    std::string part(len, 'x');
    CStr s("old contents");
    int n = s.printf("<%s|%d>", part.c_str(), 42);
    EXPECT_EQ(n, static_cast<int>(len) + 5);
    EXPECT_EQ(s.Length(), n);
    EXPECT_EQ(s.str(), "<" + part + "|42>");
  }
}

TEST(CStr, PrintfMayReadItsOwnContents) {
  CStr twice("ab");
  twice.printf("%s%s", twice.data(), twice.data());
  EXPECT_EQ(twice, "abab");
}
