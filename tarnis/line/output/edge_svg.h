// An inspection picture of a frame's detected lines: every filed edge piece
// as an SVG line the size of the image, one group per job, coloured by edge
// category, visible pieces solid and hidden ones dashed. It lets geometry be
// looked at (and compared in tests) without drawing strokes.
#pragma once

#include <deque>
#include <string>

#include "tarnis/line/frame/frame_geometry.h"
#include "tarnis/line/frame/line_job.h"

namespace tarnis {

// The SVG text of the jobs' filed pieces.
std::string EdgeSvgText(const std::deque<LineJob>& jobs, const FrameGeometry& frame);
// Writes it to `path` (through a temporary file); false with a message.
bool WriteEdgeSvg(const std::deque<LineJob>& jobs, const FrameGeometry& frame,
                  const std::string& path, std::string* error);

}  // namespace tarnis
