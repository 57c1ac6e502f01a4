#include "tarnis/line/detect/mesh_edges.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "sdk/angles.h"

namespace tarnis {

namespace {

// Directed edge (a, b) -> stored edge, open addressing. A stored edge that
// found its partner stays in the table as a tombstone so probe chains hold.
class DirectedEdgeTable {
 public:
  explicit DirectedEdgeTable(size_t expected) {
    size_t n = std::bit_ceil(std::max<size_t>(16, expected * 2));
    keys_.assign(n, kEmpty);
    edges_.assign(n, -1);
    mask_ = n - 1;
  }
  // The earliest stored edge (a, b) that has no partner yet, or -1.
  int FindOpen(uint32_t a, uint32_t b) const {
    const uint64_t key = pack(a, b);
    for (size_t i = slot(key);; i = (i + 1) & mask_) {
      if (keys_[i] == kEmpty) return -1;
      if (keys_[i] == key && edges_[i] >= 0) return edges_[i];
    }
  }
  void Close(uint32_t a, uint32_t b, int edge) {
    const uint64_t key = pack(a, b);
    for (size_t i = slot(key);; i = (i + 1) & mask_) {
      if (keys_[i] == key && edges_[i] == edge) {
        edges_[i] = -1;
        return;
      }
    }
  }
  void Insert(uint32_t a, uint32_t b, int edge) {
    const uint64_t key = pack(a, b);
    size_t i = slot(key);
    while (keys_[i] != kEmpty) i = (i + 1) & mask_;
    keys_[i] = key;
    edges_[i] = edge;
  }

 private:
  static constexpr uint64_t kEmpty = ~uint64_t{0};
  static uint64_t pack(uint32_t a, uint32_t b) { return (uint64_t{a} << 32) | b; }
  size_t slot(uint64_t key) const {
    return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> 17) & mask_;
  }
  std::vector<uint64_t> keys_;
  std::vector<int> edges_;
  size_t mask_ = 0;
};

}  // namespace

std::vector<MeshEdge> BuildEdgeList(const Mesh& mesh, const std::vector<uint8_t>& faceFlags) {
  const int nf = mesh.getNumFaces();
  std::vector<MeshEdge> edges;
  edges.reserve(static_cast<size_t>(nf) * 3 / 2 + 16);
  DirectedEdgeTable table(static_cast<size_t>(nf) * 3);
  for (int f = 0; f < nf; ++f) {
    if (faceFlags[static_cast<size_t>(f)] & kFaceNoEdges) continue;
    const Face& face = mesh.faces[static_cast<size_t>(f)];
    for (int j = 0; j < 3; ++j) {
      const uint32_t a = face.v[j], b = face.v[(j + 1) % 3];
      const int partner = table.FindOpen(b, a);
      if (partner >= 0) {
        MeshEdge& e = edges[static_cast<size_t>(partner)];
        e.f2 = f;
        e.e2 = static_cast<uint8_t>(j);
        table.Close(b, a, partner);
        continue;
      }
      table.Insert(a, b, static_cast<int>(edges.size()));
      edges.push_back({a, b, f, -1, static_cast<uint8_t>(j), 0});
    }
  }
  return edges;
}

float CreaseCos(float degrees) {
  if (degrees == 0.0f) return 1.0f;
  if (degrees == 180.0f) return -1.0f;
  return std::cos(degrees * kDegToRad);
}

namespace {

Point3 faceNormal(const DetectAndISectInstance& inst, int f) {
  const Face& face = inst.mesh->faces[static_cast<size_t>(f)];
  const Point3& p = inst.camVerts[face.v[0]];
  return Normalize(CrossProd(inst.camVerts[face.v[1]] - p, inst.camVerts[face.v[2]] - p));
}

bool normalEdge(const DetectAndISectInstance& inst, const MeshEdge& e, const LineSetRecord& rec) {
  const LineSetFrame& frame = *rec.frame;
  const Mesh& mesh = *inst.mesh;
  bool angleTested = false;
  float d = 0.0f;
  for (int v = 0; v < 2; ++v) {
    if (!rec.containers[v][kCategoryNormal - 1]) continue;
    if (frame.wire[v]) {
      if (mesh.faces[static_cast<size_t>(e.f1)].getEdgeVis(e.e1) ||
          mesh.faces[static_cast<size_t>(e.f2)].getEdgeVis(e.e2)) {
        return true;
      }
      continue;
    }
    if (!angleTested) {
      d = std::min(1.0f, DotProd(faceNormal(inst, e.f1), faceNormal(inst, e.f2)));
      angleTested = true;
    }
    if (frame.cosMax <= d && d <= frame.cosMin) return true;
  }
  return false;
}

}  // namespace

