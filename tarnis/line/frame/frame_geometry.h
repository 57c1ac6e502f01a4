// FrameGeometry: what gathering and detection make of one frame and the
// later stages read: the camera and image (the view), the line sets' frame
// records, one record per render instance, and the screen segments of every
// filed edge piece with their mapping samples.
#pragma once

#include <vector>

#include "tarnis/line/frame/edge_data.h"
#include "tarnis/line/frame/frame_view.h"
#include "tarnis/line/frame/line_instance.h"

namespace tarnis {

struct FrameGeometry {
  FrameView view;
  LineSetLookup lookup;  // instance records point into its sets
  std::vector<DetectAndISectInstance> instances;
  SegmentPool segments;
  std::vector<SegmentMapping> mappings;

  void Clear() {
    lookup = LineSetLookup();
    instances.clear();
    segments.Clear();
    mappings.clear();
  }
};

}  // namespace tarnis
