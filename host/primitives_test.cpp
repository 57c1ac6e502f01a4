// Tests for the built-in primitives: closed shapes are watertight, face
// outwards and enclose their analytic volume; groups, material ids, edge
// visibility and UVs are as documented; bad sizes give clear errors.
#include "host/primitives.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "host/testing/mesh_checks.h"
#include "sdk/angles.h"

namespace host {
namespace {

PrimitiveParams Box(float x, float y, float z) {
  PrimitiveParams p;
  p.type = "box";
  p.size = Point3(x, y, z);
  return p;
}

PrimitiveParams Round(const char* type, float radius, int segments = 0, int sides = 0) {
  PrimitiveParams p;
  p.type = type;
  p.radius = radius;
  if (segments) p.segments = segments;
  if (sides) p.sides = sides;
  return p;
}

PrimitiveParams Cylinder(float radius, float height, int sides) {
  PrimitiveParams p = Round("cylinder", radius, 0, sides);
  p.height = height;
  return p;
}

PrimitiveParams Torus(const char* type, float radius, float tube, int segments, int sides) {
  PrimitiveParams p = Round(type, radius, segments, sides);
  p.tube = tube;
  return p;
}

PrimitiveParams Plane(float x, float y, int segments) {
  PrimitiveParams p;
  p.type = "plane";
  p.size = Point3(x, y, 0.0f);
  p.segments = segments;
  return p;
}

Mesh Make(const PrimitiveParams& p) {
  Mesh m;
  std::string error;
  EXPECT_TRUE(MakePrimitive(p, m, &error)) << error;
  return m;
}

// Length of the default (2, 3) torus-knot curve of radius R, by the midpoint rule.
double TrefoilLength(double R) {
  const int n = 100000;
  double length = 0.0;
  for (int i = 0; i < n; ++i) {
    const double t = 2.0 * kPiD * (i + 0.5) / n, a = 0.5 * R;
    const double r = R + a * std::cos(3 * t), dr = -3 * a * std::sin(3 * t);
    length += std::hypot(dr, 2 * r, 3 * a * std::cos(3 * t)) * 2.0 * kPiD / n;
  }
  return length;
}

}  // namespace

TEST(Primitives, ClosedShapesAreWatertightFaceOutwardsAndHoldTheirVolume) {
  struct Case {
    PrimitiveParams params;
    double volume, relTol;
  };
  const Case cases[] = {
      {Box(2, 3, 4), 24.0, 1e-6},
      {Round("sphere", 1.5f, 128), 4.0 / 3.0 * kPiD * 1.5 * 1.5 * 1.5, 2e-3},
      {Round("sphere", 1.0f, 5), 0.0, 0.0},  // coarse: watertight, volume not checked
      {Cylinder(1.0f, 2.0f, 128), kPiD * 2.0, 1e-3},
      {Cylinder(1.0f, 2.0f, 3), 3.0 * std::sqrt(3.0) / 4.0 * 2.0, 1e-5},  // a prism
      {Torus("torus", 2.0f, 0.5f, 128, 64), 2.0 * kPiD * kPiD * 2.0 * 0.25, 3e-3},
      {Torus("torusKnot", 2.0f, 0.2f, 1024, 32), kPiD * 0.04 * TrefoilLength(2.0), 1e-2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.params.type);
    Mesh m = Make(c.params);
    std::string why;
    EXPECT_TRUE(testing::IsWatertight(m, &why)) << why;
    EXPECT_TRUE(m.Validate(&why)) << why;
    const double volume = testing::SignedVolume(m);
    EXPECT_GT(volume, 0.0);
    if (c.volume > 0.0) {
      EXPECT_NEAR(volume, c.volume, c.volume * c.relTol);
    }
    for (int f = 0; f < m.getNumFaces(); ++f) EXPECT_GT(m.FaceNormal(f).Length(), 0.5f);
  }
}

TEST(Primitives, ShapesAreCentredOnTheOrigin) {
  struct Case {
    PrimitiveParams params;
    Point3 halfWidth;
  };
  const Case cases[] = {
      {Box(2, 3, 4), {1, 1.5f, 2}},
      {Plane(4, 6, 3), {2, 3, 0}},
      {Round("sphere", 1.5f, 16), {1.5f, 1.5f, 1.5f}},
      {Cylinder(1.0f, 3.0f, 8), {1, 1, 1.5f}},
      {Torus("torus", 2.0f, 0.5f, 16, 8), {2.5f, 2.5f, 0.5f}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.params.type);
    const Box3 b = Make(c.params).getBoundingBox();
    for (int a = 0; a < 3; ++a) {
      EXPECT_NEAR(b.pmin[a], -c.halfWidth[a], 1e-5f);
      EXPECT_NEAR(b.pmax[a], c.halfWidth[a], 1e-5f);
    }
  }
}

TEST(Primitives, BoxSidesHaveTheirOwnGroupAndMaterialId) {
  const Point3 sideNormal[7] = {{},        {0, 0, -1}, {0, 0, 1}, {0, -1, 0},
                                {1, 0, 0}, {0, 1, 0},  {-1, 0, 0}};
  Mesh m = Make(Box(1, 2, 3));
  ASSERT_EQ(m.getNumFaces(), 12);
  int perMaterial[7] = {};
  for (int f = 0; f < 12; ++f) {
    const Face& face = m.faces[static_cast<size_t>(f)];
    ASSERT_GE(face.getMatID(), 1);
    ASSERT_LE(face.getMatID(), 6);
    ++perMaterial[face.getMatID()];
    EXPECT_EQ(face.smGroup, 1u << (face.getMatID() - 1));
    EXPECT_EQ(m.FaceNormal(f), sideNormal[face.getMatID()]) << "face " << f;
  }
  for (int id = 1; id <= 6; ++id) EXPECT_EQ(perMaterial[id], 2) << "material " << id;
  m.buildNormals();
  EXPECT_EQ(m.Normals().size(), 24u);  // three per corner: every box edge is hard
}

// Visible edges outline the quads and fans; invisible ones are the quads'
// diagonals (and a cylinder cap's spokes), one per quad.
TEST(Primitives, OnlyPolygonOutlinesAreVisibleEdges) {
  struct Case {
    PrimitiveParams params;
    int visible, invisible;
  };
  const Case cases[] = {
      {Box(1, 1, 1), 12, 6},
      {Plane(1, 1, 3), 2 * 3 * 4, 9},
      {Round("sphere", 1.0f, 8), 8 * (2 * 4 - 1), 8 * 2},  // 4 bands, 2 of them quads
      {Cylinder(1.0f, 1.0f, 6), 3 * 6, 6 + 2 * 6},
      {Torus("torus", 2.0f, 0.5f, 6, 4), 2 * 6 * 4, 6 * 4},
      {Torus("torusKnot", 2.0f, 0.2f, 30, 5), 2 * 30 * 5, 30 * 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.params.type);
    const testing::EdgeCounts counts = testing::CountEdges(Make(c.params));
    EXPECT_EQ(counts.visible, c.visible);
    EXPECT_EQ(counts.invisible, c.invisible);
    EXPECT_EQ(counts.mixed, 0);
  }
}

TEST(Primitives, CylinderCapsAndSideAreSeparateGroupsAndMaterials) {
  Mesh m = Make(Cylinder(1.0f, 2.0f, 12));
  m.buildNormals();
  for (int f = 0; f < m.getNumFaces(); ++f) {
    const Face& face = m.faces[static_cast<size_t>(f)];
    const float nz = m.FaceNormal(f).z;
    const uint16_t expect = nz < -0.99f ? 1 : nz > 0.99f ? 2 : 3;
    EXPECT_EQ(face.getMatID(), expect);
    EXPECT_EQ(face.smGroup, 1u << (expect - 1));
    for (int c = 0; c < 3; ++c) {
      const Point3 n = m.CornerNormal(f, c);
      if (expect == 3) {
        // Smooth sides: the normal at a rim vertex points straight out.
        const Point3& p = m.verts[face.v[c]];
        EXPECT_NEAR(DotProd(n, Normalize(Point3(p.x, p.y, 0.0f))), 1.0f, 1e-5f);
      } else {
        EXPECT_NEAR(n.z, expect == 1 ? -1.0f : 1.0f, 1e-6f);
      }
    }
  }
}

TEST(Primitives, CurvedShapesAreSmoothWithOneNormalPerVertex) {
  const PrimitiveParams cases[] = {Round("sphere", 2.0f, 96), Torus("torus", 2.0f, 0.5f, 96, 48)};
  for (const PrimitiveParams& p : cases) {
    SCOPED_TRACE(p.type);
    Mesh m = Make(p);
    m.buildNormals();
    EXPECT_EQ(m.Normals().size(), m.verts.size());
    for (int f = 0; f < m.getNumFaces(); ++f) {
      for (int c = 0; c < 3; ++c) {
        const Point3& v = m.verts[m.faces[static_cast<size_t>(f)].v[c]];
        // The exact surface normal: radial from the centre (sphere) or from the tube's centre.
        const Point3 ring = Normalize(Point3(v.x, v.y, 0.0f)) * 2.0f;
        const Point3 exact = p.type == "sphere" ? Normalize(v) : Normalize(v - ring);
        EXPECT_NEAR(DotProd(m.CornerNormal(f, c), exact), 1.0f, 1e-3f);
      }
    }
  }
}

TEST(Primitives, EveryShapeHasUVsInTheUnitSquare) {
  PrimitiveParams teapot = Round("teapot", 1.0f, 4);
  const PrimitiveParams cases[] = {Box(1, 2, 3),
                                   Plane(2, 2, 4),
                                   Round("sphere", 1.0f, 12),
                                   Cylinder(1.0f, 1.0f, 7),
                                   Torus("torus", 2.0f, 0.5f, 9, 5),
                                   Torus("torusKnot", 2.0f, 0.2f, 40, 6),
                                   teapot};
  for (const PrimitiveParams& p : cases) {
    SCOPED_TRACE(p.type);
    Mesh m = Make(p);
    ASSERT_TRUE(m.mapSupport(1));
    float umin = 1, umax = 0, vmin = 1, vmax = 0;
    for (const Point3& t : m.Map(1).tv) {
      umin = std::min(umin, t.x), umax = std::max(umax, t.x);
      vmin = std::min(vmin, t.y), vmax = std::max(vmax, t.y);
    }
    EXPECT_GE(umin, 0.0f);
    EXPECT_LE(umax, 1.0f);
    EXPECT_GE(vmin, 0.0f);
    EXPECT_LE(vmax, 1.0f);
    EXPECT_GT(umax - umin, 0.5f);  // spread over the square, not collapsed to a point
    EXPECT_GT(vmax - vmin, 0.5f);
  }
}

// Map faces wrap without stretching across the seam: no map triangle of a
// wrapped surface spans more than its share of u (the cylinder's caps are
// discs, not wrapped).
TEST(Primitives, WrappedUVsDoNotJumpAcrossTheSeam) {
  const PrimitiveParams cases[] = {Round("sphere", 1.0f, 16), Cylinder(1.0f, 1.0f, 16),
                                   Torus("torus", 2.0f, 0.5f, 16, 8)};
  for (const PrimitiveParams& p : cases) {
    SCOPED_TRACE(p.type);
    Mesh m = Make(p);
    const MeshMap& map = m.Map(1);
    for (size_t f = 0; f < map.tf.size(); ++f) {
      if (p.type == "cylinder" && m.faces[f].getMatID() != 3) continue;
      const TVFace& tf = map.tf[f];
      for (int k = 0; k < 3; ++k) {
        const Point3 d = map.tv[tf.t[k]] - map.tv[tf.t[(k + 1) % 3]];
        EXPECT_LE(std::fabs(d.x), 1.0f / 8 + 1e-6f);
      }
    }
  }
}

TEST(Primitives, TeapotStandsOnZeroWithTheBodyAsWideAsTheRadius) {
  const int n = 6;
  const float radius = 3.0f;
  Mesh m = Make(Round("teapot", radius, n));
  std::string why;
  ASSERT_TRUE(m.Validate(&why)) << why;
  const Box3 b = m.getBoundingBox();
  EXPECT_NEAR(b.pmin.z, 0.0f, 1e-6f);
  EXPECT_NEAR(b.pmax.z, 1.575f * radius, 1e-5f);
  // Spout and handle lie near the xz plane, so the body alone reaches furthest in y.
  EXPECT_NEAR(b.pmax.y, radius, 1e-5f);
  EXPECT_NEAR(b.pmin.y, -radius, 1e-5f);
  // Patches are welded at their seams and agree in orientation: the only open
  // edges are the rim's inner edge, the lid's lower edge and the ends of the
  // spout and handle (each a loop of n edges per patch: 4 + 4 + 2 * 2 + 2 * 2).
  for (const auto& [edge, use] : testing::EdgeUses(m)) {
    ASSERT_LE(use.faces, 2);
    if (use.faces == 2) {
      EXPECT_EQ(use.forward, 1);
    }
  }
  EXPECT_EQ(testing::CountEdges(m).boundary, 16 * n);
  // The body's faces point away from the axis.
  for (int f = 0; f < m.getNumFaces(); ++f) {
    const Face& face = m.faces[static_cast<size_t>(f)];
    const Point3 c = (m.verts[face.v[0]] + m.verts[face.v[1]] + m.verts[face.v[2]]) / 3.0f;
    if (std::fabs(c.y) < 0.5f * radius || c.z < 0.25f * radius || c.z > radius) continue;
    EXPECT_GT(DotProd(m.FaceNormal(f), Normalize(Point3(c.x, c.y, 0.0f))), 0.5f);
  }
}

TEST(Primitives, BadParametersAreRejectedWithTheirName) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  PrimitiveParams unknown;
  unknown.type = "dodecahedron";
  PrimitiveParams link = Torus("torusKnot", 2.0f, 0.2f, 30, 5);
  link.p = 2, link.q = 4;
  struct Case {
    PrimitiveParams params;
    const char* message;
  };
  const Case cases[] = {
      {unknown, "primitive 'dodecahedron': unknown primitive"},
      {Box(1, -1, 1), "primitive 'box': size y must be a positive number up to 2e+06 (got -1)"},
      {Box(1, 1, nan), "size z must be a positive number"},
      {Plane(0, 1, 1), "size x must be"},
      {Round("sphere", inf), "radius must be a positive number up to 2e+06 (got inf)"},
      {Cylinder(1, 0, 8), "height must be"},
      {Torus("torus", 1, 0, 8, 8), "tube must be"},
      // Sizes beyond what the ray tracer handles are refused before any vertex is made.
      {Torus("torus", 3e38f, 3e38f, 8, 8), "radius must be a positive number up to 2e+06"},
      {link, "p 2 and q 4 have a common factor"},
      {Round("teapot", -2), "primitive 'teapot': radius must be"},
  };
  for (const Case& c : cases) {
    Mesh m = Make(Box(1, 1, 1));  // left empty on failure
    std::string error;
    EXPECT_FALSE(MakePrimitive(c.params, m, &error)) << c.params.type;
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
    EXPECT_EQ(m.getNumFaces(), 0);
    EXPECT_EQ(m.getNumVerts(), 0);
  }
  EXPECT_EQ(PrimitiveParamNames("torusKnot").size(), 6u);
  EXPECT_TRUE(PrimitiveParamNames("dodecahedron").empty());
}

TEST(Primitives, OutOfRangeCountsAreClampedWithAWarning) {
  Mesh m;
  std::string error;
  std::vector<std::string> warnings;
  ASSERT_TRUE(MakePrimitive(Cylinder(1.0f, 1.0f, 1), m, &error, &warnings));
  EXPECT_EQ(m.getNumFaces(), 3 * 4);  // three sides
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0], "primitive 'cylinder': sides 1 is outside 3..1024; using 3");
}

}  // namespace host
