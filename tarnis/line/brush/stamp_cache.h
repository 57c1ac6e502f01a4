// StampCache: grey rasters of brush tips for the line drawing, so a stroke
// stamps a raster instead of evaluating the tip for every sample. It holds
// `count` rasters of N x N bytes in one allocation and a most-recently-used
// list of entries keyed by brush and stroke seed. A lookup fills an empty
// entry, answers a matching one, or, when the list is full, reuses the least
// recently used entry; the entry found moves to the front.
//
// Entries also remember the brush's working-copy generation, so a brush that
// was updated since (or a new brush at a freed brush's address) never gets a
// stale raster. Not thread-safe: each drawing thread keeps its own cache.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace tarnis {

class Brush;

// The cache the line engine draws with: 64 x 64 rasters, 32 entries.
inline constexpr int kLineStampSize = 64;
inline constexpr int kLineStampCount = 32;

class StampCache {
 public:
  explicit StampCache(int count = kLineStampCount);
  virtual ~StampCache();
  StampCache(const StampCache&) = delete;
  StampCache& operator=(const StampCache&) = delete;

  // The raster of `brush`'s tip for its current stroke seed, N = `size`
  // pixels a side, row by row from the top, or nothing when no stamp can be
  // had (size or count below 1, a raster store larger than kMaxBytes, or no
  // memory). A size other than the last one empties the cache first. The
  // bytes stay valid until the next lookup or SetCount.
  std::optional<std::span<const uint8_t>> Lookup(const Brush& brush, int size);

  // Changes the number of entries; a new count empties the cache.
  void SetCount(int count);
  int Count() const { return count_; }
  // Rasters computed so far (lookups that were not answered from the cache).
  int64_t Misses() const { return misses_; }

  // Largest raster store the cache allocates.
  static constexpr size_t kMaxBytes = size_t{1} << 30;

 protected:
  // Allocates the raster store; may throw std::bad_alloc.
  virtual std::unique_ptr<uint8_t[]> AllocateRasters(size_t bytes);

 private:
  struct Entry {
    const Brush* brush = nullptr;
    uint64_t generation = 0;
    uint16_t seed = 0;
    bool used = false;
    int raster = 0;  // index of its raster in the store
  };

  bool Allocate(int size);
  void Render(const Brush& brush, uint8_t* raster) const;
  uint8_t* Raster(int index) const;

  int count_;
  int size_ = 0;  // 0: nothing allocated
  std::unique_ptr<uint8_t[]> store_;
  std::vector<Entry> entries_;  // most recently used first
  int64_t misses_ = 0;
};

}  // namespace tarnis
