#include "tarnis/line/engine/line_engine.h"

#include <tbb/parallel_for.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <mutex>
#include <new>

#include "sdk/interface.h"
#include "sdk/mtl.h"
#include "tarnis/line/brush/brush.h"
#include "tarnis/line/effect/line_manager.h"
#include "tarnis/line/effect/line_set.h"
#include "tarnis/line/effect/line_set_frame.h"
#include "tarnis/line/engine/edge_chaining.h"
#include "tarnis/line/engine/edge_svg.h"
#include "tarnis/line/engine/intersection_edges.h"
#include "tarnis/line/engine/line_progress.h"
#include "tarnis/line/engine/mesh_edges.h"
#include "tarnis/line/engine/occluder_scene.h"
#include "tarnis/line/engine/stroke_drawer.h"

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

// The mapping channels a map and its sub-maps read.
void mapChannels(Texmap* map, std::vector<int>& out, int depth = 0) {
  if (!map || depth > 16) return;
  out.push_back(map->GetMapChannel());
  for (int i = 0; i < map->NumSubTexmaps(); ++i) {
    if (map->SubTexmapOn(i)) mapChannels(map->GetSubTexmap(i), out, depth + 1);
  }
}

}  // namespace

LineEngine::LineEngine() = default;
LineEngine::~LineEngine() = default;

bool LineEngine::checkAbort() {
  if (!aborted_ && abortCallback && abortCallback->Check()) aborted_ = true;
  return aborted_;
}

void LineEngine::ReleaseFrame() {
  jobs_.clear();
  lookup_ = LineSetLookup();
  instances_.clear();
  segments_.Clear();
  mappings_.clear();
  stats_ = DetectionStats();
  aborted_ = false;
  occluders_.reset();
}

void LineEngine::buildJobs(LineManager& effect, TimeValue t) {
  const int n = effect.NumLineSets();
  LineSetLookup& lookup = lookup_;
  lookup.sets.assign(static_cast<size_t>(n), LineSetFrame());
  lookup.channelsOfSet.assign(static_cast<size_t>(n), {});
  for (int i = 0; i < n; ++i) {
    LineSetFrame& f = lookup.sets[static_cast<size_t>(i)];
    f.set = effect.GetLineSet(i);
    f.index = i;
    f.priority = n - i;
    if (!f.set) continue;
    f.enabled = f.set->Enabled(t);
    IParamBlock2* main = f.set->MainBlock();
    f.exHidden = main && main->GetInt(kLineSetExHidden, t) != 0;
  }
  for (int i = 0; i < n; ++i) {
    LineSetFrame& f = lookup.sets[static_cast<size_t>(i)];
    if (!f.set || !f.enabled) continue;
    bool normalUsed = false;
    float cosMax = 1.0f, cosMin = -1.0f;
    for (int vis = 0; vis < 2; ++vis) {
      const int type = vis + 1;
      IParamBlock2* tb = f.set->TypeBlock(type);
      if (tb) {
        f.wire[vis] = tb->GetInt(kTypeEdgeNormalWire, t) != 0;
        f.outlineOnly[vis] = tb->GetInt(kTypeEdgeOutlineOnly, t) != 0;
      }
      // The crease range spans the visibilities that draw creases by angle.
      if (tb && tb->GetInt(kTypeEdgeNormal, t) != 0 && !f.wire[vis]) {
        const float cMax = CreaseCos(tb->GetFloat(kTypeEdgeNormalMax, t));
        const float cMin = CreaseCos(tb->GetFloat(kTypeEdgeNormalMin, t));
        cosMax = normalUsed ? std::min(cosMax, cMax) : cMax;
        cosMin = normalUsed ? std::max(cosMin, cMin) : cMin;
        normalUsed = true;
      }
      for (int cat = kCategoryObject; cat <= kCategoryIntersection; ++cat) {
        LineSetting* setting = SettingForEdge(*f.set, type, cat, t);
        if (!setting) continue;
        LineJob* job = nullptr;
        for (LineJob& j : jobs_) {
          if (j.lineSetting == setting && j.lineSet == f.set && j.visibility == vis) job = &j;
        }
        if (!job) {
          jobs_.emplace_back();
          job = &jobs_.back();
          job->lineSet = f.set;
          job->lineSetting = setting;
          job->visibility = vis;
          job->lineSetIndex = i;
          job->category = cat;
          const LineFrameValues values = setting->PrepareFrame(t);
          job->blendMode = values.blend;
          std::vector<int>& channels = lookup.channelsOfSet[static_cast<size_t>(i)];
          const size_t before = channels.size();
          mapChannels(values.lineMap, channels);
          mapChannels(values.sizeMap, channels);
          if (Brush* brush = setting->GetBrush()) {
            for (int m = 0; m < brush->NumSubTexmaps(); ++m) {
              if (brush->SubTexmapOn(m)) mapChannels(brush->GetSubTexmap(m), channels);
            }
          }
          if (channels.size() > before || values.lineMap || values.sizeMap) f.needsMapping = true;
        }
        f.containers[vis][cat - 1] = &job->edges[static_cast<size_t>(cat - 1)];
      }
    }
    f.cosMax = cosMax;
    f.cosMin = cosMin;
  }
  lookup.IndexMembers();
}

