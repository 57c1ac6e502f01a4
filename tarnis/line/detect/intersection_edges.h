// Intersection edges: where faces of two render instances (or of one
// instance with itself) pass through each other. Pairs of instances are
// visited in (i, j) order, i <= j; within a pair, face pairs are found
// through a grid over the overlap of the two instances and then taken in the
// order of their occluder clusters and faces, so the segments come out the
// same whatever found them and whatever the thread count.
#pragma once

#include <utility>
#include <vector>

#include "tarnis/line/detect/edge_visibility.h"

namespace tarnis {

// The instance pairs (i <= j) whose records both have a mesh, at least one of
// which draws intersections, and whose world boxes overlap, in (i, j) order.
std::vector<std::pair<int, int>> IntersectionPairs(
    const std::vector<DetectAndISectInstance>& instances);

// One crossing of two faces: camera-space ends and the two faces.
struct FaceCrossing {
  uint64_t order = 0;  // the serial walk's position (clusters, then faces)
  int faceA = -1, faceB = -1;
  Point3 p0, p1;
};

// The crossings of the usable faces of a and b (each face pair once when a
// and b are the same instance), in serial order. Runs in parallel inside.
std::vector<FaceCrossing> FindCrossings(const DetectAndISectInstance& a,
                                        const DetectAndISectInstance& b, bool parallel);

// The segment two triangles cut into each other, if any: each edge of one
// triangle that does not share a vertex position with the other is crossed
// with the other's plane and kept when the crossing lies inside it; the first
// two points found make the segment.
bool TriangleCrossing(const Point3 a[3], const Point3 b[3], Point3* p0, Point3* p1);

// Samples crossings [begin, end) of the pair into `out`.
void SampleCrossings(const DetectAndISectInstance& a, const DetectAndISectInstance& b,
                     const std::vector<FaceCrossing>& crossings, size_t begin, size_t end,
                     const EdgeVisibility& sampler, DetectionBatch& out);

}  // namespace tarnis
