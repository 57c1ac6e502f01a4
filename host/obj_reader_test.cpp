// Tests for our OBJ reader: every OBJ file it reads must give the mesh the
// mesh library gives, field by field; files it is not sure about must be
// declined (and so still imported by the library); hostile bytes end as a
// clear error, never a crash.
#include "host/obj_reader.h"

#include <gtest/gtest.h>

#include <assimp/Exceptional.h>
#include <assimp/fast_atof.h>

#include <cctype>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "host/mesh_import.h"

namespace host {
namespace {

namespace fs = std::filesystem;

// What the library's number parser throws (only for text that is no number).
struct NotANumber {
  template <class... Parts>
  explicit NotANumber(Parts&&...) {}
};

class ObjReader : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::path(::testing::TempDir()) / (std::string("obj_reader_") + info->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    Write("two.mtl", "# materials\nnewmtl Red\nKd 1 0 0\n\nnewmtl Blue\r\nKd 0 0 1\n");
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Write(const std::string& name, const std::string& text) {
    const fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary) << text;
    return p.string();
  }

  // Imports `path` through both readers and expects the same mesh, or the
  // same error.
  void ExpectSameAsLibrary(const std::string& path, UpAxis up = UpAxis::kZ) {
    SCOPED_TRACE(path);
    MeshImportOptions ours, library;
    ours.upAxis = library.upAxis = up;
    library.ownObjReader = false;
    Mesh a, b;
    std::string errorA, errorB;
    const bool okA = ImportMesh(path, ours, a, &errorA);
    const bool okB = ImportMesh(path, library, b, &errorB);
    ASSERT_EQ(okA, okB) << errorA << " / " << errorB;
    EXPECT_EQ(errorA, errorB);
    ASSERT_EQ(a.verts.size(), b.verts.size());
    for (size_t i = 0; i < a.verts.size(); ++i) {
      EXPECT_EQ(std::memcmp(&a.verts[i], &b.verts[i], sizeof(Point3)), 0) << "vertex " << i;
    }
    ASSERT_EQ(a.faces.size(), b.faces.size());
    for (size_t i = 0; i < a.faces.size(); ++i) {
      for (int k = 0; k < 3; ++k) EXPECT_EQ(a.faces[i].v[k], b.faces[i].v[k]) << "face " << i;
      EXPECT_EQ(a.faces[i].smGroup, b.faces[i].smGroup) << "face " << i;
      EXPECT_EQ(a.faces[i].getMatID(), b.faces[i].getMatID()) << "face " << i;
      EXPECT_EQ(a.faces[i].flags, b.faces[i].flags) << "face " << i;
    }
    const MeshMap &ma = a.Map(1), &mb = b.Map(1);
    ASSERT_EQ(ma.tv.size(), mb.tv.size());
    for (size_t i = 0; i < ma.tv.size(); ++i) {
      EXPECT_EQ(std::memcmp(&ma.tv[i], &mb.tv[i], sizeof(Point3)), 0) << "map vertex " << i;
    }
    ASSERT_EQ(ma.tf.size(), mb.tf.size());
    for (size_t i = 0; i < ma.tf.size(); ++i) {
      for (int k = 0; k < 3; ++k) EXPECT_EQ(ma.tf[i].t[k], mb.tf[i].t[k]) << "map face " << i;
    }
  }

  ObjRead Read(const std::string& path) {
    ObjModel model;
    std::string error;
    return ReadObj(path, model, &error);
  }

