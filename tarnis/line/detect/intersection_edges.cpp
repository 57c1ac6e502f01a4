#include "tarnis/line/detect/intersection_edges.h"

#include <tbb/blocked_range.h>
#include <tbb/combinable.h>
#include <tbb/parallel_for.h>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace tarnis {

std::vector<std::pair<int, int>> IntersectionPairs(
    const std::vector<DetectAndISectInstance>& instances) {
  std::vector<int> order;
  for (size_t i = 0; i < instances.size(); ++i) {
    if (!instances[i].Empty() && !instances[i].worldBox.IsEmpty())
      order.push_back(static_cast<int>(i));
  }
  std::sort(order.begin(), order.end(), [&](int x, int y) {
    float ax = instances[static_cast<size_t>(x)].worldBox.pmin.x;
    float bx = instances[static_cast<size_t>(y)].worldBox.pmin.x;
    return ax < bx || (ax == bx && x < y);
  });
  std::vector<std::pair<int, int>> pairs;
  for (size_t k = 0; k < order.size(); ++k) {
    const int i = order[k];
    const DetectAndISectInstance& a = instances[static_cast<size_t>(i)];
    if (a.needsIntersections) pairs.emplace_back(i, i);
    for (size_t m = k + 1; m < order.size(); ++m) {
      const int j = order[m];
      const DetectAndISectInstance& b = instances[static_cast<size_t>(j)];
      if (b.worldBox.pmin.x > a.worldBox.pmax.x) break;
      if (!(a.needsIntersections || b.needsIntersections)) continue;
      if (!a.worldBox.Intersects(b.worldBox)) continue;
      pairs.emplace_back(std::min(i, j), std::max(i, j));
    }
  }
  std::sort(pairs.begin(), pairs.end());
  return pairs;
}

