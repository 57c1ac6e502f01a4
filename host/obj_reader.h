// ObjReader: our own reader for the plain OBJ files most programs write
// (v, vt, vn, f, s, usemtl, mtllib, g, o, comments), much faster than the
// mesh library and without its per-corner allocations. It reads a file the
// way the mesh library reads it: the same numbers to the last bit, the same
// objects (one per `o`, one per change of `g`), the same material slots
// (slot 0 is the default material, then the `newmtl` names of the material
// libraries as they are loaded, then `usemtl` names no library defines),
// negative indices counted back from the entries read so far. A file it is
// not sure to read the same way (other statements, line continuations,
// corners of mixed forms, indices out of range, numbers in other spellings,
// a material library it cannot open...) is declined, and the caller gives it
// to the mesh library instead, so the reader only ever speeds files up.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sdk/points.h"

namespace host {

struct ObjModel {
  struct Face {
    uint32_t firstCorner = 0, corners = 0;
    uint32_t mesh = 0;   // index into meshObject / meshMaterial
    uint32_t label = 0;  // the `s` in force (0 = off)
  };
  static constexpr uint32_t kNoMaterial = ~0u;

  std::vector<Point3> positions, texCoords, normals;  // texCoords: (u, v, w), w = 0 if not given
  // Per corner, 0-based indices; cornerTex / cornerNormal are empty when the
  // faces have no texture coordinates / normals.
  std::vector<uint32_t> cornerPos, cornerTex, cornerNormal;
  std::vector<Face> faces;  // every f statement, in file order
  // Per mesh (a run of faces sharing an object and a material): its object
  // (~0u for a mesh made before any object, which never holds faces) and
  // material slot (kNoMaterial: none was set, which the library reads as 0).
  std::vector<uint32_t> meshObject, meshMaterial;
  size_t objects = 0;
  bool labelled = false;     // the file has `s` statements
  size_t materialNames = 0;  // distinct `usemtl` names
};

enum class ObjRead {
  kRead,      // `out` holds the file
  kDeclined,  // the file has something this reader leaves to the mesh library
  kFailed,    // the file cannot be read (`error` says why)
};

ObjRead ReadObj(const std::string& path, ObjModel& out, std::string* error);

// The number in `text` as the mesh library's OBJ reader computes it, or
// false when `text` is not a plain decimal number ([-]digits[.digits][e[+-]digits]).
bool ParseObjNumber(std::string_view text, float& out);

}  // namespace host
