#include "tarnis/line/engine/line_engine.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>

#include "sdk/interface.h"
#include "tarnis/line/chain/edge_chaining.h"
#include "tarnis/line/composite/pass_buffer.h"
#include "tarnis/line/draw/stroke_drawer.h"
#include "tarnis/line/effect/line_manager.h"
#include "tarnis/line/effect/line_set.h"
#include "tarnis/line/engine/frame_gathering.h"
#include "tarnis/line/frame/line_progress.h"
#include "tarnis/line/output/edge_svg.h"
#include "tarnis/line/output/vector_sinks.h"
#include "tarnis/resources/string_ids.h"
#include "tarnis/resources/string_table.h"

namespace tarnis {

namespace {

std::unique_ptr<std::mutex>& motionLockStorage() {
  static std::unique_ptr<std::mutex> lock;
  return lock;
}

// The drawing half: chains and strokes of every enabled job, hidden lines
// composited first, then visible lines, over the bitmap (unless
// `elementOnly`) and into the line render elements of gc. With
// `reuseLinks`, jobs keep the chains of their last linking while their link
// parameters are unchanged. Only the frame's own pass (`feedSinks`) hands
// its strokes to the vector outputs: a map's sub-view is not the frame.
void drawLines(LineEngine& engine, LineManager& effect, const EffectValues& values, TimeValue t,
               Bitmap* bitmap, RenderGlobalContext* gc, CheckAbortCallback* abort, bool elementOnly,
               bool reuseLinks, bool feedSinks) {
  if (!bitmap || engine.Jobs().empty()) return;
  const FrameGeometry& frame = engine.Frame();
  GatherJobRecords(effect, engine.Jobs(), t, frame.view.options);
  DrawTools tools;
  PassBuffer pass;
  if (!tools.Init(frame.view, bitmap->Width(), bitmap->Height(), values.overSampling,
                  values.antiAliasSize, gc) ||
      !pass.Init(bitmap->Width(), bitmap->Height())) {
    return;
  }
  JobDrawContext ctx = tools.Context(frame, t, abort);
  ctx.sinks = feedSinks ? &VectorSinks() : nullptr;
  ctx.resolve = [&pass](const LineCanvas& canvas, int blend) {
    pass.Resolve(canvas, pass.AddDescriptor(BlendDescriptor{blend}));
  };
  for (const LineJob& job : engine.Jobs()) ctx.jobCount += job.enabled ? 1 : 0;
  LinkContext link;
  link.segments = &frame.segments;
  link.view = &frame.view;
  link.reuseLinks = reuseLinks;
  link.jobCount = ctx.jobCount;
  link.abort = abort;
  int jobsDone = 0;
  bool aborted = false;
  // Hidden lines first, so that visible lines lie over them.
  for (int visibility : {1, 0}) {
    pass.Clear();
    std::vector<LineJob*> jobs;
    for (LineJob& job : engine.Jobs()) {
      if (job.enabled && job.visibility == visibility) jobs.push_back(&job);
    }
    // Linking runs job by job; each job links its edge groups in parallel.
    // Its progress titles count the jobs linked so far.
    for (size_t k = 0; k < jobs.size(); ++k) {
      link.jobNumber = jobsDone + static_cast<int>(k) + 1;
      if (aborted || (abort && abort->Check()) || !LinkJob(*jobs[k], link)) {
        aborted = true;
        break;
      }
    }
    for (LineJob* job : jobs) {
      if (aborted || (abort && abort->Check())) {
        aborted = true;
        break;
      }
      ctx.jobNumber = ++jobsDone;
      if (!DrawJob(*job, ctx)) {
        aborted = true;
        break;
      }
    }
    if (aborted) break;
    pass.Composite(bitmap, gc, visibility, elementOnly);
  }
}

}  // namespace

LineEngine::LineEngine() = default;
LineEngine::~LineEngine() = default;

void LineEngine::ReleaseFrame() {
  jobs_.clear();
  frame_.Clear();
  stats_ = DetectionStats();
  aborted_ = false;
}

bool LineEngine::Prepare(LineManager& effect, RenderGlobalContext& gc,
                         const LineDrawOptions* options, float outsideLength) {
  ReleaseFrame();
  const auto start = std::chrono::steady_clock::now();
  const bool gathered =
      GatherFrame(effect, gc, options ? *options : LineDrawOptions(), outsideLength, frame_, jobs_);
  stats_.prepareSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!gathered) {
    ReleaseFrame();
    return false;
  }
  preparedTime_ = gc.time;
  preparedContext_ = &gc;
  return true;
}

