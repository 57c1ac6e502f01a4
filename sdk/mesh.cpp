// Mesh: map channels, face normals, smoothing-group vertex normals and
// validation. See mesh.h for what each operation promises.
#include "sdk/mesh.h"

#include <cmath>

#include "sdk/check.h"

void Mesh::setNumVerts(int n) {
  TARNIS_CHECK(n >= 0) << "vertex count " << n;
  verts.resize(static_cast<size_t>(n));
  InvalidateNormals();
}

MeshMap& MeshMapTable::Get(int channel) {
  const auto c = static_cast<size_t>(channel);
  if (c >= maps_.size()) maps_.resize(c + 1);
  if (!maps_[c]) maps_[c] = std::make_unique<MeshMap>();
  return *maps_[c];
}

void MeshMapTable::copyFrom(const MeshMapTable& other) {
  std::vector<std::unique_ptr<MeshMap>> copy(other.maps_.size());
  for (size_t c = 0; c < copy.size(); ++c) {
    if (other.maps_[c]) copy[c] = std::make_unique<MeshMap>(*other.maps_[c]);
  }
  maps_ = std::move(copy);
}

void Mesh::setNumFaces(int n) {
  TARNIS_CHECK(n >= 0) << "face count " << n;
  for (int ch = 0; ch < static_cast<int>(maps_.Size()); ++ch) {
    const MeshMap* found = maps_.Find(ch);
    if (!found || !found->IsUsed() || found->tf.size() != faces.size()) continue;
    maps_.Get(ch).tf.resize(static_cast<size_t>(n));
  }
  faces.resize(static_cast<size_t>(n));
  InvalidateNormals();
}

bool Mesh::mapSupport(int channel) const {
  if (channel < 0 || channel >= MAX_MESHMAPS) return false;
  const MeshMap* m = maps_.Find(channel);
  return m && m->IsUsed() && m->tf.size() == faces.size();
}

MeshMap& Mesh::Map(int channel) {
  TARNIS_CHECK(channel >= 0 && channel < MAX_MESHMAPS) << "map channel " << channel;
  return maps_.Get(channel);
}

const MeshMap& Mesh::Map(int channel) const {
  TARNIS_CHECK(channel >= 0 && channel < MAX_MESHMAPS) << "map channel " << channel;
  static const MeshMap kUnused;
  const MeshMap* m = maps_.Find(channel);
  return m ? *m : kUnused;
}

void Mesh::setMapSupport(int channel, int numMapVerts) {
  TARNIS_CHECK(numMapVerts >= 0) << "map vertex count " << numMapVerts;
  MeshMap& m = Map(channel);
  m.tv.assign(static_cast<size_t>(numMapVerts), Point3());
  m.tf.assign(faces.size(), TVFace());
}

Point3 Mesh::FaceNormal(int f) const {
  TARNIS_CHECK(f >= 0 && static_cast<size_t>(f) < faces.size()) << "face " << f;
  const Face& face = faces[static_cast<size_t>(f)];
  const Point3& a = verts[face.v[0]];
  const Point3& b = verts[face.v[1]];
  const Point3& c = verts[face.v[2]];
  return Normalize((b - a) % (c - a));
}

namespace {

// Faces around one vertex whose smoothing groups overlap (directly or through
// other faces) share one normal; `mask` is the union of their groups.
struct SmoothGroup {
  uint32_t mask;
  Point3 sum;
  bool live;        // false once merged into another group
  uint32_t normal;  // index into the mesh's normals once built
};

// Face corners (face * 3 + corner) listed by vertex: the corners of vertex v
// are corners[start[v] .. start[v + 1]), in face order (a counting sort).
struct CornersByVertex {
  std::vector<uint32_t> start, corners;
};

CornersByVertex SortCornersByVertex(const std::vector<Face>& faces, size_t nv) {
  CornersByVertex c;
  c.start.assign(nv + 1, 0);
  for (const Face& f : faces) {
    for (uint32_t v : f.v) ++c.start[v + 1];
  }
  for (size_t i = 0; i < nv; ++i) c.start[i + 1] += c.start[i];
  c.corners.resize(faces.size() * 3);
  std::vector<uint32_t> fill(c.start.begin(), c.start.end() - 1);
  for (size_t f = 0; f < faces.size(); ++f) {
    for (int k = 0; k < 3; ++k) c.corners[fill[faces[f].v[k]]++] = static_cast<uint32_t>(f * 3 + k);
  }
  return c;
}

// Per face corner, the unit face normal times the face's angle at that corner.
// Angle weights make a vertex normal independent of how polygons were split
// into triangles: a quad adds its full corner angle whether one or both of its
// triangles touch the corner. A degenerate face adds nothing.
std::vector<Point3> AngleWeightedCornerNormals(const std::vector<Face>& faces,
                                               const std::vector<Point3>& verts) {
  std::vector<Point3> out(faces.size() * 3);
  for (size_t f = 0; f < faces.size(); ++f) {
    const Face& face = faces[f];
    const Point3 n =
        Normalize((verts[face.v[1]] - verts[face.v[0]]) % (verts[face.v[2]] - verts[face.v[0]]));
    for (int k = 0; k < 3; ++k) {
      const Point3& p = verts[face.v[k]];
      const Point3 e1 = verts[face.v[(k + 1) % 3]] - p, e2 = verts[face.v[(k + 2) % 3]] - p;
      // atan2 of |cross| and dot stays accurate for very thin and very wide corners.
      const float angle = std::atan2((e1 % e2).Length(), DotProd(e1, e2));
      out[f * 3 + static_cast<size_t>(k)] = n * angle;
    }
  }
  return out;
}

// Adds one corner (its face's groups `mask`) to the groups at a vertex and
// answers the group it joined. A face in no group gets a group of its own;
// otherwise every group sharing a bit with the face merges into one.
int JoinGroups(std::vector<SmoothGroup>& groups, std::vector<int>& cornerGroup, uint32_t mask) {
  int into = -1;
  for (int g = 0; mask != 0 && g < static_cast<int>(groups.size()); ++g) {
    SmoothGroup& other = groups[static_cast<size_t>(g)];
    if (!other.live || !(other.mask & mask)) continue;
    if (into < 0) {
      into = g;
      continue;
    }
    SmoothGroup& target = groups[static_cast<size_t>(into)];
    target.mask |= other.mask;
    target.sum += other.sum;
    for (int& cg : cornerGroup) {
      if (cg == g) cg = into;
    }
    other.live = false;
  }
  if (into < 0) {
    groups.push_back({mask, Point3(), true, 0});
    return static_cast<int>(groups.size()) - 1;
  }
  groups[static_cast<size_t>(into)].mask |= mask;
  return into;
}

}  // namespace

