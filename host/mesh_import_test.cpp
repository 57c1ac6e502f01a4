// Tests for mesh import: small files written by the test are read back and
// checked for smoothing, triangulation with invisible inner edges, node
// transforms, axes, material ids, UVs and clear errors on bad files.
#include "host/mesh_import.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <set>
#include <sstream>
#include <vector>

#include "host/testing/mesh_checks.h"

namespace host {
namespace {

namespace fs = std::filesystem;

class MeshImport : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::path(::testing::TempDir()) / (std::string("mesh_import_") + info->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Write(const std::string& name, const std::string& text) {
    const fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary) << text;
    return p.string();
  }
  Mesh Import(const std::string& path, UpAxis up = UpAxis::kZ) {
    Mesh m;
    std::string error;
    MeshImportOptions options;
    options.upAxis = up;
    EXPECT_TRUE(ImportMesh(path, options, m, &error)) << error;
    return m;
  }

  fs::path dir_;
};

// A 2-unit cube as six quads, with `smoothing` (an `s` line, or nothing)
// before the faces and, when `faceNormals`, one vn per side.
std::string CubeObj(const std::string& smoothing, bool faceNormals) {
  std::string obj =
      "v -1 -1 -1\nv 1 -1 -1\nv -1 1 -1\nv 1 1 -1\nv -1 -1 1\nv 1 -1 1\nv -1 1 1\nv 1 1 1\n";
  const char* sides[6] = {"1 3 4 2", "5 6 8 7", "1 2 6 5", "2 4 8 6", "4 3 7 8", "3 1 5 7"};
  const char* normals[6] = {"0 0 -1", "0 0 1", "0 -1 0", "1 0 0", "0 1 0", "-1 0 0"};
  if (faceNormals) {
    for (const char* n : normals) obj += std::string("vn ") + n + "\n";
  }
  obj += smoothing;
  for (int s = 0; s < 6; ++s) {
    std::istringstream corners(sides[s]);
    obj += "f";
    std::string c;
    while (corners >> c) obj += " " + c + (faceNormals ? "//" + std::to_string(s + 1) : "");
    obj += "\n";
  }
  return obj;
}

// How many different corner normals each vertex has (compared as values:
// faceted triangles of one flat polygon have equal normals of their own).
std::vector<size_t> NormalsPerVertex(Mesh& m) {
  m.buildNormals();
  std::vector<std::vector<Point3>> at(m.verts.size());
  for (int f = 0; f < m.getNumFaces(); ++f) {
    for (int c = 0; c < 3; ++c) {
      std::vector<Point3>& seen = at[m.faces[static_cast<size_t>(f)].v[c]];
      const Point3 n = m.CornerNormal(f, c);
      auto same = [&](const Point3& o) { return (o - n).Length() < 1e-5f; };
      if (std::none_of(seen.begin(), seen.end(), same)) seen.push_back(n);
    }
  }
  std::vector<size_t> out;
  for (const auto& s : at) out.push_back(s.size());
  return out;
}

double Area(const Mesh& m) {
  return testing::SurfaceArea(m);
}

}  // namespace

TEST_F(MeshImport, CubeSmoothingFollowsTheFileOrTheNormalsOrTheAngles) {
  struct Case {
    const char* smoothing;
    bool faceNormals;
    size_t normalsPerCorner;
  };
  const Case cases[] = {
      {"s off\n", false, 3},  // the file says faceted
      {"s 1\n", false, 1},    // the file says smooth
      {"s 1\n", true, 1},     // the file's groups win over its normals
      {"", true, 3},          // no groups: split normals make hard edges
      {"", false, 3},         // no groups, no normals: 90 degrees is hard
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("smoothing '") + c.smoothing + "' normals " +
                 (c.faceNormals ? "yes" : "no"));
    Mesh m = Import(Write("cube.obj", CubeObj(c.smoothing, c.faceNormals)));
    ASSERT_EQ(m.getNumVerts(), 8);
    ASSERT_EQ(m.getNumFaces(), 12);
    std::string why;
    EXPECT_TRUE(testing::IsWatertight(m, &why)) << why;
    EXPECT_NEAR(testing::SignedVolume(m), 8.0, 1e-5);
    for (size_t n : NormalsPerVertex(m)) EXPECT_EQ(n, c.normalsPerCorner);
    const testing::EdgeCounts edges = testing::CountEdges(m);
    EXPECT_EQ(edges.visible, 12);
    EXPECT_EQ(edges.invisible, 6);
  }
}

