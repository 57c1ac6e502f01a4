// LineJob: the lines one line setting draws for one line set in one
// visibility (visible or hidden). Gathering makes the job and its records
// (link and stroke parameters, noise seed), detection files edge pieces into
// its containers, one per edge category, chaining links them into strokes
// and drawing paints them.
#pragma once

#include <array>
#include <limits>
#include <string>

#include "tarnis/line/frame/edge_chain_types.h"
#include "tarnis/line/frame/edge_data.h"
#include "tarnis/line/frame/stroke_params.h"

namespace tarnis {

class LineSet;
class LineSetting;

inline constexpr float kInvalidLinkParam = -3.4028235e38f;

struct LineJob {
  LineSet* lineSet = nullptr;          // null for a preview job
  LineSetting* lineSetting = nullptr;  // the setting that draws these lines
  std::string lineSetName;             // for inspection outputs
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
  // Gathered for the drawing half at the frame time: how chaining links the
  // pieces, how the strokes look, and the line set's noise seed.
  LinkParams link;
  StrokeParams stroke;
  int seed = 0;
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
