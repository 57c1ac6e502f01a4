// EPSImage: the vector image written as a plain Encapsulated PostScript file
// (one page, the bounding box of the image, a short prolog of one-letter
// operators, then one or more lines per command). It has no layers: layer
// and group commands write nothing.
#pragma once

#include <string>

#include "tarnis/output/vector_image.h"

namespace tarnis {

class EPSImage : public RecordingImage {
 public:
  bool Write(const std::string& path, std::string* problem = nullptr) override;
};

// The line width, dash, join and cap commands as PostScript lines ("%G w",
// "[a b ] p d", "%d j", "%d J"); false for a command of another kind.
bool WritePostScriptStyle(VectorTextFile& out, const VectorCommand& c);

}  // namespace tarnis