  fs::path dir_;
};

// Numbers come out bit for bit as the mesh library's parser makes them,
// including where that is not the nearest float.
TEST_F(ObjReader, NumbersMatchTheLibrarysArithmetic) {
  std::mt19937 random(7);
  auto digits = [&](int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += static_cast<char>('0' + random() % 10);
    return s;
  };
  std::vector<std::string> texts = {"0",         "-0",        "3.2999",   "0.1",      ".5",
                                    "-.25",      "1e5",       "1E-3",     "2.5e+2",   "007.5",
                                    "123456789", "1.0000001", "-4.56e-7", "1e-45",    "3e38",
                                    "0.123456789012345678",  "999999999999999999.5"};
  for (int i = 0; i < 20000; ++i) {
    std::string t = random() % 3 == 0 ? "-" : "";
    t += digits(1 + random() % 8);
    if (random() % 4) t += "." + digits(1 + random() % 18);
    if (random() % 5 == 0) t += std::string("e") + (random() % 2 ? "-" : "") + digits(1 + random() % 2);
    texts.push_back(t);
  }
  for (const std::string& t : texts) {
    float ours = 0.0f;
    ASSERT_TRUE(ParseObjNumber(t, ours)) << t;
    const float library = Assimp::fast_atof<NotANumber>(t.c_str());
    uint32_t a, b;
    std::memcpy(&a, &ours, 4);
    std::memcpy(&b, &library, 4);
    EXPECT_EQ(a, b) << t << ": " << ours << " vs " << library;
  }
  float v = 0.0f;
  for (const char* other : {"", "-", ".", "1.", "+1", "1,5", "nan", "inf", "1e", "1e+", "0x10",
                            "1.5.5", "1 ", "--1", "1234567890123456789"}) {
    EXPECT_FALSE(ParseObjNumber(other, v)) << other;
  }
}

// Awkward but plain files: our reader takes them, and the mesh is the one
// the library gives.
TEST_F(ObjReader, PlainFilesGiveTheLibrarysMeshFieldByField) {
  const std::string cube =
      "v -1 -1 -1\nv 1 -1 -1\nv -1 1 -1\nv 1 1 -1\nv -1 -1 1\nv 1 -1 1\nv -1 1 1\nv 1 1 1\n";
  const std::string quads = "f 1 3 4 2\nf 5 6 8 7\nf 1 2 6 5\nf 2 4 8 6\nf 4 3 7 8\nf 3 1 5 7\n";
  const std::vector<std::pair<std::string, std::string>> files = {
      {"cube_smooth.obj", cube + "s 1\n" + quads},
      {"cube_flat.obj", "# no smoothing statement\n" + cube + quads},
      {"cube_s_off.obj", cube + "s 1\nf 1 3 4 2\nf 5 6 8 7\ns off\nf 1 2 6 5\ns 2\n"
                                "f 2 4 8 6\nf 4 3 7 8\ns 0\nf 3 1 5 7\n"},
      {"negative.obj",
       "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nvn 0 0 1\n"
       "f -4/-4/-1 -3/-3/-1 -2/-2/-1 -1/-1/-1\nv 0 0 1\nvt 0.5 0.5 0.25\n"
       "f -5/1/1 -4/2/1 -1/-1/1\n"},
      {"polygons.obj",
       "v 0 0 0\nv 4 0 0\nv 4 3 0\nv 2 1 0\nv 0 3 0\nv 6 0 0\nv 7 1 0\nv 7 2 0\nv 6 3 0\n"
       "v 5 2 0\nv 5 1 0\nf 1 2 3 4 5\nf 6 7 8 9 10 11\n"},
      {"uv_only.obj",
       "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nvt 0 0\nvt 1 0\nvt 0 1\nf 1/1 2/2 3/3\n"
       "f 2/2 4/1 3/3\n"},
      {"normals_only.obj",
       "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 1\nvn 0 0 1\nvn 0 0 2\nvn 0 0 0\n"
       "f 1//1 2//2 3//3\nf 2//1 4//1 3//1\n"},
      {"materials.obj",
       "mtllib two.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nv 2 0 0\n"
       "f 1 2 3\nusemtl Red\nf 2 4 3\nusemtl Nowhere\nf 2 5 4\nusemtl Red\nf 1 5 4\n"
       "usemtl Blue\nusemtl Red\nf 1 2 4\n"},
      {"material_first.obj",
       "usemtl Late\nv 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nf 1 2 3\nmtllib two.mtl\n"
       "f 2 4 3\nusemtl Late\nf 1 2 4\n"},
      {"no_material_then_one.obj",
       "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nf 1 2 3\nusemtl Second\nf 2 4 3\n"
       "usemtl Third\nf 1 2 4\n"},
      {"groups.obj",
       "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nv 0 0 1\nf 1 2 3\ng A\nf 2 4 3\ng A\nf 1 2 5\n"
       "g B\nusemtl M\nf 1 3 5\ng A\nf 2 4 5\no Thing\nf 3 4 5\ns 1\ng B\nf 1 4 5\n"},
      {"objects_share_positions.obj",
       "o First\nv 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nf 1 2 3\nf 2 4 3\no Second\nf 1 2 4\n"},
      {"crlf_and_garbage.obj",
       "# exported\r\nmtllib two.mtl\r\nv 0 0 0\r\nv 1 0 0\r\n\r\nv 0 1 0\r\nv 1 1 0\r\n"
       "xyz what is this\r\nKd 1 1 1\r\nbevel off\r\n   \r\nusemtl Blue\r\ns 3\r\n"
       "f 1 2 3\r\nf 2 4 3\r\n"},
      {"numbers.obj",
       "v 1e-3 -0 -.5\nv 2.5E+1 0.123456789012345678 -7\nv 3.2999 -0.0034 -0.0067\n"
       "v -1 -1 -1\nf 1 2 3\nf 2 3 4\n"},
      {"degenerate.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 1 2\nf 1 2 3\nf 1 2 2 3\n"},
  };
  for (const auto& [name, text] : files) {
    const std::string path = Write(name, text);
    EXPECT_EQ(Read(path), ObjRead::kRead) << name;
    ExpectSameAsLibrary(path);
  }
  ExpectSameAsLibrary(Write("y_up.obj", files[3].second), UpAxis::kY);
}

// Files with what our reader leaves to the library are declined, and their
// import is still the library's.
TEST_F(ObjReader, UnusualFilesAreLeftToTheLibrary) {
  const std::string tri = "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\n";
  const std::vector<std::pair<std::string, std::string>> files = {
      {"continuation.obj", tri + "f 1 2 \\\n 3\n"},
      {"lines.obj", tri + "l 1 2 3\nf 1 2 3\n"},
      {"points.obj", tri + "p 1\nf 1 2 3\n"},
      {"mixed_corners.obj", tri + "vt 0 0\nf 1/1 2/1 3/1\nf 2 4 3\n"},
      {"texture_out_of_range.obj", tri + "vt 0 0\nf 1/1 2/7 3/1\n"},
      {"vertex_out_of_range.obj", tri + "f 1 2 9\n"},
      {"index_zero.obj", tri + "f 0 1 2\n"},
      {"texture_before_any.obj", tri + "vn 0 0 1\nf 1/1 2/1 3/1\n"},
      {"object_again.obj", tri + "o A\nf 1 2 3\no B\nf 2 4 3\no A\nf 1 2 4\n"},
      {"indented.obj", tri + "  f 1 2 3\n"},
      {"homogeneous.obj", "v 0 0 0 1\nv 1 0 0 2\nv 0 1 0 1\nf 1 2 3\n"},
      {"colours.obj", "v 0 0 0 1 0 0\nv 1 0 0 1 0 0\nv 0 1 0 1 0 0\nf 1 2 3\n"},
      {"missing_library.obj", "mtllib none.mtl\n" + tri + "usemtl X\nf 1 2 3\n"},
      {"leading_dot.obj", "v .5 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n"},
      {"comma.obj", "v 0,5 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n"},
      {"lone_cr.obj", tri + "f 1 2 3\rf 2 4 3\n"},
      {"two_faces_on_a_line.obj", tri + "f 1 2 3 # and a comment\n"},
      {"two_points.obj", tri + "f 1 2\n"},
      {"nan.obj", "v nan 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n"},
      {"overflow.obj", "v 1e39 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n"},
      {"huge_index.obj", tri + "f 1 2 99999999999\n"},
      {"empty.obj", "# nothing\n"},
  };
  for (const auto& [name, text] : files) {
    const std::string path = Write(name, text);
    EXPECT_EQ(Read(path), ObjRead::kDeclined) << name;
    ExpectSameAsLibrary(path);
  }
  EXPECT_EQ(Read((dir_ / "absent.obj").string()), ObjRead::kFailed);
}

// The file is read in chunks in parallel: a file of many chunks, with
// negative indices, objects and materials reaching across chunk borders,
// gives the library's mesh.
TEST_F(ObjReader, LargeFilesReadInChunksGiveTheLibrarysMesh) {
  std::string text = "mtllib two.mtl\n";
  std::mt19937 random(3);
  int vertices = 0;
  while (text.size() < (size_t{9} << 20)) {
    const int row = vertices;
    for (int k = 0; k < 4; ++k) {
      text += "v " + std::to_string(row % 997) + "." + std::to_string(random() % 1000) + " " +
              std::to_string(k) + " " + std::to_string((row / 997) % 1000) + ".25\n";
      text += "vt 0." + std::to_string(random() % 100) + " 0.5\n";
    }
    vertices += 4;
    if (random() % 50 == 0) text += random() % 2 ? "usemtl Red\n" : "usemtl Blue\n";
    if (random() % 400 == 0) text += "g part" + std::to_string(random() % 5) + "\n";
    if (random() % 100 == 0) text += "s " + std::to_string(random() % 4) + "\n";
    text += "f -4/-4 -3/-3 -2/-2 -1/-1\n";
  }
  const std::string path = Write("large.obj", text);
  EXPECT_EQ(Read(path), ObjRead::kRead);
  ExpectSameAsLibrary(path);
}

// Damaged files (cut short, bytes changed) never crash: each gives a mesh
// or one clear error, and whenever our reader takes one, the mesh is the
// library's.
TEST_F(ObjReader, DamagedFilesGiveTheLibrarysAnswerOrAClearError) {
  const std::string base =
      "mtllib two.mtl\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0 0 1\nvt 0 0\nvt 1 1\n"
      "vn 0 0 1\ng A\nusemtl Red\ns 1\nf 1/1/1 2/2/1 3/1/1 4/2/1\nf -5/1/1 -4/1/1 -1/2/1\n"
      "usemtl Blue\nf 1/1/1 5/2/1 4/1/1\n";
  std::mt19937 random(11);
  const char alphabet[] = "0123456789-/0123456789 \n.fvgs#e\\";
  int taken = 0;
  for (int i = 0; i < 60; ++i) {
    std::string text = base;
    if (i % 5 == 0) {
      text.resize(random() % text.size());
    } else if (i % 5 == 1) {
      text[random() % text.size()] = alphabet[random() % (sizeof alphabet - 1)];
    } else {
      // A changed number: indices out of range, negative, zero...
      size_t at = random() % text.size();
      while (!std::isdigit(static_cast<unsigned char>(text[at]))) at = (at + 1) % text.size();
      text[at] = "0123456789-"[random() % 11];
    }
    const std::string path = Write("damaged" + std::to_string(i) + ".obj", text);
    if (Read(path) == ObjRead::kRead) ++taken;
    ExpectSameAsLibrary(path);
    Mesh m;
    std::string error;
    if (!ImportMesh(path, MeshImportOptions(), m, &error)) {
      EXPECT_EQ(error.rfind("mesh file '" + path + "': ", 0), 0u) << error;
      EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
  }
  EXPECT_GE(taken, 10);  // the comparison is not empty
}

}  // namespace
}  // namespace host