bool LineEngine::Prepare(LineManager& effect, RenderGlobalContext& gc,
                         const LineDrawOptions* options, float outsideLength) {
  ReleaseFrame();
  StageTimer timer(stats_.prepareSeconds);
  renderContext = &gc;
  view_.SetFromContext(gc);
  view_.options = options ? *options : LineDrawOptions();
  view_.SetExtent(outsideLength);
  sizeUnit = std::max(1.0f, static_cast<float>(std::max(view_.width, view_.height)) / 24.0f);
  try {
    buildJobs(effect, gc.time);
    const int n = gc.NumRenderInstances();
    instances_.resize(static_cast<size_t>(std::max(0, n)));
    for (int i = 0; i < n; ++i) {
      DetectAndISectInstance& rec = instances_[static_cast<size_t>(i)];
      rec.index = i;
      rec.view = &view_;
      if (i == view_.options.excludedInstance) continue;
      if (!BuildInstanceRecord(rec, gc.GetRenderInstance(i), lookup_, view_)) {
        ReleaseFrame();
        return false;
      }
    }
  } catch (const std::bad_alloc&) {
    ReleaseFrame();
    return false;
  }
  preparedTime_ = gc.time;
  preparedContext_ = &gc;
  return true;
}

bool LineEngine::PreparedFor(const RenderGlobalContext* gc, TimeValue t) const {
  return gc && preparedContext_ == gc && preparedTime_ == t && !instances_.empty();
}

bool LineEngine::buildOccluders() {
  if (occluders_) return true;
  StageTimer timer(stats_.occluderSeconds);
  tbb::parallel_for(size_t{0}, instances_.size(), [&](size_t i) {
    if (!instances_[i].Empty()) instances_[i].BuildOccluders();
  });
  occluders_ = std::make_unique<OccluderScene>();
  if (!occluders_->Build(instances_, view_)) {
    occluders_.reset();
    return false;
  }
  return true;
}

void LineEngine::DetectObjects() {
  if (checkAbort() || !buildOccluders()) return;
  StageTimer timer(stats_.edgeSeconds);
  std::vector<int> todo;
  for (const DetectAndISectInstance& r : instances_) {
    if (!r.Empty() && r.needsEdges && r.builtOk[2]) todo.push_back(r.index);
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
  const EdgeSampler sampler(view_, *occluders_);
  std::vector<DetectionBatch> batches(kChunksPerWave);
  size_t doneEdges = 0;
  for (size_t w = 0; w < items.size(); w += kChunksPerWave) {
    if (checkAbort()) return;
    const size_t waveEnd = std::min(items.size(), w + kChunksPerWave);
    if (abortCallback) {
      const std::string title = ProgressTitle(673, static_cast<int>(items[w].todoIndex) + 1,
                                              static_cast<int>(todo.size()));
      abortCallback->SetTitle(title.c_str());
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
      if (!MergeBatch(batch, segments_, mappings_)) return;
    }
    if (abortCallback) {
      // A wave may finish several instances; the title ends on the last one reached.
      if (items[waveEnd - 1].todoIndex != items[w].todoIndex) {
        abortCallback->SetTitle(ProgressTitle(673,
                                              static_cast<int>(items[waveEnd - 1].todoIndex) + 1,
                                              static_cast<int>(todo.size()))
                                    .c_str());
      }
      abortCallback->Progress(static_cast<int>(std::min<size_t>(doneEdges, 0x7FFFFFFF)),
                              static_cast<int>(std::min<size_t>(totalEdges, 0x7FFFFFFF)));
    }
  }
}

void LineEngine::DetectIntersections() {
  if (view_.options.disableIntersection || checkAbort() || !buildOccluders()) return;
  StageTimer timer(stats_.intersectionSeconds);
  std::vector<std::pair<int, int>> pairs = IntersectionPairs(instances_);
  pairs.erase(std::remove_if(pairs.begin(), pairs.end(),
                             [&](const std::pair<int, int>& p) {
                               return !instances_[static_cast<size_t>(p.first)].builtOk[2] ||
                                      !instances_[static_cast<size_t>(p.second)].builtOk[2];
                             }),
              pairs.end());
  stats_.instancePairs = static_cast<int>(pairs.size());
  const EdgeSampler sampler(view_, *occluders_);
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
    if (abortCallback) {
      const std::string title =
          ProgressTitle(674, static_cast<int>(k) + 1, static_cast<int>(pairs.size()));
      abortCallback->SetTitle(title.c_str());
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
      if (!MergeBatch(batch, segments_, mappings_)) return;
    }
    if (abortCallback) {
      // A wave may intersect many pairs; the title ends on the last one.
      if (k > waveStart + 1) {
        abortCallback->SetTitle(
            ProgressTitle(674, static_cast<int>(k), static_cast<int>(pairs.size())).c_str());
      }
      abortCallback->Progress(static_cast<int>(k), static_cast<int>(pairs.size()));
    }
  }
}

