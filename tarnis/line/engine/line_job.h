// LineJob: the lines one line setting draws for one line set in one
// visibility (visible or hidden). Detection files edge pieces into the job's
// containers, one per edge category; the drawing half links them into chains
// and strokes.
#pragma once

#include <array>
#include <limits>

#include "tarnis/line/engine/edge_chain_types.h"
#include "tarnis/line/engine/edge_data.h"

namespace tarnis {

class LineSet;
class LineSetting;

inline constexpr float kInvalidLinkParam = -3.4028235e38f;

struct LineJob {
  LineSet* lineSet = nullptr;          // null for a preview job
  LineSetting* lineSetting = nullptr;  // the setting that draws these lines
  bool isPreview = false;
  bool enabled = true;
  int visibility = 0;  // 0 visible lines, 1 hidden lines
  int lineSetIndex = -1;
  int category = kCategoryObject;  // category through which the job was first found
  // Edge pieces per category (index category - 1), in filing order.
  std::array<EdgeContainer, kNumCategories> edges;
  // Parameters of the last linking; kInvalidLinkParam while there is none.
  std::array<float, 8> linkParams = {kInvalidLinkParam, kInvalidLinkParam, kInvalidLinkParam,
                                     kInvalidLinkParam, kInvalidLinkParam, kInvalidLinkParam,
                                     kInvalidLinkParam, kInvalidLinkParam};
  int blendMode = 0;
  // The strokes to draw, in drawing order, and what linking keeps of its
  // last run (built by LinkJob).
  std::vector<LineChain> strokes;
  LinkCache links;

  size_t PieceCount() const {
    size_t n = 0;
    for (const auto& c : edges) n += c.size();
    return n;
  }
  void InvalidateLinks() { linkParams.fill(kInvalidLinkParam); }
};

}  // namespace tarnis
