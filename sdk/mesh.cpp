#include "sdk/mesh.h"

#include <cmath>

#include "sdk/check.h"

bool Mesh::mapSupport(int channel) const {
  if (channel < 0 || channel >= MAX_MESHMAPS) return false;
  const MeshMap& m = maps_[static_cast<size_t>(channel)];
  return m.IsUsed() && m.tf.size() == faces.size();
}

MeshMap& Mesh::Map(int channel) {
  TARNIS_CHECK(channel >= 0 && channel < MAX_MESHMAPS) << "map channel " << channel;
  return maps_[static_cast<size_t>(channel)];
}

const MeshMap& Mesh::Map(int channel) const {
  TARNIS_CHECK(channel >= 0 && channel < MAX_MESHMAPS) << "map channel " << channel;
  return maps_[static_cast<size_t>(channel)];
}

void Mesh::setMapSupport(int channel, int numMapVerts) {
  MeshMap& m = Map(channel);
  m.tv.assign(static_cast<size_t>(numMapVerts), Point3());
  m.tf.assign(faces.size(), TVFace());
}

Point3 Mesh::FaceNormal(int f) const {
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
  uint32_t normal;  // index into the mesh's normals once built
};

}  // namespace

void Mesh::buildNormals() {
  const size_t nf = faces.size(), nv = verts.size();
  // Corners by vertex (counting sort), so each vertex sees its faces in face order.
  std::vector<uint32_t> start(nv + 1, 0);
  for (const Face& f : faces) {
    for (uint32_t v : f.v) ++start[v + 1];
  }
  for (size_t i = 0; i < nv; ++i) start[i + 1] += start[i];
  std::vector<uint32_t> corners(nf * 3);
  std::vector<uint32_t> fill(start.begin(), start.end() - 1);
  for (size_t f = 0; f < nf; ++f) {
    for (int c = 0; c < 3; ++c) corners[fill[faces[f].v[c]]++] = static_cast<uint32_t>(f * 3 + c);
  }

  // Area-weighted face normals (the cross product's length is twice the area).
  std::vector<Point3> weighted(nf);
  for (size_t f = 0; f < nf; ++f) {
    const Face& face = faces[f];
    weighted[f] = (verts[face.v[1]] - verts[face.v[0]]) % (verts[face.v[2]] - verts[face.v[0]]);
  }

  normals_.clear();
  cornerNormal_.assign(nf * 3, 0);
  std::vector<SmoothGroup> groups;
  std::vector<int> cornerGroup;
  for (size_t v = 0; v < nv; ++v) {
    groups.clear();
    cornerGroup.clear();
    for (uint32_t k = start[v]; k < start[v + 1]; ++k) {
      uint32_t face = corners[k] / 3;
      uint32_t mask = faces[face].smGroup;
      int into = -1;
      if (mask != 0) {
        // Merge every group this face's bits touch into the first one.
        for (int g = 0; g < static_cast<int>(groups.size()); ++g) {
          if (!(groups[g].mask & mask)) continue;
          if (into < 0) {
            into = g;
            continue;
          }
          groups[into].mask |= groups[g].mask;
          groups[into].sum += groups[g].sum;
          for (int& cg : cornerGroup) {
            if (cg == g) cg = into;
          }
          groups[g].mask = 0;  // emptied; never matches again
          groups[g].sum = Point3();
        }
      }
      if (into < 0) {
        groups.push_back({mask, Point3(), 0});
        into = static_cast<int>(groups.size()) - 1;
      } else {
        groups[into].mask |= mask;
      }
      groups[into].sum += weighted[face];
      cornerGroup.push_back(into);
    }
    for (SmoothGroup& g : groups) {
      g.normal = static_cast<uint32_t>(normals_.size());
      normals_.push_back(Normalize(g.sum));
    }
    for (uint32_t k = start[v]; k < start[v + 1]; ++k) {
      cornerNormal_[corners[k]] = groups[static_cast<size_t>(cornerGroup[k - start[v]])].normal;
    }
  }
  normalsBuilt_ = true;
}

Point3 Mesh::CornerNormal(int f, int corner) const {
  TARNIS_CHECK(normalsBuilt_) << "buildNormals() must run before normal queries";
  return normals_[cornerNormal_[static_cast<size_t>(f) * 3 + static_cast<size_t>(corner)]];
}

Box3 Mesh::getBoundingBox() const {
  Box3 b;
  for (const Point3& p : verts) b += p;
  return b;
}

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
  for (int ch = 0; ch < MAX_MESHMAPS; ++ch) {
    const MeshMap& m = maps_[static_cast<size_t>(ch)];
    if (!m.IsUsed()) continue;
    if (m.tf.size() != faces.size())
      return fail("map channel " + std::to_string(ch) + " has " + std::to_string(m.tf.size()) +
                  " faces for " + std::to_string(faces.size()) + " mesh faces");
    for (const TVFace& tf : m.tf) {
      for (uint32_t t : tf.t) {
        if (t >= m.tv.size())
          return fail("map channel " + std::to_string(ch) + " uses map vertex " +
                      std::to_string(t) + " of " + std::to_string(m.tv.size()));
      }
    }
  }
  for (const Point3& p : verts) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
      return fail("a vertex is not a finite number");
  }
  return true;
}
