// The names of the files an output writes per frame: the user's file name
// split into folder, base name and extension, and the frame number put
// between base name and extension ("lines.eps" -> "lines0007.eps").
#pragma once

#include <string>

namespace tarnis {

struct OutputName {
  std::string directory;  // with its trailing separator, or empty
  std::string base;
  std::string extension;  // with its dot, or empty
};

// Splits `fileName`; a dot that starts the name (".eps") or sits in the
// folder part does not start an extension.
OutputName SplitOutputName(const std::string& fileName);

// The file of `frame`: no number for a single-frame render, four digits at
// least (zero-padded) otherwise.
std::string FrameOutputPath(const OutputName& name, int frame, bool singleFrame);

}  // namespace tarnis
