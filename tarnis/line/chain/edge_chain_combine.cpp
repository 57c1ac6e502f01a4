#include "tarnis/line/chain/edge_chain_combine.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "tarnis/line/chain/edge_chain_link.h"

namespace tarnis {

namespace {

constexpr int kCheckInterval = 1024;                  // chains between abort checks
constexpr size_t kEndsPerCheck = 2 * kCheckInterval;  // two free ends a chain

int floorDiv(int a, int b) {
  const int q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// A free end of an open chain: 2 × chain + 0 for its start, + 1 for its end.
struct FreeEnd {
  Point2 point;
  float depth = 0.0f;
  Point2 direction;  // drawing direction of the piece at that end
  int ix = 0, iy = 0;
};

}  // namespace

void ReverseChain(LineChain& chain) {
  std::reverse(chain.pieces.begin(), chain.pieces.end());
  for (EdgePiece& p : chain.pieces) std::swap(p.t0, p.t1);
  std::swap(chain.start, chain.end);
  chain.along = -chain.along;
  chain.across = -chain.across;
}

void ChainCombiner::Measure(LineChain& chain) const {
  chain.along = chain.across = chain.length = 0.0f;
  const bool parallel = view_.Parallel();
  for (const EdgePiece& p : chain.pieces) {
    const PieceGeometry g = GeometryOf(p, segments_, parallel);
    chain.along += g.length * DotProd(g.direction, params_.direction);
    chain.across += g.length * DotProd(g.direction, params_.across);
    chain.length += g.length;
  }
  if (chain.pieces.empty()) return;
  chain.start = GeometryOf(chain.pieces.front(), segments_, parallel).a;
  chain.end = GeometryOf(chain.pieces.back(), segments_, parallel).b;
}

bool ChainCombiner::LooksClosed(const LineChain& chain) const {
  const float half = 0.5f * chain.length;
  const float reach = params_.combineLength;
  return chain.pieces.size() > 1 && chain.length > 5.0f && std::fabs(chain.along) < half &&
         std::fabs(chain.across) < half &&
         (chain.end - chain.start).LengthSquared() <= reach * reach;
}

Point3 ChainCombiner::CameraPoint(const Point2& s, float z) const {
  if (view_.Parallel()) return view_.ParallelPoint(s, z);
  return view_.EyeDirection(s) * -z;
}

std::vector<int> ChainCombiner::MatchEnds(const std::vector<LineChain>& chains,
                                          CheckAbortCallback* abort, bool* aborted) const {
  const int n = static_cast<int>(chains.size());
  std::vector<int> match(static_cast<size_t>(2 * n), -1);
  const float reach = params_.combineLength;
  // Without a combine length nothing is bridged, not even ends that touch:
  // those the first process left apart stay apart.
  if (!(reach > 0.0f)) return match;
  const int cell = static_cast<int>(std::min(reach, 1e8f)) + 1;
  const bool parallel = view_.Parallel();
  std::vector<FreeEnd> ends(static_cast<size_t>(2 * n));
  std::vector<std::pair<uint64_t, int>> grid;
  for (int c = 0; c < n; ++c) {
    const LineChain& chain = chains[static_cast<size_t>(c)];
    if (chain.closed || chain.pieces.empty()) continue;
    const PieceGeometry first = GeometryOf(chain.pieces.front(), segments_, parallel);
    const PieceGeometry last = GeometryOf(chain.pieces.back(), segments_, parallel);
    ends[static_cast<size_t>(2 * c)] = {first.a, first.za, first.direction, 0, 0};
    ends[static_cast<size_t>(2 * c + 1)] = {last.b, last.zb, last.direction, 0, 0};
    for (int e = 2 * c; e <= 2 * c + 1; ++e) {
      FreeEnd& f = ends[static_cast<size_t>(e)];
      f.ix = RoundAwayFromZero(f.point.x);
      f.iy = RoundAwayFromZero(f.point.y);
      grid.push_back({GridCellKey(floorDiv(f.ix, cell), floorDiv(f.iy, cell)), e});
    }
  }
  std::sort(grid.begin(), grid.end());

  std::vector<int> best(static_cast<size_t>(2 * n), -1);
  for (size_t g = 0; g < grid.size(); ++g) {
    const int i = grid[g].second;
    if (g % kEndsPerCheck == kEndsPerCheck - 1 && abort && abort->Check()) {
      *aborted = true;
      return match;
    }
    const FreeEnd& a = ends[static_cast<size_t>(i)];
    const Point3 ca = CameraPoint(a.point, a.depth);
    float bestCost = std::numeric_limits<float>::infinity();
    int& chosen = best[static_cast<size_t>(i)];
    const int cx = floorDiv(a.ix, cell), cy = floorDiv(a.iy, cell);
    for (int dx = -1; dx <= 1; ++dx) {
      for (int dy = -1; dy <= 1; ++dy) {
        const uint64_t key = GridCellKey(cx + dx, cy + dy);
        auto it = std::lower_bound(grid.begin(), grid.end(), std::pair<uint64_t, int>(key, -1));
        for (; it != grid.end() && it->first == key; ++it) {
          const int j = it->second;
          if (j / 2 == i / 2) continue;
          const FreeEnd& b = ends[static_cast<size_t>(j)];
          if (std::abs(a.ix - b.ix) > cell || std::abs(a.iy - b.iy) > cell) continue;
          const float d2 = (a.point - b.point).LengthSquared();
          if (d2 > reach * reach) continue;
          const float aligned = DotProd(a.direction, b.direction);
          const float score = (i & 1) == (j & 1) ? -aligned : aligned;
          if (!(score >= params_.limitCos)) continue;
          // Touching ends prefer the best-aligned partner, others the
          // nearest one in space.
          const bool touching =
              d2 <= kTouchDistance2 && std::fabs(a.depth - b.depth) <= kTouchDepth;
          const float cost =
              touching ? -score : (CameraPoint(b.point, b.depth) - ca).LengthSquared();
          if (cost < bestCost || (cost == bestCost && j < chosen)) {
            bestCost = cost;
            chosen = j;
          }
        }
      }
    }
  }
  for (int i = 0; i < 2 * n; ++i) {
    const int j = best[static_cast<size_t>(i)];
    if (j >= 0 && best[static_cast<size_t>(j)] == i) match[static_cast<size_t>(i)] = j;
  }
  return match;
}

LineChain ChainCombiner::Splice(std::vector<LineChain>& chains, int first,
                                const std::vector<int>& match, std::vector<char>& absorbed) const {
  absorbed[static_cast<size_t>(first)] = 1;
  // Chains joined before the start, nearest first, and after the end.
  std::vector<LineChain*> before, after;
  for (int side = 0; side < 2; ++side) {
    int m = match[static_cast<size_t>(2 * first + side)];
    while (m >= 0 && !absorbed[static_cast<size_t>(m / 2)]) {
      const int k = m / 2, end = m % 2;
      absorbed[static_cast<size_t>(k)] = 1;
      LineChain& part = chains[static_cast<size_t>(k)];
      // A part joined before the start must end where it meets, one joined
      // after the end must start there.
      if (end == side) ReverseChain(part);
      (side == 0 ? before : after).push_back(&part);
      m = match[static_cast<size_t>(2 * k + (1 - end))];
    }
  }
  LineChain joined;
  std::vector<LineChain*> parts(before.rbegin(), before.rend());
  parts.push_back(&chains[static_cast<size_t>(first)]);
  parts.insert(parts.end(), after.begin(), after.end());
  size_t count = 0;
  for (const LineChain* part : parts) count += part->pieces.size();
  joined.pieces.reserve(count);
  for (const LineChain* part : parts) {
    joined.pieces.insert(joined.pieces.end(), part->pieces.begin(), part->pieces.end());
    joined.along += part->along;
    joined.across += part->across;
    joined.length += part->length;
  }
  joined.start = parts.front()->start;
  joined.end = parts.back()->end;
  joined.closed = LooksClosed(joined);
  return joined;
}

bool ChainCombiner::Run(std::vector<LineChain> chains, std::vector<LineChain>& out,
                        CheckAbortCallback* abort, int& chainsDone, int chainTotal) const {
  for (LineChain& chain : chains) {
    Measure(chain);
    if (!chain.closed && LooksClosed(chain)) chain.closed = true;
  }
  bool aborted = false;
  const std::vector<int> match = MatchEnds(chains, abort, &aborted);
  if (aborted) return false;
  std::vector<char> absorbed(chains.size(), 0);
  for (size_t k = 0; k < chains.size(); ++k) {
    if (chainsDone++ % kCheckInterval == 0 && abort) {
      abort->Progress(chainsDone, chainTotal);
      if (abort->Check()) return false;
    }
    if (absorbed[k]) continue;
    LineChain chain;
    if (match[2 * k] < 0 && match[2 * k + 1] < 0) {
      absorbed[k] = 1;
      chain = std::move(chains[k]);
      // Lone open strokes run the way the brush direction points.
      if (!chain.closed && chain.along < 0.0f) ReverseChain(chain);
    } else {
      chain = Splice(chains, static_cast<int>(k), match, absorbed);
    }
    if (chain.closed) OrientLoop(chain);
    out.push_back(std::move(chain));
  }
  return true;
}

void ChainCombiner::OrientLoop(LineChain& chain) const {
  if (chain.pieces.empty()) return;
  const bool parallel = view_.Parallel();
  std::vector<PieceGeometry> geometry;
  geometry.reserve(chain.pieces.size());
  Point2 lo(std::numeric_limits<float>::max(), std::numeric_limits<float>::max());
  Point2 hi = lo * -1.0f;
  for (const EdgePiece& p : chain.pieces) {
    geometry.push_back(GeometryOf(p, segments_, parallel));
    for (const Point2& q : {geometry.back().a, geometry.back().b}) {
      lo = Point2(std::min(lo.x, q.x), std::min(lo.y, q.y));
      hi = Point2(std::max(hi.x, q.x), std::max(hi.y, q.y));
    }
  }
  const Point2 centre = (lo + hi) * 0.5f;
  Point2 ray =
      Normalize(Point2(params_.direction.x * (hi.x - lo.x), params_.direction.y * (hi.y - lo.y)));
  if (ray == Point2()) ray = params_.direction;

  size_t start = geometry.size();
  float nearest = std::numeric_limits<float>::infinity();
  for (size_t k = 0; k < geometry.size(); ++k) {
    const Point2 e = geometry[k].b - geometry[k].a;
    const float den = CrossProd(ray, e);
    if (den == 0.0f) continue;
    const Point2 w = geometry[k].a - centre;
    const float s = CrossProd(w, e) / den;
    const float u = CrossProd(w, ray) / den;
    if (u >= 0.0f && u <= 1.0f && s >= 0.0f && s < nearest) {
      nearest = s;
      start = k;
    }
  }
  if (start == geometry.size()) {
    // A loop the ray misses starts at the piece lying furthest against it.
    float least = std::numeric_limits<float>::infinity();
    for (size_t k = 0; k < geometry.size(); ++k) {
      const float d = DotProd((geometry[k].a + geometry[k].b) * 0.5f - centre, ray);
      if (d < least) {
        least = d;
        start = k;
      }
    }
  }
  std::rotate(chain.pieces.begin(), chain.pieces.begin() + static_cast<std::ptrdiff_t>(start),
              chain.pieces.end());

  float area = 0.0f;
  for (const PieceGeometry& g : geometry) area += CrossProd(g.a - centre, g.b - centre);
  if ((area < 0.0f) != (params_.loopDirection != 0)) {
    ReverseChain(chain);
    // Reversing moved the start piece to the back; the loop still starts there.
    std::rotate(chain.pieces.begin(), chain.pieces.end() - 1, chain.pieces.end());
  }
  chain.start = GeometryOf(chain.pieces.front(), segments_, parallel).a;
  chain.end = GeometryOf(chain.pieces.back(), segments_, parallel).b;
}

}  // namespace tarnis
