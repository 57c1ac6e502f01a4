// The line engine's driver: the one place that runs the pipeline's stages in
// order (gathering, detection, chaining, drawing, compositing, outputs) and
// the only part of the engine the effect objects call. LineEngine keeps what
// lives between the geometry half (gathering and detection, run after the
// host has rendered the frame) and the drawing half (run in the effect's
// Apply): the frame's geometry and jobs, kept for re-drawing while the
// geometry does not change.
#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "sdk/bitmap.h"
#include "sdk/render.h"
#include "tarnis/line/detect/edge_detection.h"
#include "tarnis/line/frame/frame_geometry.h"
#include "tarnis/line/frame/line_draw_options.h"
#include "tarnis/line/frame/line_job.h"

namespace tarnis {

class LineManager;

class LineEngine {
 public:
  LineEngine();
  ~LineEngine();
  LineEngine(const LineEngine&) = delete;
  LineEngine& operator=(const LineEngine&) = delete;

  // Gathers the frame: camera data, depth window, jobs and one record per
  // render instance. False (with everything released) when memory runs out.
  // `outsideLength` widens the drawing extent beyond the image on every side.
  bool Prepare(LineManager& effect, RenderGlobalContext& gc, const LineDrawOptions* options,
               float outsideLength);
  // True when the last preparation was for this context and time.
  bool PreparedFor(const RenderGlobalContext* gc, TimeValue t) const;
  // Edges of every instance, then intersections of overlapping pairs, until
  // the abort callback (may be null) answers true.
  void Detect(CheckAbortCallback* abort);
  // Releases all frame data (jobs, instances, segments).
  void ReleaseFrame();
  // Keeps a job enabled only while its line set is still in the effect's
  // list and its setting is still one of that set's settings.
  void RefreshJobs(LineManager& effect);

  const std::deque<LineJob>& Jobs() const { return jobs_; }
  std::deque<LineJob>& Jobs() { return jobs_; }
  const FrameGeometry& Frame() const { return frame_; }
  // For tests and previews that hand segments in without detection.
  FrameGeometry& Frame() { return frame_; }
  const std::vector<DetectAndISectInstance>& Instances() const { return frame_.instances; }
  const SegmentPool& Segments() const { return frame_.segments; }
  const FrameView& View() const { return frame_.view; }
  const DetectionStats& Stats() const { return stats_; }
  bool Aborted() const { return aborted_; }

 private:
  FrameGeometry frame_;
  std::deque<LineJob> jobs_;  // a deque: records point into the jobs' containers
  DetectionStats stats_;
  bool aborted_ = false;
  const RenderGlobalContext* preparedContext_ = nullptr;
  TimeValue preparedTime_ = 0;
};

// Where the edge dump of `effect` goes for time t: the host's inspection
// path for "edges", with "_2", "_3" … before the extension for the scene's
// second, third … line effect; empty when no dump was asked for.
std::string EdgeDumpPath(LineManager& effect, TimeValue t);

// The scale of lineSizeType 1: max(1e-4, min(width / 640, height / 480)).
float ReferenceScale(int width, int height);

// The driver: both halves of the engine for `effect` at time t (see the
// file comment). Without a bitmap only the geometry half runs; with `reuse`
// the geometry of the last preparation is kept, and so are the chains of
// jobs whose link parameters did not change.
void RenderLines(LineManager& effect, TimeValue t, Bitmap* bitmap, RenderGlobalContext* gc,
                 CheckAbortCallback* abort, const LineDrawOptions* options, bool reuse);

// The lines of a map's sub-view (reflections, refractions): runs the driver
// of every line effect of the scene that is active at gc.time with
// `options`, drawing into `bitmap` as seen through gc, with an abort
// callback that never aborts, then releases the effect's frame data. The
// vector outputs and the inspection dumps are not fed; only the frame's own
// pass does that. Adds each pass's detection counts to `stats` when given.
void RenderMapLines(Bitmap* bitmap, RenderGlobalContext& gc, const LineDrawOptions& options,
                    DetectionStats* stats = nullptr);

// The effect's pass over a rendered frame: the vector outputs are told of
// the frame, the driver runs, and the outputs are told the pass ended.
void ApplyLines(LineManager& effect, TimeValue t, Bitmap* bitmap, RenderGlobalContext* gc,
                CheckAbortCallback* abort, bool reuse);

// The post-render-frame entry: runs the geometry half of every active line
// effect of the scene with a progress display (nothing for material-editor
// renders, network servers, renders without effects or a cancelled render).
void PrepareLineFrame(RenderGlobalContext* gc);

// Registered by the first line effect, removed with the last.
void RegisterLineEngineNotifications();
void UnregisterLineEngineNotifications();

// The lock that guards motion detection's memory of vertex positions while
// it exists: the plug-in creates it at the host's start-up notification and
// releases it at the shutdown notification (null before and after).
// Shutdown comes after the last render, when nobody holds it.
std::mutex* MotionDetectionLock();
void CreateMotionDetectionLock();
void ReleaseMotionDetectionLock();

}  // namespace tarnis
