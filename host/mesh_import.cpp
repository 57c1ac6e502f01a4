// Mesh import: assimp reads the file in a reader process (a plain OBJ file
// is read beforehand by our own reader, host/obj_reader.h, into the same
// nodes assimp would make); this file walks its nodes, welds each node's
// vertices, works out smoothing groups, splits polygons into triangles with
// invisible inner edges and merges everything into one Mesh (see
// mesh_import.h for the rules), which goes back to the program as the
// reader's answer. Inside, a bad file unwinds as an ImportError, which
// becomes the answer's one message.
#include "host/mesh_import.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <numeric>
#include <optional>
#include <span>
#include <string_view>
#include <unordered_map>

#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <assimp/Importer.hpp>

#include "host/isolated_task.h"
#include "host/obj_reader.h"
#include "host/obj_scan.h"
#include "host/scene_limits.h"
#include "sdk/angles.h"

namespace host {
namespace {

// Concave polygons with more corners than this are refused: ear clipping
// costs the square of the corner count.
constexpr size_t kMaxConcaveCorners = 4096;
// Material ids have 16 bits.
constexpr size_t kMaxMaterialSlots = 65536;
// Corner normals closer than about 1.8 degrees count as the same normal.
constexpr float kSameNormalCos = 0.9995f;
constexpr uint32_t kNoLabel = ~0u;

// A failure while importing; the message is completed with the file name.
struct ImportError {
  std::string what;
};

// One polygon of a node: its corners are corners[first .. first + count).
struct Polygon {
  uint32_t first, count;
  uint16_t mat;
  uint32_t label;  // the file's smoothing label (0 = none), kNoLabel if the file has none
};

// One node's polygons with welded, transformed vertices. Corner normals are
// the file's (zero where it has none), untransformed: they are only compared
// with each other within the node.
struct NodePolygons {
  std::vector<Point3> verts;
  std::vector<uint32_t> cornerVert;
  std::vector<Point3> cornerNormal;
  std::vector<Point3> cornerUV;
  std::vector<bool> cornerHasUV;
  std::vector<Polygon> polygons;
};

// ---- Polygon geometry -------------------------------------------------------

// Best-fit plane normal of a polygon (Newell's method): follows the winding,
// zero for a degenerate polygon.
Point3 PolygonNormal(const NodePolygons& node, const Polygon& poly) {
  Point3 n;
  for (uint32_t k = 0; k < poly.count; ++k) {
    const Point3& a = node.verts[node.cornerVert[poly.first + k]];
    const Point3& b = node.verts[node.cornerVert[poly.first + (k + 1) % poly.count]];
    n += Point3((a.y - b.y) * (a.z + b.z), (a.z - b.z) * (a.x + b.x), (a.x - b.x) * (a.y + b.y));
  }
  return Normalize(n);
}

// The polygon's corners projected onto its plane, counter-clockwise, into
// `out` (poly.count points).
void ProjectPolygon(const NodePolygons& node, const Polygon& poly, const Point3& normal,
                    Point2* out) {
  const Point3 seed = std::fabs(normal.x) < 0.9f ? Point3::XAxis() : Point3::YAxis();
  const Point3 u = Normalize(seed - normal * DotProd(seed, normal));
  const Point3 v = normal % u;
  for (uint32_t k = 0; k < poly.count; ++k) {
    const Point3& p = node.verts[node.cornerVert[poly.first + k]];
    out[k] = Point2(DotProd(p, u), DotProd(p, v));
  }
}

struct PolyTriangle {
  std::array<uint32_t, 3> corner;  // indices into the polygon, counter-clockwise
};

bool IsConvex(std::span<const Point2> q) {
  const size_t n = q.size();
  for (size_t i = 0; i < n; ++i) {
    const Point2 &a = q[(i + n - 1) % n], &b = q[i], &c = q[(i + 1) % n];
    if (CrossProd(b - a, c - b) < 0.0f) return false;
  }
  return true;
}

bool InTriangle(const Point2& p, const Point2& a, const Point2& b, const Point2& c) {
  return CrossProd(b - a, p - a) >= 0.0f && CrossProd(c - b, p - b) >= 0.0f &&
         CrossProd(a - c, p - c) >= 0.0f;
}

// Ear clipping of a simple counter-clockwise polygon. Should no ear be found
// (a self-intersecting or degenerate outline), the sharpest convex corner, or
// failing that any corner, is clipped so the polygon is still covered.
std::vector<PolyTriangle> ClipEars(std::span<const Point2> q) {
  std::vector<uint32_t> ring(q.size());
  std::iota(ring.begin(), ring.end(), 0u);
  std::vector<PolyTriangle> out;
  while (ring.size() > 3) {
    const size_t n = ring.size();
    size_t ear = n, fallback = 0;
    float best = -1.0f;
    for (size_t i = 0; i < n && ear == n; ++i) {
      const uint32_t a = ring[(i + n - 1) % n], b = ring[i], c = ring[(i + 1) % n];
      const float turn = CrossProd(q[b] - q[a], q[c] - q[b]);
      if (turn <= 0.0f) continue;
      if (turn > best) best = turn, fallback = i;
      bool empty = true;
      for (size_t k = 0; k < n && empty; ++k) {
        const uint32_t o = ring[k];
        if (o == a || o == b || o == c) continue;
        empty = !InTriangle(q[o], q[a], q[b], q[c]);
      }
      if (empty) ear = i;
    }
    if (ear == n) ear = fallback;
    out.push_back({{ring[(ear + n - 1) % n], ring[ear], ring[(ear + 1) % n]}});
    ring.erase(ring.begin() + static_cast<std::ptrdiff_t>(ear));
  }
  out.push_back({{ring[0], ring[1], ring[2]}});
  return out;
}

// Calls emit(triangle) for the triangles covering a polygon: a fan for a
// convex one, ear clipping for a concave one. Small polygons are projected
// into a buffer on the stack.
template <class Emit>
void TriangulatePolygon(const NodePolygons& node, const Polygon& poly, Emit&& emit) {
  if (poly.count > 3) {
    constexpr uint32_t kSmall = 16;
    std::array<Point2, kSmall> small;
    std::vector<Point2> large;
    Point2* q = small.data();
    if (poly.count > kSmall) {
      large.resize(poly.count);
      q = large.data();
    }
    const Point3 normal = PolygonNormal(node, poly);
    ProjectPolygon(node, poly, normal, q);
    const std::span<const Point2> outline(q, poly.count);
    if (normal != Point3() && !IsConvex(outline)) {
      if (poly.count > kMaxConcaveCorners)
        throw ImportError{"a concave polygon has " + std::to_string(poly.count) +
                          " corners (at most " + std::to_string(kMaxConcaveCorners) + ")"};
      for (const PolyTriangle& tri : ClipEars(outline)) emit(tri);
      return;
    }
  }
  for (uint32_t k = 1; k + 1 < poly.count; ++k) emit(PolyTriangle{{0, k, k + 1}});
}

// ---- Smoothing groups -------------------------------------------------------

// The polygons on the two sides of an edge, and where the edge starts in each
// (an index into the node's corners).
struct EdgeSides {
  std::array<uint32_t, 2> poly{}, start{};
  int count = 0;
};

uint32_t NextCorner(const Polygon& p, uint32_t corner) {
  return p.first + (corner - p.first + 1) % p.count;
}

std::unordered_map<uint64_t, EdgeSides> EdgeTable(const NodePolygons& node) {
  std::unordered_map<uint64_t, EdgeSides> edges;
  for (uint32_t pi = 0; pi < node.polygons.size(); ++pi) {
    const Polygon& p = node.polygons[pi];
    for (uint32_t c = p.first; c < p.first + p.count; ++c) {
      const uint32_t a = node.cornerVert[c], b = node.cornerVert[NextCorner(p, c)];
      if (a == b) continue;
      EdgeSides& e = edges[uint64_t{std::min(a, b)} << 32 | std::max(a, b)];
      if (e.count < 2) e.poly[e.count] = pi, e.start[e.count] = c;
      ++e.count;
    }
  }
  return edges;
}

// True when the two polygons on a manifold edge meet smoothly: same normals
// on both sides at both ends where the file has normals, else a dihedral
// angle within the limit. Polygons that disagree about which way they face
// always meet at a hard edge.
bool MeetSmoothly(const NodePolygons& node, const EdgeSides& e,
                  const std::vector<Point3>& polyNormal, float hardCos) {
  const Polygon &p = node.polygons[e.poly[0]], &q = node.polygons[e.poly[1]];
  const uint32_t pa = e.start[0], pb = NextCorner(p, pa), qb = e.start[1], qa = NextCorner(q, qb);
  if (node.cornerVert[pa] != node.cornerVert[qa]) return false;
  const Point3 &npa = node.cornerNormal[pa], &npb = node.cornerNormal[pb];
  const Point3 &nqa = node.cornerNormal[qa], &nqb = node.cornerNormal[qb];
  const Point3 zero;
  if (npa != zero && npb != zero && nqa != zero && nqb != zero) {
    return DotProd(npa, nqa) >= kSameNormalCos && DotProd(npb, nqb) >= kSameNormalCos;
  }
  const Point3 &np = polyNormal[e.poly[0]], &nq = polyNormal[e.poly[1]];
  return np == zero || nq == zero || DotProd(np, nq) >= hardCos;
}

uint32_t FindRoot(std::vector<uint32_t>& parent, uint32_t x) {
  while (parent[x] != x) x = parent[x] = parent[parent[x]];
  return x;
}

// Per polygon, its smooth region (polygons joined across smooth edges), or -1
// for a region of one triangle, which is faceted anyway.
std::vector<int> DeriveRegions(const NodePolygons& node, float hardAngleDegrees, int* numRegions) {
  const size_t np = node.polygons.size();
  std::vector<Point3> polyNormal(np);
  for (size_t i = 0; i < np; ++i) polyNormal[i] = PolygonNormal(node, node.polygons[i]);
  const float hardCos = std::cos(hardAngleDegrees * kPi / 180.0f);
  std::vector<uint32_t> parent(np);
  std::iota(parent.begin(), parent.end(), 0u);
  for (const auto& [key, e] : EdgeTable(node)) {
    if (e.count != 2 || e.poly[0] == e.poly[1]) continue;  // open or non-manifold: hard
    if (MeetSmoothly(node, e, polyNormal, hardCos))
      parent[FindRoot(parent, e.poly[0])] = FindRoot(parent, e.poly[1]);
  }
  std::vector<int> size(np, 0), id(np, -1), region(np, -1);
  for (size_t i = 0; i < np; ++i) ++size[FindRoot(parent, static_cast<uint32_t>(i))];
  *numRegions = 0;
  for (size_t i = 0; i < np; ++i) {
    const uint32_t root = FindRoot(parent, static_cast<uint32_t>(i));
    if (size[root] == 1 && node.polygons[i].count == 3) continue;
    if (id[root] < 0) id[root] = (*numRegions)++;
    region[i] = id[root];
  }
  return region;
}

// Group bits for regions: each region takes the lowest bit that no region
// sharing a vertex with it holds, larger regions first. A region finding all
// 32 bits taken is faceted (group 0).
std::vector<uint32_t> ColourRegions(const NodePolygons& node, const std::vector<int>& region,
                                    int numRegions) {
  std::vector<std::pair<uint32_t, uint32_t>> regionVert;  // (region, vertex), then (vertex, region)
  for (size_t i = 0; i < node.polygons.size(); ++i) {
    if (region[i] < 0) continue;
    const Polygon& p = node.polygons[i];
    for (uint32_t c = p.first; c < p.first + p.count; ++c)
      regionVert.push_back({static_cast<uint32_t>(region[i]), node.cornerVert[c]});
  }
  std::sort(regionVert.begin(), regionVert.end());
  regionVert.erase(std::unique(regionVert.begin(), regionVert.end()), regionVert.end());
  std::vector<std::pair<uint32_t, uint32_t>> vertRegion(regionVert.size());
  std::vector<uint32_t> firstOfRegion(static_cast<size_t>(numRegions) + 1, 0);
  for (size_t k = 0; k < regionVert.size(); ++k) {
    vertRegion[k] = {regionVert[k].second, regionVert[k].first};
    ++firstOfRegion[regionVert[k].first + 1];
  }
  std::partial_sum(firstOfRegion.begin(), firstOfRegion.end(), firstOfRegion.begin());
  std::sort(vertRegion.begin(), vertRegion.end());

  std::vector<uint32_t> order(static_cast<size_t>(numRegions));
  std::iota(order.begin(), order.end(), 0u);
  auto verts = [&](uint32_t r) { return firstOfRegion[r + 1] - firstOfRegion[r]; };
  std::stable_sort(order.begin(), order.end(),
                   [&](uint32_t a, uint32_t b) { return verts(a) > verts(b); });
  std::vector<uint32_t> bits(static_cast<size_t>(numRegions), 0);
  for (uint32_t r : order) {
    uint32_t taken = 0;
    for (uint32_t k = firstOfRegion[r]; k < firstOfRegion[r + 1]; ++k) {
      const uint32_t v = regionVert[k].second;
      auto it = std::lower_bound(vertRegion.begin(), vertRegion.end(), std::make_pair(v, 0u));
      for (; it != vertRegion.end() && it->first == v; ++it) taken |= bits[it->second];
    }
    bits[r] = taken == ~0u ? 0u : 1u << std::countr_one(taken);
  }
  return bits;
}

// Per polygon, its smoothing groups: from the file's labels when it has
// them, else derived from normals and angles.
std::vector<uint32_t> SmoothingGroups(const NodePolygons& node, float hardAngleDegrees) {
  const size_t np = node.polygons.size();
  std::vector<int> region(np, -1);
  int numRegions = 0;
  std::vector<uint32_t> groups(np, 0);
  const bool labelled = np > 0 && node.polygons[0].label != kNoLabel;
  if (!labelled) {
    region = DeriveRegions(node, hardAngleDegrees, &numRegions);
  } else {
    uint32_t maxLabel = 0;
    for (const Polygon& p : node.polygons) maxLabel = std::max(maxLabel, p.label);
    if (maxLabel <= 32) {
      // Labels 1..32 are the file's own group bits.
      for (size_t i = 0; i < np; ++i) {
        const uint32_t l = node.polygons[i].label;
        groups[i] = l == 0 ? 0u : 1u << (l - 1);
      }
      return groups;
    }
    std::unordered_map<uint32_t, int> regionOfLabel;
    for (size_t i = 0; i < np; ++i) {
      const uint32_t l = node.polygons[i].label;
      if (l == 0) continue;
      auto [it, added] = regionOfLabel.try_emplace(l, numRegions);
      if (added) ++numRegions;
      region[i] = it->second;
    }
  }
  const std::vector<uint32_t> bits = ColourRegions(node, region, numRegions);
  for (size_t i = 0; i < np; ++i)
    groups[i] = region[i] < 0 ? 0u : bits[static_cast<size_t>(region[i])];
  return groups;
}

// ---- Walking the file's nodes -----------------------------------------------

// Calls visit(node, transform to Z-up world) for every node, depth first,
// children in order.
template <class Visit>
void ForEachNode(const aiScene& scene, const aiMatrix4x4& up, Visit&& visit) {
  std::vector<std::pair<const aiNode*, aiMatrix4x4>> stack = {
      {scene.mRootNode, up * scene.mRootNode->mTransformation}};
  while (!stack.empty()) {
    auto [node, tm] = stack.back();
    stack.pop_back();
    visit(*node, tm);
    for (unsigned c = node->mNumChildren; c-- > 0;) {
      const aiNode* child = node->mChildren[c];
      stack.push_back({child, tm * child->mTransformation});
    }
  }
}

// The smoothing label of every face assimp lists, in walk order, when its
// faces line up one to one with the OBJ file's statements; else empty (and
// groups are derived instead).
std::vector<uint32_t> MatchObjLabels(const aiScene& scene, const std::vector<ObjElement>& obj) {
  std::vector<uint32_t> labels;
  bool matches = !obj.empty();
  ForEachNode(scene, aiMatrix4x4(), [&](const aiNode& node, const aiMatrix4x4&) {
    for (unsigned i = 0; i < node.mNumMeshes && matches; ++i) {
      const aiMesh& mesh = *scene.mMeshes[node.mMeshes[i]];
      for (unsigned f = 0; f < mesh.mNumFaces && matches; ++f) {
        const aiFace& face = mesh.mFaces[f];
        if (labels.size() >= obj.size() || obj[labels.size()].corners != face.mNumIndices) {
          matches = false;
          break;
        }
        const ObjElement& e = obj[labels.size()];
        if (e.first && face.mNumIndices > 0) {
          const aiVector3D& p = mesh.mVertices[face.mIndices[0]];
          const Point3 d = Point3(p.x, p.y, p.z) - *e.first;
          matches = d.MaxComponent() <= 1e-5f * (1.0f + e.first->MaxComponent());
        }
        labels.push_back(e.label);
      }
    }
  });
  if (!matches || labels.size() != obj.size()) labels.clear();
  return labels;
}

struct PositionKey {
  std::array<uint32_t, 3> bits;
  bool operator==(const PositionKey&) const = default;
};

// Numbers keys in the order they first come: an open-addressing table, as
// the standard map would allocate for every entry.
class KeyNumbering {
 public:
  // The number of `key`: the one it got first, or `next` (and true) when new.
  std::pair<uint32_t, bool> Insert(const PositionKey& key, uint32_t next) {
    if ((size_ + 1) * 2 > slots_.size()) Grow(std::max<size_t>(16, slots_.size() * 2));
    const size_t mask = slots_.size() - 1;
    for (size_t i = Hash(key) & mask;; i = (i + 1) & mask) {
      Slot& s = slots_[i];
      if (s.number == kEmpty) {
        s = {key, next};
        ++size_;
        return {next, true};
      }
      if (s.key == key) return {s.number, false};
    }
  }
  // Room for `keys` keys without growing.
  void Reserve(size_t keys) {
    size_t slots = 16;
    while (slots < keys * 2 + 2) slots *= 2;
    if (slots > slots_.size()) Grow(slots);
  }