void Mesh::buildNormals() {
  const size_t nf = faces.size(), nv = verts.size();
  for (size_t f = 0; f < nf; ++f) {
    for (uint32_t v : faces[f].v) {
      TARNIS_CHECK(v < nv) << "face " << f << " uses vertex " << v << " of " << nv;
    }
  }
  const CornersByVertex byVertex = SortCornersByVertex(faces, nv);
  const std::vector<Point3> weighted = AngleWeightedCornerNormals(faces, verts);

  normals_.clear();
  cornerNormal_.assign(nf * 3, 0);
  std::vector<SmoothGroup> groups;
  std::vector<int> cornerGroup;
  for (size_t v = 0; v < nv; ++v) {
    groups.clear();
    cornerGroup.clear();
    const uint32_t first = byVertex.start[v], last = byVertex.start[v + 1];
    for (uint32_t k = first; k < last; ++k) {
      const uint32_t corner = byVertex.corners[k];
      const int g = JoinGroups(groups, cornerGroup, faces[corner / 3].smGroup);
      groups[static_cast<size_t>(g)].sum += weighted[corner];
      cornerGroup.push_back(g);
    }
    for (SmoothGroup& g : groups) {
      if (!g.live) continue;
      g.normal = static_cast<uint32_t>(normals_.size());
      normals_.push_back(Normalize(g.sum));
    }
    for (uint32_t k = first; k < last; ++k) {
      cornerNormal_[byVertex.corners[k]] =
          groups[static_cast<size_t>(cornerGroup[k - first])].normal;
    }
  }
  normalsBuilt_ = true;
}

uint32_t Mesh::CornerNormalIndex(int f, int corner) const {
  TARNIS_CHECK(normalsBuilt_) << "buildNormals() must run before normal queries";
  const size_t i = static_cast<size_t>(f) * 3 + static_cast<size_t>(corner);
  TARNIS_CHECK(f >= 0 && corner >= 0 && corner < 3 && i < cornerNormal_.size())
      << "face " << f << " corner " << corner << " of " << cornerNormal_.size() / 3
      << " faces with normals (was the mesh changed after buildNormals()?)";
  return cornerNormal_[i];
}

Point3 Mesh::CornerNormal(int f, int corner) const {
  return normals_[CornerNormalIndex(f, corner)];
}

Box3 Mesh::getBoundingBox() const {
  Box3 b;
  for (const Point3& p : verts) b += p;
  return b;
}

namespace {

bool IsFinite(const Point3& p) {
  return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

}  // namespace

bool Mesh::Validate(std::string* why) const {
  auto fail = [why](std::string text) {
    if (why) *why = std::move(text);
    return false;
  };
  for (size_t f = 0; f < faces.size(); ++f) {
    for (uint32_t v : faces[f].v) {
      if (v >= verts.size())
        return fail("face " + std::to_string(f) + " uses vertex " + std::to_string(v) + " of " +
                    std::to_string(verts.size()));
    }
  }
  for (size_t i = 0; i < verts.size(); ++i) {
    if (!IsFinite(verts[i])) return fail("vertex " + std::to_string(i) + " is not a finite number");
  }
  for (int ch = 0; ch < static_cast<int>(maps_.Size()); ++ch) {
    const MeshMap* used = maps_.Find(ch);
    if (!used || !used->IsUsed()) continue;
    const MeshMap& m = *used;
    const std::string name = "map channel " + std::to_string(ch);
    if (m.tf.size() != faces.size())
      return fail(name + " has " + std::to_string(m.tf.size()) + " faces for " +
                  std::to_string(faces.size()) + " mesh faces");
    for (const TVFace& tf : m.tf) {
      for (uint32_t t : tf.t) {
        if (t >= m.tv.size())
          return fail(name + " uses map vertex " + std::to_string(t) + " of " +
                      std::to_string(m.tv.size()));
      }
    }
    for (size_t i = 0; i < m.tv.size(); ++i) {
      if (!IsFinite(m.tv[i]))
        return fail(name + " map vertex " + std::to_string(i) + " is not a finite number");
    }
  }
  return true;
}
