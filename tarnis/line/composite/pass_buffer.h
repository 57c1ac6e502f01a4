// PassBuffer: the per-pixel fragment lists of one visibility pass. After
// each job repetition the canvas is resolved into it (one fragment per pixel
// and order key, tagged with the repetition's blend descriptor); after the
// pass its fragments are sorted and blended over the image and into the line
// render elements. Brush previews read it back as a grey image instead.
#pragma once

#include <cstdint>
#include <vector>

#include "sdk/color.h"
#include "tarnis/line/draw/line_canvas.h"

class Bitmap;
class RenderGlobalContext;

namespace tarnis {

// How the lines of one job repetition are blended: a blend index 0..15.
struct BlendDescriptor {
  int blendMode = 0;
};

// One pixel's share of one job repetition for one order key.
// The key and the descriptor share one word: a pass over a dense drawing
// holds several fragments for every pixel.
struct LineFragment {
  float coverage = 0;       // 0..1
  float depth = 0;          // camera depth of its strongest super-sample
  uint32_t key : 8;         // order key of the kind of line
  uint32_t descriptor : 24; // index into the pass's blend descriptors
  Color colourSum;          // sum of colour x coverage
  float weight = 0;         // sum of coverage; colourSum / weight is the colour
  int32_t next = -1;        // next fragment of the pixel (index in its row)

  LineFragment() : key(0), descriptor(0) {}
  LineFragment(float coverage_, float depth_, int key_, int descriptor_, const Color& colourSum_,
               float weight_, int32_t next_)
      : coverage(coverage_),
        depth(depth_),
        key(static_cast<uint32_t>(key_)),
        descriptor(static_cast<uint32_t>(descriptor_)),
        colourSum(colourSum_),
        weight(weight_),
        next(next_) {}
};
static_assert(sizeof(LineFragment) == 32);
// Blend descriptors a pass can hold (the range of LineFragment::descriptor).
inline constexpr int kMaxBlendDescriptors = 1 << 24;

// Whether some enabled render element of gc receives the lines of a pass.
bool ReceivesLines(RenderGlobalContext* gc);

class PassBuffer {
 public:
  // Empty lists for a width x height image. False, with nothing allocated,
  // when the size is not positive or memory runs out.
  bool Init(int width, int height);
  int Width() const { return width_; }
  int Height() const { return height_; }

  // Drops the fragments and blend descriptors of the pass.
  void Clear();
  // Adds the descriptor of a job repetition and answers its index, or -1
  // when the pass holds kMaxBlendDescriptors already (Resolve then draws
  // nothing for it).
  int AddDescriptor(const BlendDescriptor& d);
  const std::vector<BlendDescriptor>& Descriptors() const { return descriptors_; }

  // Resolves the canvas (which must have this buffer's size) into fragments
  // tagged with `descriptor`: blurred when the canvas blurs, each pixel's
  // super-samples combined with the down-weights, one fragment per order key
  // with non-zero coverage (capped at 1) prepended to the pixel's list.
  void Resolve(const LineCanvas& canvas, int descriptor);

  // Blends the pass over `bitmap` (left as it is when elementOnly or null)
  // and into the line render elements of `gc` (may be null) that are
  // enabled, have a bitmap and draw `pass`. Per pixel, fragments are sorted
  // by order key (highest first), then depth (larger first), then drawing
  // order, so the fragment sorted last lies on top; each run of one blend
  // descriptor blends its coverage-weighted colour with its largest
  // coverage. Alpha becomes 1 - (1 - alpha)(1 - line coverage).
  void Composite(Bitmap* bitmap, RenderGlobalContext* gc, int pass, bool elementOnly);

  // Writes grey = 1 - (largest fragment coverage) into every pixel of
  // `image` except its one-pixel border (red, green and blue; alpha kept).
  void WritePreview(Bitmap& image) const;

  // The fragments of pixel (x, y), newest first (for inspection).
  std::vector<LineFragment> FragmentsAt(int x, int y) const;
  size_t FragmentCount() const;

 private:
  size_t pixelIndex(int x, int y) const {
    return static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x);
  }
  struct KeySum;
  struct RowScratch;
  void release();
  void resolveRow(const LineCanvas& canvas, int y, int descriptor, std::vector<KeySum>& sums);
  static void addCell(std::vector<KeySum>& sums, const CanvasCell& cell, float filter);
  void emitFragments(int x, int y, int descriptor, const std::vector<KeySum>& sums);
  void compositeRow(int y, const Bitmap* source, Bitmap* target,
                    const std::vector<Bitmap*>& elements, RowScratch& scratch) const;
  // Blends the pixel's fragments into `result`; answers the line coverage.
  float blendPixel(int x, int y, Color& result, RowScratch& scratch) const;

  int width_ = 0, height_ = 0;
  std::vector<int32_t> heads_;                   // first fragment of each pixel, -1 none
  std::vector<std::vector<LineFragment>> rows_;  // the fragments of each image row
  std::vector<RowExtent> extents_;               // pixels of each row with fragments
  std::vector<BlendDescriptor> descriptors_;
};

}  // namespace tarnis
