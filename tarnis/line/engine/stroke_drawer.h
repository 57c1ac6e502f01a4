// Drawing a job's strokes: the stroke parameters of the job's line setting
// and brush at the frame time, the repetitions with their noise seeds, and
// each chain laid piece by piece (offsets, overshoot, steps, path
// distortion) with size and alpha damped by distance and along the stroke,
// colour from the line map, and every step rasterised into the job canvas.
// After each repetition the canvas is resolved into the pass buffer.
#pragma once

#include "sdk/render.h"
#include "tarnis/line/engine/line_job.h"

namespace tarnis {

class Brush;
class LineEngine;
class LineCanvas;
class PassBuffer;
class LineNoise;
class StampCache;
class SCLine3D;

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

// Draws the job's strokes; false when aborted.
bool DrawJob(LineJob& job, JobDrawContext& ctx);

}  // namespace tarnis