TEST_F(MeshImport, QuadBecomesTwoTrianglesWithAnInvisibleDiagonal) {
  Mesh m = Import(Write("quad.obj", "v 0 0 0\nv 2 0 0\nv 2 1 0\nv 0 1 0\nf 1 2 3 4\n"));
  ASSERT_EQ(m.getNumFaces(), 2);
  const testing::EdgeCounts edges = testing::CountEdges(m);
  EXPECT_EQ(edges.visible, 4);
  EXPECT_EQ(edges.invisible, 1);
  EXPECT_EQ(edges.mixed, 0);
  EXPECT_NEAR(Area(m), 2.0, 1e-6);
  for (int f = 0; f < 2; ++f) EXPECT_EQ(m.FaceNormal(f), Point3(0, 0, 1));
}

// An arrow-head pentagon with a reflex corner, flat and tilted out of every
// axis plane: three triangles, the polygon's area, two invisible inner edges.
TEST_F(MeshImport, ConcavePentagonIsEarClippedOnItsPlane) {
  const Point2 outline[5] = {{0, 0}, {4, 0}, {4, 3}, {2, 1}, {0, 3}};
  const double area = 12.0 - 4.0;  // the 4 x 3 box less the notch (base 4, height 2)
  const Point3 frames[2][2] = {{{1, 0, 0}, {0, 1, 0}},
                               {Normalize(Point3(1, 1, 0)), Normalize(Point3(-1, 1, 2))}};
  for (const auto& frame : frames) {
    std::string obj;
    for (const Point2& p : outline) {
      const Point3 q = frame[0] * p.x + frame[1] * p.y;
      obj +=
          "v " + std::to_string(q.x) + " " + std::to_string(q.y) + " " + std::to_string(q.z) + "\n";
    }
    Mesh m = Import(Write("pentagon.obj", obj + "f 1 2 3 4 5\n"));
    ASSERT_EQ(m.getNumFaces(), 3);
    EXPECT_NEAR(Area(m), area, 1e-4);
    const Point3 normal = Normalize(frame[0] % frame[1]);
    for (int f = 0; f < 3; ++f) EXPECT_NEAR(DotProd(m.FaceNormal(f), normal), 1.0f, 1e-5f);
    const testing::EdgeCounts edges = testing::CountEdges(m);
    EXPECT_EQ(edges.visible, 5);
    EXPECT_EQ(edges.invisible, 2);
    EXPECT_EQ(edges.mixed, 0);
  }
}

TEST_F(MeshImport, YUpFilesAreTurnedZUp) {
  // Vertices are numbered by first use: (0,0,0), (0,0,1), (1,0,0), (0,1,0).
  const std::string path =
      Write("up.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\nf 1 4 2\nf 2 3 4\n");
  Mesh z = Import(path, UpAxis::kZ);
  Mesh y = Import(path, UpAxis::kY);
  ASSERT_EQ(y.getNumVerts(), 4);
  EXPECT_EQ(z.verts[3], Point3(0, 1, 0));
  EXPECT_EQ(y.verts[3], Point3(0, 0, 1));  // the file's up is now +z
  EXPECT_EQ(y.verts[1], Point3(0, -1, 0));
  EXPECT_EQ(y.verts[2], Point3(1, 0, 0));
  EXPECT_EQ(z.FaceNormal(0), Point3(0, 1, 0));
  EXPECT_EQ(y.FaceNormal(0), Point3(0, 0, 1));  // a floor facing up stays facing up
}

TEST_F(MeshImport, MaterialIdsAreTheFilesMaterialSlots) {
  Write("m.mtl", "newmtl Red\nKd 1 0 0\nnewmtl Blue\nKd 0 0 1\n");
  Mesh m = Import(Write("m.obj",
                        "mtllib m.mtl\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 2 0 0\nv 2 1 0\n"
                        "usemtl Blue\nf 1 2 3\nusemtl Red\nf 1 3 4\nusemtl Blue\nf 2 5 6\n"));
  ASSERT_EQ(m.getNumFaces(), 3);
  const uint16_t blue = m.faces[0].getMatID(), red = m.faces[1].getMatID();
  EXPECT_NE(blue, red);
  EXPECT_EQ(m.faces[2].getMatID(), blue);
  EXPECT_LE(std::max(blue, red), 2);  // small: slot numbers, with the importer's default in front
}

