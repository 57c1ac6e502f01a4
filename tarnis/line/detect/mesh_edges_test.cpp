// The edge list of a mesh: each face's three edges, an edge shared with the
// first later face that lists it the other way round, faces without edges
// left out so that their neighbours' edges open. Checked against a plain
// pairing through an ordered map on meshes that are closed, open,
// non-manifold, with repeated and degenerate faces.
#include "tarnis/line/detect/mesh_edges.h"

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <random>
#include <utility>
#include <vector>

#include "tarnis/line/engine/engine_test_scene.h"

namespace tarnis {
namespace {

std::vector<MeshEdge> ReferenceEdges(const Mesh& mesh, const std::vector<uint8_t>& flags) {
  std::vector<MeshEdge> edges;
  std::map<std::pair<uint32_t, uint32_t>, std::deque<int>> waiting;
  for (int f = 0; f < mesh.getNumFaces(); ++f) {
    if (flags[static_cast<size_t>(f)] & kFaceNoEdges) continue;
    const Face& face = mesh.faces[static_cast<size_t>(f)];
    for (int j = 0; j < 3; ++j) {
      const uint32_t a = face.v[j], b = face.v[(j + 1) % 3];
      auto it = waiting.find({b, a});
      if (it != waiting.end() && !it->second.empty()) {
        MeshEdge& e = edges[static_cast<size_t>(it->second.front())];
        it->second.pop_front();
        e.f2 = f;
        e.e2 = static_cast<uint8_t>(j);
        continue;
      }
      waiting[{a, b}].push_back(static_cast<int>(edges.size()));
      edges.push_back({a, b, f, -1, static_cast<uint8_t>(j), 0});
    }
  }
  return edges;
}

void ExpectSameEdges(const std::vector<MeshEdge>& got, const std::vector<MeshEdge>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(got[i].a, want[i].a);
    EXPECT_EQ(got[i].b, want[i].b);
    EXPECT_EQ(got[i].f1, want[i].f1);
    EXPECT_EQ(got[i].f2, want[i].f2);
    EXPECT_EQ(got[i].e1, want[i].e1);
    EXPECT_EQ(got[i].e2, want[i].e2);
  }
}

TEST(MeshEdgesTest, ClosedBoxPairsEveryEdgeAndSkippedFacesOpenTheirNeighbours) {
  const Mesh box = engine_testing::BoxMesh();
  std::vector<uint8_t> flags(box.faces.size(), 0);
  const std::vector<MeshEdge> all = BuildEdgeList(box, flags);
  EXPECT_EQ(all.size(), 18u);  // 12 box edges and 6 diagonals
  for (const MeshEdge& e : all) EXPECT_GE(e.f2, 0);
  ExpectSameEdges(all, ReferenceEdges(box, flags));

  // Leaving out one side's two faces opens its four border edges.
  flags[0] = flags[1] = kFaceNoEdges;
  const std::vector<MeshEdge> open = BuildEdgeList(box, flags);
  int openEdges = 0;
  for (const MeshEdge& e : open) openEdges += e.f2 < 0;
  EXPECT_EQ(openEdges, 4);
  ExpectSameEdges(open, ReferenceEdges(box, flags));
}

TEST(MeshEdgesTest, NonManifoldRepeatedAndDegenerateFacesPairLikeTheReference) {
  // Three faces on one edge, a face listed twice, one listed reversed, and a
  // face that repeats a vertex.
  Mesh m;
  for (int i = 0; i < 6; ++i) m.verts.push_back(Point3(float(i), float(i * i % 5), 0));
  auto add = [&](uint32_t a, uint32_t b, uint32_t c) {
    Face f;
    f.setVerts(a, b, c);
    m.faces.push_back(f);
  };
  add(0, 1, 2);
  add(1, 0, 3);
  add(0, 1, 4);
  add(1, 0, 5);
  add(0, 1, 2);
  add(2, 1, 0);
  add(3, 3, 4);
  for (uint8_t skipMask = 0; skipMask < 128; ++skipMask) {
    SCOPED_TRACE(static_cast<int>(skipMask));
    std::vector<uint8_t> flags(m.faces.size(), 0);
    for (size_t f = 0; f < flags.size(); ++f) {
      if (skipMask & (1u << f)) flags[f] = kFaceNoEdges;
    }
    ExpectSameEdges(BuildEdgeList(m, flags), ReferenceEdges(m, flags));
  }
}

TEST(MeshEdgesTest, RandomSoupsAndASphereWithHolesPairLikeTheReference) {
  std::mt19937 random(7);
  for (int round = 0; round < 20; ++round) {
    Mesh m;
    const int nv = 3 + static_cast<int>(random() % 12);
    for (int i = 0; i < nv; ++i) m.verts.push_back(Point3(float(i), 0, 0));
    const int nf = 1 + static_cast<int>(random() % 60);
    std::vector<uint8_t> flags;
    for (int f = 0; f < nf; ++f) {
      Face face;
      face.setVerts(random() % nv, random() % nv, random() % nv);
      m.faces.push_back(face);
      flags.push_back(random() % 4 == 0 ? kFaceNoEdges : 0);
    }
    ExpectSameEdges(BuildEdgeList(m, flags), ReferenceEdges(m, flags));
  }
  const Mesh sphere = engine_testing::SphereMesh(1.0f, 24, 12);
  std::vector<uint8_t> flags(sphere.faces.size(), 0);
  for (size_t f = 0; f < flags.size(); f += 5) flags[f] = kFaceNoEdges;
  ExpectSameEdges(BuildEdgeList(sphere, flags), ReferenceEdges(sphere, flags));
}

}  // namespace
}  // namespace tarnis
