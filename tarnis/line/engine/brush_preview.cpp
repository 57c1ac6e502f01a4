#include "tarnis/line/engine/brush_preview.h"

#include <algorithm>
#include <cmath>

#include "sdk/angles.h"
#include "tarnis/line/brush/brush.h"
#include "tarnis/line/chain/edge_chaining.h"
#include "tarnis/line/composite/pass_buffer.h"
#include "tarnis/line/draw/stroke_drawer.h"
#include "tarnis/line/engine/frame_gathering.h"

namespace tarnis {

namespace {

constexpr int kCurvePoints = 48;

// The preview curve's screen points: left to right, one slow wave.
Point2 curvePoint(int i, int width, int height) {
  const float f = static_cast<float>(i) / static_cast<float>(kCurvePoints);
  const float x = (0.1f + 0.8f * f) * static_cast<float>(width);
  const float y = (0.5f - 0.22f * std::sin(f * kTwoPi)) * static_cast<float>(height);
  return Point2(x, y);
}

}  // namespace

bool DrawBrushPreview(Brush& brush, Bitmap& image, TimeValue t) {
  const int width = image.Width(), height = image.Height();
  if (width < 3 || height < 3) return false;
  // A preview frame: screen space is camera space (parallel, unit scale).
  FrameGeometry frame;
  FrameView& view = frame.view;
  view.time = t;
  view.width = width;
  view.height = height;
  view.projType = PROJ_PARALLEL;
  view.xscale = view.yscale = 1.0f;
  view.xc = view.yc = 0.0f;
  view.options = LineDrawOptions();
  view.SetExtent(0.0f);
  LineJob job;
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
    if (!frame.segments.Add(s, &index)) return false;
    job.edges[kCategoryObject - 1].push_back({MakeSegmentId(kSegmentObject, index), 0.0f, 1.0f});
  }
  const float size = std::max(1.0f, static_cast<float>(height) * 0.12f);
  GatherPreviewRecords(job, brush, t, size, view.options);
  LinkContext link;
  link.segments = &frame.segments;
  link.view = &frame.view;
  if (!LinkJob(job, link)) return false;
  DrawTools tools;
  PassBuffer pass;
  if (!tools.Init(view, width, height, 2, 1.0f) || !pass.Init(width, height)) return false;
  JobDrawContext ctx = tools.Context(frame, t, nullptr);
  ctx.preview = true;
  ctx.resolve = [&pass](const LineCanvas& canvas, int blend) {
    pass.Resolve(canvas, pass.AddDescriptor(BlendDescriptor{blend}));
  };
  DrawJob(job, ctx);
  pass.WritePreview(image);
  return true;
}

}  // namespace tarnis