namespace {

bool samePosition(const Point3& p, const Point3 t[3]) {
  return p == t[0] || p == t[1] || p == t[2];
}

// Edges of `e` crossing the plane of `t` inside `t`, appended to pts. Bit j
// of `onT` may mark corner j of `e` as known to sit on a corner of `t`.
void crossEdges(const Point3 e[3], const Point3 t[3], unsigned onT, Point3* pts, int* count) {
  const double ux = t[1].x - t[0].x, uy = t[1].y - t[0].y, uz = t[1].z - t[0].z;
  const double vx = t[2].x - t[0].x, vy = t[2].y - t[0].y, vz = t[2].z - t[0].z;
  const double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
  double d[3];
  for (int j = 0; j < 3; ++j) {
    const Point3& p = e[j];
    d[j] = nx * (p.x - t[0].x) + ny * (p.y - t[0].y) + nz * (p.z - t[0].z);
  }
  // Nothing to do unless an edge with neither end on a corner of `t` has its
  // ends on both sides of the plane.
  bool straddles = false;
  for (int j = 0; j < 3; ++j) {
    const int k = (j + 1) % 3;
    if (!((onT >> j) & 1u) && !((onT >> k) & 1u) && (d[j] > 0.0) != (d[k] > 0.0)) straddles = true;
  }
  if (!straddles) return;
  for (int j = 0; j < 3 && *count < 2; ++j) {
    const Point3& p = e[j];
    const Point3& q = e[(j + 1) % 3];
    const double dp = d[j], dq = d[(j + 1) % 3];
    if ((dp > 0.0) == (dq > 0.0)) continue;
    if ((((onT >> j) | (onT >> (j + 1) % 3)) & 1u) || samePosition(p, t) || samePosition(q, t))
      continue;
    const double s = dp / (dp - dq);
    const double x = p.x + (q.x - p.x) * s, y = p.y + (q.y - p.y) * s, z = p.z + (q.z - p.z) * s;
    bool inside = true;
    for (int k = 0; k < 3 && inside; ++k) {
      const Point3& a = t[k];
      const Point3& b = t[(k + 1) % 3];
      const double ex = b.x - a.x, ey = b.y - a.y, ez = b.z - a.z;
      const double wx = x - a.x, wy = y - a.y, wz = z - a.z;
      const double cx = ey * wz - ez * wy, cy = ez * wx - ex * wz, cz = ex * wy - ey * wx;
      inside = cx * nx + cy * ny + cz * nz >= 0.0;
    }
    if (inside) {
      pts[(*count)++] = Point3(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
    }
  }
}

struct TriRef;

// A cluster's box covers its faces cut at the near limit; faces that reach
// nearer than that are checked one by one.
bool clusterFacesMeet(const DetectAndISectInstance& inst, const OccluderCluster& cl,
                      const Box3& region) {
  for (int k = cl.firstFace; k < cl.firstFace + cl.faceCount; ++k) {
    const int f = inst.occluderFaces[static_cast<size_t>(k)];
    if ((inst.faceFlags[static_cast<size_t>(f)] & kFaceNearMask) &&
        inst.occluderBoxes[static_cast<size_t>(k)].Intersects(region)) {
      return true;
    }
  }
  return false;
}

struct TriRef {
  int pos;  // position among the instance's usable faces
  Box3 box;
};

// The usable faces of `inst` whose boxes meet `region`, found cluster by cluster.
std::vector<TriRef> usableTriangles(const DetectAndISectInstance& inst, const Box3& region) {
  std::vector<TriRef> tris;
  for (const OccluderCluster& cl : inst.occluderClusters) {
    if (!cl.camBox.Intersects(region) && !clusterFacesMeet(inst, cl, region)) continue;
    for (int k = cl.firstFace; k < cl.firstFace + cl.faceCount; ++k) {
      const Box3& box = inst.occluderBoxes[static_cast<size_t>(k)];
      if (box.Intersects(region)) tris.push_back({k, box});
    }
  }
  return tris;
}

const Face& usableFace(const DetectAndISectInstance& inst, int pos) {
  return inst.mesh->faces[static_cast<size_t>(inst.occluderFaces[static_cast<size_t>(pos)])];
}

void corners(const DetectAndISectInstance& inst, const Face& f, Point3 out[3]) {
  for (int j = 0; j < 3; ++j) out[j] = inst.camVerts[f.v[j]];
}

// Bit j set when corner j of f is also a corner of g.
unsigned cornersOn(const Face& f, const Face& g) {
  unsigned mask = 0;
  for (int j = 0; j < 3; ++j) {
    if (f.v[j] == g.v[0] || f.v[j] == g.v[1] || f.v[j] == g.v[2]) mask |= 1u << j;
  }
  return mask;
}

// Box3::Intersects for boxes that are not empty.
bool boxesMeet(const Box3& a, const Box3& b) {
  return a.pmin.x <= b.pmax.x && b.pmin.x <= a.pmax.x && a.pmin.y <= b.pmax.y &&
         b.pmin.y <= a.pmax.y && a.pmin.z <= b.pmax.z && b.pmin.z <= a.pmax.z;
}

uint64_t serialOrder(int posA, int posB) {
  const uint64_t ca = static_cast<uint64_t>(posA) / DetectAndISectInstance::kClusterSize;
  const uint64_t cb = static_cast<uint64_t>(posB) / DetectAndISectInstance::kClusterSize;
  // Cluster indices and positions each fit in 16 + 16 bits of a sort key
  // only for small meshes, so the key is (ca, cb) and ties break on faces.
  return (ca << 32) | cb;
}

Box3 overlap(const Box3& a, const Box3& b) {
  Box3 r;
  r.pmin = Point3(std::max(a.pmin.x, b.pmin.x), std::max(a.pmin.y, b.pmin.y),
                  std::max(a.pmin.z, b.pmin.z));
  r.pmax = Point3(std::min(a.pmax.x, b.pmax.x), std::min(a.pmax.y, b.pmax.y),
                  std::min(a.pmax.z, b.pmax.z));
  return r;
}

// A uniform grid over `region` holding triangles of one side.
class TriangleGrid {
 public:
  TriangleGrid(const Box3& region, const std::vector<TriRef>& tris) : region_(region) {
    // Cells about twice the size of a face: a dense smooth mesh has many
    // small faces in a large box, and cells sized for the box alone would
    // each hold dozens of faces that are tested against each other. A cell
    // is never larger than one face's share of the box, and there are never
    // more than two cells a face.
    const double count = std::max<double>(1.0, static_cast<double>(tris.size()));
    const Point3 ext = region.pmax - region.pmin;
    const double vol = std::max(1e-30, static_cast<double>(ext.x) * ext.y * ext.z);
    double meanExtent = 0.0;
    for (const TriRef& t : tris) {
      const Point3 e = t.box.pmax - t.box.pmin;
      meanExtent += std::max({e.x, e.y, e.z});
    }
    meanExtent /= count;
    const double side = std::max(std::cbrt(vol / std::min(2.0 * count, 4.0e6)),
                                 std::min(2.0 * meanExtent, std::cbrt(vol / std::min(count, 2.0e6))));
    const float e[3] = {ext.x, ext.y, ext.z};
    for (int k = 0; k < 3; ++k) {
      n_[k] = side > 0.0 ? std::clamp(static_cast<int>(e[k] / side) + 1, 1, 256) : 1;
      inv_[k] = e[k] > 0.0f ? static_cast<float>(n_[k]) / e[k] : 0.0f;
    }
    start_.assign(static_cast<size_t>(n_[0]) * n_[1] * n_[2] + 1, 0);
    for (const TriRef& t : tris) forCells(t.box, [&](size_t c) { ++start_[c + 1]; });
    std::partial_sum(start_.begin(), start_.end(), start_.begin());
    items_.resize(start_.back());
    // Filling moves each cell's start to the next cell's; shifting back
    // restores them.
    for (const TriRef& t : tris) forCells(t.box, [&](size_t c) { items_[start_[c]++] = t; });
    std::copy_backward(start_.begin(), start_.end() - 2, start_.end() - 1);
    start_[0] = 0;
  }
  int Cell(float v, int k) const {
    const float lo = k == 0 ? region_.pmin.x : k == 1 ? region_.pmin.y : region_.pmin.z;
    return std::clamp(static_cast<int>((v - lo) * inv_[k]), 0, n_[k] - 1);
  }
  size_t Index(int x, int y, int z) const {
    return (static_cast<size_t>(z) * n_[1] + y) * n_[0] + x;
  }
  template <class F>
  void forCells(const Box3& b, F&& f) const {
    const int x0 = Cell(b.pmin.x, 0), x1 = Cell(b.pmax.x, 0);
    const int y0 = Cell(b.pmin.y, 1), y1 = Cell(b.pmax.y, 1);
    const int z0 = Cell(b.pmin.z, 2), z1 = Cell(b.pmax.z, 2);
    for (int z = z0; z <= z1; ++z)
      for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) f(Index(x, y, z));
  }
  // The faces of cell c, copied in so that a cell reads as one run of
  // memory, in the order they were given.
  const TriRef* Begin(size_t c) const { return items_.data() + start_[c]; }
  const TriRef* End(size_t c) const { return items_.data() + start_[c + 1]; }

 private:
  Box3 region_;
  int n_[3] = {1, 1, 1};
  float inv_[3] = {0, 0, 0};
  std::vector<uint32_t> start_;
  std::vector<TriRef> items_;
};

}  // namespace