TEST_F(MeshImport, TextureCoordinatesGoToMapChannelOne) {
  Mesh m = Import(Write("uv.obj",
                        "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
                        "vt 0 0\nvt 0.5 0\nvt 0.5 0.25\nvt 0 0.25\nf 1/1 2/2 3/3 4/4\n"));
  ASSERT_TRUE(m.mapSupport(1));
  EXPECT_EQ(m.Map(1).tv.size(), 4u);  // welded: the diagonal's ends are shared
  for (int f = 0; f < m.getNumFaces(); ++f) {
    for (int c = 0; c < 3; ++c) {
      const Point3& p = m.verts[m.faces[static_cast<size_t>(f)].v[c]];
      const Point3& uv = m.Map(1).tv[m.Map(1).tf[static_cast<size_t>(f)].t[c]];
      EXPECT_NEAR(uv.x, 0.5f * p.x, 1e-6f);
      EXPECT_NEAR(uv.y, 0.25f * p.y, 1e-6f);
    }
  }
  EXPECT_FALSE(Import(Write("nouv.obj", "v 0 0 0\nv 1 0 0\nv 1 1 0\nf 1 2 3\n")).mapSupport(1));
  // Faces before the first with texture coordinates (here a node of their
  // own) map to the zero vector, map vertex 0.
  m = Import(Write("late_uv.obj",
                   "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0.5 0.5\nvt 1 0.5\nvt 1 1\n"
                   "o Plain\nf 1 2 3\nf 1 3 4\no Mapped\nf 1/1 2/2 3/3\n"));
  ASSERT_TRUE(m.mapSupport(1));
  ASSERT_EQ(m.getNumFaces(), 3);
  ASSERT_EQ(m.Map(1).tv.size(), 4u);
  EXPECT_EQ(m.Map(1).tv[0], Point3());
  for (int f = 0; f < 2; ++f) {
    for (int c = 0; c < 3; ++c) EXPECT_EQ(m.Map(1).tf[static_cast<size_t>(f)].t[c], 0u);
  }
  for (int c = 0; c < 3; ++c) EXPECT_EQ(m.Map(1).tf[2].t[c], static_cast<uint32_t>(c + 1));
  EXPECT_EQ(m.Map(1).tv[3], Point3(1, 1, 0));
}

// Two quads folded along their shared edge; smooth or hard by the file's
// normals, else by the angle of the fold.
TEST_F(MeshImport, DerivedGroupsFollowNormalSeamsOrTheFoldAngle) {
  enum Normals { kNone, kShared, kSplit };
  struct Case {
    double foldDegrees;
    Normals normals;
    bool smooth;
  };
  const Case cases[] = {{30, kNone, true},
                        {60, kNone, false},
                        {60, kShared, true},
                        {10, kSplit, false},
                        {0, kNone, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "fold " << c.foldDegrees << " normals " << c.normals);
    const double a = c.foldDegrees * std::numbers::pi / 180.0;
    std::ostringstream obj;
    obj << "v 0 0 0\nv 0 1 0\nv -1 1 0\nv -1 0 0\n"
        << "v " << std::cos(a) << " 1 " << std::sin(a) << "\nv " << std::cos(a) << " 0 "
        << std::sin(a) << "\n";
    // vn 1: first quad's normal; 2: second's; 3: the average along the fold.
    obj << "vn 0 0 1\nvn " << -std::sin(a) << " 0 " << std::cos(a) << "\nvn " << -std::sin(a / 2)
        << " 0 " << std::cos(a / 2) << "\n";
    if (c.normals == kNone) {
      obj << "f 4 1 2 3\nf 1 6 5 2\n";
    } else {
      const char* fold = c.normals == kShared ? "3" : "1";
      const char* other = c.normals == kShared ? "3" : "2";
      obj << "f 4//1 1//" << fold << " 2//" << fold << " 3//1\n"
          << "f 1//" << other << " 6//2 5//2 2//" << other << "\n";
    }
    Mesh m = Import(Write("fold.obj", obj.str()));
    ASSERT_EQ(m.getNumVerts(), 6);
    const std::vector<size_t> counts = NormalsPerVertex(m);
    const size_t onFold = counts[1];  // the file's vertex 1, on the fold, is used second
    EXPECT_EQ(onFold, c.smooth ? 1u : 2u);
    EXPECT_EQ(m.faces[0].smGroup & m.faces[3].smGroup ? 1 : 0, c.smooth ? 1 : 0);
  }
}

