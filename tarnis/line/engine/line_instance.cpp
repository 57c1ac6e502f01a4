#include "tarnis/line/engine/line_instance.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "sdk/inode.h"
#include "sdk/mtl.h"
#include "tarnis/line/effect/line_set.h"

namespace tarnis {

int StrokeSelectInstance::SlotOfFace(int face) const {
  if (slotCount <= 0 || !mesh) return 0;
  return mesh->faces[static_cast<size_t>(face)].matID % slotCount;
}

const LineSetRecord* StrokeSelectInstance::RecordOfFace(int face) const {
  if (slotCount <= 0 || slotRecords.empty()) return &defaultRecord;
  return slotRecords[static_cast<size_t>(SlotOfFace(face))];
}

namespace {

constexpr int kMaxMaterialDepth = 16;

int slotCountAt(Mtl* mtl, int depth) {
  if (!mtl || depth > kMaxMaterialDepth || mtl->NumSubMtls() <= 0) return 0;
  int nested = 0;
  for (int i = 0; i < mtl->NumSubMtls(); ++i) {
    nested = std::max(nested, slotCountAt(mtl->GetSubMtl(i), depth + 1));
  }
  int own = mtl->IsMultiMtl() ? mtl->NumSubMtls() : 0;
  return own >= nested ? own : nested;
}

// The best-priority material line set reachable from `mtl` for `slot`: the
// material itself, then for a multi-material the sub-material of the slot,
// for other materials every sub-material.
const LineSetFrame* bestMaterialSet(Mtl* mtl, int slot, const LineSetLookup& sets, int depth) {
  if (!mtl || depth > kMaxMaterialDepth) return nullptr;
  const LineSetFrame* best = sets.SetOfMaterial(mtl);
  auto consider = [&](const LineSetFrame* c) {
    if (c && (!best || c->priority > best->priority)) best = c;
  };
  const int n = mtl->NumSubMtls();
  if (n > 0) {
    if (mtl->IsMultiMtl()) {
      consider(bestMaterialSet(mtl->GetSubMtl(slot % n), slot, sets, depth + 1));
    } else {
      for (int i = 0; i < n; ++i)
        consider(bestMaterialSet(mtl->GetSubMtl(i), slot, sets, depth + 1));
    }
  }
  return best;
}

void fillRecord(LineSetRecord& record, const LineSetFrame* frame) {
  record.frame = frame;
  record.lineSet = frame ? frame->set : nullptr;
  if (!frame || !frame->enabled) return;
  for (int v = 0; v < 2; ++v) {
    for (int c = 0; c < kNumCategories; ++c) record.containers[v][c] = frame->containers[v][c];
  }
}

void noteCategories(DetectAndISectInstance& r, const LineSetRecord& record) {
  for (int v = 0; v < 2; ++v) {
    for (int c = 0; c < kNumCategories; ++c) {
      if (record.containers[v][c]) r.categoryUsed[c] = true;
    }
  }
}

void assignLineSets(DetectAndISectInstance& r, RenderInstance* ri, const LineSetLookup& sets) {
  const LineSetFrame* objectSet = sets.SetOfNode(ri->GetINode());
  Mtl* mtl = ri->GetNodeMtl();
  r.slotCount = MaterialSlotCount(mtl);
  auto better = [&](const LineSetFrame* m) {
    return m && (!objectSet || m->priority > objectSet->priority) ? m : objectSet;
  };
  if (r.slotCount == 0) {
    fillRecord(r.defaultRecord, better(bestMaterialSet(mtl, 0, sets, 0)));
    noteCategories(r, r.defaultRecord);
    return;
  }
  fillRecord(r.defaultRecord, objectSet);
  noteCategories(r, r.defaultRecord);
  r.slotRecords.assign(static_cast<size_t>(r.slotCount), &r.defaultRecord);
  for (int s = 0; s < r.slotCount; ++s) {
    const LineSetFrame* chosen = better(bestMaterialSet(mtl, s, sets, 0));
    if (chosen == objectSet) continue;
    r.extraRecords.emplace_back();
    fillRecord(r.extraRecords.back(), chosen);
    noteCategories(r, r.extraRecords.back());
    r.slotRecords[static_cast<size_t>(s)] = &r.extraRecords.back();
  }
}

void collectChannels(DetectAndISectInstance& r, const LineSetLookup& lookup) {
  const std::vector<LineSetFrame>& sets = lookup.sets;
  const std::vector<std::vector<int>>& channelsOfSet = lookup.channelsOfSet;
  r.channelSlot.fill(-1);
  bool anyMap = false;
  auto add = [&](const LineSetRecord& record) {
    if (!record.frame || !record.frame->enabled) return;
    const auto& channels = channelsOfSet[static_cast<size_t>(record.frame - sets.data())];
    for (int ch : channels) {
      anyMap = true;
      if (ch >= 0 && ch < MAX_MESHMAPS && r.mesh->mapSupport(ch)) r.channelSet.set(ch);
    }
  };
  add(r.defaultRecord);
  for (const LineSetRecord& e : r.extraRecords) add(e);
  if (anyMap) r.channelSet.set(UVWInstance::kNormalChannel);
  for (int ch = 0; ch <= UVWInstance::kNormalChannel; ++ch) {
    if (r.channelSet.test(ch)) r.channelSlot[ch] = r.channelCount++;
  }
}

// The instance's object box seen from the camera, cut to the depth window:
// false when nothing of it is left.
bool screenBoxOfInstance(RenderInstance* ri, const FrameView& view, Box2* out) {
  const Box3& b = ri->obBox;
  if (b.IsEmpty()) return false;
  Point3 corners[8];
  for (int i = 0; i < 8; ++i) {
    Point3 p((i & 1) ? b.pmax.x : b.pmin.x, (i & 2) ? b.pmax.y : b.pmin.y,
             (i & 4) ? b.pmax.z : b.pmin.z);
    corners[i] = p * ri->objToCam;
  }
  std::vector<Point3> kept;
  bool tooFar[8], tooNear[8];
  int far = 0, near = 0;
  for (int i = 0; i < 8; ++i) {
    tooFar[i] = corners[i].z < view.farLimit;
    tooNear[i] = corners[i].z > view.nearLimit;
    far += tooFar[i];
    near += !tooFar[i] && tooNear[i];
  }
  if (far == 8 || far + near == 8) return false;
  for (int i = 0; i < 8; ++i) {
    if (!tooFar[i] && !tooNear[i]) kept.push_back(corners[i]);
  }
  if (far + near > 0) {
    for (int i = 0; i < 8; ++i) {
      for (int axis = 0; axis < 3; ++axis) {
        int j = i | (1 << axis);
        if (j == i) continue;
        const Point3& p = corners[i];
        const Point3& q = corners[j];
        if ((p.z > view.nearLimit) != (q.z > view.nearLimit)) {
          float t = (view.nearLimit - p.z) / (q.z - p.z);
          kept.push_back(p + (q - p) * t);
        }
      }
    }
  }
  Box2 box;
  for (const Point3& p : kept) box += view.Project(p);
  *out = box;
  return box.Intersects(view.extent);
}

}  // namespace

int MaterialSlotCount(Mtl* mtl) {
  return slotCountAt(mtl, 0);
}

void LineSetLookup::IndexMembers() {
  nodeSet.clear();
  mtlSet.clear();
  for (size_t i = 0; i < sets.size(); ++i) {
    LineSet* set = sets[i].set;
    IParamBlock2* pb = set ? set->MainBlock() : nullptr;
    if (!pb) continue;
    for (int k = 0; k < pb->Count(kLineSetObjects); ++k) {
      if (auto* node = dynamic_cast<INode*>(pb->GetReferenceTarget(kLineSetObjects, 0, k))) {
        nodeSet.emplace(node, static_cast<int>(i));
      }
    }
    for (int k = 0; k < pb->Count(kLineSetMtls); ++k) {
      if (auto* mtl = dynamic_cast<Mtl*>(pb->GetReferenceTarget(kLineSetMtls, 0, k))) {
        mtlSet.emplace(mtl, static_cast<int>(i));
      }
    }
  }
}

const LineSetFrame* LineSetLookup::SetOfNode(INode* node) const {
  INode* member = MembershipNode(node);
  if (!member) return nullptr;
  auto it = nodeSet.find(member);
  return it == nodeSet.end() ? nullptr : &sets[static_cast<size_t>(it->second)];
}

const LineSetFrame* LineSetLookup::SetOfMaterial(Mtl* mtl) const {
  if (!mtl) return nullptr;
  auto it = mtlSet.find(mtl);
  return it == mtlSet.end() ? nullptr : &sets[static_cast<size_t>(it->second)];
}

bool BuildInstanceRecord(DetectAndISectInstance& r, RenderInstance* ri, const LineSetLookup& lookup,
                         const FrameView& view) {
  r.view = &view;
  r.renderInstance = ri;
  Mesh* mesh = ri ? ri->GetMesh() : nullptr;
  if (!mesh || mesh->getNumVerts() == 0 || mesh->getNumFaces() == 0) return true;
  r.mesh = mesh;
  try {
    assignLineSets(r, ri, lookup);
    collectChannels(r, lookup);
  } catch (const std::bad_alloc&) {
    r.mesh = nullptr;
    return false;
  }
  for (int c = 0; c < kNumCategories - 1; ++c) r.needsEdges |= r.categoryUsed[c];
  r.needsIntersections = r.categoryUsed[kNumCategories - 1];
  r.objToCam = ri->objToCam;
  r.camToObj = ri->camToObj;
  r.instanceFlags = ri->flags;

  auto leaveEmpty = [&] {
    r.mesh = nullptr;
    return true;
  };
  INode* node = ri->GetINode();
  if (node) {
    bool seen =
        view.options.mapMode ? node->GetSecondaryVisibility() : node->GetPrimaryVisibility();
    if (!seen) return leaveEmpty();
  }
  if (ri->Hidden() || ri->IsClipped()) return leaveEmpty();
  if (!screenBoxOfInstance(ri, view, &r.screenBox)) return leaveEmpty();

  const int nv = mesh->getNumVerts();
  r.camVerts.resize(static_cast<size_t>(nv));
  for (int i = 0; i < nv; ++i) {
    r.camVerts[static_cast<size_t>(i)] = ri->GetCamVert(i);
    r.worldBox += ri->GetWorldVert(i);
  }
  const Matrix3& m = ri->objToWorld;
  r.negativeParity = DotProd(CrossProd(m.GetRow(0), m.GetRow(1)), m.GetRow(2)) < 0.0f;
  return true;
}

// --- Lazy tables ---------------------------------------------------------------------

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

bool DetectAndISectInstance::BuildFaceFlags() {
  if (built[0]) return builtOk[0];
  built[0] = true;
  if (Empty() || !BuildScreenVerts()) return false;
  const int nf = mesh->getNumFaces();
  faceFlags.assign(static_cast<size_t>(nf), 0);
  const FrameView& v = *view;
  Mtl* lastMtl = nullptr;
  bool lastTwoSided = false;
  bool force2Side = false;
  for (int f = 0; f < nf; ++f) {
    const Face& face = mesh->faces[static_cast<size_t>(f)];
    uint8_t flags = 0;
    Mtl* mtl = renderInstance->GetMtl(f);
    if (mtl != lastMtl || f == 0) {
      lastMtl = mtl;
      lastTwoSided = mtlTwoSided(mtl);
    }
    const bool twoSided = force2Side || lastTwoSided;
    if (twoSided) flags |= kFaceTwoSided;
    const LineSetRecord* rec = RecordOfFace(f);
    if (rec->frame && rec->frame->exHidden) flags |= kFaceExHidden;

    const uint32_t a = face.v[0], b = face.v[1], c = face.v[2];
    if (a == b || b == c || a == c) {
      faceFlags[static_cast<size_t>(f)] = flags | 0x67;
      continue;
    }
    const Point3& P = camVerts[a];
    const Point3& Q = camVerts[b];
    const Point3& R = camVerts[c];
    const int n = (P.z > v.nearLimit) + (Q.z > v.nearLimit) + (R.z > v.nearLimit);
    flags |= static_cast<uint8_t>(n);
    if (n == 3 || (P.z < v.farLimit && Q.z < v.farLimit && R.z < v.farLimit)) flags |= 0x63;
    if (P == Q || Q == R || P == R) flags |= 0x63;
    // Faces are counter-clockwise seen from their front: the front normal
    // points towards the eye.
    const Point3 normal = CrossProd(Q - P, R - P);
    bool back = v.Parallel() ? normal.z <= 0.0f : DotProd(P, normal) >= 0.0f;
    if (negativeParity) back = !back;
    if (back) flags |= kFaceBack;
    if (back && !twoSided) {
      flags |= 0x60;
    } else if (n == 0 || v.Parallel()) {
      const Point2 s[3] = {screenVerts[a], screenVerts[b], screenVerts[c]};
      if (screenEdgesCollinear(s, v.Parallel() ? 1e-4f : 1e-6f)) {
        flags |= 0x63;
      } else {
        for (int j = 0; j < 3; ++j) {
          Point2 d = s[(j + 1) % 3] - s[j];
          if (std::fabs(d.x) <= 1e-6f && std::fabs(d.y) <= 1e-6f) flags |= kFaceNoHide;
        }
      }
    }
    faceFlags[static_cast<size_t>(f)] = flags;
  }
  builtOk[0] = true;
  return true;
}

bool DetectAndISectInstance::BuildScreenVerts() {
  if (built[1]) return builtOk[1];
  built[1] = true;
  if (Empty()) return false;
  screenVerts.resize(camVerts.size());
  for (size_t i = 0; i < camVerts.size(); ++i) screenVerts[i] = view->Project(camVerts[i]);
  builtOk[1] = true;
  return true;
}

bool DetectAndISectInstance::BuildOccluders() {
  if (built[2]) return builtOk[2];
  built[2] = true;
  if (!BuildFaceFlags()) return false;
  const float nearLimit = view->nearLimit;
  const int nf = mesh->getNumFaces();
  occluderFaces.clear();
  occluderClusters.clear();
  occluderBoxes.clear();
  occluderBox = Box3();
  for (int f = 0; f < nf; ++f) {
    if (faceFlags[static_cast<size_t>(f)] & kFaceNoHide) continue;
    const Face& face = mesh->faces[static_cast<size_t>(f)];
    // The face's polygon cut at the near limit.
    Point3 poly[4];
    int count = 0;
    for (int j = 0; j < 3; ++j) {
      const Point3& p = camVerts[face.v[j]];
      const Point3& q = camVerts[face.v[(j + 1) % 3]];
      const bool pIn = p.z <= nearLimit, qIn = q.z <= nearLimit;
      if (pIn) poly[count++] = p;
      if (pIn != qIn && count < 4) poly[count++] = p + (q - p) * ((nearLimit - p.z) / (q.z - p.z));
    }
    if (count < 3) continue;
    if (occluderFaces.size() % kClusterSize == 0) {
      occluderClusters.push_back({static_cast<int>(occluderFaces.size()), 0, Box3(), Box2()});
    }
    OccluderCluster& cl = occluderClusters.back();
    occluderFaces.push_back(f);
    Box3 faceBox;
    for (uint32_t v : face.v) faceBox += camVerts[v];
    occluderBoxes.push_back(faceBox);
    occluderBox += faceBox;
    ++cl.faceCount;
    for (int j = 0; j < count; ++j) {
      cl.camBox += poly[j];
      cl.screenBox += view->Project(poly[j]);
    }
  }
  builtOk[2] = true;
  return true;
}

void DetectAndISectInstance::ReleaseDetectionData() {
  faceFlags = {};
  screenVerts = {};
  camVerts = {};
  occluderClusters = {};
  occluderFaces = {};
  occluderBoxes = {};
  for (bool& b : built) b = false;
  for (bool& b : builtOk) b = false;
  slotRecords.clear();
  extraRecords.clear();
  defaultRecord = LineSetRecord();
}

}  // namespace tarnis
