// Gathering, the pipeline's first stage and the only one that reads the
// plug-in's objects: the effect, its line sets, settings, brushes and depth
// blocks are read at the frame time into plain records that the later stages
// take. The geometry half gathers the view, the jobs and one record per
// render instance; the drawing half gathers each job's link parameters,
// stroke parameters (the brush's working copy brought up to date once) and
// noise seed.
#pragma once

#include <deque>
#include <optional>

#include "sdk/render.h"
#include "tarnis/line/frame/frame_geometry.h"
#include "tarnis/line/frame/line_draw_options.h"
#include "tarnis/line/frame/line_job.h"

namespace tarnis {

class Brush;
class LineManager;
class LineSet;

// The effect's own values the driver needs for a frame.
struct EffectValues {
  bool elementOnly = false;    // lines go into render elements only
  bool sizeByImage = false;    // lineSizeType 1: sizes follow the image size
  float outsideLength = 0.0f;  // pixels the drawing extent reaches beyond the image
  int overSampling = 1;
  float antiAliasSize = 1.0f;
  bool motionDetection = false;  // rndAuto with rndMoveDetect
};

// The effect's values at time t; nothing when the effect has no main block.
std::optional<EffectValues> GatherEffectValues(LineManager& effect, TimeValue t);

// Fills `frame` and `jobs` (both emptied first) for the render context at
// its time: the view with `options` and the drawing extent widened by
// `outsideLength`, one job per line setting, line set and visibility, the
// line sets' frame records and the render instances' records. False when
// memory runs out (the frame is then left empty).
bool GatherFrame(LineManager& effect, RenderGlobalContext& gc, const LineDrawOptions& options,
                 float outsideLength, FrameGeometry& frame, std::deque<LineJob>& jobs);

// The drawing half's records of every enabled job at time t under the
// view's options.
void GatherJobRecords(LineManager& effect, std::deque<LineJob>& jobs, TimeValue t,
                      const LineDrawOptions& options);

// A brush preview job's records: the brush alone, black and opaque, `size`
// pixels wide, with the line-set seed 0.
void GatherPreviewRecords(LineJob& job, Brush& brush, TimeValue t, float size,
                          const LineDrawOptions& options);

// The seed of a line set for the frame at time t: the effect's Seed, plus,
// with rndAuto, the whole number of rndInterval-frame steps from the set's
// frame offset.
int LineSetSeed(LineManager& effect, int lineSetIndex, TimeValue t);

// Reads the depth block of line type 1, or of type 2 for any other type, at
// t. A change whose two distances are equal is off.
LineDepth PrepareLineDepth(const LineSet& set, int type, TimeValue t);

}  // namespace tarnis
