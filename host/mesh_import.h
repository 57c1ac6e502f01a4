// Mesh files (OBJ, glTF/GLB, FBX, 3DS, DAE, PLY, STL and the other formats
// assimp reads) imported into one Mesh.
//
// - Polygons are kept as the file has them and split into triangles here (a
//   fan for convex polygons, ear clipping on the best-fit plane for concave
//   ones), so the inner edges of a polygon are invisible edges.
// - All meshes of the file are merged in node order (depth first, children
//   in order), each placed by its node's transform; vertices at the same
//   position within one node are welded, so its faces share edges. A
//   mirroring transform keeps faces facing outwards.
// - Up axis: Y-up files are turned Z-up by +90 degrees about X,
//   (x, y, z) -> (x, -z, y).
// - Material ids are the file's material slot numbers (0-based).
// - Smoothing groups come from the file where it has them (OBJ `s`
//   statements); otherwise they are derived: faces meeting at an edge where
//   both sides have the same vertex normals are smooth there, different
//   normals make a hard edge, and without normals a dihedral angle above
//   `hardAngleDegrees` does. Smooth regions get group bits so that regions
//   sharing a vertex never share a bit. A region left without a free bit (32
//   regions already meeting it) is faceted (group 0) rather than wrongly
//   merged with a neighbour; a region of one triangle is always group 0,
//   which gives it the same normal.
// - Map channel 1 holds the file's first texture coordinate set.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "sdk/mesh.h"

namespace host {

enum class UpAxis { kZ, kY };

struct MeshImportOptions {
  UpAxis upAxis = UpAxis::kZ;
  float hardAngleDegrees = 45.0f;  // for files without normals
  // OBJ files go through our own reader (host/obj_reader.h), which gives the
  // same mesh faster and leaves files it is not sure about to the mesh
  // library; false sends them all to the library.
  bool ownObjReader = true;
};

// Reads `path` into `out` (replacing it). The file is read in a child
// process (host/isolated_task.h) with time and memory that grow with the
// file's size, so no file can crash or hang the program (a plain OBJ file is
// parsed here by our own reader, whose work is linear in the file, and
// assembled in the child). Answers false with
// one message naming the file for a missing, unreadable or corrupt file, a
// file the reader gives up on (crashed, too slow, too much memory), a file
// without polygons, or one with coordinates that are not finite numbers;
// `out` is then left empty. Warnings (OBJ face corners whose texture
// coordinate or normal index is out of range, with the line) go to
// `warnings` when given.
bool ImportMesh(const std::string& path, const MeshImportOptions& options, Mesh& out,
                std::string* error, std::vector<std::string>* warnings = nullptr);

// Takes the reader process's answer into `out`: every count and index is
// checked; false with the reason for anything else.
bool ReadMeshAnswer(std::string_view answer, Mesh& out, std::string* why);

}  // namespace host
