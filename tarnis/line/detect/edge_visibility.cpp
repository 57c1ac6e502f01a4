#include "tarnis/line/detect/edge_visibility.h"

#include <algorithm>
#include <cmath>

namespace tarnis {

bool MergeBatch(const DetectionBatch& batch, SegmentPool& pool,
                std::vector<SegmentMapping>& mappings) {
  for (const DetectionBatch::Segment& s : batch.segments) {
    EdgeSegment segment = s.segment;
    if (s.mapping >= 0) {
      segment.mapSample = static_cast<int>(mappings.size());
      mappings.push_back(batch.mappings[static_cast<size_t>(s.mapping)]);
    }
    uint32_t index = 0;
    if (!pool.Add(segment, &index)) return false;
    for (uint32_t k = s.filingBegin; k < s.filingEnd; ++k) {
      const DetectionBatch::Filing& f = batch.filings[k];
      FilePiece(*f.container, EdgePiece{MakeSegmentId(f.type, index), f.t0, f.t1});
    }
  }
  return true;
}

int EdgeVisibility::TargetCategory(const LineSetRecord& record, uint32_t flags, int vis) const {
  const LineDrawOptions& o = view_.options;
  if (flags & kFlagIntersection) {
    return record.containers[vis][kCategoryIntersection - 1] ? kCategoryIntersection : 0;
  }
  struct Choice {
    uint32_t flag;
    int category;
    bool disabled;
  };
  const Choice order[] = {{kFlagObject, kCategoryObject, o.disableObject},
                          {kFlagSmooth, kCategorySmooth, o.disableSmooth},
                          {kFlagMaterial, kCategoryMaterial, o.disableMaterial},
                          {kFlagNormal, kCategoryNormal, o.disableNormal}};
  for (const Choice& c : order) {
    if ((flags & c.flag) && record.containers[vis][c.category - 1] && !c.disabled)
      return c.category;
  }
  return 0;
}

namespace {

// Cuts the camera-space segment to nearLimit >= z >= farLimit; false when
// nothing is left.
bool clipDepth(Point3& a, Point3& b, float nearLimit, float farLimit) {
  auto cut = [](Point3& p, const Point3& q, float z) {
    p = p + (q - p) * ((z - p.z) / (q.z - p.z));
  };
  if (a.z > nearLimit && b.z > nearLimit) return false;
  if (a.z < farLimit && b.z < farLimit) return false;
  if (a.z > nearLimit) cut(a, b, nearLimit);
  if (b.z > nearLimit) cut(b, a, nearLimit);
  if (a.z < farLimit) cut(a, b, farLimit);
  if (b.z < farLimit) cut(b, a, farLimit);
  return true;
}

// Liang-Barsky: the parameter range of s0 + u (s1 - s0) inside the box.
bool clipToBox(const Point2& s0, const Point2& s1, const Box2& box, float* u0, float* u1) {
  float lo = 0.0f, hi = 1.0f;
  const float d[2] = {s1.x - s0.x, s1.y - s0.y};
  const float p0[2] = {s0.x, s0.y};
  const float mn[2] = {box.pmin.x, box.pmin.y}, mx[2] = {box.pmax.x, box.pmax.y};
  for (int k = 0; k < 2; ++k) {
    if (d[k] == 0.0f) {
      if (p0[k] < mn[k] || p0[k] > mx[k]) return false;
      continue;
    }
    float ta = (mn[k] - p0[k]) / d[k], tb = (mx[k] - p0[k]) / d[k];
    if (ta > tb) std::swap(ta, tb);
    lo = std::max(lo, ta);
    hi = std::min(hi, tb);
    if (lo > hi) return false;
  }
  *u0 = lo;
  *u1 = hi;
  return true;
}

// The camera-space parameter of screen parameter w between ends at depths za, zb.
inline float cameraParam(bool parallel, float w, float za, float zb) {
  if (parallel) return w;
  const float den = w * za + (1.0f - w) * zb;
  return den != 0.0f ? w * za / den : w;
}

enum SampleState : uint8_t { kDropped = 0, kVisible = 1, kHidden = 2 };

}  // namespace

void EdgeVisibility::Sample(const CandidateEdge& edge, DetectionBatch& out) const {
  Point3 a = edge.c0, b = edge.c1;
  if (!clipDepth(a, b, view_.nearLimit, view_.farLimit)) return;
  const Point2 sa = view_.Project(a), sb = view_.Project(b);
  if (sa == sb) return;
  float u0 = 0, u1 = 1;
  if (!clipToBox(sa, sb, view_.extent, &u0, &u1)) return;
  const bool parallel = view_.Parallel();
  const Point3 ca = a + (b - a) * cameraParam(parallel, u0, a.z, b.z);
  const Point3 cb = a + (b - a) * cameraParam(parallel, u1, a.z, b.z);
  const Point2 s0 = sa + (sb - sa) * u0, s1 = sa + (sb - sa) * u1;
  const Point2 delta = s1 - s0;
  const float length = delta.Length();
  if (!(length > 0.0f)) return;

  DetectionBatch::Segment seg;
  seg.segment.start = s0;
  seg.segment.direction = delta * (1.0f / length);
  seg.segment.length = length;
  seg.segment.z0 = ca.z;
  seg.segment.z1 = cb.z;
  seg.segment.instance = edge.owner->index;
  seg.segment.face = edge.face;
  seg.filingBegin = seg.filingEnd = static_cast<uint32_t>(out.filings.size());

  const LineSetRecord& record = *edge.record;
  const int target[2] = {TargetCategory(record, edge.flags, 0),
                         TargetCategory(record, edge.flags, 1)};
  const LineSetFrame* frame = record.frame;
  const bool outlineOnly[2] = {edge.probe && frame && frame->outlineOnly[0],
                               edge.probe && frame && frame->outlineOnly[1]};
  Point2 probeOffset;
  if (outlineOnly[0] || outlineOnly[1]) {
    Point2 n(-seg.segment.direction.y, seg.segment.direction.x);
    if (DotProd(edge.thirdVertex - s0, n) > 0.0f) n = n * -1.0f;
    probeOffset = n * 1e-4f;
  }
  const bool excluders = occluders_.HasExcluders();

  const int samples = 1 + static_cast<int>(1.5f * length);
  SampleState runState = kDropped;
  int runStart = 0;
  auto closeRun = [&](int end) {
    if (runState == kDropped) return;
    const int vis = runState == kVisible ? 0 : 1;
    if (target[vis] == 0) return;
    const float t0 = static_cast<float>(runStart) / static_cast<float>(samples);
    const float t1 = static_cast<float>(end) / static_cast<float>(samples);
    out.filings.push_back(
        {record.containers[vis][target[vis] - 1], SegmentTypeOfCategory(target[vis]), t0, t1});
  };
  for (int i = 0; i < samples; ++i) {
    const float w = (static_cast<float>(i) + 0.5f) / static_cast<float>(samples);
    const Point3 p = ca + (cb - ca) * cameraParam(parallel, w, ca.z, cb.z);
    SampleState state;
    if (view_.options.ClipsPoint(p)) {
      state = kDropped;
    } else if (!occluders_.Hidden(p, edge.exempt)) {
      state = kVisible;
    } else if (excluders && occluders_.HiddenByExcluder(p, edge.exempt, record.lineSet)) {
      state = kDropped;
    } else {
      state = kHidden;
    }
    if (state != kDropped && outlineOnly[state == kVisible ? 0 : 1]) {
      const Point2 s = s0 + delta * w + probeOffset;
      if (occluders_.Covered(s, edge.owner->index, edge.exempt)) state = kDropped;
    }
    if (state != runState) {
      closeRun(i);
      runState = state;
      runStart = i;
    }
  }
  closeRun(samples);
  seg.filingEnd = static_cast<uint32_t>(out.filings.size());
  if (frame && frame->needsMapping && edge.owner->channelCount > 0) {
    seg.mapping = static_cast<int>(out.mappings.size());
    out.mappings.push_back(ComputeSegmentMapping(*edge.owner, edge.face, ca, cb));
  }
  out.segments.push_back(seg);
}

// --- Mapping data --------------------------------------------------------------------

namespace {

// Barycentric coordinates of p on triangle (a, b, c), all in object space.
Point3 barycentric(const Point3& p, const Point3& a, const Point3& b, const Point3& c) {
  const Point3 v0 = b - a, v1 = c - a, v2 = p - a;
  const float d00 = DotProd(v0, v0), d01 = DotProd(v0, v1), d11 = DotProd(v1, v1);
  const float d20 = DotProd(v2, v0), d21 = DotProd(v2, v1);
  const float den = d00 * d11 - d01 * d01;
  if (den == 0.0f) return {1.0f, 0.0f, 0.0f};
  const float v = (d11 * d20 - d01 * d21) / den;
  const float w = (d00 * d21 - d01 * d20) / den;
  return {1.0f - v - w, v, w};
}

}  // namespace

SegmentMapping ComputeSegmentMapping(const DetectAndISectInstance& inst, int face, const Point3& c0,
                                     const Point3& c1) {
  SegmentMapping m;
  m.instance = inst.index;
  m.start.resize(static_cast<size_t>(inst.channelCount));
  m.end.resize(static_cast<size_t>(inst.channelCount));
  const Mesh& mesh = *inst.mesh;
  const Face& f = mesh.faces[static_cast<size_t>(face)];
  const Matrix3 normalToCam = inst.renderInstance->normalObjToCam;
  for (int endIndex = 0; endIndex < 2; ++endIndex) {
    const Point3& c = endIndex == 0 ? c0 : c1;
    auto& values = endIndex == 0 ? m.start : m.end;
    int corner = -1;
    for (int j = 0; j < 3; ++j) {
      if (inst.camVerts[f.v[j]] == c) corner = j;
    }
    Point3 bary;
    if (corner < 0) {
      bary = barycentric(c * inst.camToObj, mesh.verts[f.v[0]], mesh.verts[f.v[1]],
                         mesh.verts[f.v[2]]);
    }
    for (int ch = 0; ch <= UVWInstance::kNormalChannel; ++ch) {
      const int slot = inst.ChannelSlot(ch);
      if (slot < 0) continue;
      Point3 corners[3];
      if (ch == UVWInstance::kNormalChannel) {
        for (int j = 0; j < 3; ++j) {
          Point3 n = mesh.NormalsBuilt() ? mesh.CornerNormal(face, j) : mesh.FaceNormal(face);
          corners[j] = Normalize(VectorTransform(normalToCam, n));
        }
      } else {
        const MeshMap& map = mesh.Map(ch);
        const TVFace& tf = map.tf[static_cast<size_t>(face)];
        for (int j = 0; j < 3; ++j) corners[j] = map.tv[tf.t[j]];
      }
      values[static_cast<size_t>(slot)] =
          corner >= 0 ? corners[corner]
                      : corners[0] * bary.x + corners[1] * bary.y + corners[2] * bary.z;
    }
  }
  return m;
}

}  // namespace tarnis
