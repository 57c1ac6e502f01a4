// ObjScan: our own light pass over an OBJ file, made before assimp reads it.
// It gathers what assimp does not report (the `s` smoothing statements), what
// it accepts silently (face corners naming texture coordinates or normals
// the file does not have) and what would make its work grow faster than the
// file (a flood of material names). Two passes over the lines, each linear
// in the file's size.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sdk/points.h"

namespace host {

// One face, line or point statement as assimp will list it.
struct ObjElement {
  uint32_t corners = 0;
  std::optional<Point3> first;  // position of the first corner
  uint32_t label = 0;           // the `s` in force (0 = off)
};

struct ObjScan {
  // Every f, l and p statement in file order; empty when the file has no `s`
  // statement.
  std::vector<ObjElement> elements;
  // "line N: ..." for corners whose index names no vertex, texture
  // coordinate or normal of the file; at most kMaxIndexWarnings, then one
  // line counting the rest.
  std::vector<std::string> warnings;
  size_t materialNames = 0;  // distinct `usemtl` names
  size_t faces = 0;          // f statements
};

inline constexpr size_t kMaxIndexWarnings = 5;

// Scans the OBJ file at `path`; false with the problem in `error` when it
// cannot be read.
bool ScanObj(const std::string& path, ObjScan& out, std::string* error);

}  // namespace host
