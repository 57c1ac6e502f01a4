// AIEPSImage: the vector image written as an Illustrator 8 EPS file, which
// drawing programs open with one layer per BeginLayer. Each layer starts a
// clip group, Optimize wraps each path in a group, and the page transform
// (Translate, Scale) is applied to the coordinates as they are written
// rather than written as PostScript operators.
#pragma once

#include <string>

#include "tarnis/output/vector_image.h"

namespace tarnis {

class AIEPSImage : public RecordingImage {
 public:
  bool SupportsLayers() const override { return true; }
  bool Write(const std::string& path, std::string* problem = nullptr) override;

 protected:
  bool GroupsPaths() const override { return true; }
  bool ClipsInGroups() const override { return true; }
};

// `text` as the inside of a PostScript string "( )": backslashes, line breaks
// and parentheses without a partner are escaped; text with balanced
// parentheses and no backslash or line break comes back as it is.
std::string PostScriptStringText(const std::string& text);

}  // namespace tarnis