 private:
  static constexpr uint32_t kEmpty = ~0u;  // numbers stay below 2^31
  struct Slot {
    PositionKey key;
    uint32_t number = kEmpty;
  };

  static size_t Hash(const PositionKey& k) {
    uint64_t h = (uint64_t{k.bits[0]} * 0x9E3779B97F4A7C15ull) ^
                 (uint64_t{k.bits[1]} * 0xC2B2AE3D27D4EB4Full) ^
                 (uint64_t{k.bits[2]} * 0x165667B19E3779F9ull);
    h ^= h >> 31;
    h *= 0xBF58476D1CE4E5B9ull;
    return static_cast<size_t>(h ^ (h >> 29));
  }

  void Grow(size_t slots) {
    std::vector<Slot> old(slots);
    old.swap(slots_);
    const size_t mask = slots_.size() - 1;
    for (const Slot& s : old) {
      if (s.number == kEmpty) continue;
      size_t i = Hash(s.key) & mask;
      while (slots_[i].number != kEmpty) i = (i + 1) & mask;
      slots_[i] = s;
    }
  }

  std::vector<Slot> slots_;
  size_t size_ = 0;
};

PositionKey KeyOf(const Point3& p) {
  PositionKey k;
  for (int a = 0; a < 3; ++a) {
    const float v = p[a] == 0.0f ? 0.0f : p[a];  // -0 and +0 weld
    std::memcpy(&k.bits[static_cast<size_t>(a)], &v, sizeof v);
  }
  return k;
}

std::string FormatLimit(float v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", static_cast<double>(v));
  return buf;
}

bool IsFinite(const Point3& p) {
  return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

using WeldMap = KeyNumbering;

// One corner as a reader lists it: its position, and its normal and texture
// coordinate when its mesh has them.
struct CornerData {
  const aiVector3D* pos;
  const aiVector3D* normal;
  const aiVector3D* uv;
  // A reader whose corners index shared positions names the position; its
  // welded vertex is then remembered in the weld's memo.
  uint32_t position = kNoPosition;
  static constexpr uint32_t kNoPosition = ~0u;
};

// The welded vertex of every position of a file, within the node being read
// (the stamp tells which node an entry is from, so nothing needs clearing).
struct PositionMemo {
  std::vector<uint64_t> entry;  // (stamp << 32) | vertex
  uint64_t stamp = 0;
};

// Appends one polygon of `count` corners to `out`, welding its corners by
// position; `cornerAt(k)` gives the file's corner k.
template <class CornerAt>
void AddPolygon(unsigned count, uint16_t mat, uint32_t label, const aiMatrix4x4& tm,
                bool mirrored, bool useNormals, CornerAt&& cornerAt, NodePolygons& out,
                WeldMap& weld, PositionMemo* memo = nullptr) {
  Polygon poly{static_cast<uint32_t>(out.cornerVert.size()), count, mat, label};
  for (unsigned k = 0; k < count; ++k) {
    // A mirroring transform turns the winding around; reversing keeps faces outward.
    const CornerData c = cornerAt(mirrored ? count - 1 - k : k);
    uint64_t* known = memo && c.position != CornerData::kNoPosition ? &memo->entry[c.position]
                                                                     : nullptr;
    if (known && (*known >> 32) == memo->stamp) {
      // The same position welds to the same vertex, with the same checks passed.
      out.cornerVert.push_back(static_cast<uint32_t>(*known));
    } else {
      const aiVector3D p = tm * *c.pos;
      const Point3 pos(p.x, p.y, p.z);
      if (!IsFinite(pos)) throw ImportError{"a vertex position is not a finite number"};
      if (!InRange(pos, kCoordinateRange)) {
        throw ImportError{"a vertex lies outside -" + FormatLimit(kMaxCoordinate) + ".." +
                          FormatLimit(kMaxCoordinate) +
                          " (in scene units, after the file's transforms)"};
      }
      const auto [number, added] =
          weld.Insert(KeyOf(pos), static_cast<uint32_t>(out.verts.size()));
      if (added) out.verts.push_back(pos);
      out.cornerVert.push_back(number);
      if (known) *known = memo->stamp << 32 | number;
    }
    Point3 n;
    if (useNormals && c.normal) {
      const aiVector3D& fn = *c.normal;
      n = Normalize(Point3(fn.x, fn.y, fn.z));
      if (!IsFinite(n)) n = Point3();
    }
    out.cornerNormal.push_back(n);
    Point3 uv;
    if (c.uv) {
      const aiVector3D& t = *c.uv;
      uv = Point3(t.x, t.y, t.z);
      if (!IsFinite(uv)) throw ImportError{"a texture coordinate is not a finite number"};
    }
    out.cornerUV.push_back(uv);
    out.cornerHasUV.push_back(c.uv != nullptr);
  }
  out.polygons.push_back(poly);
}

// The polygons of one node's meshes, placed by `tm`. Lines and points are
// skipped (they still count for `faceIndex`, the walk position of assimp's faces).
NodePolygons ReadNode(const aiScene& scene, const aiNode& node, const aiMatrix4x4& tm,
                      bool useNormals, const std::vector<uint32_t>& labels, size_t& faceIndex) {
  NodePolygons out;
  WeldMap weld;
  const bool mirrored = tm.Determinant() < 0.0f;
  for (unsigned i = 0; i < node.mNumMeshes; ++i) {
    const aiMesh& mesh = *scene.mMeshes[node.mMeshes[i]];
    if (mesh.mMaterialIndex >= kMaxMaterialSlots)
      throw ImportError{"a material slot number is too large"};
    for (unsigned f = 0; f < mesh.mNumFaces; ++f, ++faceIndex) {
      const aiFace& face = mesh.mFaces[f];
      if (face.mNumIndices < 3) continue;
      const uint32_t label = labels.empty() ? kNoLabel : labels[faceIndex];
      auto cornerAt = [&](unsigned k) {
        const unsigned idx = face.mIndices[k];
        if (idx >= mesh.mNumVertices)
          throw ImportError{"a face uses a vertex that does not exist"};
        return CornerData{&mesh.mVertices[idx], mesh.HasNormals() ? &mesh.mNormals[idx] : nullptr,
                          mesh.HasTextureCoords(0) ? &mesh.mTextureCoords[0][idx] : nullptr};
      };
      AddPolygon(face.mNumIndices, static_cast<uint16_t>(mesh.mMaterialIndex), label, tm, mirrored,
                 useNormals, cornerAt, out, weld);
    }
  }
  return out;
}

// ---- Assembling the mesh ----------------------------------------------------

// Collects triangles from every node into the output mesh, with map channel 1
// built from the texture coordinates (map vertices welded by value).
class MeshAssembler {
 public:
  explicit MeshAssembler(Mesh& out) : out_(out) {}

  void Append(const NodePolygons& node, const std::vector<uint32_t>& groups) {
    const uint32_t base = static_cast<uint32_t>(out_.verts.size());
    if (out_.verts.size() + node.verts.size() > 0x7FFFFFFFu) throw ImportError{"too many vertices"};
    out_.verts.insert(out_.verts.end(), node.verts.begin(), node.verts.end());
    size_t triangles = 0;
    for (const Polygon& poly : node.polygons) triangles += poly.count - 2;
    out_.faces.reserve(out_.faces.size() + triangles);
    if (anyUV_) tf_.reserve(tf_.size() + triangles);
    for (size_t i = 0; i < node.polygons.size(); ++i) {
      const Polygon& poly = node.polygons[i];
      TriangulatePolygon(node, poly, [&](const PolyTriangle& tri) {
        std::array<uint32_t, 3> corner, v;
        for (int k = 0; k < 3; ++k) {
          corner[k] = poly.first + tri.corner[k];
          v[k] = node.cornerVert[corner[k]];
        }
        if (v[0] == v[1] || v[1] == v[2] || v[2] == v[0]) return;  // no area, no edges
        Face f;
        f.setVerts(base + v[0], base + v[1], base + v[2]);
        f.smGroup = groups[i];
        f.setMatID(poly.mat);
        // Only the polygon's own sides are visible; diagonals are not.
        for (int k = 0; k < 3; ++k)
          f.setEdgeVis(k, tri.corner[(k + 1) % 3] == (tri.corner[k] + 1) % poly.count);
        out_.faces.push_back(f);
        if (!anyUV_ && !node.cornerHasUV[corner[0]] && !node.cornerHasUV[corner[1]] &&
            !node.cornerHasUV[corner[2]]) {
          // Until a corner has texture coordinates, every map face would be
          // (0, 0, 0) on map vertex 0, the zero vector: only counted.
          ++zeroFaces_;
          return;
        }
        if (!anyUV_) StartMap();
        TVFace tf;
        for (int k = 0; k < 3; ++k) tf.t[k] = MapVert(node.cornerUV[corner[k]]);
        tf_.push_back(tf);
      });
    }
  }

  // Installs map channel 1 when the file had texture coordinates.
  void Finish() {
    if (!anyUV_) return;
    out_.Map(1).tv = std::move(tv_);
    out_.Map(1).tf = std::move(tf_);
  }

 private:
  // The map faces of the faces so far, all on the zero vector.
  void StartMap() {
    anyUV_ = true;
    if (zeroFaces_ > 0) {
      MapVert(Point3());
      tf_.assign(zeroFaces_, TVFace{{0, 0, 0}});
    }
  }

  uint32_t MapVert(const Point3& uv) {
    const auto [number, added] = mapWeld_.Insert(KeyOf(uv), static_cast<uint32_t>(tv_.size()));
    if (added) tv_.push_back(uv);
    return number;
  }

  Mesh& out_;
  std::vector<Point3> tv_;
  std::vector<TVFace> tf_;
  KeyNumbering mapWeld_;
  bool anyUV_ = false;
  size_t zeroFaces_ = 0;
};

bool HasExtension(const std::string& path, const char* ext) {
  std::string e = std::filesystem::path(path).extension().string();
  std::transform(e.begin(), e.end(), e.begin(), [](unsigned char c) { return std::tolower(c); });
  return e == ext;
}

const aiScene& ReadScene(Assimp::Importer& importer, const std::string& path) {
  // Polygons are kept (no triangulation) and no step reorders, splits, joins
  // or generates anything: the faces come as the file lists them.
  const aiScene* scene = importer.ReadFile(path, aiProcess_ValidateDataStructure);
  if (!scene) {
    const std::string why = importer.GetErrorString();
    throw ImportError{"cannot be read" + (why.empty() ? std::string() : ": " + why)};
  }
  if (!scene->mRootNode || (scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE))
    throw ImportError{"is incomplete or corrupt"};
  return *scene;
}

aiMatrix4x4 UpTransform(const MeshImportOptions& options) {
  if (options.upAxis == UpAxis::kY)
    return aiMatrix4x4(1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1);
  return aiMatrix4x4();
}

// The import itself, run in the reader process.
void Import(const std::string& path, const MeshImportOptions& options, const ObjScan* obj,
            Mesh& out) {
  Assimp::Importer importer;
  const aiScene& scene = ReadScene(importer, path);
  std::vector<uint32_t> labels;
  if (obj) labels = MatchObjLabels(scene, obj->elements);
  // STL normals are only facet normals; the angle between faces says more.
  const bool useNormals = !HasExtension(path, ".stl");
  const aiMatrix4x4 up = UpTransform(options);

  MeshAssembler assembler(out);
  size_t faceIndex = 0;
  ForEachNode(scene, up, [&](const aiNode& node, const aiMatrix4x4& tm) {
    for (unsigned i = 0; i < node.mNumMeshes; ++i) {
      if (node.mMeshes[i] >= scene.mNumMeshes) throw ImportError{"a node names a missing mesh"};
    }
    const NodePolygons polys = ReadNode(scene, node, tm, useNormals, labels, faceIndex);
    assembler.Append(polys, SmoothingGroups(polys, options.hardAngleDegrees));
  });
  assembler.Finish();
  if (out.faces.empty()) throw ImportError{"contains no polygons"};
}

// The import of an OBJ file our own reader has read, run in the reader
// process. The mesh library would make a root node and under it one node
// per object, none of them moved; the nodes' polygons are assembled as above.
void ImportObj(const ObjModel& obj, const MeshImportOptions& options, Mesh& out) {
  const aiMatrix4x4 root = UpTransform(options) * aiMatrix4x4();
  const aiMatrix4x4 tm = root * aiMatrix4x4();
  const bool mirrored = tm.Determinant() < 0.0f;
  const bool useNormals = true;
  const bool hasUV = !obj.cornerTex.empty(), hasNormals = !obj.cornerNormal.empty();
  std::vector<aiVector3D> positions(obj.positions.size()), texCoords(obj.texCoords.size()),
      normals(obj.normals.size());
  auto convert = [](const std::vector<Point3>& from, std::vector<aiVector3D>& to) {
    for (size_t i = 0; i < from.size(); ++i) to[i] = aiVector3D(from[i].x, from[i].y, from[i].z);
  };
  convert(obj.positions, positions);
  convert(obj.texCoords, texCoords);
  convert(obj.normals, normals);

  MeshAssembler assembler(out);
  PositionMemo memo;
  memo.entry.assign(positions.size(), 0);
  // The faces of one object follow each other in the file.
  for (size_t begin = 0; begin < obj.faces.size();) {
    ++memo.stamp;
    const uint32_t object = obj.meshObject[obj.faces[begin].mesh];
    size_t end = begin;
    while (end < obj.faces.size() && obj.meshObject[obj.faces[end].mesh] == object) ++end;
    NodePolygons polys;
    size_t corners = 0;
    for (size_t f = begin; f < end; ++f) corners += obj.faces[f].corners;
    polys.verts.reserve(std::min(corners, positions.size()));
    polys.cornerVert.reserve(corners);
    polys.cornerNormal.reserve(corners);
    polys.cornerUV.reserve(corners);
    polys.cornerHasUV.reserve(corners);
    polys.polygons.reserve(end - begin);
    WeldMap weld;
    weld.Reserve(std::min(corners, positions.size()));
    for (size_t f = begin; f < end; ++f) {
      const ObjModel::Face& face = obj.faces[f];
      const uint32_t slot = obj.meshMaterial[face.mesh];
      const uint32_t mat = slot == ObjModel::kNoMaterial ? 0 : slot;
      if (mat >= kMaxMaterialSlots) throw ImportError{"a material slot number is too large"};
      auto cornerAt = [&](unsigned k) {
        const size_t c = face.firstCorner + k;
        return CornerData{&positions[obj.cornerPos[c]],
                          hasNormals ? &normals[obj.cornerNormal[c]] : nullptr,
                          hasUV ? &texCoords[obj.cornerTex[c]] : nullptr, obj.cornerPos[c]};
      };
      AddPolygon(face.corners, static_cast<uint16_t>(mat), obj.labelled ? face.label : kNoLabel,
                 tm, mirrored, useNormals, cornerAt, polys, weld, &memo);
    }
    assembler.Append(polys, SmoothingGroups(polys, options.hardAngleDegrees));
    begin = end;
  }
  assembler.Finish();
  if (out.faces.empty()) throw ImportError{"contains no polygons"};
}

// ---- The reader process -----------------------------------------------------
//
// assimp runs in a child process (host/isolated_task.h): a file that crashes
// it, makes it loop or makes it allocate without end costs that process, not
// the program. The child answers the finished mesh, or the reason it has
// none, as flat arrays; the parent checks every count and index of the
// answer before it takes it.

constexpr uint32_t kAnswerMagic = 0x48534D54;  // "TMSH"

class AnswerWriter {
 public:
  template <class T>
  void Value(const T& v) {
    bytes_.append(reinterpret_cast<const char*>(&v), sizeof v);
  }
  template <class T>
  void Array(const std::vector<T>& items) {
    Value(static_cast<uint64_t>(items.size()));
    if (!items.empty())
      bytes_.append(reinterpret_cast<const char*>(items.data()), items.size() * sizeof(T));
  }
  void Text(const std::string& text) {
    Value(static_cast<uint64_t>(text.size()));
    bytes_ += text;
  }
  void Reserve(size_t bytes) { bytes_.reserve(bytes); }
  std::string Take() { return std::move(bytes_); }

 private:
  std::string bytes_;
};

class AnswerReader {
 public:
  explicit AnswerReader(std::string_view bytes) : rest_(bytes) {}
  template <class T>
  bool Value(T& v) {
    if (rest_.size() < sizeof v) return false;
    std::memcpy(&v, rest_.data(), sizeof v);
    rest_.remove_prefix(sizeof v);
    return true;
  }
  template <class T>
  bool Array(std::vector<T>& items) {
    uint64_t n = 0;
    if (!Value(n) || n > rest_.size() / sizeof(T)) return false;
    items.resize(n);
    if (n > 0) std::memcpy(items.data(), rest_.data(), n * sizeof(T));
    rest_.remove_prefix(n * sizeof(T));
    return true;
  }
  bool Text(std::string& text) {
    uint64_t n = 0;
    if (!Value(n) || n > rest_.size()) return false;
    text.assign(rest_.substr(0, n));
    rest_.remove_prefix(n);
    return true;
  }
  bool AtEnd() const { return rest_.empty(); }

 private:
  std::string_view rest_;
};

// What the reader process answers: the mesh, or why there is none. Running
// out of memory is left to end the process, which reports it.
std::string ImportAnswer(const std::function<void(Mesh&)>& import) {
  Mesh mesh;
  std::string why;
  try {
    import(mesh);
  } catch (const ImportError& e) {
    why = e.what;
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception& e) {
    why = std::string("cannot be read: ") + e.what();
  }
  AnswerWriter w;
  w.Reserve(sizeof kAnswerMagic + 5 * sizeof(uint64_t) + why.size() +
            mesh.verts.size() * sizeof(Point3) + mesh.faces.size() * sizeof(Face) +
            mesh.Map(1).tv.size() * sizeof(Point3) + mesh.Map(1).tf.size() * sizeof(TVFace));
  w.Value(kAnswerMagic);
  w.Text(why);
  if (why.empty()) {
    w.Array(mesh.verts);
    w.Array(mesh.faces);
    w.Array(mesh.Map(1).tv);
    w.Array(mesh.Map(1).tf);
  }
  return w.Take();
}

// Time and memory for the reader grow with the file.
IsolationLimits MeshReaderLimits(uint64_t fileBytes) {
  IsolationLimits limits;
  const uint64_t mebibytes = fileBytes >> 20;
  limits.time = std::chrono::milliseconds(2000 + 2000 * mebibytes);
  limits.memoryBytes = (uint64_t{1} << 30) + 64 * fileBytes;
  limits.answerBytes = limits.memoryBytes;
  return limits;
}

}  // namespace

bool ReadMeshAnswer(std::string_view answer, Mesh& out, std::string* why) {
  out = Mesh();
  AnswerReader r(answer);
  uint32_t magic = 0;
  std::string problem;
  MeshMap map;
  if (!r.Value(magic) || magic != kAnswerMagic || !r.Text(problem)) {
    problem = "the mesh reader answered nothing usable";
  } else if (problem.empty() && (!r.Array(out.verts) || !r.Array(out.faces) || !r.Array(map.tv) ||
                                 !r.Array(map.tf) || !r.AtEnd())) {
    problem = "the mesh reader's answer is cut short";
  } else if (problem.empty()) {
    out.Map(1) = std::move(map);
    if (out.faces.empty()) problem = "contains no polygons";
    if (problem.empty()) out.Validate(&problem);
  }
  if (problem.empty()) return true;
  out = Mesh();
  if (why) *why = problem;
  return false;
}

bool ImportMesh(const std::string& path, const MeshImportOptions& options, Mesh& out,
                std::string* error, std::vector<std::string>* warnings) {
  out = Mesh();
  const std::string name = "mesh file '" + path + "'";
  auto fail = [&](const std::string& why) {
    out = Mesh();
    if (error) *error = name + ": " + why;
    return false;
  };
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return fail("no such file");
  if (!std::filesystem::is_regular_file(path, ec)) return fail("not a regular file");
  const uint64_t bytes = std::filesystem::file_size(path, ec);
  if (ec) return fail("cannot be read (" + ec.message() + ")");

  const auto tooManyMaterials = [&](size_t names) {
    return fail("names " + std::to_string(names) + " materials (at most " +
                std::to_string(kMaxMaterialSlots) + ")");
  };
  std::function<void(Mesh&)> import;
  std::optional<ObjModel> model;
  std::optional<ObjScan> obj;
  if (HasExtension(path, ".obj") && options.ownObjReader) {
    std::string why;
    model.emplace();
    ObjRead read = ObjRead::kDeclined;
    try {
      read = ReadObj(path, *model, &why);
    } catch (const std::bad_alloc&) {
      return fail("is too large to import");
    }
    if (read == ObjRead::kFailed) return fail(why);
    if (read == ObjRead::kRead) {
      if (model->materialNames > kMaxMaterialSlots) return tooManyMaterials(model->materialNames);
      import = [&](Mesh& mesh) { ImportObj(*model, options, mesh); };
    } else {
      model.reset();
    }
  }
  if (!import && HasExtension(path, ".obj")) {
    std::string why;
    obj.emplace();
    try {
      if (!ScanObj(path, *obj, &why)) return fail(why);
    } catch (const std::bad_alloc&) {
      return fail("is too large to import");
    }
    // Every material name becomes a material slot and a mesh of its own in
    // the reader: refused here, before the reader spends time and memory on them.
    if (obj->materialNames > kMaxMaterialSlots) return tooManyMaterials(obj->materialNames);
    if (warnings) {
      for (const std::string& w : obj->warnings) warnings->push_back(name + ", " + w);
    }
  }
  if (!import) {
    import = [&](Mesh& mesh) { Import(path, options, obj ? &*obj : nullptr, mesh); };
  }
  const IsolatedResult result = RunIsolated(
      [&] { return ImportAnswer(import); }, MeshReaderLimits(bytes));
  if (result.status != IsolatedStatus::kDone) return fail("the mesh reader " + result.problem);
  std::string why;
  if (!ReadMeshAnswer(result.answer, out, &why)) return fail(why);
  return true;
}

}  // namespace host
