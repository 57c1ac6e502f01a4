// Tests for Mesh: smoothing-group vertex normals with known answers, map
// channels and validation.
#include "sdk/mesh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <set>
#include <string>

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

void ExpectNear(const Point3& a, const Point3& b, float tol) {
  EXPECT_NEAR(a.x, b.x, tol);
  EXPECT_NEAR(a.y, b.y, tol);
  EXPECT_NEAR(a.z, b.z, tol);
}

void AddFace(Mesh& m, uint32_t a, uint32_t b, uint32_t c, uint32_t group) {
  Face f;
  f.setVerts(a, b, c);
  f.smGroup = group;
  m.faces.push_back(f);
}

// A unit cube of 12 triangles, counter-clockwise from outside. `groupOf(side)`
// gives each side's smoothing groups. With `mixedDiagonals`, alternate sides
// split along the other diagonal, so corners touch one or two triangles of a
// side depending on the side.
template <class GroupOf>
Mesh MakeCube(GroupOf groupOf, bool mixedDiagonals) {
  Mesh m;
  for (int i = 0; i < 8; ++i)
    m.verts.push_back(Point3(i & 1 ? 1 : -1, i & 2 ? 1 : -1, i & 4 ? 1 : -1));
  const uint32_t sides[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                {1, 3, 7, 5}, {3, 2, 6, 7}, {2, 0, 4, 6}};
  for (int s = 0; s < 6; ++s) {
    const uint32_t* q = sides[s];
    if (mixedDiagonals && s % 2 == 1) {
      AddFace(m, q[1], q[2], q[3], groupOf(s));
      AddFace(m, q[1], q[3], q[0], groupOf(s));
    } else {
      AddFace(m, q[0], q[1], q[2], groupOf(s));
      AddFace(m, q[0], q[2], q[3], groupOf(s));
    }
  }
  return m;
}

// A latitude/longitude sphere of radius r with single-vertex poles, all in group 1.
Mesh MakeSphere(float r, int around, int rings) {
  Mesh m;
  m.verts.push_back(Point3(0, 0, r));
  for (int i = 1; i < rings; ++i) {
    const float theta = kPi * static_cast<float>(i) / static_cast<float>(rings);
    for (int j = 0; j < around; ++j) {
      const float phi = 2 * kPi * static_cast<float>(j) / static_cast<float>(around);
      m.verts.push_back(Point3(r * std::sin(theta) * std::cos(phi),
                               r * std::sin(theta) * std::sin(phi), r * std::cos(theta)));
    }
  }
  m.verts.push_back(Point3(0, 0, -r));
  const uint32_t bottom = static_cast<uint32_t>(m.verts.size() - 1);
  auto ring = [around](int i, int j) {
    return static_cast<uint32_t>(1 + (i - 1) * around + j % around);
  };
  for (int j = 0; j < around; ++j) {
    AddFace(m, 0, ring(1, j), ring(1, j + 1), 1);
    for (int i = 1; i + 1 < rings; ++i) {
      AddFace(m, ring(i, j), ring(i + 1, j), ring(i + 1, j + 1), 1);
      AddFace(m, ring(i, j), ring(i + 1, j + 1), ring(i, j + 1), 1);
    }
    AddFace(m, bottom, ring(rings - 1, j + 1), ring(rings - 1, j), 1);
  }
  return m;
}

// The distinct normal indices used at vertex v.
std::set<uint32_t> NormalsAtVertex(const Mesh& m, uint32_t v) {
  std::set<uint32_t> out;
  for (int f = 0; f < m.getNumFaces(); ++f) {
    for (int c = 0; c < 3; ++c) {
      if (m.faces[static_cast<size_t>(f)].v[c] == v) out.insert(m.CornerNormalIndex(f, c));
    }
  }
  return out;
}

}  // namespace

TEST(MeshNormals, CubeWithOneGroupPerSideHasTheFaceNormalsAtEachCorner) {
  Mesh m = MakeCube([](int side) { return 1u << side; }, false);
  m.buildNormals();
  for (int f = 0; f < m.getNumFaces(); ++f) {
    for (int c = 0; c < 3; ++c) ExpectNear(m.CornerNormal(f, c), m.FaceNormal(f), 1e-6f);
  }
  for (uint32_t v = 0; v < 8; ++v) EXPECT_EQ(NormalsAtVertex(m, v).size(), 3u) << "vertex " << v;
  EXPECT_EQ(m.Normals().size(), 24u);
}

