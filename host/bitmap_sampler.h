// TextureImage: a loaded texture with its mip pyramid, as the bitmap map
// samples it (bilinear lookups, trilinear across pyramid levels when the
// filter covers more than a texel, wrap and mirror tiling), and the
// process-wide texture cache so a file used by many maps is loaded once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/image_io.h"
#include "sdk/color.h"

namespace host {

// Immutable once built, so render threads may sample it concurrently.
class TextureImage {
 public:
  // Takes `image` as level 0 and builds the box-filtered pyramid, halving
  // each side (rounding down, never below 1) until the level is 1 x 1.
  explicit TextureImage(FloatImage image);
  ~TextureImage();
  TextureImage(const TextureImage&) = delete;
  TextureImage& operator=(const TextureImage&) = delete;

  int Width() const { return levels_.front().width; }
  int Height() const { return levels_.front().height; }
  int NumLevels() const { return static_cast<int>(levels_.size()); }
  // Pyramid level i (0 is the image itself), 0 <= i < NumLevels().
  const FloatImage& Level(int i) const;

  // The colour at (u, v): u runs left to right and v bottom to top, so v = 0
  // is the bottom edge of the image and the texel centres of a W x H image lie
  // at ((i + 0.5) / W, (j + 0.5) / H). Lookups are bilinear; a filterWidth (in
  // uv units) wider than a texel blends the two pyramid levels whose texels
  // are nearest that width. `tiling` takes U_WRAP, V_WRAP, U_MIRROR, V_MIRROR
  // (sdk/mtl.h): wrap repeats the image, mirror repeats it flipped every other
  // tile (mirror wins when both are set); an axis with neither answers
  // transparent black outside 0..1, and its lookups clamp to the edge texels
  // inside. Non-finite u or v also answer transparent black.
  AColor Sample(float u, float v, float filterWidth, int tiling) const;

 private:
  AColor Bilinear(const FloatImage& level, float u, float v, int tiling) const;

  std::vector<FloatImage> levels_;
  uint64_t bytes_ = 0;  // counted in TextureBytesInUse
};

// How large textures may be: the longest side a texture is read at (larger
// files are read at a smaller mip level, see ReadImage; 0: any side), and
// the memory every texture alive may take together, pyramids included.
struct TextureLimits {
  int maxSide = 4096;
  uint64_t maxTotalBytes = uint64_t{2} << 30;
};
// Process-wide, like the cache; the renderer sets them for each render.
void SetTextureLimits(const TextureLimits& limits);
TextureLimits GetTextureLimits();
// The smallest side a texture is ever reduced to.
inline constexpr int kMinTextureSide = 2048;
// The longest texture side a width x height render can use: twice its
// longer side (a texture seen across the frame, magnified twice), at least
// kMinTextureSide.
int TextureSideFor(int width, int height);
// Textures (and the background image) are read no larger than a width x
// height render can use: sets maxSide to TextureSideFor.
void LimitTexturesToRender(int width, int height);
// The bytes every texture alive takes now.
uint64_t TextureBytesInUse();

// The texture in the image file at `path` (see ReadImage), shared by every
// caller that names the same file (by canonical path) while any of them
// holds it; a file changed on disk since (time or size) is loaded afresh.
// Safe to call from several threads; concurrent calls for one file load it
// once. The file is read within GetTextureLimits(): at most maxSide on its
// longer side, and refused (with the cap in the message) when it would take
// the textures alive past maxTotalBytes. On failure answers null with
// "<path>: <problem>" in `error`.
std::shared_ptr<const TextureImage> LoadTexture(const std::string& path, std::string* error);

}  // namespace host
