#include "tarnis/line/detect/edge_detection.h"

#include <tbb/parallel_for.h>

#include <algorithm>
#include <chrono>
#include <memory>

#include "tarnis/line/detect/edge_visibility.h"
#include "tarnis/line/detect/instance_tables.h"
#include "tarnis/line/detect/intersection_edges.h"
#include "tarnis/line/detect/mesh_edges.h"
#include "tarnis/line/detect/occluder_scene.h"
#include "tarnis/line/frame/line_progress.h"
#include "tarnis/resources/string_ids.h"

namespace tarnis {

namespace {

// Adds the seconds from its construction to its end to a counter.
class StageTimer {
 public:
  explicit StageTimer(double& total) : total_(total), start_(std::chrono::steady_clock::now()) {}
  ~StageTimer() {
    total_ += std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  }

 private:
  double& total_;
  std::chrono::steady_clock::time_point start_;
};

constexpr size_t kEdgeChunk = 2048;     // mesh edges per task
constexpr size_t kChunksPerWave = 64;   // tasks between abort checks
constexpr size_t kBigPairFaces = 4096;  // pairs of two instances this large run alone
constexpr size_t kPairsPerWave = 512;   // other pairs between abort checks

// One detection run over a frame: the occluder scene is built on first
// need and kept for both kinds of edges.
class EdgeDetector {
 public:
  EdgeDetector(FrameGeometry& frame, CheckAbortCallback* abort, DetectionStats& stats)
      : frame_(frame),
        instances_(frame.instances),
        view_(frame.view),
        abort_(abort),
        stats_(stats) {}

  bool Run() {
    detectObjects();
    if (!aborted_ && !view_.options.disableIntersection) detectIntersections();
    occluders_.reset();
    for (DetectAndISectInstance& r : instances_) r.ReleaseDetectionData();
    return !aborted_;
  }

 private:
  bool checkAbort() {
    if (!aborted_ && abort_ && abort_->Check()) aborted_ = true;
    return aborted_;
  }
  bool buildOccluders();
  void detectObjects();
  void detectIntersections();