bool LineEngine::PreparedFor(const RenderGlobalContext* gc, TimeValue t) const {
  return gc && preparedContext_ == gc && preparedTime_ == t && !frame_.instances.empty();
}

void LineEngine::Detect(CheckAbortCallback* abort) {
  aborted_ = !DetectEdges(frame_, abort, stats_);
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
  const std::optional<EffectValues> values = GatherEffectValues(effect, t);
  if (!values) return;

  LineDrawOptions opts = options ? *options : LineDrawOptions();
  const bool elementOnly = !options && values->elementOnly;
  if (elementOnly && bitmap && !state.warnedNoLineElement && !ReceivesLines(gc)) {
    state.warnedNoLineElement = true;
    GetCOREInterface()->MessageBox(GetString(kStrNoLineElement), "Tarnis", MessageIcon::Warning);
  }
  float scale = opts.sizeScale;
  if (values->sizeByImage) {
    float reference = state.referenceScale;
    if (reference <= 0.0f && gc) reference = ReferenceScale(gc->devWidth, gc->devHeight);
    scale *= reference > 0.0f ? reference : 1.0f;
  }
  opts.sizeScale = scale;
  const float outside = values->outsideLength * scale;

  // Reuse only the geometry of this very frame: a frame whose geometry half
  // did not run (or ran for another context) is detected here.
  const bool keepGeometry = (reuse && engine.PreparedFor(gc, t)) || !gc;
  if (keepGeometry) {
    engine.Frame().view.options = opts;
    engine.RefreshJobs(effect);
  } else {
    if (!engine.Prepare(effect, *gc, &opts, outside)) return;
    engine.Detect(abort);
    // The inspection dump shows the frame's own edges, never a map's sub-view.
    const std::string dumpPath = options ? std::string() : EdgeDumpPath(effect, t);
    if (!dumpPath.empty() && !engine.Aborted()) {
      std::string error;
      if (!WriteEdgeSvg(engine.Jobs(), engine.Frame(), dumpPath, &error)) {
        GetCOREInterface()->MessageBox(error.c_str(), "Tarnis", MessageIcon::Warning);
      }
    }
  }
  if (!bitmap) return;
  // Drawing a frame whose geometry was kept (the effect applied again after
  // a brush or setting change) keeps the chains whose link parameters did
  // not change.
  drawLines(engine, effect, *values, t, bitmap, gc, abort, elementOnly, keepGeometry, !options);
}

void RenderMapLines(Bitmap* bitmap, RenderGlobalContext& gc, const LineDrawOptions& options,
                    DetectionStats* stats) {
  Interface* ip = GetCOREInterface();
  DummyCheckAbort neverAbort;
  for (int i = 0; i < ip->NumEffects(); ++i) {
    auto* lm = dynamic_cast<LineManager*>(ip->GetEffect(i));
    if (!lm || !lm->Active(gc.time)) continue;
    LineRenderState& state = lm->RenderState();
    std::lock_guard<std::recursive_mutex> guard(state.lock);
    RenderLines(*lm, gc.time, bitmap, &gc, &neverAbort, &options, false);
    if (!state.engine) continue;
    if (stats) {
      const DetectionStats& s = state.engine->Stats();
      stats->edgesVisited += s.edgesVisited;
      stats->crossingsVisited += s.crossingsVisited;
      stats->instancePairs += s.instancePairs;
    }
    // The sub-view's geometry is of no use to the frame: the frame's own
    // pass prepares its geometry again.
    state.engine->ReleaseFrame();
  }
}

void ApplyLines(LineManager& effect, TimeValue t, Bitmap* bitmap, RenderGlobalContext* gc,
                CheckAbortCallback* abort, bool reuse) {
  const int width = bitmap ? bitmap->Width() : (gc ? gc->devWidth : 0);
  const int height = bitmap ? bitmap->Height() : (gc ? gc->devHeight : 0);
  for (LineVectorSink* sink : VectorSinks()) sink->FrameStart(t, width, height);
  RenderLines(effect, t, bitmap, gc, abort, nullptr, reuse);
  for (LineVectorSink* sink : VectorSinks()) sink->PassEnd();
}

std::mutex* MotionDetectionLock() {
  return motionLockStorage().get();
}

void CreateMotionDetectionLock() {
  if (!motionLockStorage()) motionLockStorage() = std::make_unique<std::mutex>();
}

void ReleaseMotionDetectionLock() {
  motionLockStorage().reset();
}

}  // namespace tarnis
