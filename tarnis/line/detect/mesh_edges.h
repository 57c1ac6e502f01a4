// Mesh edge detection for one render instance: the instance's edge list
// (each face's three edges, an edge shared with the first later face that
// lists it the other way round) and the tests that decide which edges become
// lines: owner face, outline, smoothing and material boundaries, crease
// angle or wire edges.
#pragma once

#include <cstdint>
#include <vector>

#include "tarnis/line/detect/edge_visibility.h"

namespace tarnis {

struct MeshEdge {
  uint32_t a = 0, b = 0;   // vertices, in the order of the first face
  int f1 = -1, f2 = -1;    // f2 is -1 for an open edge
  uint8_t e1 = 0, e2 = 0;  // the edge's number (0..2) within f1 and f2
};

// The edges of the faces without the "no edges" flag, in the order they are
// first met.
std::vector<MeshEdge> BuildEdgeList(const Mesh& mesh, const std::vector<uint8_t>& faceFlags);

// Classifies and samples edges [begin, end) of `inst` into `out`.
void DetectMeshEdges(const DetectAndISectInstance& inst, const std::vector<MeshEdge>& edges,
                     size_t begin, size_t end, const EdgeVisibility& sampler, DetectionBatch& out);

// cos(degrees) as the crease test reads it: exactly 0 gives 1, exactly 180 gives -1.
float CreaseCos(float degrees);

}  // namespace tarnis
