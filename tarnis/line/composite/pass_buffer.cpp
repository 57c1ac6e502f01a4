// The pass buffer: resolving a canvas into fragments, compositing the pass
// over the image and the line render elements, and the brush-preview image.
// Rows are independent in both resolving and compositing, so they run in
// parallel and give the same result for any thread count.
#include "tarnis/line/composite/pass_buffer.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <algorithm>
#include <limits>
#include <new>
#include <stdexcept>

#include "sdk/bitmap.h"
#include "sdk/check.h"
#include "sdk/effect.h"
#include "sdk/render.h"
#include "tarnis/common/blend_color.h"
#include "tarnis/line/frame/line_render_element_sink.h"

namespace tarnis {

// What one pixel gathers for one order key while resolving.
struct PassBuffer::KeySum {
  int key = 0;
  float coverage = 0;
  Color colourSum;
  float weight = 0;
  float strongest = -1;  // largest cell coverage seen, for the depth
  float depth = 0;
};

// Per-task buffers of compositing, reused from row to row.
struct PassBuffer::RowScratch {
  std::vector<const LineFragment*> order;
  std::vector<BMM_Color_64> image, element;
  std::vector<Color> lineColour;
  std::vector<float> lineCoverage;
};

namespace {

constexpr size_t kMaxListItems = static_cast<size_t>(std::numeric_limits<int32_t>::max());

// The bitmaps of the render elements that receive the lines of `pass`.
std::vector<Bitmap*> LineElementBitmaps(RenderGlobalContext* gc, int pass) {
  std::vector<Bitmap*> out;
  if (!gc) return out;
  for (int i = 0; i < gc->NRenderElements(); ++i) {
    IRenderElement* element = gc->GetRenderElement(i);
    if (!element || !element->IsEnabled()) continue;
    Bitmap* bm = element->GetRenderBitmap();
    const auto* sink = dynamic_cast<const LineElementSink*>(element);
    if (bm && sink && sink->DrawsPass(pass)) out.push_back(bm);
  }
  return out;
}

// The colour the lines alone would have given over `background` to reach
// `result` with line coverage `sum` (> 0).
Color LineOnlyColour(const Color& result, const Color& background, float sum) {
  if (sum >= 1) return result;
  Color c = (result - background * (1.0f - sum)) / sum;
  c.ClampMinMax();
  return c;
}

}  // namespace

bool PassBuffer::Init(int width, int height) {
  release();
  if (width <= 0 || height <= 0) return false;
  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  try {
    heads_.assign(pixels, -1);
    rows_.resize(static_cast<size_t>(height));
    extents_.assign(static_cast<size_t>(height), RowExtent{width, -width});
  } catch (const std::bad_alloc&) {
    release();
    return false;
  } catch (const std::length_error&) {
    release();
    return false;
  }
  width_ = width;
  height_ = height;
  return true;
}

void PassBuffer::release() {
  width_ = height_ = 0;
  heads_ = {};
  rows_ = {};
  extents_ = {};
  descriptors_ = {};
}

void PassBuffer::Clear() {
  for (int y = 0; y < height_; ++y) {
    RowExtent& e = extents_[static_cast<size_t>(y)];
    if (e.Empty()) continue;
    std::fill(heads_.begin() + static_cast<std::ptrdiff_t>(pixelIndex(e.first, y)),
              heads_.begin() + static_cast<std::ptrdiff_t>(pixelIndex(e.last, y)) + 1, -1);
    rows_[static_cast<size_t>(y)].clear();
    e = RowExtent{width_, -width_};
  }
  descriptors_.clear();
}

int PassBuffer::AddDescriptor(const BlendDescriptor& d) {
  if (descriptors_.size() >= static_cast<size_t>(kMaxBlendDescriptors)) return -1;
  descriptors_.push_back(d);
  return static_cast<int>(descriptors_.size() - 1);
}

void PassBuffer::Resolve(const LineCanvas& canvas, int descriptor) {
  TARNIS_CHECK(canvas.Width() == width_ && canvas.Height() == height_)
      << "canvas " << canvas.Width() << "x" << canvas.Height() << " resolved into a pass buffer "
      << width_ << "x" << height_;
  if (descriptor < 0) return;  // the pass has no room for another descriptor
  TARNIS_CHECK(descriptor >= 0 && descriptor < static_cast<int>(descriptors_.size()))
      << "blend descriptor " << descriptor << " of " << descriptors_.size();
  tbb::parallel_for(tbb::blocked_range<int>(0, height_), [&](const tbb::blocked_range<int>& rows) {
    std::vector<KeySum> sums;
    sums.reserve(8);
    for (int y = rows.begin(); y != rows.end(); ++y) resolveRow(canvas, y, descriptor, sums);
  });
}

void PassBuffer::resolveRow(const LineCanvas& canvas, int y, int descriptor,
                            std::vector<KeySum>& sums) {
  const int n = canvas.N();
  const int r = canvas.BlurReach();
  const int span = canvas.PixelFilterSpan();
  const std::vector<float>& filter = canvas.PixelFilter();
  const int sy0 = y * n - r;
  // The super-sample rows this pixel row reads, and their touched columns.
  int first = std::numeric_limits<int>::max();
  int last = std::numeric_limits<int>::min();
  for (int b = 0; b < span; ++b) {
    const int sy = sy0 + b;
    if (sy < 0 || sy >= canvas.SuperRows()) continue;
    const RowExtent e = canvas.Extent(sy);
    if (e.Empty()) continue;
    first = std::min(first, e.first);
    last = std::max(last, e.last);
  }
  if (first > last) return;
  const int px0 = std::max(0, (first - r) / n);
  const int px1 = std::min(width_ - 1, (last + r) / n);
  for (int px = px0; px <= px1; ++px) {
    sums.clear();
    const int sx0 = px * n - r;
    for (int b = 0; b < span; ++b) {
      const int sy = sy0 + b;
      if (sy < 0 || sy >= canvas.SuperRows()) continue;
      const RowExtent e = canvas.Extent(sy);
      const int aFrom = std::max(0, e.first - sx0);
      const int aTo = std::min(span - 1, e.last - sx0);
      for (int a = aFrom; a <= aTo; ++a) {
        const float f = filter[static_cast<size_t>(b * span + a)];
        if (f <= 0) continue;
        canvas.ForEachCell(sx0 + a, sy, [&](const CanvasCell& cell) { addCell(sums, cell, f); });
      }
    }
    emitFragments(px, y, descriptor, sums);
  }
}

void PassBuffer::addCell(std::vector<KeySum>& sums, const CanvasCell& cell, float filter) {
  auto it =
      std::find_if(sums.begin(), sums.end(), [&](const KeySum& s) { return s.key == cell.key; });
  if (it == sums.end()) {
    KeySum fresh;
    fresh.key = cell.key;
    sums.push_back(fresh);
    it = sums.end() - 1;
  }
  // A sample counts with its coverage and its average colour, however many
  // strokes were folded into it.
  const float c = filter * cell.coverage;
  it->coverage += c;
  it->colourSum += cell.colourSum * (c / cell.weight);
  it->weight += c;
  if (cell.coverage > it->strongest || (cell.coverage == it->strongest && cell.depth < it->depth)) {
    it->strongest = cell.coverage;
    it->depth = cell.depth;
  }
}

void PassBuffer::emitFragments(int x, int y, int descriptor, const std::vector<KeySum>& sums) {
  std::vector<LineFragment>& row = rows_[static_cast<size_t>(y)];
  int32_t& head = heads_[pixelIndex(x, y)];
  for (const KeySum& s : sums) {
    if (!(s.coverage > 0) || row.size() >= kMaxListItems) continue;
    try {
      // Rows grow by a quarter rather than doubling (see LineCanvas::fold).
      if (row.size() == row.capacity()) row.reserve(row.size() + row.size() / 4 + 64);
      row.emplace_back(std::min(s.coverage, 1.0f), s.depth, s.key, descriptor, s.colourSum,
                       s.weight, head);
    } catch (const std::bad_alloc&) {
      continue;  // the fragment is dropped
    }
    head = static_cast<int32_t>(row.size() - 1);
    RowExtent& e = extents_[static_cast<size_t>(y)];
    e.first = std::min(e.first, x);
    e.last = std::max(e.last, x);
  }
}

bool ReceivesLines(RenderGlobalContext* gc) {
  return !LineElementBitmaps(gc, 0).empty() || !LineElementBitmaps(gc, 1).empty();
}

void PassBuffer::Composite(Bitmap* bitmap, RenderGlobalContext* gc, int pass, bool elementOnly) {
  const std::vector<Bitmap*> elements = LineElementBitmaps(gc, pass);
  Bitmap* target = elementOnly ? nullptr : bitmap;
  if (!target && elements.empty()) return;
  tbb::parallel_for(tbb::blocked_range<int>(0, height_), [&](const tbb::blocked_range<int>& rows) {
    RowScratch scratch;
    for (int y = rows.begin(); y != rows.end(); ++y) {
      compositeRow(y, bitmap, target, elements, scratch);
    }
  });
}

void PassBuffer::compositeRow(int y, const Bitmap* source, Bitmap* target,
                              const std::vector<Bitmap*>& elements, RowScratch& scratch) const {
  const RowExtent e = extents_[static_cast<size_t>(y)];
  if (e.Empty()) return;
  const int count = e.last - e.first + 1;
  const auto size = static_cast<size_t>(count);
  // Pixels outside a smaller bitmap blend over transparent black.
  scratch.image.assign(size, BMM_Color_64{});
  if (source) source->GetPixels(e.first, y, count, scratch.image.data());
  scratch.lineColour.resize(size);
  scratch.lineCoverage.assign(size, 0.0f);
  for (size_t i = 0; i < size; ++i) {
    const int x = e.first + static_cast<int>(i);
    if (heads_[pixelIndex(x, y)] < 0) continue;
    const AColor before = FromColor64(scratch.image[i]);
    Color result = before.RGB();
    const float sum = blendPixel(x, y, result, scratch);
    if (!(sum > 0)) continue;
    scratch.lineCoverage[i] = sum;
    scratch.lineColour[i] = LineOnlyColour(result, before.RGB(), sum);
    scratch.image[i] = ToColor64(AColor(result, 1.0f - (1.0f - before.a) * (1.0f - sum)));
  }
  if (target) target->PutPixels(e.first, y, count, scratch.image.data());
  for (Bitmap* element : elements) {
    scratch.element.assign(size, BMM_Color_64{});
    const int got = element->GetPixels(e.first, y, count, scratch.element.data());
    for (size_t i = 0; i < static_cast<size_t>(got); ++i) {
      const float sum = scratch.lineCoverage[i];
      if (!(sum > 0)) continue;
      const AColor old = FromColor64(scratch.element[i]);
      const Color colour = old.RGB() * (1.0f - sum) + scratch.lineColour[i] * sum;
      scratch.element[i] = ToColor64(AColor(colour, 1.0f - (1.0f - sum) * (1.0f - old.a)));
    }
    element->PutPixels(e.first, y, got, scratch.element.data());
  }
}

float PassBuffer::blendPixel(int x, int y, Color& result, RowScratch& scratch) const {
  const std::vector<LineFragment>& row = rows_[static_cast<size_t>(y)];
  auto& order = scratch.order;
  order.clear();
  for (int32_t i = heads_[pixelIndex(x, y)]; i >= 0; i = row[static_cast<size_t>(i)].next) {
    order.push_back(&row[static_cast<size_t>(i)]);
  }
  // Among fragments of equal key and depth the later repetition lies on top.
  // Fragments that still compare equal share a descriptor and so a run,
  // where their order does not matter.
  std::sort(order.begin(), order.end(), [](const LineFragment* a, const LineFragment* b) {
    if (a->key != b->key) return a->key > b->key;
    if (a->depth != b->depth) return a->depth > b->depth;
    return a->descriptor < b->descriptor;
  });
  float sum = 0;
  for (size_t i = 0; i < order.size();) {
    const int descriptor = order[i]->descriptor;
    Color colourSum;
    float weight = 0, coverage = 0;
    for (; i < order.size() && order[i]->descriptor == descriptor; ++i) {
      const LineFragment& f = *order[i];
      colourSum += f.colourSum;
      weight += f.weight;
      coverage = std::max(coverage, f.coverage);
    }
    const Color runColour = weight > 0 ? colourSum / weight : Color();
    const int mode = BlendModeOfIndex(descriptors_[static_cast<size_t>(descriptor)].blendMode);
    BlendColor(result, runColour, coverage, mode);
    result.ClampMinMax();
    sum = 1.0f - (1.0f - coverage) * (1.0f - sum);
  }
  return sum;
}

void PassBuffer::WritePreview(Bitmap& image) const {
  const int w = image.Width();
  const int h = image.Height();
  if (w < 3 || h < 3) return;
  std::vector<BMM_Color_64> row(static_cast<size_t>(w));
  for (int y = 1; y < h - 1; ++y) {
    image.GetPixels(0, y, w, row.data());
    for (int x = 1; x < w - 1; ++x) {
      float largest = 0;
      if (x < width_ && y < height_) {
        const std::vector<LineFragment>& list = rows_[static_cast<size_t>(y)];
        for (int32_t i = heads_[pixelIndex(x, y)]; i >= 0; i = list[static_cast<size_t>(i)].next) {
          largest = std::max(largest, list[static_cast<size_t>(i)].coverage);
        }
      }
      const uint16_t grey = ToChannel16(std::clamp(1.0f - largest, 0.0f, 1.0f));
      BMM_Color_64& p = row[static_cast<size_t>(x)];
      p.r = p.g = p.b = grey;
    }
    image.PutPixels(0, y, w, row.data());
  }
}

std::vector<LineFragment> PassBuffer::FragmentsAt(int x, int y) const {
  std::vector<LineFragment> out;
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return out;
  const std::vector<LineFragment>& row = rows_[static_cast<size_t>(y)];
  for (int32_t i = heads_[pixelIndex(x, y)]; i >= 0; i = row[static_cast<size_t>(i)].next) {
    out.push_back(row[static_cast<size_t>(i)]);
  }
  return out;
}

size_t PassBuffer::FragmentCount() const {
  size_t n = 0;
  for (const auto& row : rows_) n += row.size();
  return n;
}

}  // namespace tarnis