// Forty flat quads pleated around one vertex, every shared edge sharp, need
// more than 32 group bits: the regions left over are faceted, never merged
// with a neighbour.
TEST_F(MeshImport, RegionsSharingAVertexNeverShareAGroup) {
  const int n = 40;
  std::vector<Point3> rim;
  for (int i = 0; i < n; ++i) {
    const double phi = 2 * std::numbers::pi * i / n;
    rim.push_back(Point3(std::cos(phi), std::sin(phi), i % 2 ? -0.1 : 0.1));
  }
  std::ostringstream fan;
  fan << "v 0 0 0\n";
  for (const Point3& p : rim) fan << "v " << p.x << " " << p.y << " " << p.z << "\n";
  for (int i = 0; i < n; ++i) {
    const Point3 outer = rim[static_cast<size_t>(i)] + rim[static_cast<size_t>((i + 1) % n)];
    fan << "v " << outer.x << " " << outer.y << " " << outer.z << "\n";
  }
  // Parallelograms: apex, rim i, rim i + rim i+1, rim i+1.
  for (int i = 0; i < n; ++i) {
    fan << "f 1 " << i + 2 << " " << n + 2 + i << " " << (i + 1) % n + 2 << "\n";
  }
  Mesh m = Import(Write("fan.obj", fan.str()));
  ASSERT_EQ(m.getNumFaces(), 2 * n);
  m.buildNormals();
  // Faces that share a vertex share a group bit only when the quad is the same.
  int faceted = 0;
  for (size_t f = 0; f < m.faces.size(); ++f) {
    if (m.faces[f].smGroup == 0) ++faceted;
    for (size_t g = f + 1; g < m.faces.size(); ++g) {
      if (f / 2 == g / 2 || !(m.faces[f].smGroup & m.faces[g].smGroup)) continue;
      std::set<uint32_t> a(m.faces[f].v, m.faces[f].v + 3);
      for (uint32_t v : m.faces[g].v) EXPECT_FALSE(a.count(v)) << "faces " << f << ", " << g;
    }
  }
  EXPECT_GT(faceted, 0);
  // Every quad keeps its own flat normal, bits or not.
  for (int f = 0; f < m.getNumFaces(); ++f) {
    for (int c = 0; c < 3; ++c)
      EXPECT_NEAR(DotProd(m.CornerNormal(f, c), m.FaceNormal(f)), 1.0f, 1e-5f);
  }
}

// The file's `s` statements reach the right faces across objects, groups,
// material changes and line statements.
TEST_F(MeshImport, ObjSmoothingStatementsReachTheirFaces) {
  Mesh m = Import(Write("order.obj",
                        "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0 0 1\nv 1 0 1\n"
                        "usemtl Blue\ns 1\nf 1 2 3 4\nf 1 2 6\n"
                        "usemtl Red\nf 2 3 5\nl 1 5\n"
                        "usemtl Blue\ns off\nf 3 4 5\n"
                        "o second\ns 3\nf 4 5 6\n"
                        "g grp\nusemtl Red\nf 5 6 1\n"));
  const uint32_t expect[] = {1, 1, 1, 1, 0, 4, 4};
  ASSERT_EQ(m.getNumFaces(), 7);
  for (int f = 0; f < 7; ++f) EXPECT_EQ(m.faces[static_cast<size_t>(f)].smGroup, expect[f]) << f;
}

// Labels past 32 are names, not bits: 33 and 65 are different groups even
// though they agree modulo 32.
TEST_F(MeshImport, LargeSmoothingLabelsStayApart) {
  const std::string obj =
      "v -1 0 0\nv -1 1 0\nv 0 0 0\nv 0 1 0\nv 0 0 1\nv 0 1 1\nv 0 0 2\nv 0 1 2\n"
      "s 33\nf 1 3 4 2\n"   // flat, z = 0
      "s 65\nf 3 5 6 4\n"   // folded up 90 degrees along x = 0
      "s 65\nf 5 7 8 6\n";  // straight on
  Mesh m = Import(Write("labels.obj", obj));
  const std::vector<size_t> counts = NormalsPerVertex(m);
  ASSERT_EQ(counts.size(), 8u);
  EXPECT_EQ(counts[2], 2u);  // on the fold: two normals
  EXPECT_EQ(counts[4], 1u);  // between the two faces labelled 65: one
  EXPECT_EQ(m.faces[2].smGroup, m.faces[4].smGroup);
  EXPECT_EQ(m.faces[0].smGroup & m.faces[2].smGroup, 0u);
}

