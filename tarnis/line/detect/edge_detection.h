// Edge detection, the pipeline's second stage: the edges of every instance
// (outlines, open borders, creases, material and smoothing borders) and the
// intersections of overlapping instance pairs, each sampled for visibility
// against the frame's occluders and filed as pieces into the containers of
// the jobs the instance records point to. Work runs in parallel in waves; the
// result is the same for any number of threads.
#pragma once

#include "sdk/render.h"
#include "tarnis/line/frame/frame_geometry.h"

namespace tarnis {

// Counts of the last detection, for tests, inspection and benchmarks.
struct DetectionStats {
  long long edgesVisited = 0;      // mesh edges classified
  long long crossingsVisited = 0;  // face crossings sampled
  int instancePairs = 0;           // instance pairs intersected
  // Seconds of each stage.
  double prepareSeconds = 0, occluderSeconds = 0, edgeSeconds = 0, intersectionSeconds = 0;
};

// Detects the frame's mesh edges, then (unless the view's options disable
// them) its intersections, and frees what only detection needs. Abort
// checks and progress go to `abort` (may be null); answers false when it
// aborted, with the pieces filed so far kept.
bool DetectEdges(FrameGeometry& frame, CheckAbortCallback* abort, DetectionStats& stats);

}  // namespace tarnis
