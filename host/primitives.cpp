// Built-in primitives (see primitives.h for the shapes, their parameters,
// smoothing groups, material ids and texture coordinates).
#include "host/primitives.h"

#include "host/scene_limits.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <numeric>
#include <sstream>
#include <unordered_map>

#include "host/teapot_data.h"
#include "sdk/angles.h"

namespace host {
namespace {

// Appends faces to a mesh together with their map faces in channel 1.
class MeshBuilder {
 public:
  explicit MeshBuilder(Mesh& mesh) : mesh_(mesh) { mesh_ = Mesh(); }

  uint32_t Vert(const Point3& p) {
    mesh_.verts.push_back(p);
    return static_cast<uint32_t>(mesh_.verts.size() - 1);
  }
  uint32_t MapVert(double u, double v) {
    mesh_.Map(1).tv.push_back(Point3(u, v, 0.0));
    return static_cast<uint32_t>(mesh_.Map(1).tv.size() - 1);
  }
  uint32_t NumVerts() const { return static_cast<uint32_t>(mesh_.verts.size()); }
  // Room for a mesh of known size, so a scene of many small primitives does
  // not grow each of its arrays step by step.
  void Reserve(size_t verts, size_t faces, size_t mapVerts) {
    mesh_.verts.reserve(verts);
    mesh_.faces.reserve(faces);
    mesh_.Map(1).tv.reserve(mapVerts);
    mesh_.Map(1).tf.reserve(faces);
  }

  void Tri(std::array<uint32_t, 3> v, std::array<uint32_t, 3> t, uint32_t group, uint16_t mat,
           uint32_t edges = EDGE_ALL) {
    Face f;
    f.setVerts(v[0], v[1], v[2]);
    f.smGroup = group;
    f.setMatID(mat);
    f.flags = edges;
    mesh_.faces.push_back(f);
    mesh_.Map(1).tf.push_back(TVFace{{t[0], t[1], t[2]}});
  }
  // A quad a, b, c, d (counter-clockwise from outside) as triangles abc and
  // acd; the diagonal a-c is an invisible edge.
  void Quad(std::array<uint32_t, 4> v, std::array<uint32_t, 4> t, uint32_t group, uint16_t mat) {
    Tri({v[0], v[1], v[2]}, {t[0], t[1], t[2]}, group, mat, EDGE_A | EDGE_B);
    Tri({v[0], v[2], v[3]}, {t[0], t[2], t[3]}, group, mat, EDGE_B | EDGE_C);
  }

