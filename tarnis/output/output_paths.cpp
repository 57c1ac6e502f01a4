#include "tarnis/output/output_paths.h"

#include <cstdio>

namespace tarnis {

OutputName SplitOutputName(const std::string& fileName) {
  OutputName out;
  const size_t slash = fileName.find_last_of("/\\");
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  out.directory = fileName.substr(0, nameStart);
  const std::string name = fileName.substr(nameStart);
  const size_t dot = name.find_last_of('.');
  if (dot == std::string::npos || dot == 0) {
    out.base = name;
  } else {
    out.base = name.substr(0, dot);
    out.extension = name.substr(dot);
  }
  return out;
}

std::string FrameOutputPath(const OutputName& name, int frame, bool singleFrame) {
  if (singleFrame) return name.directory + name.base + name.extension;
  char number[16];
  if (frame < 10000) {
    std::snprintf(number, sizeof number, "%04d", frame);
  } else {
    std::snprintf(number, sizeof number, "%d", frame);
  }
  return name.directory + name.base + number + name.extension;
}

}  // namespace tarnis
