// An inspection picture of a frame's detected lines: every filed edge piece
// as an SVG line the size of the image, one group per job, coloured by edge
// category, visible pieces solid and hidden ones dashed. It lets geometry be
// looked at (and compared in tests) without drawing strokes.
#pragma once

#include <string>

namespace tarnis {

class LineEngine;

// The SVG text of the engine's filed pieces.
std::string EdgeSvgText(const LineEngine& engine);
// Writes it to `path` (through a temporary file); false with a message.
bool WriteEdgeSvg(const LineEngine& engine, const std::string& path, std::string* error);

}  // namespace tarnis
