// Drawing a job's strokes, the pipeline's fourth stage: the job's gathered
// stroke parameters, the repetitions with their noise seeds, and each chain
// laid piece by piece (offsets, overshoot, steps, path distortion) with size
// and alpha damped by distance and along the stroke, colour from the line
// map, and every step rasterised into the job canvas. After each repetition
// the canvas is handed on for compositing; vector outputs receive every
// stroke's pieces.
#pragma once

#include <functional>
#include <vector>

#include "sdk/render.h"
#include "sdk/shade_context.h"
#include "tarnis/line/brush/stamp_cache.h"
#include "tarnis/line/draw/line_canvas.h"
#include "tarnis/line/draw/line_noise.h"
#include "tarnis/line/draw/sc_line3d.h"
#include "tarnis/line/frame/frame_geometry.h"
#include "tarnis/line/frame/line_job.h"
#include "tarnis/line/frame/vector_sink.h"

namespace tarnis {

struct JobDrawContext {
  const FrameGeometry* frame = nullptr;
  LineCanvas* canvas = nullptr;
  LineNoise* noise = nullptr;
  StampCache* stamps = nullptr;
  SCLine3D* mapContext = nullptr;
  float sizeUnit = 1.0f;  // the noise cell of stroke randomness, in pixels
  TimeValue time = 0;
  CheckAbortCallback* abort = nullptr;
  int jobNumber = 0, jobCount = 0;  // for the progress title
  // The vector outputs that receive the strokes (null: none).
  const std::vector<LineVectorSink*>* sinks = nullptr;
  // Takes the canvas after a repetition, with the job's blend mode.
  std::function<void(const LineCanvas& canvas, int blend)> resolve;
  // A preview keeps every repetition on one canvas, handed on once at the end.
  bool preview = false;
};

// What one drawing call draws with: the job canvas, the map shade context,
// the noise (its origin the image centre) and the stamp cache, for a
// width x height image of a frame.
struct DrawTools {
  LineCanvas canvas;
  SCLine3D mapContext;
  LineNoise noise;
  StampCache stamps{kLineStampCount};
  std::vector<LightDesc*> lights;  // the frame's lights, for maps along lines
  float sizeUnit = 1.0f;           // max(1, the image's longer side / 24)

  // Sets everything up; maps along lines are lit by the lights of `gc` when
  // given. False when the canvas cannot be allocated.
  bool Init(const FrameView& view, int width, int height, int overSampling, float antiAliasSize,
            RenderGlobalContext* gc = nullptr);
  // A drawing context over these tools for the frame.
  JobDrawContext Context(const FrameGeometry& frame, TimeValue t, CheckAbortCallback* abort);
};

// Draws the job's strokes; false when aborted.
bool DrawJob(const LineJob& job, JobDrawContext& ctx);

}  // namespace tarnis