void LineEngine::ReleaseDetectionData() {
  occluders_.reset();
  for (DetectAndISectInstance& r : instances_) r.ReleaseDetectionData();
}

void LineEngine::RefreshJobs(LineManager& effect) {
  for (LineJob& job : jobs_) {
    if (job.isPreview) continue;
    const int index = effect.IndexOf(job.lineSet);
    bool still = index >= 0;
    if (still) {
      still = false;
      for (int type = 1; type <= kNumLineTypes && !still; ++type) {
        for (int slot = 0; slot < kSettingsPerType; ++slot) {
          if (job.lineSet->Setting(type, slot) == job.lineSetting) still = true;
        }
      }
    }
    job.enabled = still;
    if (still) job.lineSetIndex = index;
  }
}

int LineSetSeed(LineManager& effect, int lineSetIndex, TimeValue t) {
  IParamBlock2* pb = effect.MainBlock();
  if (!pb) return 0;
  int seed = pb->GetInt(kLineSeed, t);
  if (pb->GetInt(kLineRndAuto, t) != 0) {
    const float frame = static_cast<float>(GetFrameRate()) * static_cast<float>(t) / 4800.0f + 0.5f;
    const std::vector<int>& offsets = effect.RenderState().frameOffsets;
    const float offset = lineSetIndex >= 0 && static_cast<size_t>(lineSetIndex) < offsets.size()
                             ? static_cast<float>(offsets[static_cast<size_t>(lineSetIndex)])
                             : 0.0f;
    const int interval = std::max(pb->GetInt(kLineRndInterval, t), 1);
    seed += static_cast<int>((frame - offset) / static_cast<float>(interval));
  }
  return seed;
}

float ReferenceScale(int width, int height) {
  return std::max(
      1e-4f, std::min(static_cast<float>(width) / 640.0f, static_cast<float>(height) / 480.0f));
}

std::string EdgeDumpPath(LineManager& effect, TimeValue t) {
  Interface* ip = GetCOREInterface();
  std::string path = ip->InspectionPath("edges", t);
  if (path.empty()) return path;
  // The second and later line effects of the scene write beside the first.
  int position = 0;
  for (int i = 0; i < ip->NumEffects(); ++i) {
    Effect* e = ip->GetEffect(i);
    if (e == &effect) break;
    if (dynamic_cast<LineManager*>(e)) ++position;
  }
  if (position == 0) return path;
  const size_t slash = path.find_last_of('/');
  size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) dot = path.size();
  return path.substr(0, dot) + "_" + std::to_string(position + 1) + path.substr(dot);
}

