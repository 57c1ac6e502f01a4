// Time: TimeValue counts ticks, 4800 a second. Interval is a closed range of
// times used to say how long an evaluated value stays valid; intersecting the
// intervals of every input gives the validity of a result.
#pragma once

#include <algorithm>
#include <climits>

using TimeValue = int;

inline constexpr TimeValue TIME_TICKSPERSEC = 4800;
inline constexpr TimeValue TIME_NegInfinity = INT_MIN;
inline constexpr TimeValue TIME_PosInfinity = INT_MAX;

// The scene's frame rate in frames a second (30 until the host sets it).
int GetFrameRate();
// Sets the frame rate. Rates that do not divide 4800 evenly are kept and
// GetTicksPerFrame rounds down; a rate outside 1..4800 is ignored.
void SetFrameRate(int fps);
int GetTicksPerFrame();

class Interval {
 public:
  // The empty interval.
  constexpr Interval() = default;
  constexpr Interval(TimeValue start, TimeValue end) : start_(start), end_(end) {}

  constexpr TimeValue Start() const { return start_; }
  constexpr TimeValue End() const { return end_; }
  void Set(TimeValue start, TimeValue end) { start_ = start, end_ = end; }
  void SetStart(TimeValue t) { start_ = t; }
  void SetEnd(TimeValue t) { end_ = t; }
  void SetInfinite() { start_ = TIME_NegInfinity, end_ = TIME_PosInfinity; }
  void SetEmpty() { *this = Interval(); }
  // A single instant.
  void SetInstant(TimeValue t) { start_ = end_ = t; }

  constexpr bool Empty() const {
    return start_ > end_ || (start_ == TIME_NegInfinity && end_ == TIME_NegInfinity);
  }
  constexpr bool InInterval(TimeValue t) const { return !Empty() && t >= start_ && t <= end_; }
  constexpr bool InInterval(const Interval& i) const {
    return !i.Empty() && InInterval(i.start_) && InInterval(i.end_);
  }
  constexpr bool IsInfinite() const {
    return start_ == TIME_NegInfinity && end_ == TIME_PosInfinity;
  }
  // Number of ticks in the interval, ends included; 0 when empty. Intervals
  // longer than TIME_PosInfinity ticks (FOREVER among them) answer
  // TIME_PosInfinity.
  constexpr TimeValue Duration() const {
    if (Empty()) return 0;
    long long ticks = static_cast<long long>(end_) - start_ + 1;
    return ticks > TIME_PosInfinity ? TIME_PosInfinity : static_cast<TimeValue>(ticks);
  }

  // Intersection; disjoint intervals give NEVER.
  constexpr Interval operator&(const Interval& b) const {
    if (Empty() || b.Empty()) return Interval();
    Interval r(std::max(start_, b.start_), std::min(end_, b.end_));
    return r.start_ > r.end_ ? Interval() : r;
  }
  Interval& operator&=(const Interval& b) { return *this = *this & b; }
  constexpr bool operator==(const Interval& b) const {
    return (Empty() && b.Empty()) || (start_ == b.start_ && end_ == b.end_);
  }

 private:
  TimeValue start_ = TIME_NegInfinity;
  TimeValue end_ = TIME_NegInfinity;
};

inline constexpr Interval FOREVER(TIME_NegInfinity, TIME_PosInfinity);
inline constexpr Interval NEVER(TIME_NegInfinity, TIME_NegInfinity);