 private:
  Mesh& mesh_;
};

// Map vertices on a (nu + 1) x (nv + 1) grid, uv(i, j) each; answers the index
// of the first, so grid point (i, j) is base + i * (nv + 1) + j.
uint32_t AddMapGrid(MeshBuilder& b, int nu, int nv,
                    const std::function<std::array<double, 2>(int, int)>& uv) {
  uint32_t base = 0;
  for (int i = 0; i <= nu; ++i) {
    for (int j = 0; j <= nv; ++j) {
      const auto [u, v] = uv(i, j);
      const uint32_t t = b.MapVert(u, v);
      if (i == 0 && j == 0) base = t;
    }
  }
  return base;
}

// nu x nv quads whose corners are vert(i, j), vert(i + 1, j), vert(i + 1, j + 1),
// vert(i, j + 1); the caller orders i and j so these run counter-clockwise
// from outside. Map corners come from the grid at mapBase (see AddMapGrid).
void AddQuadGrid(MeshBuilder& b, int nu, int nv, const std::function<uint32_t(int, int)>& vert,
                 uint32_t mapBase, uint32_t group, uint16_t mat) {
  auto map = [&](int i, int j) { return mapBase + static_cast<uint32_t>(i * (nv + 1) + j); };
  for (int i = 0; i < nu; ++i) {
    for (int j = 0; j < nv; ++j) {
      b.Quad({vert(i, j), vert(i + 1, j), vert(i + 1, j + 1), vert(i, j + 1)},
             {map(i, j), map(i + 1, j), map(i + 1, j + 1), map(i, j + 1)}, group, mat);
    }
  }
}

double Angle(int i, int n) {
  return kTwoPiD * static_cast<double>(i) / static_cast<double>(n);
}

void BuildBox(Mesh& out, const Point3& size) {
  MeshBuilder b(out);
  b.Reserve(8, 12, 24);
  const Point3 h = size * 0.5f;
  // Corner i has +x when bit 0 is set, +y for bit 1, +z for bit 2.
  for (int i = 0; i < 8; ++i)
    b.Vert(Point3(i & 1 ? h.x : -h.x, i & 2 ? h.y : -h.y, i & 4 ? h.z : -h.z));
  // Bottom, top, front, right, back, left, each counter-clockwise from outside.
  constexpr uint32_t kSides[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                     {1, 3, 7, 5}, {3, 2, 6, 7}, {2, 0, 4, 6}};
  for (int s = 0; s < 6; ++s) {
    const uint32_t* q = kSides[s];
    b.Quad({q[0], q[1], q[2], q[3]},
           {b.MapVert(0, 0), b.MapVert(1, 0), b.MapVert(1, 1), b.MapVert(0, 1)}, 1u << s,
           static_cast<uint16_t>(s + 1));
  }
}

void BuildPlane(Mesh& out, float sx, float sy, int n) {
  MeshBuilder b(out);
  for (int i = 0; i <= n; ++i) {
    for (int j = 0; j <= n; ++j) {
      b.Vert(Point3(sx * (static_cast<float>(i) / static_cast<float>(n) - 0.5f),
                    sy * (static_cast<float>(j) / static_cast<float>(n) - 0.5f), 0.0f));
    }
  }
  const uint32_t t = AddMapGrid(b, n, n, [n](int i, int j) {
    return std::array<double, 2>{double(i) / n, double(j) / n};
  });
  AddQuadGrid(
      b, n, n, [n](int i, int j) { return static_cast<uint32_t>(i * (n + 1) + j); }, t, 1, 1);
}

void BuildSphere(Mesh& out, float radius, int around) {
  MeshBuilder b(out);
  const int bands = std::max(2, around / 2);
  const uint32_t top = b.Vert(Point3(0.0f, 0.0f, radius));
  for (int i = 1; i < bands; ++i) {
    const double theta = kPiD * i / bands;
    for (int j = 0; j < around; ++j) {
      const double phi = Angle(j, around);
      b.Vert(Point3(radius * std::sin(theta) * std::cos(phi),
                    radius * std::sin(theta) * std::sin(phi), radius * std::cos(theta)));
    }
  }
  const uint32_t bottom = b.Vert(Point3(0.0f, 0.0f, -radius));
  // Ring i (1..bands-1) from the top; the seam reuses vertex j = 0.
  auto ring = [around](int i, int j) {
    return static_cast<uint32_t>(1 + (i - 1) * around + j % around);
  };
  // Map rows run from the top pole (v = 1) to the bottom one; a pole's map
  // vertex sits mid-way along its fan triangle.
  const uint32_t t = AddMapGrid(b, bands, around, [=](int i, int j) {
    const bool pole = (i == 0 || i == bands) && j < around;
    return std::array<double, 2>{(j + (pole ? 0.5 : 0.0)) / around, 1.0 - double(i) / bands};
  });
  auto map = [&](int i, int j) { return t + static_cast<uint32_t>(i * (around + 1) + j); };
  for (int j = 0; j < around; ++j) {
    b.Tri({top, ring(1, j), ring(1, j + 1)}, {map(0, j), map(1, j), map(1, j + 1)}, 1, 1);
    b.Tri({bottom, ring(bands - 1, j + 1), ring(bands - 1, j)},
          {map(bands, j), map(bands - 1, j + 1), map(bands - 1, j)}, 1, 1);
  }
  AddQuadGrid(
      b, bands - 2, around, [&](int i, int j) { return ring(i + 1, j); }, map(1, 0), 1, 1);
}

void BuildCylinder(Mesh& out, float radius, float height, int sides) {
  MeshBuilder b(out);
  const float z0 = -0.5f * height, z1 = 0.5f * height;
  for (float z : {z0, z1}) {
    for (int i = 0; i < sides; ++i) {
      const double phi = Angle(i, sides);
      b.Vert(Point3(radius * std::cos(phi), radius * std::sin(phi), z));
    }
  }
  const uint32_t bottomCentre = b.Vert(Point3(0.0f, 0.0f, z0));
  const uint32_t topCentre = b.Vert(Point3(0.0f, 0.0f, z1));
  auto rim = [sides](int j, int i) { return static_cast<uint32_t>(j * sides + i % sides); };

  const uint32_t side = AddMapGrid(b, sides, 1, [sides](int i, int j) {
    return std::array<double, 2>{double(i) / sides, double(j)};
  });
  AddQuadGrid(
      b, sides, 1, [&](int i, int j) { return rim(j, i); }, side, 4, 3);

  // Caps: fans around the centre with invisible spokes; each cap's disc maps
  // onto 0..1 as seen from outside.
  for (int cap = 0; cap < 2; ++cap) {
    const uint32_t centre = cap == 0 ? bottomCentre : topCentre;
    const double flip = cap == 0 ? -1.0 : 1.0;
    const uint32_t tc = b.MapVert(0.5, 0.5);
    for (int i = 0; i < sides; ++i) {
      const double phi = Angle(i, sides);
      b.MapVert(0.5 + 0.5 * flip * std::cos(phi), 0.5 + 0.5 * std::sin(phi));
    }
    auto mapRim = [&](int i) { return tc + 1 + static_cast<uint32_t>(i % sides); };
    const uint32_t group = 1u << cap;
    const uint16_t mat = static_cast<uint16_t>(cap + 1);
    for (int i = 0; i < sides; ++i) {
      if (cap == 0) {
        b.Tri({centre, rim(0, i + 1), rim(0, i)}, {tc, mapRim(i + 1), mapRim(i)}, group, mat,
              EDGE_B);
      } else {
        b.Tri({centre, rim(1, i), rim(1, i + 1)}, {tc, mapRim(i), mapRim(i + 1)}, group, mat,
              EDGE_B);
      }
    }
  }
}

// A closed tube: rings of `sides` vertices around `segments` points of a
// closed curve. ringPoint(i, j) is vertex j of ring i; i runs along the curve
// and j around it so that quads face outwards. u runs along, v around.
void BuildClosedTube(Mesh& out, int segments, int sides,
                     const std::function<Point3(int, int)>& ringPoint) {
  MeshBuilder b(out);
  for (int i = 0; i < segments; ++i) {
    for (int j = 0; j < sides; ++j) b.Vert(ringPoint(i, j));
  }
  const uint32_t t = AddMapGrid(b, segments, sides, [=](int i, int j) {
    return std::array<double, 2>{double(i) / segments, double(j) / sides};
  });
  AddQuadGrid(
      b, segments, sides,
      [=](int i, int j) { return static_cast<uint32_t>((i % segments) * sides + j % sides); }, t, 1,
      1);
}

void BuildTorus(Mesh& out, float radius, float tube, int segments, int sides) {
  BuildClosedTube(out, segments, sides, [=](int i, int j) {
    const double phi = Angle(i, segments), theta = Angle(j, sides);
    const double r = radius + tube * std::cos(theta);
    return Point3(r * std::cos(phi), r * std::sin(phi), tube * std::sin(theta));
  });
}

// The torus-knot curve, lying on a torus of radius R and tube R / 2, and its
// derivative, at angle t.
Point3 KnotPoint(double R, int p, int q, double t) {
  const double r = R + 0.5 * R * std::cos(q * t);
  return Point3(r * std::cos(p * t), r * std::sin(p * t), 0.5 * R * std::sin(q * t));
}

Point3 KnotTangent(double R, int p, int q, double t) {
  const double a = 0.5 * R, r = R + a * std::cos(q * t), dr = -a * q * std::sin(q * t);
  return Normalize(Point3(dr * std::cos(p * t) - r * p * std::sin(p * t),
                          dr * std::sin(p * t) + r * p * std::cos(p * t), a * q * std::cos(q * t)));
}

// Normals along the curve carried by parallel transport (each projected onto
// the next normal plane), then turned a little at every step so the frame
// closes up: transport around a closed curve generally comes back twisted.
std::vector<Point3> TransportedNormals(const std::vector<Point3>& tangents) {
  const size_t n = tangents.size();
  const Point3& t0 = tangents[0];
  const Point3 seed = std::fabs(t0.z) < 0.9f ? Point3::ZAxis() : Point3::XAxis();
  std::vector<Point3> normals(n + 1);
  normals[0] = Normalize(seed - t0 * DotProd(seed, t0));
  for (size_t k = 1; k <= n; ++k) {
    const Point3& t = tangents[k % n];
    normals[k] = Normalize(normals[k - 1] - t * DotProd(normals[k - 1], t));
  }
  const double twist =
      std::atan2(DotProd(normals[0] % normals[n], t0), DotProd(normals[0], normals[n]));
  for (size_t k = 1; k < n; ++k) {
    const double beta = -twist * static_cast<double>(k) / static_cast<double>(n);
    const Point3& t = tangents[k];
    normals[k] = Normalize(normals[k] * static_cast<float>(std::cos(beta)) +
                           (t % normals[k]) * static_cast<float>(std::sin(beta)));
  }
  normals.pop_back();
  return normals;
}

void BuildTorusKnot(Mesh& out, float radius, float tube, int p, int q, int segments, int sides) {
  std::vector<Point3> centres(static_cast<size_t>(segments)), tangents(centres.size());
  for (int i = 0; i < segments; ++i) {
    centres[static_cast<size_t>(i)] = KnotPoint(radius, p, q, Angle(i, segments));
    tangents[static_cast<size_t>(i)] = KnotTangent(radius, p, q, Angle(i, segments));
  }
  const std::vector<Point3> normals = TransportedNormals(tangents);
  BuildClosedTube(out, segments, sides, [&](int i, int j) {
    const size_t k = static_cast<size_t>(i);
    // binormal = normal x tangent, so (along, around) faces outwards.
    const Point3 binormal = normals[k] % tangents[k];
    const double theta = Angle(j, sides);
    return centres[k] + (normals[k] * static_cast<float>(std::cos(theta)) +
                         binormal * static_cast<float>(std::sin(theta))) *
                            tube;
  });
}

// Merges points closer than `eps`: a hash grid of eps-sized cells, each new
// point checked against the 27 cells around its own.
class PointWelder {
 public:
  explicit PointWelder(double eps) : eps_(eps) {}

