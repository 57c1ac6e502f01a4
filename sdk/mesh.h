// Mesh: the triangle mesh a render instance hands to materials and to the
// line engine. Faces carry three vertex indices, a smoothing-group bit mask,
// a material id and per-edge visibility flags; map channels 0..99 carry their
// own vertices and faces (channel 1 is the first texture coordinate set,
// channel 0 vertex colours). Vertex normals are built per smoothing group:
// faces that share a group and a vertex share a normal there, other faces
// meet at a hard edge. Faces in no group (smGroup 0) are faceted.
#pragma once

#include <cstdint>
#include <string>
#include <memory>
#include <vector>

#include "sdk/boxes.h"
#include "sdk/points.h"

inline constexpr int MAX_MESHMAPS = 100;

// Face flag bits: edge visibility (edge i runs from v[i] to v[(i+1)%3]).
inline constexpr uint32_t EDGE_A = 1u << 0;
inline constexpr uint32_t EDGE_B = 1u << 1;
inline constexpr uint32_t EDGE_C = 1u << 2;
inline constexpr uint32_t EDGE_ALL = EDGE_A | EDGE_B | EDGE_C;

struct Face {
  uint32_t v[3] = {0, 0, 0};
  uint32_t smGroup = 0;  // smoothing groups, one bit each; 0 = faceted
  uint32_t flags = EDGE_ALL;
  uint16_t matID = 0;

  uint16_t getMatID() const { return matID; }
  void setMatID(uint16_t id) { matID = id; }
  bool getEdgeVis(int edge) const { return (flags >> edge) & 1u; }
  void setEdgeVis(int edge, bool visible) {
    flags = visible ? (flags | (1u << edge)) : (flags & ~(1u << edge));
  }
  void setVerts(uint32_t a, uint32_t b, uint32_t c) { v[0] = a, v[1] = b, v[2] = c; }
};

// The three map-vertex indices of one face in a map channel.
struct TVFace {
  uint32_t t[3] = {0, 0, 0};
};

struct MeshMap {
  std::vector<Point3> tv;  // map vertices (UVW)
  std::vector<TVFace> tf;  // one per mesh face when the channel is in use
  bool IsUsed() const { return !tf.empty(); }
};

// The map channels of a mesh, made on first use: most meshes use one or two
// of the hundred, and a scene may hold many thousands of small meshes. A
// channel, once made, stays at its address while others are added.
class MeshMapTable {
 public:
  MeshMapTable() = default;
  MeshMapTable(const MeshMapTable& other) { copyFrom(other); }
  MeshMapTable& operator=(const MeshMapTable& other) {
    if (this != &other) copyFrom(other);
    return *this;
  }
  MeshMapTable(MeshMapTable&&) noexcept = default;
  MeshMapTable& operator=(MeshMapTable&&) noexcept = default;

  // The channel, made empty when it was not there.
  MeshMap& Get(int channel);
  // The channel, or nullptr when it was never made.
  const MeshMap* Find(int channel) const {
    const auto c = static_cast<size_t>(channel);
    return c < maps_.size() ? maps_[c].get() : nullptr;
  }
  size_t Size() const { return maps_.size(); }

 private:
  void copyFrom(const MeshMapTable& other);
  std::vector<std::unique_ptr<MeshMap>> maps_;
};

class Mesh {
 public:
  int getNumVerts() const { return static_cast<int>(verts.size()); }
  int getNumFaces() const { return static_cast<int>(faces.size()); }
  void setNumVerts(int n);
  // Resizes the face list; map channels in use grow or shrink with it (new map
  // faces use map vertex 0), so they stay supported.
  void setNumFaces(int n);
  Point3& getVert(int i) { return verts[static_cast<size_t>(i)]; }
  const Point3& getVert(int i) const { return verts[static_cast<size_t>(i)]; }

  // Map channels 0..99. A channel is supported when it has one map face per face.
  bool mapSupport(int channel) const;
  MeshMap& Map(int channel);
  const MeshMap& Map(int channel) const;
  // Sets up channel `channel` with nv map vertices and one map face per face.
  void setMapSupport(int channel, int numMapVerts);

  // Unit normal of face f (counter-clockwise vertex order seen from the front);
  // the zero vector for a degenerate face.
  Point3 FaceNormal(int f) const;
  // Builds vertex normals by smoothing group (see the file comment). At each
  // vertex, faces whose groups overlap, directly or through other faces around
  // that vertex, share one normal: the sum of their face normals weighted by
  // the face's angle at that corner, so the result does not depend on how a
  // polygon was split into triangles. Call it after changing the mesh and
  // before the normal queries, which only read (render threads call them
  // concurrently). The faces must index existing vertices (see Validate).
  void buildNormals();
  void InvalidateNormals() { normalsBuilt_ = false; }
  bool NormalsBuilt() const { return normalsBuilt_; }
  // The unit normal at corner `corner` (0..2) of face f, by smoothing group.
  Point3 CornerNormal(int f, int corner) const;
  // The vertex normals (one per vertex and set of faces sharing a normal there)
  // and, per face corner, the index of its normal.
  const std::vector<Point3>& Normals() const { return normals_; }
  uint32_t CornerNormalIndex(int f, int corner) const;
  // Bounding box of the vertices.
  Box3 getBoundingBox() const;
  // Checks indices (faces into vertices, map faces into map vertices) and that
  // vertices and map vertices are finite numbers; answers false and a message
  // for a mesh that must not be rendered.
  bool Validate(std::string* why = nullptr) const;

  std::vector<Point3> verts;
  std::vector<Face> faces;

 private:
  MeshMapTable maps_;
  // Per face corner, an index into normals_.
  std::vector<uint32_t> cornerNormal_;
  std::vector<Point3> normals_;
  bool normalsBuilt_ = false;
};