void RenderLines(LineManager& effect, TimeValue t, Bitmap* bitmap, RenderGlobalContext* gc,
                 CheckAbortCallback* abort, const LineDrawOptions* options, bool reuse) {
  LineRenderState& state = effect.RenderState();
  std::lock_guard<std::recursive_mutex> guard(state.lock);
  if (!state.engine) state.engine = std::make_unique<LineEngine>();
  LineEngine& engine = *state.engine;
  IParamBlock2* pb = effect.MainBlock();
  if (!pb) return;

  LineDrawOptions opts = options ? *options : LineDrawOptions();
  bool elementOnly = !options && pb->GetInt(kLineRenderElementOnly, t) != 0;
  float scale = opts.sizeScale;
  if (pb->GetInt(kLineLineSizeType, t) == 1) {
    float reference = state.referenceScale;
    if (reference <= 0.0f && gc) reference = ReferenceScale(gc->devWidth, gc->devHeight);
    scale *= reference > 0.0f ? reference : 1.0f;
  }
  opts.sizeScale = scale;
  engine.abortCallback = abort;
  const float outside = pb->GetFloat(kLineOutsideLength, t) * scale;

  // Reuse only the geometry of this very frame: a frame whose geometry half
  // did not run (or ran for another context) is detected here.
  if ((reuse && engine.PreparedFor(gc, t)) || !gc) {
    engine.View().options = opts;
    engine.RefreshJobs(effect);
  } else {
    if (!engine.Prepare(effect, *gc, &opts, outside)) return;
    engine.DetectObjects();
    if (!engine.Aborted() && !opts.disableIntersection) engine.DetectIntersections();
    engine.ReleaseDetectionData();
    const std::string dumpPath = EdgeDumpPath(effect, t);
    if (!dumpPath.empty() && !engine.Aborted()) {
      std::string error;
      if (!WriteEdgeSvg(engine, dumpPath, &error)) {
        GetCOREInterface()->MessageBox(error.c_str(), "Tarnis", MessageIcon::Warning);
      }
    }
  }
  if (!bitmap) return;

  engine.lineSetSeeds.assign(static_cast<size_t>(effect.NumLineSets()), 0);
  for (int i = 0; i < effect.NumLineSets(); ++i) {
    LineSet* set = effect.GetLineSet(i);
    if (set && set->Enabled(t))
      engine.lineSetSeeds[static_cast<size_t>(i)] = LineSetSeed(effect, i, t);
  }
  DrawLines(engine, effect, t, bitmap, gc, abort, elementOnly);
}

void DrawLines(LineEngine& engine, LineManager& effect, TimeValue t, Bitmap* bitmap,
               RenderGlobalContext* gc, CheckAbortCallback* abort, bool elementOnly) {
  if (!bitmap || engine.Jobs().empty()) return;
  IParamBlock2* pb = effect.MainBlock();
  DrawTools tools;
  if (!tools.Init(engine, bitmap->Width(), bitmap->Height(), pb->GetInt(kLineOverSampling, t),
                  pb->GetFloat(kLineAntiAliasSize, t), gc)) {
    return;
  }
  PassBuffer& pass = tools.pass;
  JobDrawContext ctx = tools.Context(engine, t, abort);
  for (const LineJob& job : engine.Jobs()) ctx.jobCount += job.enabled ? 1 : 0;
  engine.jobCounter = 0;
  bool aborted = false;
  // Hidden lines first, so that visible lines lie over them.
  for (int visibility : {1, 0}) {
    pass.Clear();
    std::vector<LineJob*> jobs;
    for (LineJob& job : engine.Jobs()) {
      if (job.enabled && job.visibility == visibility) jobs.push_back(&job);
    }
    // Linking runs job by job (jobs may share brushes, whose working copy
    // is brought up to date while linking); each job links its edge groups
    // in parallel. Its progress titles count the jobs linked so far.
    const int drawnBefore = engine.jobCounter;
    for (LineJob* jp : jobs) {
      if (aborted || (abort && abort->Check()) || !LinkJob(*jp, engine, t, nullptr, abort)) {
        aborted = true;
        break;
      }
      ++engine.jobCounter;
    }
    engine.jobCounter = drawnBefore;
    for (LineJob* jp : jobs) {
      LineJob& job = *jp;
      if (aborted || (abort && abort->Check())) {
        aborted = true;
        break;
      }
      ctx.jobNumber = ++engine.jobCounter;
      if (!DrawJob(job, ctx)) {
        aborted = true;
        break;
      }
    }
    if (aborted) break;
    pass.Composite(bitmap, gc, visibility, elementOnly);
  }
}

}  // namespace tarnis
