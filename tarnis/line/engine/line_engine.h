// LineEngine: the line effect's render-time state for one frame, kept
// between the geometry half (scene gathering and edge detection, run after
// the host has rendered the frame) and the drawing half (run in the effect's
// Apply), and rebuilt every frame. RenderLines is the driver both halves go
// through.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "sdk/bitmap.h"
#include "sdk/render.h"
#include "tarnis/line/engine/edge_data.h"
#include "tarnis/line/engine/frame_view.h"
#include "tarnis/line/engine/line_draw_options.h"
#include "tarnis/line/engine/line_instance.h"
#include "tarnis/line/engine/line_job.h"

namespace tarnis {

class LineManager;
class OccluderScene;

// Counts of the last detection, for tests, inspection and benchmarks.
struct DetectionStats {
  long long edgesVisited = 0;      // mesh edges classified
  long long crossingsVisited = 0;  // face crossings sampled
  int instancePairs = 0;           // instance pairs intersected
  // Seconds of each stage.
  double prepareSeconds = 0, occluderSeconds = 0, edgeSeconds = 0, intersectionSeconds = 0;
};

class LineEngine {
 public:
  LineEngine();
  ~LineEngine();
  LineEngine(const LineEngine&) = delete;
  LineEngine& operator=(const LineEngine&) = delete;

  // Builds the frame: camera data, depth window, jobs and one record per
  // render instance. False (with everything released) when memory runs out.
  // `outsideLength` widens the drawing extent beyond the image on every side.
  bool Prepare(LineManager& effect, RenderGlobalContext& gc, const LineDrawOptions* options,
               float outsideLength);
  // True when the last preparation was for this context and time.
  bool PreparedFor(const RenderGlobalContext* gc, TimeValue t) const;
  // Edges of every instance, then intersections of overlapping pairs; each
  // stops at the next check when the abort callback answers true.
  void DetectObjects();
  void DetectIntersections();
  // Frees what only detection needs; filed pieces stay.
  void ReleaseDetectionData();
  // Releases all frame data (jobs, instances, segments).
  void ReleaseFrame();
  // Keeps a job enabled only while its line set is still in the effect's
  // list and its setting is still one of that set's settings.
  void RefreshJobs(LineManager& effect);

  const std::deque<LineJob>& Jobs() const { return jobs_; }
  std::deque<LineJob>& Jobs() { return jobs_; }
  const std::vector<DetectAndISectInstance>& Instances() const { return instances_; }
  const SegmentPool& Segments() const { return segments_; }
  // For tests that hand segments in without detection.
  SegmentPool& Segments() { return segments_; }
  const std::vector<SegmentMapping>& Mappings() const { return mappings_; }
  const FrameView& View() const { return view_; }
  FrameView& View() { return view_; }
  const std::vector<LineSetFrame>& SetFrames() const { return lookup_.sets; }
  const DetectionStats& Stats() const { return stats_; }
  bool Aborted() const { return aborted_; }

  CheckAbortCallback* abortCallback = nullptr;
  RenderGlobalContext* renderContext = nullptr;
  bool reuseLinks = false;
  float sizeUnit = 1.0f;
  int jobCounter = 0;
  std::vector<int> lineSetSeeds;

 private:
  bool checkAbort();
  void buildJobs(LineManager& effect, TimeValue t);
  bool buildOccluders();

  FrameView view_;
  std::deque<LineJob> jobs_;  // a deque: records point into the jobs' containers
  LineSetLookup lookup_;
  std::vector<DetectAndISectInstance> instances_;
  std::unique_ptr<OccluderScene> occluders_;
  SegmentPool segments_;
  std::vector<SegmentMapping> mappings_;
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

// The seed of a line set for the frame at time t: the effect's Seed, plus,
// with rndAuto, the whole number of rndInterval-frame steps from the set's
// frame offset.
int LineSetSeed(LineManager& effect, int lineSetIndex, TimeValue t);

// The driver: both halves of the engine for `effect` at time t (see the
// file comment). Without a bitmap only the geometry half runs; with `reuse`
// the geometry of the last preparation is kept.
void RenderLines(LineManager& effect, TimeValue t, Bitmap* bitmap, RenderGlobalContext* gc,
                 CheckAbortCallback* abort, const LineDrawOptions* options, bool reuse);

// The drawing half: chains and strokes of every enabled job, hidden lines
// composited first, then visible lines, over the bitmap (unless
// `elementOnly`) and into the line render elements of gc.
void DrawLines(LineEngine& engine, LineManager& effect, TimeValue t, Bitmap* bitmap,
               RenderGlobalContext* gc, CheckAbortCallback* abort, bool elementOnly);

// The post-render-frame entry: runs the geometry half of every active line
// effect of the scene with a progress display (nothing for material-editor
// renders, network servers, renders without effects or a cancelled render).
void PrepareLineFrame(RenderGlobalContext* gc);

// Registered by the first line effect, removed with the last.
void RegisterLineEngineNotifications();
void UnregisterLineEngineNotifications();

}  // namespace tarnis
