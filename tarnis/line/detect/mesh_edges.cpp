#include "tarnis/line/detect/mesh_edges.h"

#include <algorithm>
#include <cmath>

#include "sdk/angles.h"

namespace tarnis {

std::vector<MeshEdge> BuildEdgeList(const Mesh& mesh, const std::vector<uint8_t>& faceFlags) {
  const int nf = mesh.getNumFaces();
  const size_t nv = mesh.verts.size();
  auto used = [&](int f) { return !(faceFlags[static_cast<size_t>(f)] & kFaceNoEdges); };
  // Every directed edge (a, b) of the faces that give edges, grouped by a in
  // the order the faces list them. A slot holds its stored edge while that
  // edge waits for a partner, and -1 before it is reached and after.
  struct Slot {
    uint32_t to;
    int edge;
  };
  std::vector<uint32_t> start(nv + 1, 0);
  for (int f = 0; f < nf; ++f) {
    if (!used(f)) continue;
    for (uint32_t v : mesh.faces[static_cast<size_t>(f)].v) ++start[v + 1];
  }
  for (size_t v = 0; v < nv; ++v) start[v + 1] += start[v];
  std::vector<Slot> slots(start[nv]);
  std::vector<uint32_t> cursor(start.begin(), start.end() - 1);
  for (int f = 0; f < nf; ++f) {
    if (!used(f)) continue;
    const Face& face = mesh.faces[static_cast<size_t>(f)];
    for (int j = 0; j < 3; ++j) slots[cursor[face.v[j]]++] = {face.v[(j + 1) % 3], -1};
  }

  std::vector<MeshEdge> edges;
  edges.reserve(static_cast<size_t>(nf) * 3 / 2 + 16);
  std::copy(start.begin(), start.end() - 1, cursor.begin());
  for (int f = 0; f < nf; ++f) {
    if (!used(f)) continue;
    const Face& face = mesh.faces[static_cast<size_t>(f)];
    for (int j = 0; j < 3; ++j) {
      const uint32_t a = face.v[j], b = face.v[(j + 1) % 3];
      Slot& own = slots[cursor[a]++];
      // The earliest edge (b, a) still waiting takes this face as its second.
      Slot* partner = nullptr;
      for (uint32_t k = start[b]; k < start[b + 1]; ++k) {
        if (slots[k].to == a && slots[k].edge >= 0) {
          partner = &slots[k];
          break;
        }
      }
      if (partner) {
        MeshEdge& e = edges[static_cast<size_t>(partner->edge)];
        e.f2 = f;
        e.e2 = static_cast<uint8_t>(j);
        partner->edge = -1;
        continue;
      }
      own.edge = static_cast<int>(edges.size());
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
