// Drawing a job's strokes: the stroke parameters of the job's line setting
// and brush at the frame time, the repetitions with their noise seeds, and
// each chain laid piece by piece (offsets, overshoot, steps, path
// distortion) with size and alpha damped by distance and along the stroke,
// colour from the line map, and every step rasterised into the job canvas.
// After each repetition the canvas is resolved into the pass buffer.
#pragma once

#include <vector>

#include "sdk/render.h"
#include "sdk/shade_context.h"
#include "tarnis/line/brush/stamp_cache.h"
#include "tarnis/line/engine/line_canvas.h"
#include "tarnis/line/engine/line_job.h"
#include "tarnis/line/engine/line_noise.h"
#include "tarnis/line/engine/pass_buffer.h"
#include "tarnis/line/engine/sc_line3d.h"

namespace tarnis {

class Brush;
class LineEngine;

struct JobDrawContext {
  LineEngine* engine = nullptr;
  LineCanvas* canvas = nullptr;
  PassBuffer* pass = nullptr;
  LineNoise* noise = nullptr;
  StampCache* stamps = nullptr;
  SCLine3D* mapContext = nullptr;
  TimeValue time = 0;
  CheckAbortCallback* abort = nullptr;
  int jobNumber = 0, jobCount = 0;  // for the progress title
  // Brush previews: the brush drawn (instead of the job's setting) and the
  // stroke width in pixels.
  Brush* previewBrush = nullptr;
  float previewSize = 1.0f;
};

// What one drawing call draws with: the job canvas, the pass buffer, the
// map shade context, the noise (its origin the image centre) and the stamp
// cache, for a width x height image of the engine's frame.
struct DrawTools {
  LineCanvas canvas;
  PassBuffer pass;
  SCLine3D mapContext;
  LineNoise noise;
  StampCache stamps{kLineStampCount};
  std::vector<LightDesc*> lights;  // the frame's lights, for maps along lines

  // Sets everything up and the engine's sizeUnit; maps along lines are lit
  // by the lights of `gc` when given. False when the canvas or pass buffer
  // cannot be allocated.
  bool Init(LineEngine& engine, int width, int height, int overSampling, float antiAliasSize,
            RenderGlobalContext* gc = nullptr);
  // A drawing context over these tools.
  JobDrawContext Context(LineEngine& engine, TimeValue t, CheckAbortCallback* abort);
};

// Draws the job's strokes; false when aborted.
bool DrawJob(LineJob& job, JobDrawContext& ctx);

}  // namespace tarnis
