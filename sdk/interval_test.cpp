// Tests for Interval and the scene frame rate.
#include <gtest/gtest.h>

#include "sdk/interval.h"

TEST(Interval, IntersectionKeepsOnlyTheCommonTicks) {
  struct Case {
    Interval a, b, expected;
  };
  const Case cases[] = {
      {{0, 100}, {50, 200}, {50, 100}},
      {{0, 100}, {10, 20}, {10, 20}},
      {{0, 100}, {100, 200}, {100, 100}},  // sharing one tick
      {{0, 100}, {101, 200}, NEVER},       // disjoint
      {{0, 100}, FOREVER, {0, 100}},
      {{0, 100}, NEVER, NEVER},
      {FOREVER, FOREVER, FOREVER},
      {FOREVER, NEVER, NEVER},
      {{TIME_NegInfinity, 0}, {0, 10}, {0, 0}},
      {{TIME_NegInfinity, 0}, {TIME_NegInfinity, 5}, {TIME_NegInfinity, 0}},
      {{5, TIME_PosInfinity}, {TIME_NegInfinity, 10}, {5, 10}},
      {{20, 10}, {0, 100}, NEVER},  // reversed bounds are empty
  };
  for (const Case& c : cases) {
    Interval ab = c.a & c.b, ba = c.b & c.a;
    EXPECT_EQ(ab, c.expected) << ab.Start() << ".." << ab.End();
    EXPECT_EQ(ba, c.expected);
  }
}

TEST(Interval, NeverHoldsNothingAndForeverHoldsEverything) {
  for (TimeValue t : {TIME_NegInfinity, -1, 0, 4800, TIME_PosInfinity}) {
    EXPECT_FALSE(NEVER.InInterval(t)) << t;
    EXPECT_FALSE(Interval().InInterval(t)) << t;
    EXPECT_TRUE(FOREVER.InInterval(t)) << t;
  }
  EXPECT_TRUE(FOREVER.InInterval(Interval(-5, 5)));
  EXPECT_FALSE(FOREVER.InInterval(NEVER));
  EXPECT_FALSE(Interval(0, 10).InInterval(Interval(5, 11)));
  EXPECT_EQ(Interval(7, 3), NEVER);
  // The instant at negative infinity is how NEVER is stored, so it is empty.
  Interval i;
  i.SetInstant(TIME_NegInfinity);
  EXPECT_TRUE(i.Empty());
  i.SetInstant(TIME_PosInfinity);
  EXPECT_TRUE(i.InInterval(TIME_PosInfinity));
}

TEST(Interval, DurationCountsBothEndsWithoutOverflow) {
  struct Case {
    Interval i;
    TimeValue ticks;
  };
  const Case cases[] = {
      {{0, 0}, 1},
      {{0, TIME_TICKSPERSEC - 1}, TIME_TICKSPERSEC},
      {{-10, 10}, 21},
      {NEVER, 0},
      {{10, 0}, 0},
      {{TIME_NegInfinity, -1}, TIME_PosInfinity},
      {FOREVER, TIME_PosInfinity},
      {{0, TIME_PosInfinity}, TIME_PosInfinity},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.i.Duration(), c.ticks) << c.i.Start() << ".." << c.i.End();
}

class FrameRate : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = GetFrameRate(); }
  void TearDown() override { SetFrameRate(saved_); }

 private:
  int saved_ = 30;
};

TEST_F(FrameRate, TicksPerFrameFollowTheRate) {
  struct Case {
    int fps, ticks;
  };
  const Case cases[] = {{24, 200}, {25, 192}, {30, 160}, {60, 80}, {1, 4800}, {4800, 1}, {7, 685}};
  for (const Case& c : cases) {
    SetFrameRate(c.fps);
    EXPECT_EQ(GetFrameRate(), c.fps);
    EXPECT_EQ(GetTicksPerFrame(), c.ticks) << c.fps << " fps";
  }
}

TEST_F(FrameRate, InvalidRatesAreRefused) {
  SetFrameRate(25);
  for (int fps : {0, -1, -30, 4801, 1000000}) {
    SetFrameRate(fps);
    EXPECT_EQ(GetFrameRate(), 25) << fps;
    EXPECT_EQ(GetTicksPerFrame(), 192) << fps;
  }
}