void DetectMeshEdges(const DetectAndISectInstance& inst, const std::vector<MeshEdge>& edges,
                     size_t begin, size_t end, const EdgeVisibility& sampler, DetectionBatch& out) {
  const std::vector<uint8_t>& flags = inst.faceFlags;
  const Mesh& mesh = *inst.mesh;
  for (size_t k = begin; k < end; ++k) {
    const MeshEdge& e = edges[k];
    ++out.edgesVisited;
    const uint8_t fl1 = flags[static_cast<size_t>(e.f1)];
    const uint8_t fl2 = e.f2 >= 0 ? flags[static_cast<size_t>(e.f2)] : 0;
    const bool back1 = fl1 & kFaceBack, back2 = fl2 & kFaceBack;
    const bool two1 = fl1 & kFaceTwoSided, two2 = fl2 & kFaceTwoSided;
    bool outline = false;
    int owner = e.f1;
    if (e.f2 < 0) {
      outline = true;
    } else if (back1 != back2) {
      outline = true;
      owner = back1 ? e.f2 : e.f1;
    } else if (back1 && back2 && two1 != two2) {
      outline = true;
      owner = two1 ? e.f1 : e.f2;
    } else {
      const LineSetRecord* r1 = inst.RecordOfFace(e.f1);
      const LineSetRecord* r2 = inst.RecordOfFace(e.f2);
      if (!r1->lineSet && !r2->lineSet) continue;
      if (!r1->lineSet) {
        owner = e.f2;
      } else if (r2->lineSet && r2->Priority() > r1->Priority()) {
        owner = e.f2;
      }
    }
    const LineSetRecord* rec = inst.RecordOfFace(owner);
    if (!rec->lineSet || !rec->frame) continue;
    const uint8_t ownerFlags = flags[static_cast<size_t>(owner)];
    const bool ownerBack = ownerFlags & kFaceBack;
    uint32_t cat = 0;
    if (outline) {
      cat = kFlagObject;
    } else {
      if (ownerBack && !(ownerFlags & kFaceTwoSided)) continue;
      const Face& a = mesh.faces[static_cast<size_t>(e.f1)];
      const Face& b = mesh.faces[static_cast<size_t>(e.f2)];
      if (rec->HasContainer(kCategorySmooth) && (a.smGroup & b.smGroup) == 0 &&
          (a.smGroup | b.smGroup) != 0) {
        cat |= kFlagSmooth;
      }
      if (rec->HasContainer(kCategoryMaterial) && a.matID != b.matID) cat |= kFlagMaterial;
      if (rec->HasContainer(kCategoryNormal) && normalEdge(inst, e, *rec)) cat |= kFlagNormal;
      if (cat == 0) continue;
    }
    if (ownerBack && !(two1 || two2)) continue;
    if (!sampler.Wanted(*rec, cat)) continue;

    CandidateEdge c;
    c.c0 = inst.camVerts[e.a];
    c.c1 = inst.camVerts[e.b];
    c.owner = &inst;
    c.face = owner;
    c.exempt[0] = {inst.index, e.f1};
    c.exempt[1] = {inst.index, e.f2};
    c.record = rec;
    c.flags = cat;
    if (outline && (rec->frame->outlineOnly[0] || rec->frame->outlineOnly[1])) {
      const Face& of = mesh.faces[static_cast<size_t>(owner)];
      uint32_t third = of.v[0];
      for (uint32_t v : of.v) {
        if (v != e.a && v != e.b) third = v;
      }
      c.probe = true;
      c.thirdVertex = inst.screenVerts[third];
    }
    sampler.Sample(c, out);
  }
}

}  // namespace tarnis
