#include "tarnis/line/chain/edge_chaining.h"

#include <tbb/parallel_for.h>

#include <algorithm>
#include <cmath>
#include <new>

#include "sdk/angles.h"
#include "tarnis/line/chain/edge_chain_combine.h"
#include "tarnis/line/chain/edge_chain_link.h"
#include "tarnis/line/frame/line_job.h"
#include "tarnis/line/frame/line_progress.h"
#include "tarnis/resources/string_ids.h"

namespace tarnis {

namespace {

// The cached values of each process: [begin, end) of LineJob::linkParams.
constexpr size_t kLinkBegin = 0, kLinkEnd = 2, kCombineBegin = 2, kCombineEnd = 8;

bool sameValues(const std::array<float, 8>& a, const std::array<float, 8>& b, size_t begin,
                size_t end) {
  return std::equal(a.begin() + static_cast<std::ptrdiff_t>(begin),
                    a.begin() + static_cast<std::ptrdiff_t>(end),
                    b.begin() + static_cast<std::ptrdiff_t>(begin));
}

void setValues(std::array<float, 8>& to, const std::array<float, 8>& from, size_t begin,
               size_t end) {
  std::copy(from.begin() + static_cast<std::ptrdiff_t>(begin),
            from.begin() + static_cast<std::ptrdiff_t>(end),
            to.begin() + static_cast<std::ptrdiff_t>(begin));
}

void invalidate(std::array<float, 8>& values, size_t begin, size_t end) {
  std::fill(values.begin() + static_cast<std::ptrdiff_t>(begin),
            values.begin() + static_cast<std::ptrdiff_t>(end), kInvalidLinkParam);
}

void setTitle(const LinkContext& ctx, int text) {
  if (!ctx.abort) return;
  ctx.abort->SetTitle(
      ProgressTitle(text, ctx.jobNumber, std::max(ctx.jobNumber, ctx.jobCount)).c_str());
}

// The first process over all groups into job.links. False when aborted.
bool linkGroups(LineJob& job, const LinkContext& ctx, const LinkParams& params) {
  const SegmentPool& segments = *ctx.segments;
  const std::vector<std::vector<EdgePiece>> groups = GroupPieces(job, segments, params.combine);
  double pieces = 0.0, pairs = 0.0;
  for (const auto& group : groups) {
    const double n = static_cast<double>(group.size());
    pieces += n;
    pairs += n * (n - 1.0) / 2.0;
  }
  LinkProgress progress(ctx.abort, pairs * kPairWork + pieces * kPieceWork);
  setTitle(ctx, kStrLinkingEdges1);
  const bool parallel = ctx.view->Parallel();
  if (groups.size() == 1) {
    std::vector<PieceRecord> records = SortedPieceRecords(groups[0], segments, parallel);
    if (!LinkPieceEnds(records, params.limitCos, progress)) return false;
    job.links.groups.push_back(WalkChains(records));
    return true;
  }
  // Groups link independently: a wave of them at a time in parallel, each
  // into its own slot, with the abort check and progress between waves.
  job.links.groups.resize(groups.size());
  constexpr size_t kWave = 256;
  for (size_t w = 0; w < groups.size(); w += kWave) {
    const size_t end = std::min(groups.size(), w + kWave);
    tbb::parallel_for(w, end, [&](size_t g) {
      LinkProgress quiet(nullptr, 0.0);
      std::vector<PieceRecord> records = SortedPieceRecords(groups[g], segments, parallel);
      LinkPieceEnds(records, params.limitCos, quiet);
      job.links.groups[g] = WalkChains(records);
    });
    double work = 0.0;
    for (size_t g = w; g < end; ++g) {
      const double n = static_cast<double>(groups[g].size());
      work += n * (n - 1.0) / 2.0 * kPairWork + n * kPieceWork;
    }
    if (progress.Add(work) || progress.Check()) return false;
  }
  return true;
}

// The second process over the cached chains into job.strokes.
bool combineGroups(LineJob& job, const LinkContext& ctx, const LinkParams& params) {
  CheckAbortCallback* abort = ctx.abort;
  setTitle(ctx, kStrLinkingEdges2);
  int total = 0;
  for (const auto& group : job.links.groups) total += static_cast<int>(group.size());
  int done = 0;
  const ChainCombiner combiner(*ctx.segments, *ctx.view, params);
  const auto& groups = job.links.groups;
  if (groups.size() == 1) return combiner.Run(groups[0], job.strokes, abort, done, total);
  // Groups combine independently: in parallel, each into its own list, then
  // appended in group order.
  constexpr size_t kWave = 1024;
  for (size_t w = 0; w < groups.size(); w += kWave) {
    const size_t end = std::min(groups.size(), w + kWave);
    std::vector<std::vector<LineChain>> out(end - w);
    tbb::parallel_for(w, end, [&](size_t g) {
      int quietDone = 0;
      combiner.Run(groups[g], out[g - w], nullptr, quietDone, total);
    });
    for (auto& o : out) {
      done += static_cast<int>(groups[&o - out.data() + w].size());
      job.strokes.insert(job.strokes.end(), std::make_move_iterator(o.begin()),
                         std::make_move_iterator(o.end()));
    }
    if (abort) {
      if (abort->Check()) return false;
      abort->Progress(done, std::max(total, 1));
    }
  }
  return true;
}

}  // namespace

LinkParams MakeLinkParams(const BrushStrokeValues& stroke, const LineDrawOptions& options,
                          bool combine) {
  LinkParams p;
  p.limitCos = std::cos(stroke.limitAngle * kDegToRad);
  p.combine = combine;
  p.combineLength = stroke.combineLength * options.sizeScale;
  const float a = stroke.directionAngle * kDegToRad;
  p.direction = Point2(std::cos(a), std::sin(a));
  if (options.mirror) p.direction.x = -p.direction.x;
  // The perpendicular follows the (possibly mirrored) direction so that the
  // two stay a square frame.
  p.across = Point2(p.direction.y, -p.direction.x);
  p.loopDirection = stroke.loopDirection != 0 ? 1 : 0;
  if (options.mirror) p.loopDirection = 1 - p.loopDirection;
  return p;
}

std::vector<std::vector<EdgePiece>> GroupPieces(const LineJob& job, const SegmentPool& segments,
                                                bool combine) {
  std::vector<std::pair<int, EdgePiece>> all;
  all.reserve(job.PieceCount());
  for (const EdgeContainer& container : job.edges) {
    for (const EdgePiece& p : container) {
      const int instance = combine ? 0 : segments[SegmentIndex(p.segment)].instance;
      all.push_back({instance, p});
    }
  }
  std::stable_sort(all.begin(), all.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::vector<EdgePiece>> groups;
  for (size_t i = 0; i < all.size(); ++i) {
    if (i == 0 || all[i].first != all[i - 1].first) groups.emplace_back();
    groups.back().push_back(all[i].second);
  }
  return groups;
}

bool LinkJob(LineJob& job, const LinkContext& ctx) {
  const LinkParams& params = job.link;
  const std::array<float, 8> wanted = params.CacheValues();
  const bool reuse = ctx.reuseLinks;
  const bool relink = !reuse || !sameValues(job.linkParams, wanted, kLinkBegin, kLinkEnd);
  const bool recombine = relink || !sameValues(job.linkParams, wanted, kCombineBegin, kCombineEnd);
  if (!recombine) return true;
  try {
    job.strokes.clear();
    invalidate(job.linkParams, kCombineBegin, kCombineEnd);
    if (relink) {
      invalidate(job.linkParams, kLinkBegin, kLinkEnd);
      job.links.groups.clear();
      if (!linkGroups(job, ctx, params)) {
        job.links.groups.clear();
        return false;
      }
      ++job.links.linkRuns;
      setValues(job.linkParams, wanted, kLinkBegin, kLinkEnd);
    }
    if (!combineGroups(job, ctx, params)) {
      // The linked chains are whole; only the second process starts over.
      job.strokes.clear();
      return false;
    }
    ++job.links.combineRuns;
    setValues(job.linkParams, wanted, kCombineBegin, kCombineEnd);
  } catch (const std::bad_alloc&) {
    // Out of memory: the strokes finished so far are drawn, and the next
    // call starts over.
    job.InvalidateLinks();
    job.links.groups.clear();
  }
  return true;
}

}  // namespace tarnis
