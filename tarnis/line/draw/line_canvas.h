// LineCanvas: the super-sampled accumulation buffer one job repetition is
// drawn into. Stroke drawing hands it the coverage of every super-sample a
// stroke touches; at the end of the stroke the canvas folds those samples
// into per-sample cell lists (one cell per order key), and the pass buffer
// later resolves the cells into per-pixel fragments. The canvas also holds
// the filters that resolving uses: the down-sampling weights of the n x n
// super-samples of a pixel and, for soft lines, a blur kernel.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "sdk/color.h"

namespace tarnis {

// One super-sample's accumulation for one order key. A dense drawing holds
// several cells for every super-sample of the image, so the cell is kept to
// 28 bytes: the key and the link share one word.
struct CanvasCell {
  float coverage = 0;  // the largest folded coverage
  float depth = 0;     // camera depth of the sample that gave that coverage
  Color colourSum;     // sum of colour x coverage over the folded strokes
  float weight = 0;    // sum of coverage over the folded strokes
  int32_t next : 24;   // next cell of the same super-sample (index in its row), -1 none
  uint32_t key : 8;    // order key of the kind of line (kMaxCanvasKey at most)

  CanvasCell() : next(-1), key(0) {}
  CanvasCell(float coverage_, float depth_, int key_, const Color& colourSum_, float weight_,
             int32_t next_)
      : coverage(coverage_),
        depth(depth_),
        colourSum(colourSum_),
        weight(weight_),
        next(next_),
        key(static_cast<uint32_t>(key_)) {}
};
static_assert(sizeof(CanvasCell) == 28);
inline constexpr int kMaxCanvasKey = 255;
// Cells a super-sample row can hold (the link's range).
inline constexpr int32_t kMaxRowCells = (1 << 23) - 1;

// The touched stretch of a super-sample row; empty while last < first.
struct RowExtent {
  int first = 0, last = -1;
  bool Empty() const { return last < first; }
};

class LineCanvas {
 public:
  // Sets the canvas up for a width x height image drawn with overSampling
  // super-samples per pixel side (at least 1) and the given anti-aliasing
  // size (0 hardest edges, 1 one-pixel soft edges, above 1 blurred). False,
  // with nothing allocated, when the size is not positive or too large or
  // memory runs out.
  bool Init(int width, int height, int overSampling, float antiAliasSize);

  int Width() const { return width_; }
  int Height() const { return height_; }
  int N() const { return n_; }
  float InvN() const { return invN_; }
  float EdgeSoftness() const { return edgeSoftness_; }
  // Coverage per super-sample of distance inside a stroke's edge.
  float InvScale() const { return invScale_; }
  int SuperWidth() const { return superWidth_; }
  int SuperRows() const { return superRows_; }
  // n x n weights, row by row, summing to 1.
  const std::vector<float>& DownWeights() const { return downWeights_; }
  float BlurRadius() const { return blurRadius_; }
  // The kernel's reach r in super-samples; the kernel is (2r + 1)^2.
  int BlurReach() const { return blurReach_; }
  // (2r + 1) x (2r + 1) weights, row by row, summing to 1.
  const std::vector<float>& BlurKernel() const { return blurKernel_; }
  // The blur and the down-weights combined: the weight of each super-sample
  // of the (n + 2r) x (n + 2r) window around a pixel, row by row, starting
  // r super-samples above and left of the pixel's first super-sample.
  const std::vector<float>& PixelFilter() const { return pixelFilter_; }
  int PixelFilterSpan() const { return n_ + 2 * blurReach_; }

  // Drops the cells of the current repetition (and any unfinished stroke),
  // visiting only the touched rows.
  void Clear();

  struct StrokeSampleRecord {
    int sx = 0, sy = 0;
    float coverage = 0, depth = 0;
    int key = 0;
    Color colour;
  };
  // A horizontal band of super-sample rows with its own unfinished stroke.
  // Bands with disjoint rows may draw and fold on different threads at once;
  // since every super-sample belongs to one band and receives its strokes in
  // drawing order, the canvas ends the same however the rows are banded.
  struct Band {
    int rowBegin = 0, rowEnd = 0;
    std::vector<StrokeSampleRecord> stroke;
  };
  // The whole canvas as one band (what the band-less calls use).
  Band& WholeBand() { return whole_; }
  void BeginStroke(Band& band);
  void StrokeSample(Band& band, int sx, int sy, float coverage, float depth, int key,
                    const Color& colour);
  void EndStroke(Band& band, float opacity);

  // Starts a stroke: samples of an unfinished stroke are dropped.
  void BeginStroke();
  // One super-sample of the stroke being drawn. Within a stroke a sample
  // keeps its largest coverage with that call's depth, key and colour (on
  // equal coverage the smaller depth wins). Samples outside the canvas,
  // coverage that is not above 0 and keys outside 0..kMaxCanvasKey are
  // ignored; coverage is capped at 1.
  void StrokeSample(int sx, int sy, float coverage, float depth, int key, const Color& colour);
  // Folds the stroke's samples into the cells with coverage x opacity
  // (opacity clamped to 0..1): a cell of the same key adds colour x coverage
  // to its colour sum and coverage to its weight, and keeps the larger
  // coverage with its depth (the smaller depth on equal coverage); a new key
  // starts a new cell at the front of the sample's list.
  void EndStroke(float opacity);
  // Samples of the current stroke not folded yet.
  size_t PendingStrokeSamples() const { return whole_.stroke.size(); }

  RowExtent Extent(int sy) const { return extents_[static_cast<size_t>(sy)]; }
  // Calls f(const CanvasCell&) for each cell of super-sample (sx, sy), newest first.
  template <class F>
  void ForEachCell(int sx, int sy, F&& f) const {
    const std::vector<CanvasCell>& row = cells_[static_cast<size_t>(sy)];
    for (int32_t i = heads_[sampleIndex(sx, sy)]; i >= 0; i = row[static_cast<size_t>(i)].next) {
      f(row[static_cast<size_t>(i)]);
    }
  }
  // The cells of one super-sample, newest first (for inspection).
  std::vector<CanvasCell> CellsAt(int sx, int sy) const;

 private:
  size_t sampleIndex(int sx, int sy) const {
    return static_cast<size_t>(sy) * static_cast<size_t>(superWidth_) + static_cast<size_t>(sx);
  }
  void release();
  void buildFilters();
  void fold(const StrokeSampleRecord& s, float coverage);

  int width_ = 0, height_ = 0;
  int n_ = 1;
  float invN_ = 1;
  float edgeSoftness_ = 1;
  float invScale_ = 1;
  int superWidth_ = 0, superRows_ = 0;
  std::vector<float> downWeights_;
  float blurRadius_ = 0;
  int blurReach_ = 0;
  std::vector<float> blurKernel_;
  std::vector<float> pixelFilter_;

  std::vector<int32_t> heads_;                  // first cell of each super-sample, -1 none
  std::vector<std::vector<CanvasCell>> cells_;  // the cells of each super-sample row
  std::vector<RowExtent> extents_;              // touched stretch of each row
  std::vector<int32_t> strokeSlot_;             // stroke record of each super-sample, -1 none
  Band whole_;                                  // the band-less calls' band
};

}  // namespace tarnis