  // The index of an earlier point within eps of p, or p's new index.
  uint32_t Insert(const std::array<double, 3>& p) {
    std::array<int64_t, 3> cell;
    for (int a = 0; a < 3; ++a) cell[a] = static_cast<int64_t>(std::floor(p[a] / eps_));
    for (int64_t dx = -1; dx <= 1; ++dx) {
      for (int64_t dy = -1; dy <= 1; ++dy) {
        for (int64_t dz = -1; dz <= 1; ++dz) {
          auto it = cells_.find(Key({cell[0] + dx, cell[1] + dy, cell[2] + dz}));
          if (it == cells_.end()) continue;
          for (uint32_t i : it->second) {
            const auto& o = points_[i];
            if (std::hypot(o[0] - p[0], o[1] - p[1], o[2] - p[2]) <= eps_) return i;
          }
        }
      }
    }
    points_.push_back(p);
    const uint32_t index = static_cast<uint32_t>(points_.size() - 1);
    cells_[Key(cell)].push_back(index);
    return index;
  }
  const std::vector<std::array<double, 3>>& Points() const { return points_; }

 private:
  static uint64_t Key(const std::array<int64_t, 3>& c) {
    return static_cast<uint64_t>(c[0]) * 73856093u ^ static_cast<uint64_t>(c[1]) * 19349663u ^
           static_cast<uint64_t>(c[2]) * 83492791u;
  }
  double eps_;
  std::unordered_map<uint64_t, std::vector<uint32_t>> cells_;
  std::vector<std::array<double, 3>> points_;
};

std::array<double, 4> Bernstein(double t) {
  const double s = 1.0 - t;
  return {s * s * s, 3.0 * t * s * s, 3.0 * t * t * s, t * t * t};
}

std::array<double, 3> TeapotPatchPoint(int patch, double u, double v) {
  const std::array<double, 4> bu = Bernstein(u), bv = Bernstein(v);
  std::array<double, 3> p = {0.0, 0.0, 0.0};
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      const float* c = teapot::kTeapotPoints[teapot::kTeapotPatches[patch][i * 4 + j]];
      for (int a = 0; a < 3; ++a) p[a] += bu[i] * bv[j] * c[a];
    }
  }
  return p;
}