  FrameGeometry& frame_;
  std::vector<DetectAndISectInstance>& instances_;
  const FrameView& view_;
  CheckAbortCallback* abort_;
  DetectionStats& stats_;
  std::unique_ptr<OccluderScene> occluders_;
  bool aborted_ = false;
};

bool EdgeDetector::buildOccluders() {
  if (occluders_) return true;
  StageTimer timer(stats_.occluderSeconds);
  tbb::parallel_for(size_t{0}, instances_.size(), [&](size_t i) {
    if (!instances_[i].Empty()) BuildOccluders(instances_[i]);
  });
  occluders_ = std::make_unique<OccluderScene>();
  if (!occluders_->Build(instances_, view_)) {
    occluders_.reset();
    return false;
  }
  return true;
}

void EdgeDetector::detectObjects() {
  if (checkAbort() || !buildOccluders()) return;
  StageTimer timer(stats_.edgeSeconds);
  std::vector<int> todo;
  for (const DetectAndISectInstance& r : instances_) {
    if (!r.Empty() && r.needsEdges && r.HasOccluders()) todo.push_back(r.index);
  }
  std::vector<std::vector<MeshEdge>> edgeLists(todo.size());
  tbb::parallel_for(size_t{0}, todo.size(), [&](size_t k) {
    const DetectAndISectInstance& r = instances_[static_cast<size_t>(todo[k])];
    edgeLists[k] = BuildEdgeList(*r.mesh, r.faceFlags);
  });
  struct Item {
    size_t todoIndex, begin, end;
  };
  std::vector<Item> items;
  size_t totalEdges = 0;
  for (size_t k = 0; k < todo.size(); ++k) {
    const size_t n = edgeLists[k].size();
    totalEdges += n;
    for (size_t b = 0; b < n; b += kEdgeChunk) items.push_back({k, b, std::min(n, b + kEdgeChunk)});
  }
  const EdgeVisibility sampler(view_, *occluders_);
  std::vector<DetectionBatch> batches(kChunksPerWave);
  size_t doneEdges = 0;
  for (size_t w = 0; w < items.size(); w += kChunksPerWave) {
    if (checkAbort()) return;
    const size_t waveEnd = std::min(items.size(), w + kChunksPerWave);
    if (abort_) {
      const std::string title =
          ProgressTitle(kStrDetectingObjectEdges, static_cast<int>(items[w].todoIndex) + 1,
                        static_cast<int>(todo.size()));
      abort_->SetTitle(title.c_str());
    }
    tbb::parallel_for(w, waveEnd, [&](size_t i) {
      const Item& it = items[i];
      DetectionBatch& batch = batches[i - w];
      batch.Clear();
      const DetectAndISectInstance& r = instances_[static_cast<size_t>(todo[it.todoIndex])];
      DetectMeshEdges(r, edgeLists[it.todoIndex], it.begin, it.end, sampler, batch);
    });
    for (size_t i = w; i < waveEnd; ++i) {
      const DetectionBatch& batch = batches[i - w];
      stats_.edgesVisited += batch.edgesVisited;
      doneEdges += items[i].end - items[i].begin;
      if (!MergeBatch(batch, frame_.segments, frame_.mappings)) return;
    }
    if (abort_) {
      // A wave may finish several instances; the title ends on the last one reached.
      if (items[waveEnd - 1].todoIndex != items[w].todoIndex) {
        abort_->SetTitle(ProgressTitle(kStrDetectingObjectEdges,
                                       static_cast<int>(items[waveEnd - 1].todoIndex) + 1,
                                       static_cast<int>(todo.size()))
                             .c_str());
      }
      abort_->Progress(static_cast<int>(std::min<size_t>(doneEdges, 0x7FFFFFFF)),
                       static_cast<int>(std::min<size_t>(totalEdges, 0x7FFFFFFF)));
    }
  }
}

void EdgeDetector::detectIntersections() {
  if (checkAbort() || !buildOccluders()) return;
  StageTimer timer(stats_.intersectionSeconds);
  std::vector<std::pair<int, int>> pairs = IntersectionPairs(instances_);
  pairs.erase(std::remove_if(pairs.begin(), pairs.end(),
                             [&](const std::pair<int, int>& p) {
                               return !instances_[static_cast<size_t>(p.first)].HasOccluders() ||
                                      !instances_[static_cast<size_t>(p.second)].HasOccluders();
                             }),
              pairs.end());
  stats_.instancePairs = static_cast<int>(pairs.size());
  const EdgeVisibility sampler(view_, *occluders_);
  // A pair runs alone, parallel inside, when both instances are large;
  // other pairs run one task each, many to a wave.
  auto big = [&](const std::pair<int, int>& p) {
    return std::min(instances_[static_cast<size_t>(p.first)].occluderFaces.size(),
                    instances_[static_cast<size_t>(p.second)].occluderFaces.size()) >=
           kBigPairFaces;
  };
  std::vector<DetectionBatch> batches;
  size_t k = 0;
  while (k < pairs.size()) {
    if (checkAbort()) return;
    const size_t waveStart = k;
    if (abort_) {
      const std::string title = ProgressTitle(
          kStrDetectingIntersectionEdges, static_cast<int>(k) + 1, static_cast<int>(pairs.size()));
      abort_->SetTitle(title.c_str());
    }
    if (big(pairs[k])) {
      const DetectAndISectInstance& a0 = instances_[static_cast<size_t>(pairs[k].first)];
      const DetectAndISectInstance& b0 = instances_[static_cast<size_t>(pairs[k].second)];
      const std::vector<FaceCrossing> crossings = FindCrossings(a0, b0, true);
      const size_t chunks = (crossings.size() + kEdgeChunk - 1) / kEdgeChunk;
      batches.assign(chunks, DetectionBatch());
      tbb::parallel_for(size_t{0}, chunks, [&](size_t c) {
        SampleCrossings(a0, b0, crossings, c * kEdgeChunk,
                        std::min(crossings.size(), (c + 1) * kEdgeChunk), sampler, batches[c]);
      });
      ++k;
    } else {
      size_t end = k;
      while (end < pairs.size() && !big(pairs[end]) && end - k < kPairsPerWave) ++end;
      batches.assign(end - k, DetectionBatch());
      tbb::parallel_for(k, end, [&](size_t i) {
        const DetectAndISectInstance& a = instances_[static_cast<size_t>(pairs[i].first)];
        const DetectAndISectInstance& b = instances_[static_cast<size_t>(pairs[i].second)];
        const std::vector<FaceCrossing> crossings = FindCrossings(a, b, false);
        SampleCrossings(a, b, crossings, 0, crossings.size(), sampler, batches[i - k]);
      });
      k = end;
    }
    for (const DetectionBatch& batch : batches) {
      stats_.crossingsVisited += batch.edgesVisited;
      if (!MergeBatch(batch, frame_.segments, frame_.mappings)) return;
    }
    if (abort_) {
      // A wave may intersect many pairs; the title ends on the last one.
      if (k > waveStart + 1) {
        abort_->SetTitle(ProgressTitle(kStrDetectingIntersectionEdges, static_cast<int>(k),
                                       static_cast<int>(pairs.size()))
                             .c_str());
      }
      abort_->Progress(static_cast<int>(k), static_cast<int>(pairs.size()));
    }
  }
}

}  // namespace

bool DetectEdges(FrameGeometry& frame, CheckAbortCallback* abort, DetectionStats& stats) {
  return EdgeDetector(frame, abort, stats).Run();
}

}  // namespace tarnis
