// EdgeVisibility: the visibility decision shared by mesh edges and
// intersection edges. A candidate edge (two camera-space ends, its owner and
// the categories it qualifies for) is cut to the depth window, projected,
// cut to the drawing extent and sampled 1.5 times per pixel for visibility;
// runs of samples with the same state become pieces for the jobs of the
// owner's line set. Results go into a DetectionBatch so that stretches of
// work can run in parallel and be merged in their serial order.
#pragma once

#include <vector>

#include "tarnis/line/detect/occluder_scene.h"
#include "tarnis/line/frame/edge_data.h"
#include "tarnis/line/frame/line_instance.h"

namespace tarnis {

// What a stretch of detection produced, in the order the serial walk makes it.
struct DetectionBatch {
  struct Filing {
    EdgeContainer* container;
    SegmentType type;
    float t0, t1;
  };
  struct Segment {
    EdgeSegment segment;
    uint32_t filingBegin = 0, filingEnd = 0;
    int mapping = -1;  // index into mappings
  };
  std::vector<Segment> segments;
  std::vector<Filing> filings;
  std::vector<SegmentMapping> mappings;
  long long edgesVisited = 0;

  void Clear() {
    segments.clear();
    filings.clear();
    mappings.clear();
    edgesVisited = 0;
  }
};

// Puts a batch's segments into the pool (giving them their running indices)
// and files their pieces; answers false when the pool is full.
bool MergeBatch(const DetectionBatch& batch, SegmentPool& pool,
                std::vector<SegmentMapping>& mappings);

struct CandidateEdge {
  Point3 c0, c1;  // camera-space ends
  const DetectAndISectInstance* owner = nullptr;
  int face = -1;  // the owning face
  ExemptFace exempt[2];
  const LineSetRecord* record = nullptr;
  uint32_t flags = 0;  // category flags (kFlagObject ...)
  // Outline probe: the screen point of the owner face's third vertex.
  bool probe = false;
  Point2 thirdVertex;
};

class EdgeVisibility {
 public:
  EdgeVisibility(const FrameView& view, const OccluderScene& occluders)
      : view_(view), occluders_(occluders) {}

  // The category a piece of visibility `vis` is filed under, 0 for none.
  int TargetCategory(const LineSetRecord& record, uint32_t flags, int vis) const;
  // True when some visibility would file a piece of this edge.
  bool Wanted(const LineSetRecord& record, uint32_t flags) const {
    return TargetCategory(record, flags, 0) != 0 || TargetCategory(record, flags, 1) != 0;
  }
  void Sample(const CandidateEdge& edge, DetectionBatch& out) const;

 private:
  const FrameView& view_;
  const OccluderScene& occluders_;
};

// The mapping data of a segment of `face` between camera-space points c0, c1.
SegmentMapping ComputeSegmentMapping(const DetectAndISectInstance& inst, int face, const Point3& c0,
                                     const Point3& c1);

}  // namespace tarnis
