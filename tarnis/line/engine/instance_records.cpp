#include "tarnis/line/engine/instance_records.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "sdk/inode.h"
#include "sdk/mtl.h"
#include "tarnis/line/effect/line_set.h"

namespace tarnis {

namespace {

constexpr int kMaxMaterialDepth = 16;

// The first set listing the node (or the group it belongs to), or null.
const LineSetFrame* setOfNode(const LineSetLookup& lookup, INode* node) {
  INode* member = MembershipNode(node);
  if (!member) return nullptr;
  auto it = lookup.nodeSet.find(member);
  return it == lookup.nodeSet.end() ? nullptr : &lookup.sets[static_cast<size_t>(it->second)];
}

// The first set listing the material, or null.
const LineSetFrame* setOfMaterial(const LineSetLookup& lookup, Mtl* mtl) {
  if (!mtl) return nullptr;
  auto it = lookup.mtlSet.find(mtl);
  return it == lookup.mtlSet.end() ? nullptr : &lookup.sets[static_cast<size_t>(it->second)];
}

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
  const LineSetFrame* best = setOfMaterial(sets, mtl);
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
  const LineSetFrame* objectSet = setOfNode(sets, ri->GetINode());
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

}  // namespace tarnis