TEST(MeshNormals, SmoothCubeCornerNormalsPointAlongTheDiagonalWhateverTheSplit) {
  for (bool mixed : {false, true}) {
    Mesh m = MakeCube([](int) { return 1u; }, mixed);
    m.buildNormals();
    ASSERT_EQ(m.Normals().size(), 8u);
    for (int f = 0; f < m.getNumFaces(); ++f) {
      for (int c = 0; c < 3; ++c) {
        const Point3& p = m.verts[m.faces[static_cast<size_t>(f)].v[c]];
        ExpectNear(m.CornerNormal(f, c), p / p.Length(), 1e-5f);
      }
    }
  }
}

TEST(MeshNormals, SphereInOneGroupHasRadialNormals) {
  const float r = 2.5f;
  Mesh m = MakeSphere(r, 128, 64);
  m.buildNormals();
  EXPECT_EQ(m.Normals().size(), m.verts.size());
  for (int f = 0; f < m.getNumFaces(); ++f) {
    for (int c = 0; c < 3; ++c) {
      const Point3& p = m.verts[m.faces[static_cast<size_t>(f)].v[c]];
      ExpectNear(m.CornerNormal(f, c), p / r, 1e-3f);
    }
  }
}

// Two triangles folded 90 degrees along their shared edge (vertices 0 and 1).
TEST(MeshNormals, TwoFacesShareNormalsOnlyWhenTheirGroupsOverlap) {
  struct Case {
    uint32_t a, b;
    bool shared;
  };
  const Case cases[] = {{0, 0, false}, {1, 1, true},     {1, 2, false},
                        {0, 1, false}, {1 | 2, 2, true}, {0x80000000u, 0x80000001u, true}};
  for (const Case& c : cases) {
    Mesh m;
    m.verts = {Point3(0, 0, 0), Point3(1, 0, 0), Point3(0, 1, 0), Point3(0, 0, 1)};
    AddFace(m, 0, 1, 2, c.a);  // faces +z
    AddFace(m, 1, 0, 3, c.b);  // faces +y
    m.buildNormals();
    const Point3 expectA = c.shared ? Normalize(Point3(0, 1, 1)) : Point3(0, 0, 1);
    const Point3 expectB = c.shared ? Normalize(Point3(0, 1, 1)) : Point3(0, 1, 0);
    SCOPED_TRACE(testing::Message() << "groups " << c.a << ", " << c.b);
    ExpectNear(m.CornerNormal(0, 0), expectA, 1e-6f);
    ExpectNear(m.CornerNormal(1, 1), expectB, 1e-6f);
    // Corners that only one face touches keep that face's normal.
    ExpectNear(m.CornerNormal(0, 2), Point3(0, 0, 1), 1e-6f);
    ExpectNear(m.CornerNormal(1, 2), Point3(0, 1, 0), 1e-6f);
  }
}

// Three faces around vertex 0 with groups 1, 1|2 and 2: the middle face ties
// the other two together, in whatever order the faces come.
TEST(MeshNormals, GroupsOverlappingThroughAThirdFaceMerge) {
  std::array<uint32_t, 3> groups = {1, 1 | 2, 2};
  std::sort(groups.begin(), groups.end());
  do {
    Mesh m;
    m.verts = {Point3(0, 0, 1), Point3(1, 0, 0), Point3(0, 1, 0), Point3(-1, 0, 0),
               Point3(0, -1, 0)};
    for (uint32_t i = 0; i < 3; ++i) AddFace(m, 0, 1 + i, 2 + i, groups[i]);
    m.buildNormals();
    EXPECT_EQ(NormalsAtVertex(m, 0).size(), 1u);
    // Groups merged away leave nothing behind: every normal is some corner's.
    size_t used = 0;
    for (uint32_t v = 0; v < 5; ++v) used += NormalsAtVertex(m, v).size();
    EXPECT_EQ(m.Normals().size(), used);
    for (const Point3& n : m.Normals()) EXPECT_NEAR(n.Length(), 1.0f, 1e-6f);
  } while (std::next_permutation(groups.begin(), groups.end()));

  Mesh apart;
  apart.verts = {Point3(0, 0, 1), Point3(1, 0, 0), Point3(0, 1, 0), Point3(-1, 0, 0)};
  AddFace(apart, 0, 1, 2, 1);
  AddFace(apart, 0, 2, 3, 2);
  apart.buildNormals();
  EXPECT_EQ(NormalsAtVertex(apart, 0).size(), 2u);
}

