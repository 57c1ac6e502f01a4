// LineNoise: the 2-D value noise that randomises strokes. Two tables of
// 65536 16-bit values are filled from a seed; a screen point is placed in a
// grid of square cells around the image centre, and each corner of its cell
// gets a 16-bit hash from the tables. A draw mixes the corner hashes with a
// salt and bilinear weights into a value in -1..1, so every stroke property
// gets its own smooth, seed-dependent field over the screen. Draws keep no
// state: the same points, salts and seed always give the same value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "sdk/points.h"

namespace tarnis {

// The four corners of the noise cell around a point: (i, j), (i + 1, j),
// (i, j + 1) and (i + 1, j + 1), with their hashes and bilinear weights.
struct NoiseCell {
  uint16_t hash[4] = {};
  float weight[4] = {};
};

class LineNoise {
 public:
  static constexpr size_t kTableSize = 65536;
  // Allocates one table; answers null when memory runs out (never throws).
  using TableAllocator = std::unique_ptr<uint16_t[]> (*)(size_t count);

  // `allocate` replaces the default allocation (tests use it to simulate
  // running out of memory); null means the default.
  explicit LineNoise(TableAllocator allocate = nullptr);

  // Fills table A from `seed` and table B from seed XOR 0x35a1, allocating
  // both on first use. False, with no tables, when they cannot be allocated.
  bool Seed(uint16_t seed);
  // True after a successful Seed until Free.
  bool Ready() const { return a_ != nullptr; }
  // Releases both tables.
  void Free();

  // The screen point that is the corner of cell (0, 0): the image centre.
  void SetOrigin(const Point2& origin) { origin_ = origin; }
  const Point2& Origin() const { return origin_; }

  uint16_t A(size_t i) const { return a_[i & (kTableSize - 1)]; }
  uint16_t B(size_t i) const { return b_[i & (kTableSize - 1)]; }

  // The cell of screen point p in a grid of cells `cell` pixels wide (at
  // least 1). The noise must be Ready.
  NoiseCell Lookup(const Point2& p, float cell) const;

  // S: the salted, weighted sum over a cell's corners, in 0..1.
  static float SaltedSum(const NoiseCell& cell, uint32_t salt);
  // r(a, b): salt a over the cell of a stroke's first point and salt b
  // over the cell of its second point; in -1..1.
  static float Draw(const NoiseCell& first, const NoiseCell& second, uint32_t a, uint32_t b);
  // r(a): one salt over one cell; in -1..1.
  static float Draw(const NoiseCell& cell, uint32_t a);
  // The mapping of d (-1..1) to a draw: (1 - d)^2 - 1 for d > 0, otherwise
  // 1 - (1 + d)^2, so the result lies in -1..1 with the opposite sign of d.
  static float Shape(float d);

 private:
  TableAllocator allocate_;
  std::unique_ptr<uint16_t[]> a_, b_;
  Point2 origin_;
};

// Fills `table` (kTableSize entries) in pairs from `seed`: entry 2k is one
// step (2061 s + 7) of the current state s, and s then becomes
// 14434 - 12119 s, which is entry 2k + 1 (all modulo 65536).
void FillNoiseTable(uint16_t* table, uint16_t seed);

// The noise seed of a job's first repetition, from its line set's seed,
// the category the job was found through, whether it draws visible lines
// and its line set's index (16-bit arithmetic).
uint16_t JobNoiseSeed(int lineSetSeed, int category, bool visible, int lineSetIndex);
// The seed of the next repetition.
uint16_t NextNoiseSeed(uint16_t seed);

}  // namespace tarnis
