// Texture lookups and the texture cache. The pyramid levels are box-filtered
// so that each texel of a level is the exact average of the region of the
// image it covers, also for odd sizes.
#include "host/bitmap_sampler.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <mutex>
#include <unordered_map>

#include "sdk/check.h"
#include "sdk/mtl.h"

namespace host {
namespace {

// One source texel of a box filter and its share of the output texel.
struct BoxTap {
  int index;
  float weight;
};

// For each of m output texels along an axis of n source texels (m <= n), the
// source texels it covers with the fraction each contributes.
std::vector<std::vector<BoxTap>> BoxTaps(int n, int m) {
  std::vector<std::vector<BoxTap>> taps(static_cast<size_t>(m));
  const double scale = double(n) / m;
  for (int o = 0; o < m; ++o) {
    double a = o * scale, b = (o + 1) * scale;
    for (int k = static_cast<int>(std::floor(a)); k < n && k < b; ++k) {
      double overlap = std::min(b, k + 1.0) - std::max(a, double(k));
      if (overlap > 0) taps[size_t(o)].push_back({k, static_cast<float>(overlap / scale)});
    }
  }
  return taps;
}

// The next pyramid level: each side halved (rounded down, at least 1).
FloatImage Downsample(const FloatImage& src) {
  const int w = std::max(1, src.width / 2), h = std::max(1, src.height / 2);
  const auto xTaps = BoxTaps(src.width, w), yTaps = BoxTaps(src.height, h);
  FloatImage wide;  // filtered across only: w x src.height
  wide.width = w;
  wide.height = src.height;
  wide.pixels.resize(size_t(w) * src.height);
  for (int y = 0; y < src.height; ++y)
    for (int x = 0; x < w; ++x) {
      AColor sum(0, 0, 0, 0);
      for (const BoxTap& t : xTaps[size_t(x)]) sum += src.At(t.index, y) * t.weight;
      wide.pixels[size_t(y) * w + x] = sum;
    }
  FloatImage dst;
  dst.width = w;
  dst.height = h;
  dst.pixels.resize(size_t(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      AColor sum(0, 0, 0, 0);
      for (const BoxTap& t : yTaps[size_t(y)]) sum += wide.At(x, t.index) * t.weight;
      dst.pixels[size_t(y) * w + x] = sum;
    }
  return dst;
}

enum class AxisMode { kClamp, kWrap, kMirror };

// Texel index i of the infinite lattice mapped into 0..n-1.
int TexelIndex(int i, int n, AxisMode mode) {
  switch (mode) {
    case AxisMode::kClamp:
      return std::clamp(i, 0, n - 1);
    case AxisMode::kWrap:
      return ((i % n) + n) % n;
    case AxisMode::kMirror: {
      int m = ((i % (2 * n)) + 2 * n) % (2 * n);
      return m < n ? m : 2 * n - 1 - m;
    }
  }
  return 0;
}

// The two texels a bilinear lookup blends along one axis, counted from the
// axis origin, and the weight of the second.
struct AxisTaps {
  int i0, i1;
  float t;
};

// Answers false when s lies outside 0..1 on an axis that neither wraps nor
// mirrors. s must be finite.
bool AxisLookup(float s, int n, AxisMode mode, AxisTaps& taps) {
  // Reducing s to one period first keeps the precision of far-away tiles.
  if (mode == AxisMode::kMirror) s -= 2.0f * std::floor(s * 0.5f);
  if (mode == AxisMode::kWrap) s -= std::floor(s);
  if (mode == AxisMode::kClamp && (s < 0.0f || s > 1.0f)) return false;
  float x = s * float(n) - 0.5f;
  float base = std::floor(x);
  auto i = static_cast<int>(base);
  taps = {TexelIndex(i, n, mode), TexelIndex(i + 1, n, mode), x - base};
  return true;
}

AxisMode ModeOf(int tiling, int wrapBit, int mirrorBit) {
  if (tiling & mirrorBit) return AxisMode::kMirror;
  if (tiling & wrapBit) return AxisMode::kWrap;
  return AxisMode::kClamp;
}

}  // namespace

namespace {

// Bytes held by every texture alive, against TextureLimits::maxTotalBytes.
std::atomic<uint64_t> gTextureBytes{0};
std::mutex gLimitsMutex;
TextureLimits gLimits;

// The bytes a texture of this size takes with its pyramid (a third more).
uint64_t PyramidBytes(const FloatImage& image) {
  return uint64_t{image.pixels.size()} * sizeof(AColor) * 4 / 3;
}

}  // namespace

TextureImage::TextureImage(FloatImage image) {
  TARNIS_CHECK(image.width >= 0 && image.height >= 0 &&
               image.pixels.size() == size_t(image.width) * size_t(image.height))
      << "texture pixels do not match its size " << image.width << " x " << image.height;
  levels_.push_back(std::move(image));
  if (!levels_.back().pixels.empty()) {
    while (levels_.back().width > 1 || levels_.back().height > 1)
      levels_.push_back(Downsample(levels_.back()));
  }
  for (const FloatImage& level : levels_) bytes_ += level.pixels.size() * sizeof(AColor);
  gTextureBytes += bytes_;
}

TextureImage::~TextureImage() {
  gTextureBytes -= bytes_;
}

void SetTextureLimits(const TextureLimits& limits) {
  std::lock_guard lock(gLimitsMutex);
  gLimits = limits;
}

TextureLimits GetTextureLimits() {
  std::lock_guard lock(gLimitsMutex);
  return gLimits;
}

int TextureSideFor(int width, int height) {
  return std::max(kMinTextureSide, 2 * std::max(width, height));
}

void LimitTexturesToRender(int width, int height) {
  std::lock_guard lock(gLimitsMutex);
  gLimits.maxSide = TextureSideFor(width, height);
}

uint64_t TextureBytesInUse() {
  return gTextureBytes.load();
}

const FloatImage& TextureImage::Level(int i) const {
  TARNIS_CHECK(i >= 0 && i < NumLevels()) << "no pyramid level " << i;
  return levels_[size_t(i)];
}

AColor TextureImage::Bilinear(const FloatImage& level, float u, float v, int tiling) const {
  AxisTaps xs, ys;
  if (!AxisLookup(u, level.width, ModeOf(tiling, U_WRAP, U_MIRROR), xs) ||
      !AxisLookup(v, level.height, ModeOf(tiling, V_WRAP, V_MIRROR), ys))
    return AColor(0, 0, 0, 0);
  // ys counts rows from the bottom; the image stores the top row first.
  const int row0 = level.height - 1 - ys.i0, row1 = level.height - 1 - ys.i1;
  AColor bottom = level.At(xs.i0, row0) * (1.0f - xs.t) + level.At(xs.i1, row0) * xs.t;
  AColor top = level.At(xs.i0, row1) * (1.0f - xs.t) + level.At(xs.i1, row1) * xs.t;
  return bottom * (1.0f - ys.t) + top * ys.t;
}

AColor TextureImage::Sample(float u, float v, float filterWidth, int tiling) const {
  if (levels_.front().pixels.empty() || !std::isfinite(u) || !std::isfinite(v))
    return AColor(0, 0, 0, 0);
  // The filter's width in level-0 texels along the longer side; negative or
  // NaN widths mean a point lookup.
  float texels = filterWidth > 0.0f ? filterWidth * float(std::max(Width(), Height())) : 0.0f;
  if (!(texels > 1.0f) || NumLevels() == 1) return Bilinear(levels_.front(), u, v, tiling);
  float lod = std::min(std::log2(texels), float(NumLevels() - 1));
  auto fine = static_cast<int>(std::floor(lod));
  float t = lod - float(fine);
  AColor a = Bilinear(levels_[size_t(fine)], u, v, tiling);
  if (t <= 0.0f || fine + 1 >= NumLevels()) return a;
  return a * (1.0f - t) + Bilinear(levels_[size_t(fine) + 1], u, v, tiling) * t;
}

namespace {

// What identifies one version of a file on disk.
struct FileStamp {
  std::filesystem::file_time_type time{};
  uintmax_t size = 0;
  bool operator==(const FileStamp&) const = default;
};

// One file's cache entry; its mutex makes concurrent loads of the file wait
// for the first instead of loading it again.
struct CacheSlot {
  std::mutex mutex;
  std::weak_ptr<const TextureImage> texture;
  FileStamp stamp;
  int maxSide = 0;
};

std::shared_ptr<CacheSlot> SlotFor(const std::string& key) {
  static std::mutex mutex;
  static std::unordered_map<std::string, std::shared_ptr<CacheSlot>> slots;
  std::lock_guard lock(mutex);
  std::shared_ptr<CacheSlot>& slot = slots[key];
  if (!slot) slot = std::make_shared<CacheSlot>();
  return slot;
}

}  // namespace

std::shared_ptr<const TextureImage> LoadTexture(const std::string& path, std::string* error) {
  std::error_code ec;
  std::filesystem::path canonical = std::filesystem::canonical(path, ec);
  if (ec) {
    if (error) *error = path + ": cannot open (" + ec.message() + ")";
    return nullptr;
  }
  FileStamp stamp;
  stamp.time = std::filesystem::last_write_time(canonical, ec);
  stamp.size = ec ? 0 : std::filesystem::file_size(canonical, ec);

  std::shared_ptr<CacheSlot> slot = SlotFor(canonical.string());
  std::lock_guard lock(slot->mutex);
  const TextureLimits limits = GetTextureLimits();
  if (auto texture = slot->texture.lock();
      texture && slot->stamp == stamp && slot->maxSide == limits.maxSide)
    return texture;
  FloatImage image;
  if (!ReadImage(path, image, error, limits.maxSide)) return nullptr;
  const uint64_t need = PyramidBytes(image);
  if (gTextureBytes.load() + need > limits.maxTotalBytes) {
    if (error) {
      *error = path + ": the scene's textures need more than " +
               std::to_string(limits.maxTotalBytes >> 20) +
               " MiB of memory (the texture memory cap)";
    }
    return nullptr;
  }
  auto texture = std::make_shared<const TextureImage>(std::move(image));
  slot->texture = texture;
  slot->stamp = stamp;
  slot->maxSide = limits.maxSide;
  return texture;
}

}  // namespace host
