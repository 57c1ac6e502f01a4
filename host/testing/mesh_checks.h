// Checks on meshes shared by the host's mesh tests: how faces use each edge
// (watertightness, orientation, edge visibility), enclosed volume and area.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "sdk/mesh.h"

namespace host::testing {

// How the faces use one undirected edge.
struct EdgeUse {
  int faces = 0;    // faces having the edge
  int forward = 0;  // of those, faces running it from the lower vertex index
  int visible = 0;  // faces that mark it visible
};

// Every undirected edge (lower vertex index first) and how faces use it.
inline std::map<std::pair<uint32_t, uint32_t>, EdgeUse> EdgeUses(const Mesh& m) {
  std::map<std::pair<uint32_t, uint32_t>, EdgeUse> uses;
  for (const Face& f : m.faces) {
    for (int e = 0; e < 3; ++e) {
      const uint32_t a = f.v[e], b = f.v[(e + 1) % 3];
      EdgeUse& u = uses[{std::min(a, b), std::max(a, b)}];
      ++u.faces;
      u.forward += a < b ? 1 : 0;
      u.visible += f.getEdgeVis(e) ? 1 : 0;
    }
  }
  return uses;
}

// True when every edge is shared by exactly two faces running it in opposite
// directions: a closed surface with consistent orientation. Otherwise `why`
// names the first bad edge.
inline bool IsWatertight(const Mesh& m, std::string* why) {
  for (const auto& [edge, use] : EdgeUses(m)) {
    if (use.faces != 2 || use.forward != 1) {
      *why = "edge " + std::to_string(edge.first) + "-" + std::to_string(edge.second) +
             " is used by " + std::to_string(use.faces) + " faces, " + std::to_string(use.forward) +
             " running it forwards";
      return false;
    }
  }
  return true;
}

struct EdgeCounts {
  int visible = 0, invisible = 0, mixed = 0;  // mixed: visible from one face only
  int boundary = 0;                           // used by a single face
};

inline EdgeCounts CountEdges(const Mesh& m) {
  EdgeCounts c;
  for (const auto& [edge, use] : EdgeUses(m)) {
    if (use.visible == use.faces)
      ++c.visible;
    else if (use.visible == 0)
      ++c.invisible;
    else
      ++c.mixed;
    if (use.faces == 1) ++c.boundary;
  }
  return c;
}

// The volume the faces enclose (positive when they face outwards), by the
// divergence theorem over the triangles.
inline double SignedVolume(const Mesh& m) {
  double v = 0.0;
  for (const Face& f : m.faces) {
    const Point3 &a = m.verts[f.v[0]], &b = m.verts[f.v[1]], &c = m.verts[f.v[2]];
    v += static_cast<double>(DotProd(a, b % c)) / 6.0;
  }
  return v;
}

inline double SurfaceArea(const Mesh& m) {
  double area = 0.0;
  for (const Face& f : m.faces) {
    const Point3 &a = m.verts[f.v[0]], &b = m.verts[f.v[1]], &c = m.verts[f.v[2]];
    area += 0.5 * static_cast<double>(((b - a) % (c - a)).Length());
  }
  return area;
}

}  // namespace host::testing
