#include "tarnis/line/detect/instance_tables.h"

#include <cmath>

#include "sdk/mtl.h"

namespace tarnis {

namespace {

bool mtlTwoSided(Mtl* mtl) {
  return mtl && (mtl->Requirements(-1) & MTLREQ_2SIDE) != 0;
}

// Screen edges of a face that are collinear within tolerance t.
bool screenEdgesCollinear(const Point2 s[3], float t) {
  for (int j = 0; j < 3; ++j) {
    Point2 a = s[(j + 1) % 3] - s[j];
    Point2 b = s[(j + 2) % 3] - s[(j + 1) % 3];
    double cross = static_cast<double>(a.x) * b.y - static_cast<double>(a.y) * b.x;
    double la = std::hypot(a.x, a.y), lb = std::hypot(b.x, b.y);
    if (std::fabs(cross) <= t * la * lb) return true;
  }
  return false;
}

}  // namespace

bool BuildFaceFlags(DetectAndISectInstance& r) {
  if (r.faceFlagsTable != TableState::kNotBuilt) return r.HasFaceFlags();
  r.faceFlagsTable = TableState::kFailed;
  if (r.Empty() || !BuildScreenVerts(r)) return false;
  const int nf = r.mesh->getNumFaces();
  r.faceFlags.assign(static_cast<size_t>(nf), 0);
  const FrameView& v = *r.view;
  Mtl* lastMtl = nullptr;
  bool lastTwoSided = false;
  bool force2Side = false;
  for (int f = 0; f < nf; ++f) {
    const Face& face = r.mesh->faces[static_cast<size_t>(f)];
    uint8_t flags = 0;
    Mtl* mtl = r.renderInstance->GetMtl(f);
    if (mtl != lastMtl || f == 0) {
      lastMtl = mtl;
      lastTwoSided = mtlTwoSided(mtl);
    }
    const bool twoSided = force2Side || lastTwoSided;
    if (twoSided) flags |= kFaceTwoSided;
    const LineSetRecord* rec = r.RecordOfFace(f);
    if (rec->frame && rec->frame->exHidden) flags |= kFaceExHidden;

    const uint32_t a = face.v[0], b = face.v[1], c = face.v[2];
    if (a == b || b == c || a == c) {
      r.faceFlags[static_cast<size_t>(f)] = flags | 0x67;
      continue;
    }
    const Point3& P = r.camVerts[a];
    const Point3& Q = r.camVerts[b];
    const Point3& R = r.camVerts[c];
    const int n = (P.z > v.nearLimit) + (Q.z > v.nearLimit) + (R.z > v.nearLimit);
    flags |= static_cast<uint8_t>(n);
    if (n == 3 || (P.z < v.farLimit && Q.z < v.farLimit && R.z < v.farLimit)) flags |= 0x63;
    if (P == Q || Q == R || P == R) flags |= 0x63;
    // Faces are counter-clockwise seen from their front: the front normal
    // points towards the eye.
    const Point3 normal = CrossProd(Q - P, R - P);
    bool back = v.Parallel() ? normal.z <= 0.0f : DotProd(P, normal) >= 0.0f;
    if (r.negativeParity) back = !back;
    if (back) flags |= kFaceBack;
    if (back && !twoSided) {
      flags |= 0x60;
    } else if (n == 0 || v.Parallel()) {
      const Point2 s[3] = {r.screenVerts[a], r.screenVerts[b], r.screenVerts[c]};
      if (screenEdgesCollinear(s, v.Parallel() ? 1e-4f : 1e-6f)) {
        flags |= 0x63;
      } else {
        for (int j = 0; j < 3; ++j) {
          Point2 d = s[(j + 1) % 3] - s[j];
          if (std::fabs(d.x) <= 1e-6f && std::fabs(d.y) <= 1e-6f) flags |= kFaceNoHide;
        }
      }
    }
    r.faceFlags[static_cast<size_t>(f)] = flags;
  }
  r.faceFlagsTable = TableState::kBuilt;
  return true;
}

bool BuildScreenVerts(DetectAndISectInstance& r) {
  if (r.screenVertsTable != TableState::kNotBuilt) return r.HasScreenVerts();
  r.screenVertsTable = TableState::kFailed;
  if (r.Empty()) return false;
  r.screenVerts.resize(r.camVerts.size());
  for (size_t i = 0; i < r.camVerts.size(); ++i) r.screenVerts[i] = r.view->Project(r.camVerts[i]);
  r.screenVertsTable = TableState::kBuilt;
  return true;
}

bool BuildOccluders(DetectAndISectInstance& r) {
  if (r.occludersTable != TableState::kNotBuilt) return r.HasOccluders();
  r.occludersTable = TableState::kFailed;
  if (!BuildFaceFlags(r)) return false;
  const float nearLimit = r.view->nearLimit;
  const int nf = r.mesh->getNumFaces();
  r.occluderFaces.clear();
  r.occluderClusters.clear();
  r.occluderBoxes.clear();
  r.occluderBox = Box3();
  for (int f = 0; f < nf; ++f) {
    if (r.faceFlags[static_cast<size_t>(f)] & kFaceNoHide) continue;
    const Face& face = r.mesh->faces[static_cast<size_t>(f)];
    // The face's polygon cut at the near limit.
    Point3 poly[4];
    int count = 0;
    for (int j = 0; j < 3; ++j) {
      const Point3& p = r.camVerts[face.v[j]];
      const Point3& q = r.camVerts[face.v[(j + 1) % 3]];
      const bool pIn = p.z <= nearLimit, qIn = q.z <= nearLimit;
      if (pIn) poly[count++] = p;
      if (pIn != qIn && count < 4) poly[count++] = p + (q - p) * ((nearLimit - p.z) / (q.z - p.z));
    }
    if (count < 3) continue;
    if (r.occluderFaces.size() % DetectAndISectInstance::kClusterSize == 0) {
      r.occluderClusters.push_back({static_cast<int>(r.occluderFaces.size()), 0, Box3(), Box2()});
    }
    OccluderCluster& cl = r.occluderClusters.back();
    r.occluderFaces.push_back(f);
    Box3 faceBox;
    for (uint32_t v : face.v) faceBox += r.camVerts[v];
    r.occluderBoxes.push_back(faceBox);
    r.occluderBox += faceBox;
    ++cl.faceCount;
    for (int j = 0; j < count; ++j) {
      cl.camBox += poly[j];
      cl.screenBox += r.view->Project(poly[j]);
    }
  }
  r.occludersTable = TableState::kBuilt;
  return true;
}

}  // namespace tarnis