namespace {

// TriangleCrossing with the corners of each face known to sit on a corner of
// the other marked (bit j for corner j).
bool crossing(const Point3 a[3], const Point3 b[3], unsigned aOnB, unsigned bOnA, Point3* p0,
              Point3* p1) {
  Point3 pts[2];
  int count = 0;
  crossEdges(a, b, aOnB, pts, &count);
  crossEdges(b, a, bOnA, pts, &count);
  if (count < 2 || pts[0] == pts[1]) return false;
  *p0 = pts[0];
  *p1 = pts[1];
  return true;
}

}  // namespace

bool TriangleCrossing(const Point3 a[3], const Point3 b[3], Point3* p0, Point3* p1) {
  return crossing(a, b, 0u, 0u, p0, p1);
}

std::vector<FaceCrossing> FindCrossings(const DetectAndISectInstance& a,
                                        const DetectAndISectInstance& b, bool parallel) {
  const bool self = &a == &b;
  const Box3 region = overlap(a.occluderBox, b.occluderBox);
  if (region.IsEmpty()) return {};
  const std::vector<TriRef> trisA = usableTriangles(a, region);
  std::vector<TriRef> ownB;
  if (!self) ownB = usableTriangles(b, region);
  const std::vector<TriRef>& trisB = self ? trisA : ownB;
  if (trisA.empty() || trisB.empty()) return {};

  // Tests two faces whose boxes meet.
  auto test = [&](const TriRef& ta, const TriRef& tb, std::vector<FaceCrossing>& out) {
    const Face& fa = usableFace(a, ta.pos);
    const Face& fb = usableFace(b, tb.pos);
    // Faces of one mesh that share corners: an edge touching a shared
    // corner is never crossed, so two shared corners leave nothing to test.
    const unsigned aOnB = self ? cornersOn(fa, fb) : 0u;
    if ((aOnB & (aOnB - 1)) != 0) return;  // two corners or more
    const unsigned bOnA = aOnB ? cornersOn(fb, fa) : 0u;
    Point3 pa[3], pb[3];
    corners(a, fa, pa);
    corners(b, fb, pb);
    FaceCrossing c;
    if (!crossing(pa, pb, aOnB, bOnA, &c.p0, &c.p1)) return;
    c.order = serialOrder(ta.pos, tb.pos);
    c.faceA = ta.pos;
    c.faceB = tb.pos;
    out.push_back(c);
  };

  std::vector<FaceCrossing> found;
  if (trisA.size() * trisB.size() <= 4096) {
    for (const TriRef& ta : trisA) {
      for (const TriRef& tb : trisB) {
        if ((self && ta.pos >= tb.pos) || !ta.box.Intersects(tb.box)) continue;
        test(ta, tb, found);
      }
    }
  } else {
    const TriangleGrid grid(region, trisB);
    auto scan = [&](size_t begin, size_t end, std::vector<FaceCrossing>& out) {
      for (size_t i = begin; i < end; ++i) {
        const TriRef& ta = trisA[i];
        grid.forCells(ta.box, [&](size_t cell) {
          // A cell lists its faces by position; within one mesh only the
          // later faces of a pair test it, so the scan runs from the back.
          for (const TriRef* it = grid.End(cell); it != grid.Begin(cell);) {
            const TriRef& tb = *--it;
            if (self && tb.pos <= ta.pos) break;
            if (!boxesMeet(ta.box, tb.box)) continue;
            // Test each pair once: in the cell that holds the low corner of the boxes' overlap.
            const Point3 lo(std::max(ta.box.pmin.x, tb.box.pmin.x),
                            std::max(ta.box.pmin.y, tb.box.pmin.y),
                            std::max(ta.box.pmin.z, tb.box.pmin.z));
            if (grid.Index(grid.Cell(lo.x, 0), grid.Cell(lo.y, 1), grid.Cell(lo.z, 2)) != cell)
              continue;
            test(ta, tb, out);
          }
        });
      }
    };
    if (parallel) {
      tbb::combinable<std::vector<FaceCrossing>> parts;
      tbb::parallel_for(
          tbb::blocked_range<size_t>(0, trisA.size(), 1024),
          [&](const tbb::blocked_range<size_t>& r) { scan(r.begin(), r.end(), parts.local()); });
      parts.combine_each([&](const std::vector<FaceCrossing>& p) {
        found.insert(found.end(), p.begin(), p.end());
      });
    } else {
      scan(0, trisA.size(), found);
    }
  }
  std::sort(found.begin(), found.end(), [](const FaceCrossing& x, const FaceCrossing& y) {
    if (x.order != y.order) return x.order < y.order;
    if (x.faceA != y.faceA) return x.faceA < y.faceA;
    return x.faceB < y.faceB;
  });
  for (FaceCrossing& c : found) {
    c.faceA = a.occluderFaces[static_cast<size_t>(c.faceA)];
    c.faceB = b.occluderFaces[static_cast<size_t>(c.faceB)];
  }
  return found;
}

void SampleCrossings(const DetectAndISectInstance& a, const DetectAndISectInstance& b,
                     const std::vector<FaceCrossing>& crossings, size_t begin, size_t end,
                     const EdgeVisibility& sampler, DetectionBatch& out) {
  for (size_t k = begin; k < end; ++k) {
    const FaceCrossing& x = crossings[k];
    ++out.edgesVisited;
    const LineSetRecord* ra = a.RecordOfFace(x.faceA);
    const LineSetRecord* rb = b.RecordOfFace(x.faceB);
    const bool useB = !ra->lineSet || (rb->lineSet && rb->Priority() > ra->Priority());
    const LineSetRecord* rec = useB ? rb : ra;
    if (!rec->lineSet || !sampler.Wanted(*rec, kFlagIntersection)) continue;
    CandidateEdge c;
    c.c0 = x.p0;
    c.c1 = x.p1;
    c.owner = useB ? &b : &a;
    c.face = useB ? x.faceB : x.faceA;
    c.exempt[0] = {a.index, x.faceA};
    c.exempt[1] = {b.index, x.faceB};
    c.record = rec;
    c.flags = kFlagIntersection;
    sampler.Sample(c, out);
  }
}

}  // namespace tarnis