TEST(MeshNormals, DegenerateFaceDoesNotDisturbItsNeighbours) {
  Mesh m;
  m.verts = {Point3(0, 0, 0), Point3(1, 0, 0), Point3(0, 1, 0), Point3(2, 0, 0)};
  AddFace(m, 0, 1, 2, 1);
  AddFace(m, 0, 3, 1, 1);  // collinear: no area, no normal
  m.buildNormals();
  EXPECT_EQ(m.FaceNormal(1), Point3());
  ExpectNear(m.CornerNormal(0, 0), Point3(0, 0, 1), 1e-6f);
  ExpectNear(m.CornerNormal(0, 1), Point3(0, 0, 1), 1e-6f);
}

TEST(MeshMaps, ChannelIsSupportedOnlyWithOneMapFacePerFace) {
  Mesh m = MakeCube([](int) { return 1u; }, false);
  EXPECT_FALSE(m.mapSupport(1));
  m.setMapSupport(1, 4);
  EXPECT_TRUE(m.mapSupport(1));
  EXPECT_FALSE(m.mapSupport(0));
  EXPECT_FALSE(m.mapSupport(-1));
  EXPECT_FALSE(m.mapSupport(MAX_MESHMAPS));
  EXPECT_EQ(m.Map(1).tv.size(), 4u);
  m.setNumFaces(14);  // the channel grows with the faces
  EXPECT_TRUE(m.mapSupport(1));
  m.faces.push_back(Face());  // growing the face list directly leaves it behind
  EXPECT_FALSE(m.mapSupport(1));
  m.setMapSupport(MAX_MESHMAPS - 1, 1);
  EXPECT_TRUE(m.mapSupport(MAX_MESHMAPS - 1));
}

TEST(MeshMaps, ChannelsAreMadeOnFirstUseAndCopiedWithTheMesh) {
  Mesh m = MakeCube([](int) { return 1u; }, false);
  const Mesh& view = m;
  // Reading an unused channel makes nothing and sees an empty channel.
  EXPECT_TRUE(view.Map(42).tv.empty());
  EXPECT_FALSE(view.mapSupport(42));
  // A channel keeps its address while higher channels are made.
  m.setMapSupport(1, 3);
  MeshMap& first = m.Map(1);
  m.setMapSupport(MAX_MESHMAPS - 1, 2);
  first.tv[2] = Point3(1, 2, 3);
  EXPECT_EQ(m.Map(1).tv[2], Point3(1, 2, 3));

  Mesh copy = m;
  copy.Map(1).tv[2] = Point3(7, 7, 7);
  EXPECT_EQ(m.Map(1).tv[2], Point3(1, 2, 3));  // the copy owns its channels
  EXPECT_TRUE(copy.mapSupport(MAX_MESHMAPS - 1));
  m = copy;
  EXPECT_EQ(m.Map(1).tv[2], Point3(7, 7, 7));
  // Validation reads every channel that was made.
  copy.Map(MAX_MESHMAPS - 1).tf[0].t[1] = 5;
  std::string why;
  EXPECT_FALSE(copy.Validate(&why));
  EXPECT_NE(why.find("map channel 99"), std::string::npos) << why;
  EXPECT_TRUE(m.Validate());
}

TEST(MeshValidate, RejectsBrokenMeshesAndAcceptsAGoodOne) {
  struct Case {
    const char* name;
    void (*breakIt)(Mesh&);
    const char* expectInMessage;  // nullptr: the mesh is good
  };
  const Case cases[] = {
      {"good", [](Mesh&) {}, nullptr},
      {"vertex index past the end", [](Mesh& m) { m.faces[3].v[1] = 8; }, "face 3 uses vertex 8"},
      {"NaN vertex", [](Mesh& m) { m.verts[5].y = std::numeric_limits<float>::quiet_NaN(); },
       "vertex 5"},
      {"infinite vertex", [](Mesh& m) { m.verts[0].z = std::numeric_limits<float>::infinity(); },
       "vertex 0"},
      {"map face count", [](Mesh& m) { m.Map(1).tf.pop_back(); }, "map channel 1 has 11 faces"},
      {"map index past the end", [](Mesh& m) { m.Map(1).tf[2].t[0] = 4; }, "map vertex 4 of 4"},
      {"NaN map vertex",
       [](Mesh& m) { m.Map(1).tv[2].x = std::numeric_limits<float>::quiet_NaN(); }, "map vertex 2"},
  };
  for (const Case& c : cases) {
    Mesh m = MakeCube([](int) { return 1u; }, false);
    m.setMapSupport(1, 4);
    c.breakIt(m);
    std::string why;
    const bool ok = m.Validate(&why);
    EXPECT_EQ(ok, c.expectInMessage == nullptr) << c.name << ": " << why;
    if (c.expectInMessage) {
      EXPECT_NE(why.find(c.expectInMessage), std::string::npos) << why;
    }
  }
}