namespace {

std::string Base64(const std::vector<unsigned char>& bytes) {
  static const char* kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const size_t left = bytes.size() - i;
    const uint32_t v = uint32_t{bytes[i]} << 16 | (left > 1 ? uint32_t{bytes[i + 1]} << 8 : 0u) |
                       (left > 2 ? uint32_t{bytes[i + 2]} : 0u);
    out += kDigits[v >> 18 & 63];
    out += kDigits[v >> 12 & 63];
    out += left > 1 ? kDigits[v >> 6 & 63] : '=';
    out += left > 2 ? kDigits[v & 63] : '=';
  }
  return out;
}

// A glTF file holding one outward-facing unit tetrahedron, placed by two
// nodes: one moved to x = 10, one mirrored in x and moved to y = 5.
std::string TetrahedronGltf() {
  const float points[12] = {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1};
  const uint16_t indices[12] = {0, 2, 1, 0, 1, 3, 0, 3, 2, 1, 2, 3};
  std::vector<unsigned char> buffer(sizeof points + sizeof indices);
  std::memcpy(buffer.data(), points, sizeof points);
  std::memcpy(buffer.data() + sizeof points, indices, sizeof indices);
  return R"({"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0, 1]}],
    "nodes": [{"mesh": 0, "translation": [10, 0, 0]},
              {"mesh": 0, "scale": [-1, 1, 1], "translation": [0, 5, 0]}],
    "meshes": [{"primitives": [{"attributes": {"POSITION": 0}, "indices": 1}]}],
    "buffers": [{"byteLength": 72, "uri": "data:application/octet-stream;base64,)" +
         Base64(buffer) + R"("}],
    "bufferViews": [{"buffer": 0, "byteOffset": 0, "byteLength": 48},
                    {"buffer": 0, "byteOffset": 48, "byteLength": 24}],
    "accessors": [{"bufferView": 0, "componentType": 5126, "count": 4, "type": "VEC3",
                   "min": [0, 0, 0], "max": [1, 1, 1]},
                  {"bufferView": 1, "componentType": 5123, "count": 12, "type": "SCALAR"}]})";
}

}  // namespace

TEST_F(MeshImport, NodesArePlacedByTheirTransformsAndMirroringKeepsFacesOutward) {
  Mesh m = Import(Write("tetra.gltf", TetrahedronGltf()));
  ASSERT_EQ(m.getNumFaces(), 8);
  ASSERT_EQ(m.getNumVerts(), 8);  // welded within each node, not across nodes
  std::string why;
  EXPECT_TRUE(testing::IsWatertight(m, &why)) << why;
  EXPECT_NEAR(testing::SignedVolume(m), 2.0 / 6.0, 1e-6);
  // Node order: the first four vertices are the first node's.
  Box3 a, b;
  for (int i = 0; i < 4; ++i)
    a += m.verts[static_cast<size_t>(i)], b += m.verts[static_cast<size_t>(i) + 4];
  EXPECT_EQ(a.pmin, Point3(10, 0, 0));
  EXPECT_EQ(a.pmax, Point3(11, 1, 1));
  EXPECT_EQ(b.pmin, Point3(-1, 5, 0));
  EXPECT_EQ(b.pmax, Point3(0, 6, 1));
}

