// Edge chaining: turns a job's unordered edge pieces into its stroke list.
// The first process links touching pieces into chains, the second closes
// loops, combines chains across small gaps and orients every stroke (see
// edge_chain_link.h and edge_chain_combine.h). Pieces of different render
// instances stay apart unless the line set combines between objects.
#pragma once

#include "sdk/render.h"
#include "tarnis/line/brush/brush_params.h"
#include "tarnis/line/frame/edge_chain_types.h"
#include "tarnis/line/frame/frame_view.h"
#include "tarnis/line/frame/line_draw_options.h"

namespace tarnis {

struct LineJob;

// What linking needs besides the job: the frame's segments and view, whether
// chains cached by the job's last linking may be kept, and where progress goes.
struct LinkContext {
  const SegmentPool* segments = nullptr;
  const FrameView* view = nullptr;
  // Keep the cached chains of a process whose parameters did not change
  // (re-drawing a frame whose geometry did not change).
  bool reuseLinks = false;
  int jobNumber = 1, jobCount = 1;      // the progress titles' "job n of m"
  CheckAbortCallback* abort = nullptr;  // may be null
};

// The link parameters of a brush's stroke values under the call's options:
// sizes scaled by sizeScale; a mirrored call flips the horizontal component
// of the direction and the loop direction.
LinkParams MakeLinkParams(const BrushStrokeValues& stroke, const LineDrawOptions& options,
                          bool combine);

// The job's pieces split into edge groups: one group per render instance,
// in instance order, or one group of all pieces with `combine`. Pieces keep
// their filing order (category by category) inside a group.
std::vector<std::vector<EdgePiece>> GroupPieces(const LineJob& job, const SegmentPool& segments,
                                                bool combine);

// Builds job.strokes from job.edges with the job's gathered link
// parameters. With reuseLinks, a process whose parameters did not change
// since its last run is skipped, so a repeated call with the same parameters
// costs nothing. Answers false when aborted; the job's cached parameters are
// then invalid and its stroke list is empty.
bool LinkJob(LineJob& job, const LinkContext& ctx);

}  // namespace tarnis
