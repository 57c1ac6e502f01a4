// The noise tables, the cell lookup and the draws of LineNoise.
#include "tarnis/line/draw/line_noise.h"

#include <cmath>
#include <new>

#include "sdk/check.h"
#include "tarnis/common/random_tables.h"

namespace tarnis {

namespace {

constexpr uint32_t kMask16 = 0xFFFFu;
constexpr uint16_t kTableBSalt = 0x35a1;

// The second generator of the tables, also the salt mixer of the draws.
constexpr uint32_t Mix(uint32_t s) {
  return (14434u - s * 12119u) & kMask16;
}

std::unique_ptr<uint16_t[]> allocateTable(size_t count) {
  return std::unique_ptr<uint16_t[]>(new (std::nothrow) uint16_t[count]);
}

// Grid coordinates far beyond any screen are held at +-2^40 cells so that
// the cell index fits comfortably in 64 bits; a NaN counts as 0.
int64_t cellIndex(float u) {
  constexpr double kLimit = 1099511627776.0;  // 2^40
  double v = std::isnan(u) ? 0.0 : static_cast<double>(u);
  if (v > kLimit) v = kLimit;
  if (v < -kLimit) v = -kLimit;
  return static_cast<int64_t>(std::floor(v));
}

// The position of u inside its cell, 0..1 (0 for a point held at the limit).
float fraction(float u, int64_t index) {
  const float f = u - static_cast<float>(index);
  return f >= 0.0f && f <= 1.0f ? f : 0.0f;
}

// A cell index split into the table index (index mod 65536) and the part
// above it (floor(index / 65536)); i + 1 thus wraps from 65535 to 0 and
// carries into the high part.
struct SplitIndex {
  uint32_t low;
  int64_t high;
};
SplitIndex split(int64_t index) {
  return {static_cast<uint32_t>(index & kMask16), index >> 16};
}

// The high-part terms: columns weigh 13 per unit below 1 and 255 above,
// rows 127 and 19.
uint64_t highTerm(int64_t k, uint64_t below, uint64_t above) {
  const uint64_t magnitude = static_cast<uint64_t>(k < 0 ? -k : k);
  return magnitude * (k < 1 ? below : above);
}

}  // namespace

void FillNoiseTable(uint16_t* table, uint16_t seed) {
  uint32_t s = seed;
  for (size_t k = 0; k < LineNoise::kTableSize; k += 2) {
    table[k] = static_cast<uint16_t>(Lcg(s));
    s = Mix(s);
    table[k + 1] = static_cast<uint16_t>(s);
  }
}

uint16_t JobNoiseSeed(int lineSetSeed, int category, bool visible, int lineSetIndex) {
  const uint32_t sum = static_cast<uint32_t>(lineSetSeed) + static_cast<uint32_t>(category) * 3u +
                       (visible ? 10000u : 0u) + static_cast<uint32_t>(lineSetIndex) * 199u;
  return static_cast<uint16_t>(Lcg(sum));
}

uint16_t NextNoiseSeed(uint16_t seed) {
  return static_cast<uint16_t>(Lcg(seed));
}

LineNoise::LineNoise(TableAllocator allocate) : allocate_(allocate ? allocate : allocateTable) {}

bool LineNoise::Seed(uint16_t seed) {
  if (!a_ || !b_) {
    a_ = allocate_(kTableSize);
    b_ = allocate_(kTableSize);
    if (!a_ || !b_) {
      Free();
      return false;
    }
  }
  FillNoiseTable(a_.get(), seed);
  FillNoiseTable(b_.get(), static_cast<uint16_t>(seed ^ kTableBSalt));
  return true;
}

void LineNoise::Free() {
  a_.reset();
  b_.reset();
}

NoiseCell LineNoise::Lookup(const Point2& p, float cell) const {
  TARNIS_CHECK(Ready()) << "noise looked up before it was seeded";
  const float size = cell > 1.0f ? cell : 1.0f;  // a NaN size counts as 1
  const float u = (p.x - origin_.x) / size;
  const float v = (p.y - origin_.y) / size;
  const int64_t i = cellIndex(u), j = cellIndex(v);
  const float fu = fraction(u, i), fv = fraction(v, j);
  const SplitIndex cols[2] = {split(i), split(i + 1)};
  const SplitIndex rows[2] = {split(j), split(j + 1)};
  NoiseCell out;
  for (int corner = 0; corner < 4; ++corner) {
    const SplitIndex& c = cols[corner & 1];
    const SplitIndex& r = rows[corner >> 1];
    const uint64_t hash = uint64_t{a_[r.low]} * b_[c.low] + b_[r.low] + a_[c.low] +
                          highTerm(c.high, 13, 255) + highTerm(r.high, 127, 19);
    out.hash[corner] = static_cast<uint16_t>(hash & kMask16);
  }
  out.weight[0] = (1.0f - fu) * (1.0f - fv);
  out.weight[1] = fu * (1.0f - fv);
  out.weight[2] = (1.0f - fu) * fv;
  out.weight[3] = fu * fv;
  return out;
}

float LineNoise::SaltedSum(const NoiseCell& cell, uint32_t salt) {
  float sum = 0.0f;
  for (int corner = 0; corner < 4; ++corner) {
    const uint32_t mixed = Mix((salt ^ cell.hash[corner]) & kMask16);
    sum += static_cast<float>(mixed) * (1.0f / 65536.0f) * cell.weight[corner];
  }
  return sum;
}

float LineNoise::Shape(float d) {
  if (d > 0.0f) return (1.0f - d) * (1.0f - d) - 1.0f;
  return 1.0f - (1.0f + d) * (1.0f + d);
}

float LineNoise::Draw(const NoiseCell& first, const NoiseCell& second, uint32_t a, uint32_t b) {
  return Shape(SaltedSum(first, a) + SaltedSum(second, b) - 1.0f);
}

float LineNoise::Draw(const NoiseCell& cell, uint32_t a) {
  return Shape(2.0f * SaltedSum(cell, a) - 1.0f);
}

}  // namespace tarnis