// One grid cell of a teapot patch. Where the patch closes to a point (the lid
// knob, the middle of the bottom) corners coincide: a cell with one collapsed
// side becomes a triangle with all edges visible, and a cell with less is dropped.
void AddPatchCell(MeshBuilder& b, std::array<uint32_t, 4> v, std::array<uint32_t, 4> t) {
  std::array<uint32_t, 4> kv, kt;
  int n = 0;
  for (int k = 0; k < 4; ++k) {
    if (v[k] == v[(k + 3) % 4]) continue;
    kv[n] = v[k], kt[n] = t[k], ++n;
  }
  if (n == 4 && kv[0] != kv[2] && kv[1] != kv[3]) b.Quad(kv, kt, 1, 1);
  if (n == 3 && kv[0] != kv[2]) b.Tri({kv[0], kv[1], kv[2]}, {kt[0], kt[1], kt[2]}, 1, 1);
}

void BuildTeapot(Mesh& out, float radius, int n) {
  MeshBuilder b(out);
  // The data's body is 2 units in radius; patch seams agree to rounding error.
  PointWelder welder(1e-6);
  std::vector<uint32_t> grid(static_cast<size_t>((n + 1) * (n + 1)));
  for (int patch = 0; patch < teapot::kNumPatches; ++patch) {
    for (int i = 0; i <= n; ++i) {
      for (int j = 0; j <= n; ++j) {
        const uint32_t id = welder.Insert(TeapotPatchPoint(patch, double(i) / n, double(j) / n));
        if (id == b.NumVerts()) {
          const auto& p = welder.Points()[id];
          b.Vert(Point3(p[0], p[1], p[2]) * (0.5f * radius));
        }
        grid[static_cast<size_t>(i * (n + 1) + j)] = id;
      }
    }
    const uint32_t t = AddMapGrid(b, n, n, [n](int i, int j) {
      return std::array<double, 2>{double(j) / n, double(i) / n};
    });
    auto at = [&](int i, int j) { return grid[static_cast<size_t>(i * (n + 1) + j)]; };
    auto map = [&](int i, int j) { return t + static_cast<uint32_t>(i * (n + 1) + j); };
    // The data's patches face inwards, so each cell is taken the other way round.
    for (int i = 0; i < n; ++i) {
      for (int j = 0; j < n; ++j) {
        AddPatchCell(b, {at(i, j), at(i, j + 1), at(i + 1, j + 1), at(i + 1, j)},
                     {map(i, j), map(i, j + 1), map(i + 1, j + 1), map(i + 1, j)});
      }
    }
  }
}

