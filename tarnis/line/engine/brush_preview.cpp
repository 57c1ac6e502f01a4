#include "tarnis/line/engine/brush_preview.h"

#include <algorithm>
#include <cmath>

#include "tarnis/line/brush/brush.h"
#include "tarnis/line/engine/edge_chaining.h"
#include "tarnis/line/engine/line_engine.h"
#include "tarnis/line/engine/stroke_drawer.h"

namespace tarnis {

namespace {

constexpr int kCurvePoints = 48;

// The preview curve's screen points: left to right, one slow wave.
Point2 curvePoint(int i, int width, int height) {
  const float f = static_cast<float>(i) / static_cast<float>(kCurvePoints);
  const float x = (0.1f + 0.8f * f) * static_cast<float>(width);
  const float y = (0.5f - 0.22f * std::sin(f * 6.2831853f)) * static_cast<float>(height);
  return Point2(x, y);
}

}  // namespace

bool DrawBrushPreview(Brush& brush, Bitmap& image, TimeValue t) {
  const int width = image.Width(), height = image.Height();
  if (width < 3 || height < 3) return false;
  // A preview engine: screen space is camera space (parallel, unit scale).
  LineEngine engine;
  FrameView& view = engine.View();
  view.time = t;
  view.width = width;
  view.height = height;
  view.projType = PROJ_PARALLEL;
  view.xscale = view.yscale = 1.0f;
  view.xc = view.yc = 0.0f;
  view.options = LineDrawOptions();
  view.SetExtent(0.0f);
  engine.lineSetSeeds = {0};
  engine.Jobs().emplace_back();
  LineJob& job = engine.Jobs().back();
  job.isPreview = true;
  job.lineSetIndex = 0;
  for (int i = 0; i < kCurvePoints; ++i) {
    const Point2 a = curvePoint(i, width, height), b = curvePoint(i + 1, width, height);
    EdgeSegment s;
    s.start = a;
    s.length = (b - a).Length();
    s.direction = (b - a) * (1.0f / s.length);
    s.z0 = s.z1 = -1.0f;
    s.instance = 0;
    uint32_t index = 0;
    if (!engine.Segments().Add(s, &index)) return false;
    job.edges[kCategoryObject - 1].push_back({MakeSegmentId(kSegmentObject, index), 0.0f, 1.0f});
  }
  if (!LinkJob(job, engine, t, &brush, nullptr)) return false;
  DrawTools tools;
  if (!tools.Init(engine, width, height, 2, 1.0f)) return false;
  JobDrawContext ctx = tools.Context(engine, t, nullptr);
  ctx.previewBrush = &brush;
  ctx.previewSize = std::max(1.0f, static_cast<float>(height) * 0.12f);
  DrawJob(job, ctx);
  tools.pass.WritePreview(image);
  return true;
}

}  // namespace tarnis
