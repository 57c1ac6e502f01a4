// The line canvas: its filters, the per-stroke maximum and the folding of a
// finished stroke into the cells of the repetition.
#include "tarnis/line/draw/line_canvas.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <stdexcept>

namespace tarnis {
namespace {

// Beyond this reach the blur would be wider than any sensible line; the
// parameter's own range stays far below it.
constexpr int kMaxBlurReach = 256;
constexpr float kHardEdgeScale = 3.4028235e38f;

void Normalise(std::vector<float>& weights) {
  float sum = 0;
  for (float w : weights) sum += w;
  for (float& w : weights) w /= sum;
}

}  // namespace

bool LineCanvas::Init(int width, int height, int overSampling, float antiAliasSize) {
  release();
  if (width <= 0 || height <= 0) return false;
  const int n = std::max(1, overSampling);
  constexpr int kMaxInt = std::numeric_limits<int>::max();
  if (width > kMaxInt / n || height > kMaxInt / n) return false;
  const int64_t samples = int64_t{width} * n * int64_t{height} * n;
  // Cell and stroke indices are 32-bit.
  if (samples > std::numeric_limits<int32_t>::max()) return false;
  // Not a number and negative sizes count as 0 (hardest edges).
  const float aa = antiAliasSize > 0 ? antiAliasSize : 0.0f;
  const float blurRadius = static_cast<float>(n) * std::max(aa - 1.0f, 0.0f);
  if (!(blurRadius + 0.9999f <= static_cast<float>(kMaxBlurReach))) return false;

  width_ = width;
  height_ = height;
  n_ = n;
  invN_ = 1.0f / static_cast<float>(n);
  edgeSoftness_ = std::min(aa, 1.0f);
  invScale_ = edgeSoftness_ > 0 ? 1.0f / (static_cast<float>(n) * edgeSoftness_) : kHardEdgeScale;
  superWidth_ = width * n;
  superRows_ = height * n;
  blurRadius_ = blurRadius;
  blurReach_ = static_cast<int>(blurRadius + 0.9999f);
  try {
    buildFilters();
    heads_.assign(static_cast<size_t>(samples), -1);
    strokeSlot_.assign(static_cast<size_t>(samples), -1);
    cells_.resize(static_cast<size_t>(superRows_));
    extents_.assign(static_cast<size_t>(superRows_), RowExtent{superWidth_, -superWidth_});
    whole_ = Band{0, superRows_, {}};
    whole_.stroke.reserve(4096);
  } catch (const std::bad_alloc&) {
    release();
    return false;
  } catch (const std::length_error&) {
    release();
    return false;
  }
  return true;
}

void LineCanvas::release() {
  width_ = height_ = superWidth_ = superRows_ = 0;
  downWeights_ = {};
  blurKernel_ = {};
  pixelFilter_ = {};
  heads_ = {};
  cells_ = {};
  extents_ = {};
  strokeSlot_ = {};
  whole_ = Band();
}

void LineCanvas::buildFilters() {
  const int n = n_;
  downWeights_.resize(static_cast<size_t>(n) * static_cast<size_t>(n));
  for (int l = 0; l < n; ++l) {
    for (int k = 0; k < n; ++k) {
      const float dx = (static_cast<float>(k) + 0.5f) / static_cast<float>(n) - 0.5f;
      const float dy = (static_cast<float>(l) + 0.5f) / static_cast<float>(n) - 0.5f;
      downWeights_[static_cast<size_t>(l * n + k)] = std::exp(-(dx * dx + dy * dy));
    }
  }
  Normalise(downWeights_);

  // Without blur the kernel is the single weight 1 (the formula would divide
  // 0 by 0).
  const int r = blurReach_;
  const int side = 2 * r + 1;
  blurKernel_.assign(static_cast<size_t>(side) * static_cast<size_t>(side), 1.0f);
  if (r > 0) {
    const float r2 = blurRadius_ * blurRadius_;
    for (int j = -r; j <= r; ++j) {
      for (int i = -r; i <= r; ++i) {
        blurKernel_[static_cast<size_t>((j + r) * side + (i + r))] =
            std::exp(-static_cast<float>(i * i + j * j) / r2);
      }
    }
    Normalise(blurKernel_);
  }

  // Blurring and then down-weighting is one linear filter per pixel.
  const int span = n + 2 * r;
  pixelFilter_.assign(static_cast<size_t>(span) * static_cast<size_t>(span), 0.0f);
  for (int b = 0; b < span; ++b) {
    for (int a = 0; a < span; ++a) {
      float sum = 0;
      for (int l = 0; l < n; ++l) {
        const int j = b - r - l;
        if (j < -r || j > r) continue;
        for (int k = 0; k < n; ++k) {
          const int i = a - r - k;
          if (i < -r || i > r) continue;
          sum += downWeights_[static_cast<size_t>(l * n + k)] *
                 blurKernel_[static_cast<size_t>((j + r) * side + (i + r))];
        }
      }
      pixelFilter_[static_cast<size_t>(b * span + a)] = sum;
    }
  }
}

void LineCanvas::Clear() {
  for (int sy = 0; sy < superRows_; ++sy) {
    RowExtent& e = extents_[static_cast<size_t>(sy)];
    if (e.Empty()) continue;
    std::fill(heads_.begin() + static_cast<std::ptrdiff_t>(sampleIndex(e.first, sy)),
              heads_.begin() + static_cast<std::ptrdiff_t>(sampleIndex(e.last, sy)) + 1, -1);
    cells_[static_cast<size_t>(sy)].clear();
    e = RowExtent{superWidth_, -superWidth_};
  }
  BeginStroke();
}

void LineCanvas::BeginStroke() {
  BeginStroke(whole_);
}

void LineCanvas::StrokeSample(int sx, int sy, float coverage, float depth, int key,
                              const Color& colour) {
  StrokeSample(whole_, sx, sy, coverage, depth, key, colour);
}

void LineCanvas::EndStroke(float opacity) {
  EndStroke(whole_, opacity);
}

void LineCanvas::BeginStroke(Band& band) {
  for (const StrokeSampleRecord& s : band.stroke) strokeSlot_[sampleIndex(s.sx, s.sy)] = -1;
  band.stroke.clear();
}

void LineCanvas::StrokeSample(Band& band, int sx, int sy, float coverage, float depth, int key,
                              const Color& colour) {
  if (sx < 0 || sy < band.rowBegin || sx >= superWidth_ || sy >= band.rowEnd) return;
  if (!(coverage > 0) || key < 0 || key > kMaxCanvasKey) return;
  coverage = std::min(coverage, 1.0f);
  if (std::isnan(depth)) depth = 0;  // keeps the ordering of fragments total
  int32_t& slot = strokeSlot_[sampleIndex(sx, sy)];
  if (slot < 0) {
    try {
      band.stroke.push_back({sx, sy, coverage, depth, key, colour});
    } catch (const std::bad_alloc&) {
      return;  // the sample is dropped
    }
    slot = static_cast<int32_t>(band.stroke.size() - 1);
    return;
  }
  StrokeSampleRecord& s = band.stroke[static_cast<size_t>(slot)];
  if (coverage > s.coverage || (coverage == s.coverage && depth < s.depth)) {
    s.coverage = coverage;
    s.depth = depth;
    s.key = key;
    s.colour = colour;
  }
}

void LineCanvas::EndStroke(Band& band, float opacity) {
  const float o = opacity > 0 ? std::min(opacity, 1.0f) : 0.0f;
  for (const StrokeSampleRecord& s : band.stroke) {
    strokeSlot_[sampleIndex(s.sx, s.sy)] = -1;
    const float coverage = s.coverage * o;
    if (coverage > 0) fold(s, coverage);
  }
  band.stroke.clear();
}

void LineCanvas::fold(const StrokeSampleRecord& s, float coverage) {
  std::vector<CanvasCell>& row = cells_[static_cast<size_t>(s.sy)];
  int32_t& head = heads_[sampleIndex(s.sx, s.sy)];
  for (int32_t i = head; i >= 0; i = row[static_cast<size_t>(i)].next) {
    CanvasCell& cell = row[static_cast<size_t>(i)];
    if (static_cast<int>(cell.key) != s.key) continue;
    cell.colourSum += s.colour * coverage;
    cell.weight += coverage;
    if (coverage > cell.coverage || (coverage == cell.coverage && s.depth < cell.depth)) {
      cell.coverage = coverage;
      cell.depth = s.depth;
    }
    return;
  }
  if (row.size() >= static_cast<size_t>(kMaxRowCells)) return;
  try {
    // Rows grow by a quarter rather than doubling: the cells of a dense
    // drawing are most of the memory a frame's lines take.
    if (row.size() == row.capacity()) row.reserve(row.size() + row.size() / 4 + 64);
    row.emplace_back(coverage, s.depth, s.key, s.colour * coverage, coverage, head);
  } catch (const std::bad_alloc&) {
    return;  // the cell is dropped
  }
  head = static_cast<int32_t>(row.size() - 1);
  RowExtent& e = extents_[static_cast<size_t>(s.sy)];
  e.first = std::min(e.first, s.sx);
  e.last = std::max(e.last, s.sx);
}

std::vector<CanvasCell> LineCanvas::CellsAt(int sx, int sy) const {
  std::vector<CanvasCell> out;
  if (sx < 0 || sy < 0 || sx >= superWidth_ || sy >= superRows_) return out;
  ForEachCell(sx, sy, [&](const CanvasCell& c) { out.push_back(c); });
  return out;
}

}  // namespace tarnis