TEST_F(MeshImport, BadFilesGiveOneClearErrorNamingTheFile) {
  std::string junk(4096, '\0');
  uint32_t state = 12345;
  for (char& c : junk) c = static_cast<char>((state = state * 1664525u + 1013904223u) >> 24);
  std::string gltf = TetrahedronGltf();
  struct Case {
    std::string path, fragment;
  };
  const Case cases[] = {
      {(dir_ / "missing.obj").string(), "no such file"},
      {dir_.string(), "not a regular file"},
      {Write("junk.glb", junk), "cannot be read"},
      {Write("junk.obj", junk), ""},
      {Write("empty.obj", "# nothing here\n"), ""},
      {Write("lines.obj", "v 0 0 0\nv 1 0 0\nl 1 2\n"), ""},
      {Write("nan.obj", "v nan 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n"), "not a finite number"},
      {Write("huge.obj", "v 1e39 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n"), "not a finite number"},
      {Write("truncated.gltf", gltf.substr(0, gltf.size() / 2)), "cannot be read"},
  };
  for (const Case& c : cases) {
    Mesh m;
    m.verts.push_back(Point3());
    std::string error;
    EXPECT_FALSE(ImportMesh(c.path, MeshImportOptions(), m, &error)) << c.path;
    EXPECT_EQ(error.rfind("mesh file '" + c.path + "': ", 0), 0u) << error;
    EXPECT_NE(error.find(c.fragment), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    EXPECT_EQ(m.getNumVerts(), 0);
  }
}

// Bytes that crash the mesh library (the PLY header cut inside its format
// name) or make it loop for ever (one byte shorter) end as a clear error
// within seconds: the library runs in a process of its own.
TEST_F(MeshImport, FilesThatBreakTheMeshLibraryGiveAClearErrorInSeconds) {
  const std::string crash("ply\nformat binary_\0\0", 20);
  for (const std::string& bytes : {crash, crash.substr(0, 19)}) {
    const std::string path = Write("broken" + std::to_string(bytes.size()) + ".ply", bytes);
    Mesh m;
    std::string error;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ImportMesh(path, MeshImportOptions(), m, &error));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(error.rfind("mesh file '" + path + "': ", 0), 0u) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    EXPECT_EQ(m.getNumVerts(), 0);
  }
}

// A flood of material names is refused before the mesh library sees it,
// so the work stays in step with the file's size.
TEST_F(MeshImport, AnObjNamingTooManyMaterialsIsRefusedQuickly) {
  std::string obj = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";
  for (int i = 0; i < 70000; ++i) obj += "usemtl m" + std::to_string(i) + "\nf 1 2 3\n";
  const std::string path = Write("materials.obj", obj);
  Mesh m;
  std::string error;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(ImportMesh(path, MeshImportOptions(), m, &error));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  EXPECT_NE(error.find("names 70000 materials"), std::string::npos) << error;
}

// Corners naming a texture coordinate or normal the file does not have are
// imported, and each such line is named in a warning.
TEST_F(MeshImport, OutOfRangeObjIndicesWarnWithTheLine) {
  const std::string path = Write("indices.obj",
                                 "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvn 0 0 1\n"
                                 "f 1/1/1 2/1/1 3/1/1\n"
                                 "f 1/7/1 2/1/1 3/1/1\n"
                                 "f 1/1/1 2/1/-4 3/1/1\n");
  Mesh m;
  std::string error;
  std::vector<std::string> warnings;
  ASSERT_TRUE(ImportMesh(path, MeshImportOptions(), m, &error, &warnings)) << error;
  ASSERT_EQ(warnings.size(), 2u);
  EXPECT_NE(warnings[0].find("line 7: texture coordinate index 7 is out of range"),
            std::string::npos)
      << warnings[0];
  EXPECT_NE(warnings[1].find("line 8: normal index -4 is out of range"), std::string::npos)
      << warnings[1];
  EXPECT_EQ(warnings[0].rfind("mesh file '" + path + "'", 0), 0u) << warnings[0];
}

// The reader process's answer is checked before it is taken: a cut or
// altered answer is refused with a reason, never read past its end.
TEST_F(MeshImport, DamagedReaderAnswersAreRefused) {
  Mesh m;
  std::string why;
  EXPECT_FALSE(ReadMeshAnswer("", m, &why));
  EXPECT_FALSE(why.empty());
  std::string answer("TMSH", 4);
  auto put = [&](const auto& v) { answer.append(reinterpret_cast<const char*>(&v), sizeof v); };
  put(uint64_t{0});  // no problem, then nothing
  EXPECT_FALSE(ReadMeshAnswer(answer, m, &why));
  // One vertex, one face using vertex 5.
  put(uint64_t{1});
  put(Point3(0, 0, 0));
  put(uint64_t{1});
  Face f;
  f.setVerts(0, 0, 5);
  put(f);
  put(uint64_t{0});
  put(uint64_t{0});
  EXPECT_FALSE(ReadMeshAnswer(answer, m, &why));
  EXPECT_NE(why.find("vertex 5"), std::string::npos) << why;
  EXPECT_EQ(m.getNumFaces(), 0);
}

}  // namespace host