// Checks a primitive's parameters: sizes must be positive finite numbers;
// counts are clamped into range with a warning.
class ParamCheck {
 public:
  ParamCheck(std::string_view type, std::string* error, std::vector<std::string>* warnings)
      : type_(type), error_(error), warnings_(warnings) {}

  bool Size(float value, const char* name) {
    if (std::isfinite(value) && value > 0.0f && value <= kLengthRange.max) return true;
    std::ostringstream s;
    s << name << " must be a positive number up to " << kLengthRange.max << " (got " << value
      << ")";
    return Fail(s.str());
  }
  int Count(std::optional<int> value, int fallback, int lo, int hi, const char* name) {
    const int v = value.value_or(fallback);
    const int clamped = std::clamp(v, lo, hi);
    if (clamped != v && warnings_) {
      std::ostringstream s;
      s << "primitive '" << type_ << "': " << name << " " << v << " is outside " << lo << ".." << hi
        << "; using " << clamped;
      warnings_->push_back(s.str());
    }
    return clamped;
  }
  bool Fail(const std::string& text) {
    if (error_) *error_ = "primitive '" + std::string(type_) + "': " + text;
    return false;
  }

 private:
  std::string_view type_;
  std::string* error_;
  std::vector<std::string>* warnings_;
};

bool MakeBox(const PrimitiveParams& p, Mesh& out, ParamCheck& check) {
  if (!check.Size(p.size.x, "size x") || !check.Size(p.size.y, "size y") ||
      !check.Size(p.size.z, "size z"))
    return false;
  BuildBox(out, p.size);
  return true;
}

bool MakePlane(const PrimitiveParams& p, Mesh& out, ParamCheck& check) {
  if (!check.Size(p.size.x, "size x") || !check.Size(p.size.y, "size y")) return false;
  BuildPlane(out, p.size.x, p.size.y, check.Count(p.segments, 1, 1, 1024, "segments"));
  return true;
}

bool MakeSphere(const PrimitiveParams& p, Mesh& out, ParamCheck& check) {
  if (!check.Size(p.radius, "radius")) return false;
  BuildSphere(out, p.radius, check.Count(p.segments, 32, 4, 1024, "segments"));
  return true;
}

