// SVGImage: the vector image written as an SVG 1.1 file that lies exactly
// over the rendered image: its size is the bounding box, coordinates are
// image pixels with y downward (the page transform the commands set up is
// undone), each layer is a group that vector editors show as a layer, named
// like the layer, and each painted path is one <path> element with the
// stroke's colour, width, opacity, caps, joins and dashes. Clip rectangles
// become clipped groups that end with their layer or graphics state.
#pragma once

#include <string>

#include "tarnis/output/vector_image.h"

namespace tarnis {

class SVGImage : public RecordingImage {
 public:
  bool SupportsLayers() const override { return true; }
  bool Write(const std::string& path, std::string* problem = nullptr) override;
};

}  // namespace tarnis
