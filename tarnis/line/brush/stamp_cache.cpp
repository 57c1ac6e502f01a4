#include "tarnis/line/brush/stamp_cache.h"

#include <algorithm>
#include <new>

#include "tarnis/line/brush/brush.h"

namespace tarnis {

StampCache::StampCache(int count) : count_(count) {}

StampCache::~StampCache() = default;

void StampCache::SetCount(int count) {
  if (count == count_) return;
  count_ = count;
  size_ = 0;
  store_.reset();
  entries_.clear();
}

std::unique_ptr<uint8_t[]> StampCache::AllocateRasters(size_t bytes) {
  return std::make_unique_for_overwrite<uint8_t[]>(bytes);
}

bool StampCache::Allocate(int size) {
  size_ = 0;
  store_.reset();
  entries_.clear();
  if (size < 1 || count_ < 1) return false;
  size_t bytes = 0;
  const auto n = static_cast<size_t>(size);
  if (__builtin_mul_overflow(n, n, &bytes) ||
      __builtin_mul_overflow(bytes, static_cast<size_t>(count_), &bytes) || bytes > kMaxBytes) {
    return false;
  }
  // Running out of memory ends in "no stamp", never in an exception that
  // reaches the drawing code.
  try {
    store_ = AllocateRasters(bytes);
    entries_.resize(static_cast<size_t>(count_));
  } catch (const std::bad_alloc&) {
    store_.reset();
    entries_.clear();
    return false;
  }
  if (!store_) return false;
  for (int i = 0; i < count_; ++i) entries_[static_cast<size_t>(i)].raster = i;
  size_ = size;
  return true;
}

uint8_t* StampCache::Raster(int index) const {
  return store_.get() + static_cast<size_t>(index) * static_cast<size_t>(size_) * size_;
}

std::optional<std::span<const uint8_t>> StampCache::Lookup(const Brush& brush, int size) {
  if ((size != size_ || !store_) && !Allocate(size)) return std::nullopt;
  const uint64_t generation = brush.Generation();
  const uint16_t seed = brush.StrokeSeed();
  // Used entries stay in front of the empty ones, so the first empty entry
  // means there is no match further on.
  auto it = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) {
    return !e.used || (e.brush == &brush && e.generation == generation && e.seed == seed);
  });
  const bool hit = it != entries_.end() && it->used;
  if (it == entries_.end()) it = entries_.end() - 1;  // full: reuse the least recently used
  std::rotate(entries_.begin(), it, it + 1);
  Entry& entry = entries_.front();
  if (!hit) {
    entry = {&brush, generation, seed, true, entry.raster};
    Render(brush, Raster(entry.raster));
    ++misses_;
  }
  const size_t pixels = static_cast<size_t>(size_) * size_;
  return std::span<const uint8_t>(Raster(entry.raster), pixels);
}

void StampCache::Render(const Brush& brush, uint8_t* raster) const {
  const BrushTip tip = brush.Tip();
  const float n = static_cast<float>(size_);
  const float centre = (n - 1.0f) / 2.0f;
  const float scale = 1.0f / (n - 0.5f);
  for (int j = 0; j < size_; ++j) {
    const float v = 1.0f - ((static_cast<float>(j) - centre) * scale + 0.5f);
    for (int k = 0; k < size_; ++k) {
      const float u = (static_cast<float>(k) - centre) * scale + 0.5f;
      // A tip map may answer anything; NaN counts as 0.
      const float i = 255.0f * tip.Intensity(u, v);
      const float value = i > 0.0f ? std::min(i, 255.0f) : 0.0f;
      raster[static_cast<size_t>(j) * size_ + k] = static_cast<uint8_t>(value);
    }
  }
}

}  // namespace tarnis