bool MakeCylinder(const PrimitiveParams& p, Mesh& out, ParamCheck& check) {
  if (!check.Size(p.radius, "radius") || !check.Size(p.height, "height")) return false;
  BuildCylinder(out, p.radius, p.height, check.Count(p.sides, 32, 3, 1024, "sides"));
  return true;
}

bool MakeTorus(const PrimitiveParams& p, Mesh& out, ParamCheck& check) {
  if (!check.Size(p.radius, "radius") || !check.Size(p.tube, "tube")) return false;
  BuildTorus(out, p.radius, p.tube, check.Count(p.segments, 48, 3, 1024, "segments"),
             check.Count(p.sides, 24, 3, 1024, "sides"));
  return true;
}

bool MakeTorusKnot(const PrimitiveParams& p, Mesh& out, ParamCheck& check) {
  if (!check.Size(p.radius, "radius") || !check.Size(p.tube, "tube")) return false;
  const int pp = check.Count(p.p, 2, 1, 32, "p"), qq = check.Count(p.q, 3, 1, 32, "q");
  if (std::gcd(pp, qq) != 1) {
    return check.Fail("p " + std::to_string(pp) + " and q " + std::to_string(qq) +
                      " have a common factor, which makes several curves, not one knot");
  }
  BuildTorusKnot(out, p.radius, p.tube, pp, qq, check.Count(p.segments, 256, 3, 4096, "segments"),
                 check.Count(p.sides, 16, 3, 1024, "sides"));
  return true;
}

bool MakeTeapot(const PrimitiveParams& p, Mesh& out, ParamCheck& check) {
  if (!check.Size(p.radius, "radius")) return false;
  BuildTeapot(out, p.radius, check.Count(p.segments, 8, 1, 64, "segments"));
  return true;
}

constexpr std::string_view kBoxParams[] = {"size"};
constexpr std::string_view kPlaneParams[] = {"size", "segments"};
constexpr std::string_view kSphereParams[] = {"radius", "segments"};
constexpr std::string_view kCylinderParams[] = {"radius", "height", "sides"};
constexpr std::string_view kTorusParams[] = {"radius", "tube", "segments", "sides"};
constexpr std::string_view kTorusKnotParams[] = {"radius", "tube", "p", "q", "segments", "sides"};
constexpr std::string_view kTeapotParams[] = {"radius", "segments"};

struct PrimitiveType {
  std::string_view name;
  std::span<const std::string_view> params;
  bool (*make)(const PrimitiveParams&, Mesh&, ParamCheck&);
};

constexpr PrimitiveType kTypes[] = {
    {"box", kBoxParams, MakeBox},          {"plane", kPlaneParams, MakePlane},
    {"sphere", kSphereParams, MakeSphere}, {"cylinder", kCylinderParams, MakeCylinder},
    {"torus", kTorusParams, MakeTorus},    {"torusKnot", kTorusKnotParams, MakeTorusKnot},
    {"teapot", kTeapotParams, MakeTeapot},
};

const PrimitiveType* FindType(std::string_view name) {
  for (const PrimitiveType& t : kTypes) {
    if (t.name == name) return &t;
  }
  return nullptr;
}

}  // namespace

std::span<const std::string_view> PrimitiveParamNames(std::string_view type) {
  const PrimitiveType* t = FindType(type);
  return t ? t->params : std::span<const std::string_view>();
}

bool MakePrimitive(const PrimitiveParams& params, Mesh& out, std::string* error,
                   std::vector<std::string>* warnings) {
  out = Mesh();
  ParamCheck check(params.type, error, warnings);
  const PrimitiveType* type = FindType(params.type);
  if (!type) {
    std::string known;
    for (const PrimitiveType& t : kTypes)
      known += (known.empty() ? "" : ", ") + std::string(t.name);
    return check.Fail("unknown primitive (known: " + known + ")");
  }
  if (!type->make(params, out, check)) {
    out = Mesh();
    return false;
  }
  // Huge sizes can overflow to infinity on the way; such a mesh is not kept.
  std::string why;
  if (!out.Validate(&why)) {
    out = Mesh();
    return check.Fail("the sizes give an unusable mesh: " + why);
  }
  return true;
}

}  // namespace host
