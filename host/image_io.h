// Image files: reading textures (PNG, JPEG, EXR) into float RGBA images, and
// writing rendered frames as PNG (8 or 16 bit) or as EXR with the render
// elements as further layers of the same file. Every failure is a false
// answer plus one message naming the file and the problem; hostile files never
// crash the process. Writes go to a temporary file beside the target that is
// renamed over it only when complete, so a failed write leaves the old file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sdk/atomic_file.h"
#include "sdk/bitmap.h"
#include "sdk/color.h"

namespace host {

// The largest image, in pixels, that is read or written; larger headers are
// refused before anything is allocated.
inline constexpr int64_t kMaxImagePixels = int64_t{1} << 28;

// A float RGBA image, values as stored in the file (no gamma conversion).
struct FloatImage {
  int width = 0, height = 0;
  std::vector<AColor> pixels;  // row-major, top row first

  // The pixel in column x of row y (row 0 is the top). Coordinates outside
  // the image clamp to the nearest edge pixel; an empty image answers
  // transparent black.
  AColor At(int x, int y) const;
};

// Reads a PNG (1 to 16 bit grey, grey+alpha, RGB, RGBA or palette), JPEG
// (grey or colour) or EXR (half or float; the R, G, B, A channels, or Y for
// grey, or the first layer holding colour channels when the file has no plain
// ones) into `out`, every channel 0..1 for the integer formats. The format is
// found from the file's first bytes, not its name. Missing alpha reads as 1;
// EXR pixels outside the data window read as transparent black, and values
// that are not finite read as 0. On failure answers false, leaves `out`
// unchanged and, when `error` is given, sets it to "<path>: <problem>".
// With `maxSide` > 0, an image with a side longer than that is read at the
// first mip level (half, quarter ... size, box-filtered) whose sides fit,
// without ever holding the full-size image (interlaced PNG files excepted).
bool ReadImage(const std::string& path, FloatImage& out, std::string* error, int maxSide = 0);

// Writes `image` as an RGBA PNG with 8 or 16 bits a channel (8 bit rounds
// each 16-bit value to the nearest 8-bit one). The directory must exist, and
// `path` must be new or a regular file that may be written (see
// sdk/atomic_file.h). On failure answers false with "<path>: <problem>" in
// `error`, and the file at `path`, if any, is untouched. With a `batch`, the
// file replaces `path` only when the batch is committed.
bool WritePng(const std::string& path, const Bitmap& image, int bitsPerChannel, std::string* error,
              FileBatch* batch = nullptr);

// One image of a multi-layer EXR file; `image` must outlive the write.
struct ExrLayer {
  std::string name;
  const Bitmap* image = nullptr;
};

// Writes the layers as one half-float RGBA EXR file. The first layer is the
// main image with the channels R, G, B, A (its name is not stored); every
// further layer gets the channels "<name>.R" and so on, where <name> keeps
// letters, digits, '_' and '-' and turns anything else into '_' (an empty
// name becomes "layer", a repeated one gets "_2", "_3" ...). All layers must
// have the same size. Failure handling as for WritePng.
bool WriteExr(const std::string& path, const std::vector<ExrLayer>& layers, std::string* error,
              FileBatch* batch = nullptr);

// The EXR layer name WriteExr stores for each layer (empty for the first),
// so callers can tell users which layer holds which render element.
std::vector<std::string> ExrLayerNames(const std::vector<ExrLayer>& layers);

}  // namespace host
