// What edge chaining hands to stroke drawing: LineChain, an ordered run of
// edge pieces that one stroke follows, and LinkCache, what a job keeps of
// its last linking so that previews can skip work that did not change.
// PieceGeometry is the screen and depth view of one piece that both
// chaining processes and stroke drawing read.
#pragma once

#include <array>
#include <vector>

#include "sdk/points.h"
#include "tarnis/line/frame/edge_data.h"

namespace tarnis {

// A stroke's path: pieces in drawing order. A piece walked against its
// segment has t0 > t1, so drawing always runs from t0 to t1.
struct LineChain {
  std::vector<EdgePiece> pieces;
  bool closed = false;
  // Sums over the pieces of screen length × drawing direction projected on
  // the brush direction (along) and its perpendicular (across).
  float along = 0.0f, across = 0.0f;
  float length = 0.0f;  // screen length of all pieces (pixels)
  Point2 start, end;    // screen points where drawing starts and ends
};

// The chains of the last first linking process, one list per edge group,
// kept while the job's link parameters say they are current.
struct LinkCache {
  std::vector<std::vector<LineChain>> groups;
  int linkRuns = 0;     // times the pieces were linked (first process)
  int combineRuns = 0;  // times the chains were combined (second process)
};

// What linking reads from the job's brush, line set and draw options.
struct LinkParams {
  float limitCos = 0.0f;       // cosine of the largest turn between linked pieces
  bool combine = false;        // all instances form one group
  float combineLength = 2.0f;  // largest gap bridged between chains (pixels)
  Point2 direction;            // unit direction strokes should run along
  Point2 across;               // its perpendicular
  int loopDirection = 1;       // 1: loops turn counter-clockwise on the screen

  // The cached values of the first process (first two) and the second.
  std::array<float, 8> CacheValues() const {
    return {limitCos,      combine ? 1.0f : 0.0f,
            combineLength, direction.x,
            direction.y,   static_cast<float>(loopDirection),
            0.0f,          0.0f};
  }
};

// One piece seen in drawing order.
struct PieceGeometry {
  Point2 a, b;                 // screen points at t0 and t1
  float za = 0.0f, zb = 0.0f;  // camera depths at t0 and t1
  Point2 direction;            // unit screen direction from a to b
  float length = 0.0f;         // screen length
};

// The depth at screen parameter t of a segment whose ends lie at depths z0
// and z1: linear for parallel projection, otherwise through 1/z, which is
// what varies linearly on the screen.
inline float DepthAlong(float z0, float z1, float t, bool parallel) {
  if (parallel) return z0 + (z1 - z0) * t;
  const float den = t * z0 + (1.0f - t) * z1;
  return den != 0.0f ? z0 * z1 / den : z0 + (z1 - z0) * t;
}

inline PieceGeometry GeometryOf(const EdgePiece& piece, const SegmentPool& segments,
                                bool parallel) {
  const EdgeSegment& s = segments[SegmentIndex(piece.segment)];
  PieceGeometry g;
  g.a = s.At(piece.t0);
  g.b = s.At(piece.t1);
  g.za = DepthAlong(s.z0, s.z1, piece.t0, parallel);
  g.zb = DepthAlong(s.z0, s.z1, piece.t1, parallel);
  g.direction = piece.t1 < piece.t0 ? s.direction * -1.0f : s.direction;
  g.length = (piece.t1 < piece.t0 ? piece.t0 - piece.t1 : piece.t1 - piece.t0) * s.length;
  return g;
}

}  // namespace tarnis
